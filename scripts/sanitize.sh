#!/usr/bin/env bash
# Builds Velrix with clang's sanitizers and runs the tests under them:
#
#   address  AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer,
#            in build-asan/ (or $VELRIX_ASAN_BUILD_DIR): the whole suite but
#            the end-to-end cases that spend a minute or more waiting on a
#            clock (asan_skipped below), whose code shorter cases and the
#            unit tests of the same paths run here too.
#   thread   ThreadSanitizer, in build-tsan/ (or $VELRIX_TSAN_BUILD_DIR): the
#            tests of the programs whose threads share the link's state: the
#            serial port and its cancellable waits, the link with its
#            supervision and power management, the measurement cycle and the
#            shell (the window and the velrix program it starts). Only those
#            programs are built.
#   all      both, address first (the default).
#
#   scripts/sanitize.sh [address|thread|all]
#
# Any finding ends the program that made it with a non-zero status, so the
# test fails and ctest prints the report. Qt and the system's libraries are
# not instrumented; the few reports from inside them are suppressed in
# tests/sanitizers/, each with the reason. Every program of these builds
# carries the options and the suppressions' paths (see the end of the top
# CMakeLists.txt); *SAN_OPTIONS in the environment add to them. Prints the
# wall time of each step.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
what="${1:-all}"
case "$what" in
  address | thread | all) ;;
  *)
    echo "usage: scripts/sanitize.sh [address|thread|all]" >&2
    exit 2
    ;;
esac
asan_build="${VELRIX_ASAN_BUILD_DIR:-$here/build-asan}"
tsan_build="${VELRIX_TSAN_BUILD_DIR:-$here/build-tsan}"

# The cases the address run leaves out: those named ...InRealTime (a stall
# or a hung cycle at the real clock), a unit clock an hour off at 40 x, and
# the daylight-saving days. They wait on their clocks; the writer's split,
# the reader's placement and the cycle's catch-up run here in the unit tests
# and the shorter end-to-end cases.
asan_skipped='InRealTime|MoreThanAnHourOff|DaylightSaving\.'

# The test programs of the thread run. Their tests are picked by name from
# the lists gtest_discover_tests wrote at build time, so a test added to one
# of these programs is run without a change here.
tsan_programs=(test_platform test_link test_measure test_app)
# What they need built: themselves and the programs their tests start.
tsan_targets=("${tsan_programs[@]}" velrix velrix-recorder)

# step NAME COMMAND...: runs COMMAND and prints its wall time.
step() {
  local name="$1" start=$SECONDS code=0
  shift
  "$@" || code=$?
  if [ "$code" -eq 0 ]; then
    echo "sanitize: $name: $((SECONDS - start)) s"
  else
    echo "sanitize: $name: $((SECONDS - start)) s, FAILED (status $code)" >&2
  fi
  return "$code"
}

configure() {
  CC=clang CXX=clang++ cmake -S "$here" -B "$1" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELRIX_SANITIZE="$2" >/dev/null
}

# build FOLDER [TARGET...]: builds the targets (all without any), printing
# only the warnings and errors.
build() {
  local folder="$1"
  shift
  if [ $# -gt 0 ]; then
    cmake --build "$folder" -j2 --target "$@" >/dev/null
  else
    cmake --build "$folder" -j2 >/dev/null
  fi
}

# in_folder FOLDER COMMAND...: runs COMMAND in FOLDER.
in_folder() {
  (cd "$1" && shift && "$@")
}

# ctest in a build folder; a failed run repeats its failures at its end.
ctest_in() {
  local build="$1"
  shift
  in_folder "$build" ctest -j2 --output-on-failure "$@" ||
    { python3 "$here/scripts/ctest-failures.py" "$build"; return 1; }
}

# The regular expression that picks the discovered tests of the given
# programs by their suites (a suite belongs to one program; the names are
# escaped). Suites keep it short however many tests there are.
tests_of() {
  local build="$1" program file
  shift
  for program in "$@"; do
    file="$(find "$build/tests" -name "${program}\\[1\\]_tests.cmake" | head -n 1)"
    if [ -z "$file" ]; then
      echo "sanitize: no test list for $program in $build" >&2
      return 1
    fi
    sed -n 's/^ *add_test( *\[=\[\([^].]*\)\..*/\1/p' "$file"
  done | sort -u | sed 's/[][\\.^$*+?(){}|]/\\&/g' | paste -sd'|' | sed 's/^/^(/; s/$/)\\./'
}

# Each step ends the run of its build when it fails (the callers test the
# status, where set -e does not act).
run_address() {
  step "address: configure" configure "$asan_build" address || return 1
  step "address: build" build "$asan_build" || return 1
  step "address: ctest" ctest_in "$asan_build" -E "$asan_skipped"
}

run_thread() {
  local regex
  step "thread: configure" configure "$tsan_build" thread || return 1
  step "thread: build" build "$tsan_build" "${tsan_targets[@]}" || return 1
  regex="$(tests_of "$tsan_build" "${tsan_programs[@]}")" || return 1
  step "thread: ctest" ctest_in "$tsan_build" -R "$regex"
}

status=0
if [ "$what" = address ] || [ "$what" = all ]; then
  run_address || status=1
fi
if [ "$what" = thread ] || [ "$what" = all ]; then
  run_thread || status=1
fi
exit "$status"
