#!/bin/bash
# Builds Tavrelon.exe and shows its main job under Wine: in a throwaway
# prefix whose two Locale values disagree with the display language (en-US,
# 00000409) and where the log folder exists, it prints both values, runs the
# program, and prints the values, the exit code and the log it wrote.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target Tavrelon >/dev/null

export TAVRELON_WINEPREFIX="$PWD/build/demo-prefix"
run=build/wine-run
"$run" --shutdown
rm -rf "$TAVRELON_WINEPREFIX"
trap '"$run" --shutdown' EXIT
echo "Booting a throwaway Wine prefix in $TAVRELON_WINEPREFIX ..."
"$run" --boot

user='HKCU\Control Panel\International'
default='HKU\.DEFAULT\Control Panel\International'
show() {
    for key in "$user" "$default"; do
        "$run" reg query "$key" /v Locale </dev/null | tr -d '\r' | grep -E '^HKEY|Locale'
    done
}

"$run" reg add "$user" /v Locale /t REG_SZ /d 00000407 /f </dev/null >/dev/null
"$run" reg add "$default" /v Locale /t REG_SZ /d 00000407 /f </dev/null >/dev/null
mkdir -p "$TAVRELON_WINEPREFIX/drive_c/Kolbrith/Logs"

echo
echo "== Before =="
show
echo
echo "== Running build/bin/Tavrelon.exe =="
set +e
"$run" build/bin/Tavrelon.exe </dev/null
echo "exit code: $?"
set -e
echo
echo "== After =="
show
echo
echo "== C:\\Kolbrith\\Logs\\Tavrelon.LOG =="
tr -d '\r' < "$TAVRELON_WINEPREFIX/drive_c/Kolbrith/Logs/Tavrelon.LOG"
