#!/bin/sh
# Runs Tavrelon.exe with the log folder present and both Locale values wrong,
# and checks on Wine's traces what the program passes where the result can't
# show it: each log entry with its message's leading blank and under its
# number (the profile service drops the blank from the file), and the 18
# bytes of each written value, its terminator included (RegSetValueExW adds
# a missing terminator itself, so only the call as made shows the count).
# Usage: log_trace_test.sh WINE_RUN TAVRELON_EXE
set -u
wine_run=$1
exe=$2
prefix=${TAVRELON_WINEPREFIX:-$(dirname "$wine_run")/wineprefix}
logs="$prefix/drive_c/Kolbrith/Logs"
trace=$(mktemp)
trap 'rm -rf "$trace" "$prefix/drive_c/Kolbrith"' EXIT

for key in 'HKCU\Control Panel\International' 'HKU\.DEFAULT\Control Panel\International'; do
    "$wine_run" reg add "$key" /v Locale /t REG_SZ /d 00000407 /f </dev/null >/dev/null 2>&1 \
        || { echo "could not set $key\\Locale"; exit 1; }
done
rm -rf "$prefix/drive_c/Kolbrith"
mkdir -p "$logs"
WINEDEBUG=trace+profile,+relay "$wine_run" "$exe" </dev/null >/dev/null 2>"$trace"
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
check 'WritePrivateProfileStringW (L"Tavrelon_Logs", L"Log#3", L" Modified the locale under HKEY_CURRENT_USER subkey successfully.", L"C:\\Kolbrith\\Logs\\Tavrelon.LOG")'
check 'WritePrivateProfileStringW (L"Tavrelon_Logs", L"Log#4", L" Modified the locale under HKEY_USERS subkey successfully.", L"C:\\Kolbrith\\Logs\\Tavrelon.LOG")'
check 'WritePrivateProfileStringW (L"Tavrelon_Logs", L"Log#5", L" Tavrelon util completes!", L"C:\\Kolbrith\\Logs\\Tavrelon.LOG")'
# The relay trace shows RegSetValueExW(key,name,reserved,type,data,bytes) as
# called from Tavrelon.exe: REG_SZ (1) and 0x12 bytes, once per location.
calls=$(grep -F -- 'advapi32.RegSetValueExW(' "$trace" | grep -F 'Call ')
sized=$(printf '%s\n' "$calls" | grep -c -E 'L"Locale",00000000,00000001,[0-9a-f]{8},00000012\)')
total=$(printf '%s\n' "$calls" | grep -c .)
if [ "$sized" = 2 ] && [ "$total" = 2 ]; then
    echo "ok: both Locale values written as REG_SZ with 18 bytes"
else
    echo "expected two RegSetValueExW calls with REG_SZ and 18 bytes, found $sized of $total calls"
    failed=1
fi
[ "$failed" = 0 ] || { echo "--- trace ---"; grep -E 'profile:|RegSetValueExW' "$trace" | head -60; }
exit "$failed"
