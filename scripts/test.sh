#!/bin/bash
# Builds Tavrelon.exe and its tests and runs every test under Wine, in a
# prefix inside build/. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --workflow --preset default
