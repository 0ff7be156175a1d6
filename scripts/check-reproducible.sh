#!/bin/bash
# Builds and releases Tavrelon.exe and Tavrelon.msi twice, from copies of
# this source tree in two different folders, and checks that both files are
# byte-identical: nothing of the time or the place of a build may end up in
# them. The package's time stamps come from SOURCE_DATE_EPOCH, which is the
# last commit's time unless it is set.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
# The copies have no git history, so the time is fixed here, once.
source "$source_dir/packaging/source-date-epoch.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

build() {
    local tree=$1
    mkdir -p "$tree"
    (cd "$source_dir" && tar --exclude=./build --exclude=./dist --exclude=./.git -cf - .) | tar -xf - -C "$tree"
    cmake -S "$tree" -B "$tree/out" -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=MinSizeRel \
        -DCMAKE_TOOLCHAIN_FILE="$tree/cmake/toolchain-i686-mingw.cmake" >/dev/null
    cmake --build "$tree/out" --target Tavrelon >/dev/null
    cmake --install "$tree/out" --prefix "$tree/dist" >/dev/null
}

build "$work/first"
sleep 1  # a different second, so a time stamp would show
build "$work/second/elsewhere"
status=0
for name in Tavrelon.exe Tavrelon.msi SHA256SUMS; do
    a="$work/first/dist/$name"
    b="$work/second/elsewhere/dist/$name"
    if cmp "$a" "$b"; then
        echo "reproducible: $(sha256sum "$a" | cut -d' ' -f1)  $name ($(stat -c %s "$a") bytes)"
    else
        echo "the two builds of $name differ" >&2
        status=1
    fi
done
exit $status
