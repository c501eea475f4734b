#!/bin/sh
# Builds the Windows plug-in and shows it answering the universal driver's
# set-up calls under Wine, loaded the way the spooler loads it.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows
cd build/windows
../../cmake/wine-run.sh tests/smoke/plugin_smoke.exe src/labelrender.dll
../../cmake/wine-run.sh tests/smoke/plugin_smoke.exe --strings src/KLMV47Ar.dll
