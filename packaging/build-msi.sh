#!/bin/bash
# Builds Tavrelon.msi from an exe, byte for byte the same on every build of
# the same inputs:
#   - every time stamp (summary info, cabinet entry) is SOURCE_DATE_EPOCH,
#     or the last commit's time when that is not set;
#   - the ProductCode is derived from the product version, and the
#     PackageCode from the package's own bytes.
# Usage: build-msi.sh EXE FILE_VERSION PRODUCT_VERSION OUT.msi
# FILE_VERSION is the exe's own (the File table records it); PRODUCT_VERSION
# is the package's, normally the same.
set -euo pipefail
exe=$1 file_version=$2 product_version=$3 out=$4
here=$(cd "$(dirname "$0")" && pwd)

source "$here/source-date-epoch.sh"
export TZ=UTC
stamp=$(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S')
at_epoch() { faketime -f "@$stamp" "$@"; }

# A name-based GUID: the first 128 bits of SHA-1, marked as version 5.
guid_from() {
    local h
    h=$(printf '%s' "$1" | sha1sum | cut -c1-32 | tr a-f A-F)
    local variant
    variant=$(printf '%X' $(( (0x${h:16:1} & 0x3) | 0x8 )))
    echo "{${h:0:8}-${h:8:4}-5${h:13:3}-${variant}${h:17:3}-${h:20:12}}"
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# wixl takes sources relative to the .wxs file; the cabinet keeps the
# file's modification time.
cp "$here/Tavrelon.wxs" "$exe" "$work/"
[ "$(basename "$exe")" = Tavrelon.exe ] || mv "$work/$(basename "$exe")" "$work/Tavrelon.exe"
touch -d "@$SOURCE_DATE_EPOCH" "$work/Tavrelon.exe"

# wixl reports some errors only as GLib warnings, with exit code 0.
if ! at_epoch wixl -a x86 -o "$work/Tavrelon.msi" \
        -D ProductVersion="$product_version" \
        -D ProductCode="$(guid_from "Tavrelon ProductCode $product_version")" \
        -D ActiveSetupVersion="${product_version//./,}" \
        "$work/Tavrelon.wxs" 2>"$work/wixl.err" || [ -s "$work/wixl.err" ]; then
    cat "$work/wixl.err" >&2
    echo "build-msi.sh: wixl failed" >&2
    exit 1
fi

# A versioned file: its version and language, and no hash.
at_epoch msibuild "$work/Tavrelon.msi" \
    -q "UPDATE File SET Version='$file_version', Language='1033' WHERE File='TavrelonExe'" \
    -q "DELETE FROM MsiFileHash"
set_package_code() {
    at_epoch msibuild "$work/Tavrelon.msi" -s "Tavrelon" "Kolbrith" "Intel;1033" "$1"
}
set_package_code "{00000000-0000-0000-0000-000000000000}"
set_package_code "$(guid_from "Tavrelon PackageCode $(sha1sum < "$work/Tavrelon.msi")")"
mv "$work/Tavrelon.msi" "$out"
