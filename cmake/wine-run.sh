#!/bin/sh
# Runs a cross-built Windows program under Wine, with a prefix kept in the build tree.
: "${WINEPREFIX:=${LABELRENDER_WINEPREFIX:-$PWD/wineprefix}}"
export WINEPREFIX WINEDEBUG=-all
exec /usr/lib/wine/wine64 "$@"
