#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/ with clang (build-fuzz/) and runs each one for SECONDS
# (default 60), starting from its committed seeds in fuzz/corpus/<target>/. Fails on any
# finding: a crash, a sanitizer report, a broken check of the target, a leak, an input that
# hangs or one that eats the memory. The input that caused it is kept as
# build-fuzz/findings/<target>/...; what the fuzzer learns on the way collects in
# build-fuzz/corpus/<target>/ (the committed seeds are only read).
#   bash tools/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
jobs=${JOBS:-2}

start=$(date +%s)
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEPHIRO_SANITIZE=fuzz >/dev/null
cmake --build build-fuzz -j"$jobs"
echo "== fuzz build took $(( $(date +%s) - start )) s"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for src in fuzz/*_fuzz.cpp; do targets+=("$(basename "$src" .cpp)"); done
fi

# A single allocation above 2 GB fails, as on a machine that cannot give it: a reader (or a
# library under it) that asks for that much because of a few hostile bytes must then cope.
# Larger totals count as a finding (-rss_limit_mb).
export ASAN_OPTIONS="allocator_may_return_null=1:max_allocation_size_mb=2048${ASAN_OPTIONS:+:$ASAN_OPTIONS}"

summary=()
failed=0
for name in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$name
  findings=build-fuzz/findings/$name
  mkdir -p "$corpus" "$findings"
  options=(-max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 -print_final_stats=1
           -artifact_prefix="$findings/")
  [ -f "fuzz/$name.dict" ] && options+=(-dict="fuzz/$name.dict")
  log=build-fuzz/$name.log
  echo "== $name: $seconds s"
  # The targets' scratch folders, which a finding leaves behind, stay in the build folder.
  rm -rf build-fuzz/tmp && mkdir -p build-fuzz/tmp
  code=0
  TMPDIR=$PWD/build-fuzz/tmp "build-fuzz/$name" "${options[@]}" "$corpus" "fuzz/corpus/$name" >"$log" 2>&1 || code=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1 || true)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1 || true)
  if [ $code -ne 0 ]; then
    failed=1
    echo "---- $name found something (exit code $code); the end of its log:"
    tail -n 60 "$log"
    summary+=("$(printf '%-22s FINDING  see %s and %s' "$name" "$log" "$findings")")
  else
    summary+=("$(printf '%-22s ok  %10s runs  %8s exec/s  corpus %s' "$name" "${runs:-?}" "${rate:-?}" \
      "$(find "$corpus" -type f | wc -l)")")
  fi
done

echo "== fuzz.sh: $seconds s a target"
printf '%s\n' "${summary[@]}"
echo "== fuzz.sh took $(( $(date +%s) - start )) s"
exit $failed
