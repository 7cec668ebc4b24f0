#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite; then the
# package check, the fuzz targets and the sanitizer builds. Prints the wall
# time of each step, so a run that grows shows where.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${VELRIX_BUILD_DIR:-$here/build}"

# timed NAME COMMAND...: runs COMMAND and prints its wall time.
timed() {
  local name="$1" start=$SECONDS
  shift
  "$@"
  echo "test.sh: $name: $((SECONDS - start)) s"
}

timed install-deps "$here/scripts/install-deps.sh"
timed build "$here/scripts/build.sh"
# A failed run repeats its failures at the end, where a shortened log keeps them.
timed ctest bash -c 'cd "$1" && ctest -j2 --output-on-failure || { python3 "$2" "$1"; exit 1; }' \
  _ "$build" "$here/scripts/ctest-failures.py"
# The Debian package as a user meets it: contents, desktop entry, udev rule,
# service unit, and the programs run from an unpacked copy.
timed check-package env VELRIX_BUILD_DIR="$build" "$here/scripts/check-package.sh"
# Every libFuzzer target for a bounded time (clang, with the sanitizers).
timed fuzz "$here/scripts/fuzz.sh" "${VELRIX_FUZZ_SECONDS:-15}"
# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer, and
# the tests of the threads (link, supervision, measurement cycle, the shell)
# under ThreadSanitizer, in build-asan/ and build-tsan/.
timed sanitize "$here/scripts/sanitize.sh" all
echo "test.sh: all: $SECONDS s"
