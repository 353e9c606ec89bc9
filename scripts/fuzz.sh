#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer in build-fuzz and runs each
# for a bounded time: `make fuzz` (60 s each) or `make fuzz FUZZ_SECONDS=600`.
# The kept corpus fuzz/corpus/<target>/ seeds every run; what a run adds stays
# in build-fuzz/corpus/<target>/. A crash is written to build-fuzz/crashes/ and
# the script fails: copy the file into fuzz/corpus/<target>/ once it is fixed,
# so CTest replays it for ever. The last line per target is its summary.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build-fuzz
targets=(level_file number_token line_editor)

if [ ! -f "$build/build.ninja" ]; then
  CXX=clang++-14 cmake -S . -B "$build" -G Ninja -DZALPOMET_FUZZ=ON -DZALPOMET_TESTS=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
summary="$build/fuzz-summary.txt"
: >"$summary"
failed=0
for t in "${targets[@]}"; do
  work="$build/corpus/$t"
  crashes="$build/crashes/$t"
  mkdir -p "$work" "$crashes"
  log="$build/fuzz-$t.log"
  echo "fuzzing $t for ${seconds}s (log: $log)"
  status=0
  "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
    -artifact_prefix="$crashes/" -print_final_stats=1 "$work" "fuzz/corpus/$t" >"$log" 2>&1 || status=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)
  found=$(find "$crashes" -type f | wc -l)
  line="$t: $runs runs in ${seconds}s, corpus $(find "$work" -type f | wc -l) files, $found crash files, exit $status"
  echo "$line" | tee -a "$summary"
  if [ "$status" -ne 0 ] || [ "$found" -ne 0 ]; then failed=1; fi
done
exit $failed
