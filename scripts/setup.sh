#!/bin/bash
# Makes this Debian machine able to build Tavrelon.exe and run it under
# Wine: i386 multiarch, 32-bit Wine, the i686 mingw-w64 cross compiler,
# GoogleTest's sources, the locales the tests switch between, and the MSI
# and signing tools (wixl, msitools, faketime, osslsigncode, openssl) that
# package it. Does
# nothing that is already done, so it is quick on a prepared machine.
set -euo pipefail

sudo_if_needed() {
    if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

apt_install() {
    sudo_if_needed apt-get update -qq
    sudo_if_needed env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}

packages=(wine wine32:i386 wine64 g++-mingw-w64-i686 binutils-mingw-w64-i686
          locales-all googletest cmake make git
          wixl msitools faketime osslsigncode openssl)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    dpkg --print-foreign-architectures | grep -qx i386 || sudo_if_needed dpkg --add-architecture i386
    apt_install "${missing[@]}"
fi

# Some virtual machines run 64-bit user code only, and the kernel refuses
# i386 programs such as Wine's 32-bit loader. There qemu-user runs them
# instead, through a binfmt_misc entry for i386 ELF files.
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    if [ ! -x /usr/bin/qemu-i386-static ]; then
        echo "32-bit programs do not run natively here; installing qemu-user-static"
        apt_install qemu-user-static
    fi
    binfmt=/proc/sys/fs/binfmt_misc
    [ -e "$binfmt/register" ] || sudo_if_needed mount -t binfmt_misc binfmt_misc "$binfmt"
    if [ ! -e "$binfmt/qemu-i386" ]; then
        # i386 ELF executables and shared objects; F keeps the interpreter
        # open so it works in any mount namespace.
        printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
            | sudo_if_needed tee "$binfmt/register" >/dev/null
    fi
    /usr/lib/wine/wine --version >/dev/null 2>&1 || {
        echo "32-bit Wine cannot run on this machine" >&2
        exit 1
    }
fi
