#!/bin/sh
# Builds the libFuzzer targets with clang and runs each from its seed corpus;
# any finding fails the run.
#   scripts/fuzz.sh              bounded run for the test command: FUZZ_SECONDS
#                                (default 20) per target
#   scripts/fuzz.sh --long [S]   long run outside CI: S seconds per target
#                                (default 3600), corpus kept between runs in
#                                build/fuzz/corpus-work; executions, coverage
#                                and findings are recorded in docs/FUZZING.md
set -eu
cd "$(dirname "$0")/.."
long=0
seconds=${FUZZ_SECONDS:-20}
if [ "${1:-}" = "--long" ]; then
  long=1
  seconds=${2:-3600}
fi
if ! ls fuzz/*/CMakeLists.txt >/dev/null 2>&1; then
  echo "== no fuzz targets"
  exit 0
fi
echo "== fuzz targets, ${seconds} s each"
CC=clang-14 CXX=clang++-14 cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLABELRENDER_FUZZ=ON -DLABELRENDER_TESTS=OFF >/dev/null
cmake --build build/fuzz -j2
found=0
failed=0
rows=""
for target in $(find build/fuzz/fuzz -type f -name '*_fuzz' -perm -u+x | sort); do
  name=$(basename "$target")
  corpus=$(find fuzz -type d -path "*/corpus/$name" | head -n 1)
  work=build/fuzz/corpus-work/$name
  mkdir -p "$work" build/fuzz/findings
  echo "-- $name"
  # New inputs go to a scratch folder; the committed seeds are only read.
  status=0
  "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix=build/fuzz/findings/"$name"- -print_final_stats=1 \
    "$work" ${corpus:+"$corpus"} 2>build/fuzz/"$name".log || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' build/fuzz/"$name".log | tail -n 1)
  cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' build/fuzz/"$name".log | tail -n 1)
  findings=$(find build/fuzz/findings -name "$name-*" | wc -l)
  echo "   executions ${runs:-?}, ${cov:-no coverage line}, findings $findings"
  rows="$rows| $name | $seconds | ${runs:-?} | ${cov:-?} | $findings |
"
  if [ "$status" -ne 0 ]; then
    tail -n 40 build/fuzz/"$name".log
    echo "fuzz target $name found a failure" >&2
    failed=1
    [ "$long" -eq 1 ] || exit 1
  fi
  found=$((found + 1))
done
if [ "$long" -eq 1 ]; then
  {
    echo
    echo "## Long run of $(date -u '+%Y-%m-%d %H:%M UTC'), ${seconds} s per target"
    echo
    echo "| target | seconds | executions | coverage (edges, features) | findings |"
    echo "|---|---|---|---|---|"
    printf '%s' "$rows"
  } >>docs/FUZZING.md
  echo "== recorded in docs/FUZZING.md"
fi
[ "$failed" -eq 0 ] || exit 1
echo "== $found fuzz targets ran clean"
