#!/bin/bash
# Times Tavrelon.exe under one warm Wine, against a do-nothing GUI program
# built the same way (the floor) and against the batch file an administrator
# would write instead (bench/locale.cmd), and reports the file's size.
# Prints medians in milliseconds and ratios to the floor, all from this run.
# Usage: scripts/benchmark.sh [RUNS]   (default 15 runs of each)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-15}
bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target Tavrelon bench_floor >/dev/null

export TAVRELON_WINEPREFIX="$PWD/build/bench-prefix"
run=build/wine-run
"$run" --shutdown
rm -rf "$TAVRELON_WINEPREFIX"
trap '"$run" --shutdown' EXIT
"$run" --boot

# The usual logon: both values already right, so nothing is written.
for key in 'HKCU\Control Panel\International' 'HKU\.DEFAULT\Control Panel\International'; do
    "$run" reg add "$key" /v Locale /t REG_SZ /d 00000409 /f </dev/null >/dev/null
done
logs="$TAVRELON_WINEPREFIX/drive_c/Kolbrith/Logs"
cp bench/locale.cmd "$TAVRELON_WINEPREFIX/drive_c/locale.cmd"

# Wall time of one run of a command, in ms.
time_ms() {
    local start end
    start=$(date +%s%N)
    "$@" </dev/null >/dev/null 2>&1 || true
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}

median() {
    sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : int((a[NR/2]+a[NR/2+1])/2)}'
}

# The three programs take turns, after one warm-up run each, so that any
# drift of the machine falls on all of them alike.
floor_times=() off_times=() on_times=() batch_times=()
for ((i = -1; i < runs; i++)); do
    rm -rf "$TAVRELON_WINEPREFIX/drive_c/Kolbrith"
    t_floor=$(time_ms "$run" build/bin/bench_floor.exe)
    t_off=$(time_ms "$run" build/bin/Tavrelon.exe)
    mkdir -p "$logs"
    t_on=$(time_ms "$run" build/bin/Tavrelon.exe)
    rm -rf "$TAVRELON_WINEPREFIX/drive_c/Kolbrith"
    t_batch=$(time_ms "$run" cmd /c 'C:\locale.cmd')
    if ((i >= 0)); then
        floor_times+=("$t_floor") off_times+=("$t_off") on_times+=("$t_on") batch_times+=("$t_batch")
    fi
done
floor=$(printf '%s\n' "${floor_times[@]}" | median)
off=$(printf '%s\n' "${off_times[@]}" | median)
on=$(printf '%s\n' "${on_times[@]}" | median)
batch=$(printf '%s\n' "${batch_times[@]}" | median)

ratio() { awk -v a="$1" -v b="$floor" 'BEGIN {printf "%.2f", a / b}'; }
echo "Tavrelon.exe: $(stat -c %s build/bin/Tavrelon.exe) bytes"
echo "median of $runs runs each, one warm Wine ($(wine --version)), $(/usr/lib/wine/wine --version >/dev/null 2>&1 && [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && echo 'i386 through qemu-user' || echo 'native i386')"
printf '%-32s %8s ms  %5s x floor\n' \
    "floor (do-nothing GUI program)" "$floor" "1.00" \
    "Tavrelon.exe, logging off" "$off" "$(ratio "$off")" \
    "Tavrelon.exe, logging on" "$on" "$(ratio "$on")" \
    "batch file with reg.exe" "$batch" "$(ratio "$batch")"
