#!/bin/sh
# Installs the release output into a scratch folder and checks that it is
# Tavrelon.exe as built, with a SHA256SUMS that verifies it.
# Usage: release_test.sh BUILD_DIR
set -eu
build=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cmake --install "$build" --prefix "$out" >/dev/null
ls "$out"
[ "$(ls "$out" | tr '\n' ' ')" = "SHA256SUMS Tavrelon.exe " ] || { echo "unexpected release files"; exit 1; }
cmp "$build/bin/Tavrelon.exe" "$out/Tavrelon.exe"
(cd "$out" && sha256sum -c SHA256SUMS)
