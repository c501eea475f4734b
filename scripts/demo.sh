#!/bin/sh
# Prints the example shipping label page through the plug-in (labeljob plays
# the Windows universal driver and spooler), then renders the label command
# stream with labelview. Also shows the Windows DLL answering the driver's
# set-up calls under Wine.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset host >/dev/null
cmake --build --preset host --target labeljob labelview
mkdir -p build/demo
build/host/tools/labeljob/labeljob --set halftoneMode=2 -o build/demo/label.prn \
  examples/shipping-label.png
build/host/tools/labelview/labelview build/demo/label.prn -o build/demo
echo "== the printed label: build/demo/label_001.png"

echo "== the Windows plug-in under Wine"
cmake --preset windows >/dev/null
cmake --build --preset windows --target plugin_smoke labelrender KLMV47Ar
cd build/windows
../../cmake/wine-run.sh tests/smoke/plugin_smoke.exe src/labelrender.dll
