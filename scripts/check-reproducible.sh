#!/bin/bash
# Builds Tavrelon.exe twice from copies of this source tree in two different
# folders and checks that the two files are byte-identical: nothing of the
# time or the place of a build may end up in the file.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

build() {
    local tree=$1
    mkdir -p "$tree"
    (cd "$source_dir" && tar --exclude=./build --exclude=./dist --exclude=./.git -cf - .) | tar -xf - -C "$tree"
    cmake -S "$tree" -B "$tree/out" -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=MinSizeRel \
        -DCMAKE_TOOLCHAIN_FILE="$tree/cmake/toolchain-i686-mingw.cmake" >/dev/null
    cmake --build "$tree/out" --target Tavrelon >/dev/null
}

build "$work/first"
sleep 1  # a different second, so a time stamp would show
build "$work/second/elsewhere"
a="$work/first/out/bin/Tavrelon.exe"
b="$work/second/elsewhere/out/bin/Tavrelon.exe"
if cmp "$a" "$b"; then
    echo "reproducible: $(sha256sum "$a" | cut -d' ' -f1)  Tavrelon.exe ($(stat -c %s "$a") bytes)"
else
    echo "the two builds differ" >&2
    exit 1
fi
