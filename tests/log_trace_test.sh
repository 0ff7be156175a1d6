#!/bin/sh
# Runs Tavrelon.exe with the log folder present and checks, on Wine's trace
# of WritePrivateProfileStringW, that each entry is passed with its message's
# leading blank and under its number.
# Usage: log_trace_test.sh WINE_RUN TAVRELON_EXE
set -u
wine_run=$1
exe=$2
prefix=${TAVRELON_WINEPREFIX:-$(dirname "$wine_run")/wineprefix}
logs="$prefix/drive_c/Kolbrith/Logs"
trace=$(mktemp)
trap 'rm -rf "$trace" "$prefix/drive_c/Kolbrith"' EXIT

rm -rf "$prefix/drive_c/Kolbrith"
mkdir -p "$logs"
WINEDEBUG=trace+profile "$wine_run" "$exe" >/dev/null 2>"$trace"
code=$?

failed=0
check() {
    if grep -F -q -- "$1" "$trace"; then
        echo "ok: $1"
    else
        echo "missing from trace: $1"
        failed=1
    fi
}
[ "$code" = 1 ] || { echo "exit code $code, expected 1"; failed=1; }
check 'WritePrivateProfileStringW (L"Tavrelon_Logs", L"Log#1", L" C:\\Kolbrith\\Logs folder exists. Creating the logfile...", L"C:\\Kolbrith\\Logs\\Tavrelon.LOG")'
check 'WritePrivateProfileStringW (L"Tavrelon_Logs", L"Log#2", L" UserDefaultUILanguage => \"00000409\"", L"C:\\Kolbrith\\Logs\\Tavrelon.LOG")'
check 'L"Log#3", L" '
check 'L"Log#4", L" '
check 'WritePrivateProfileStringW (L"Tavrelon_Logs", L"Log#5", L" Tavrelon util completes!", L"C:\\Kolbrith\\Logs\\Tavrelon.LOG")'
[ "$failed" = 0 ] || { echo "--- trace ---"; grep -i profile "$trace" | head -40; }
exit "$failed"
