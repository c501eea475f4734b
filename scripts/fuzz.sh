#!/bin/sh
# Builds the libFuzzer targets with clang and runs each for FUZZ_SECONDS
# (default 20) from its seed corpus; any finding fails the run.
set -eu
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-20}
if ! ls fuzz/*/CMakeLists.txt >/dev/null 2>&1; then
  echo "== no fuzz targets"
  exit 0
fi
echo "== fuzz targets, ${seconds} s each"
CC=clang-14 CXX=clang++-14 cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLABELRENDER_FUZZ=ON -DLABELRENDER_TESTS=OFF >/dev/null
cmake --build build/fuzz -j2
found=0
for target in $(find build/fuzz/fuzz -type f -name '*_fuzz' -perm -u+x | sort); do
  name=$(basename "$target")
  corpus=$(find fuzz -type d -path "*/corpus/$name" | head -n 1)
  work=build/fuzz/corpus-work/$name
  mkdir -p "$work" build/fuzz/findings
  echo "-- $name"
  # New inputs go to a scratch folder; the committed seeds are only read.
  "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix=build/fuzz/findings/"$name"- -print_final_stats=1 \
    "$work" ${corpus:+"$corpus"} 2>build/fuzz/"$name".log || {
    tail -n 40 build/fuzz/"$name".log
    echo "fuzz target $name found a failure" >&2
    exit 1
  }
  grep -E 'stat::number_of_executed_units|exec/s' build/fuzz/"$name".log | tail -n 2 || true
  found=$((found + 1))
done
echo "== $found fuzz targets ran clean"
