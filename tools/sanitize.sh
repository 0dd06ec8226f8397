#!/usr/bin/env bash
# The sanitizer builds, each in a build folder of its own:
#  1. AddressSanitizer + UndefinedBehaviorSanitizer (build-asan/): every test, stopping a
#     process at its first undefined-behaviour report; leaks are checked at every exit.
#  2. ThreadSanitizer (build-tsan/): the thread, work-queue, task and engine tests, then the
#     real program installs, verifies and repairs a copy from a generated disc set.
# Every report goes to a file; the script fails when a test fails or any report was written.
# Leaks inside system libraries are suppressed by tools/lsan_suppressions.txt, never the
# program's own.
#   bash tools/sanitize.sh [address|thread]   (both by default)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
[ $# -gt 0 ] || set -- address thread
jobs=${JOBS:-2}
reports=$(mktemp -d "${TMPDIR:-/tmp}/zephiro-sanitize.XXXXXX")
trap 'rm -rf "$reports"' EXIT
failed=0

stamp() { date +%s; }
took() { echo "== $1 took $(( $(stamp) - $2 )) s"; }

build() {  # build folder, sanitizer, targets...
  local dir=$1 kind=$2
  shift 2
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEPHIRO_SANITIZE="$kind" >/dev/null
  cmake --build "$dir" -j"$jobs" ${1:+--target "$@"}
}

# Prints every report written under $reports/$1* and counts them as a failure.
collect_reports() {
  local found=0 f
  for f in "$reports/$1"*; do
    [ -e "$f" ] || continue
    echo "---- sanitizer report $f"
    cat "$f"
    found=1
  done
  if [ $found -ne 0 ]; then
    echo "== $1: sanitizer reports above"
    failed=1
  fi
}

run_address() {
  local t0 t1
  t0=$(stamp)
  build build-asan address
  took "AddressSanitizer build" "$t0"
  t1=$(stamp)
  export ASAN_OPTIONS="detect_leaks=1:log_path=$reports/asan:detect_stack_use_after_return=1"
  export LSAN_OPTIONS="suppressions=$root/tools/lsan_suppressions.txt:print_suppressions=0"
  export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$reports/ubsan"
  ctest --test-dir build-asan -j"$jobs" --output-on-failure || failed=1
  unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS
  took "AddressSanitizer tests" "$t1"
  collect_reports asan
  collect_reports ubsan
}

# The real program under ThreadSanitizer: install, damage, verify, repair, verify again.
program_flow() {
  local work=$1 bin=$2 code
  local discs="$work/set/disc1:$work/set/disc2:$work/set/disc3"
  local copy="$work/copies/Zephiro 9"
  mkdir -p "$work/home" "$work/data" "$work/desktop" "$work/tmp" "$work/copies"
  installer() {
    HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_DESKTOP_DIR="$work/desktop" TMPDIR="$work/tmp" \
      "$bin/zephiro-installer" --dvd_drives="$discs" "$@" </dev/null
  }
  expect() {  # exit code wanted, what
    if [ "$code" -ne "$1" ]; then
      echo "== program flow: $2 ended with $code, not $1"
      failed=1
      return 1
    fi
  }
  "$bin/make_disc_set" --out="$work/set" --discs=3 --size=2M >/dev/null
  code=0; installer --install="$copy" --scenery=all 2>/dev/null || code=$?
  expect 0 "install" || return 0
  # A file lost and one changed behind the installer's back.
  local lost changed
  lost=$(find "$copy/Resources" -type f | sort | head -n 1)
  changed=$(find "$copy/Airfoils" -type f | sort | head -n 1)
  rm -- "$lost"
  echo "changed by hand" >"$changed"
  code=0; installer --verify="$copy" >"$work/verify.txt" 2>/dev/null || code=$?
  expect 2 "verify of the damaged copy" || return 0
  if ! grep -qF "missing	${lost#"$copy/"}" "$work/verify.txt" ||
     ! grep -qF "damaged	${changed#"$copy/"}" "$work/verify.txt"; then
    echo "== program flow: verify did not name the lost and the changed file"
    cat "$work/verify.txt"
    failed=1
  fi
  code=0; installer --repair="$copy" --conflicts=overwrite 2>/dev/null || code=$?
  expect 0 "repair" || return 0
  code=0; installer --verify="$copy" >/dev/null 2>&1 || code=$?
  expect 0 "verify of the repaired copy" || return 0
  echo "== program flow: install, verify, repair, verify as expected"
}

run_thread() {
  local t0 t1 work
  t0=$(stamp)
  build build-tsan thread zephiro_tests zephiro-installer make_disc_set
  took "ThreadSanitizer build" "$t0"
  t1=$(stamp)
  export TSAN_OPTIONS="log_path=$reports/tsan:second_deadlock_stack=1"
  local suites='FastSemaphoreTest|MessageQueueTest|ThreadTest|WorkQueueStageTest|ThreadsLayerTest|GraphicsWorkersTest'
  suites+='|WorkTaskTest|ManifestTest|RegistryTest|DvdTest|PlanTest|EngineTest|DiskSpaceTest|CommandLineTest'
  ctest --test-dir build-tsan -j"$jobs" --output-on-failure -R "^($suites)\." || failed=1
  work=$(mktemp -d "${TMPDIR:-/tmp}/zephiro-tsan-flow.XXXXXX")
  program_flow "$work" "$root/build-tsan"
  rm -rf "$work"
  unset TSAN_OPTIONS
  took "ThreadSanitizer tests and program flow" "$t1"
  collect_reports tsan
}

start=$(stamp)
for part in "$@"; do
  case $part in
    address) run_address ;;
    thread) run_thread ;;
    *) echo "unknown part: $part (address or thread)"; exit 2 ;;
  esac
done
took "sanitize.sh" "$start"
if [ $failed -ne 0 ]; then
  echo "sanitize.sh: FAILED"
  exit 1
fi
echo "sanitize.sh: no sanitizer reports, every test passed"
