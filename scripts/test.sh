#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite; then the
# package check, the fuzz targets and the sanitizer builds.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh"
build="${VELRIX_BUILD_DIR:-$here/build}"
(cd "$build" && ctest -j2 --output-on-failure)
# The Debian package as a user meets it: contents, desktop entry, udev rule,
# service unit, and the programs run from an unpacked copy.
VELRIX_BUILD_DIR="$build" "$here/scripts/check-package.sh"
# Every libFuzzer target for a bounded time (clang, with the sanitizers).
"$here/scripts/fuzz.sh" "${VELRIX_FUZZ_SECONDS:-30}"
# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer, and
# the tests of the threads (link, supervision, measurement cycle, the shell)
# under ThreadSanitizer, in build-asan/ and build-tsan/.
"$here/scripts/sanitize.sh" all
