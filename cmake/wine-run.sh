#!/bin/sh
# Runs a cross-built Windows program under Wine. The prefix lives in the build
# tree (the nearest folder holding CMakeCache.txt) unless WINEPREFIX is set.
if [ -z "$WINEPREFIX" ]; then
  dir=$PWD
  while [ "$dir" != "/" ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  [ -f "$dir/CMakeCache.txt" ] || dir=$PWD
  WINEPREFIX=$dir/wineprefix
fi
export WINEPREFIX WINEDEBUG=-all
exec /usr/lib/wine/wine64 "$@"
