#!/usr/bin/env bash
# Builds the benchmarks into build/ (or $VELRIX_BUILD_DIR) and runs every one
# of them, printing their figures. Benchmarks are not tests: this script ends
# with status 0 even when a benchmark cannot be built or run, and says why.
# Extra arguments go to every benchmark program (for example
# --benchmark_filter=CycleTick).
set -u
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${VELRIX_BUILD_DIR:-$here/build}"

if ! cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null; then
  echo "bench.sh: configuring $build failed; no benchmarks run" >&2
  exit 0
fi
list="$build/bench/benchmarks.txt"
if [ ! -f "$list" ]; then
  echo "bench.sh: Google Benchmark is not installed (Debian: libbenchmark-dev); no benchmarks run" >&2
  exit 0
fi
if ! cmake --build "$build" --target velrix_benchmarks -j"$(nproc)"; then
  echo "bench.sh: building the benchmarks failed; running whatever was built" >&2
fi

# The paint benchmark draws offscreen; no display is needed.
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
while read -r name own; do
  [ -n "$name" ] || continue
  program="$build/bench/$name"
  echo "== $name"
  if [ ! -x "$program" ]; then
    echo "bench.sh: $name was not built" >&2
    continue
  fi
  if [ -n "$own" ]; then
    # A program with arguments of its own is not a Google Benchmark program.
    # shellcheck disable=SC2086
    $program $own || echo "bench.sh: $name ended with status $?" >&2
  else
    "$program" "$@" || echo "bench.sh: $name ended with status $?" >&2
  fi
done <"$list"
exit 0
