#!/bin/sh
# Builds everything and runs every test: the host build with its unit tests and
# tools, the same under AddressSanitizer and UBSan (the tools' hostile-input
# tests included), the Windows cross build with its tests under Wine, and the
# fuzz targets for a bounded time each.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh

echo "== host build and tests"
cmake --preset host
cmake --build --preset host
ctest --preset host

echo "== host build and tests under AddressSanitizer and UBSan"
cmake --preset sanitize
cmake --build --preset sanitize
ctest --preset sanitize

echo "== Windows cross build, tests under Wine"
cmake --preset windows
cmake --build --preset windows
ctest --preset windows

scripts/fuzz.sh
echo "== all tests passed"
