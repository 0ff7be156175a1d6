#!/bin/sh
# Installs the release output into a scratch folder and checks it:
# Tavrelon.exe as built, Tavrelon.msi holding that same file as a per-machine
# x86 package of this version, neither signed, and a SHA256SUMS that
# verifies both.
# Usage: release_test.sh BUILD_DIR VERSION
set -eu
build=$1
version=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cmake --install "$build" --prefix "$out" >/dev/null
ls "$out"
[ "$(ls "$out" | tr '\n' ' ')" = "SHA256SUMS Tavrelon.exe Tavrelon.msi " ] || { echo "unexpected release files"; exit 1; }
cmp "$build/bin/Tavrelon.exe" "$out/Tavrelon.exe"
(cd "$out" && sha256sum -c SHA256SUMS)
[ "$(wc -l < "$out/SHA256SUMS")" = 2 ]

msiextract -C "$out/extracted" "$out/Tavrelon.msi" >/dev/null
cmp "$build/bin/Tavrelon.exe" "$out/extracted/Program Files/Tavrelon/Tavrelon.exe"
msiinfo suminfo "$out/Tavrelon.msi" | grep -x 'Template: Intel;1033'
msiinfo export "$out/Tavrelon.msi" Property | tr -d '\r' | grep -x "$(printf 'ALLUSERS\t1')"
msiinfo export "$out/Tavrelon.msi" Property | tr -d '\r' | grep -x "$(printf 'ProductVersion\t%s' "$version")"
msiinfo export "$out/Tavrelon.msi" File | tr -d '\r' | grep -x "$(printf 'TavrelonExe\tProgram\tTavrelon.exe\t%s\t%s\t1033\t512\t1' "$(stat -c %s "$out/Tavrelon.exe")" "$version")"
# Without a certificate configured, nothing is signed.
for name in Tavrelon.exe Tavrelon.msi; do
    if osslsigncode extract-signature -in "$out/$name" -out "$out/$name.sig" >/dev/null 2>&1; then
        echo "$name carries a signature"; exit 1
    fi
done
echo "release output verified"
