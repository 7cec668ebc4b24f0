#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer on) into build-fuzz/ (or $VELRIX_FUZZ_BUILD_DIR)
# and runs each for a bounded time, starting from its seed corpus in
# tests/fuzz/corpus/<target>/. A crash, a leak, undefined behaviour or an
# input that takes longer than the per-input time-out fails the run; the
# input that did it is left in the build folder and named in the output.
#
#   scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 30)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-30}"
build="${VELRIX_FUZZ_BUILD_DIR:-$here/build-fuzz}"
readonly per_input_timeout=10

CC=clang CXX=clang++ cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELRIX_FUZZ=ON >/dev/null
targets=()
for source in "$here"/tests/fuzz/fuzz_*.cpp; do
  targets+=("$(basename "$source" .cpp)")
done
cmake --build "$build" --target "${targets[@]}" -j"$(nproc)" >/dev/null

# The targets that work on files make their scratch folders under TMPDIR: a
# folder of this run's own, on tmpfs where there is one (file operations are
# most of their time), removed afterwards even when a target crashed.
scratch_parent=/dev/shm
[[ -d $scratch_parent && -w $scratch_parent ]] || scratch_parent="$build"
scratch="$(mktemp -d "$scratch_parent/velrix-fuzz-XXXXXX")"
trap 'rm -rf "$scratch"' EXIT

status=0
for target in "${targets[@]}"; do
  # The run grows a corpus of its own; the repository's seeds stay as they are.
  work="$build/fuzz-corpus/$target"
  mkdir -p "$work"
  seeds="$here/tests/fuzz/corpus/$target"
  log="$build/$target.log"
  if TMPDIR="$scratch" "$build/tests/fuzz/$target" -max_total_time="$seconds" \
      -timeout="$per_input_timeout" -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$build/$target-" "$work" "$seeds" >"$log" 2>&1; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
    echo "fuzz: $target: ok, $runs runs in ${seconds} s"
  else
    echo "fuzz: $target: FAILED; the end of its log ($log):" >&2
    tail -n 40 "$log" >&2
    status=1
  fi
done
exit "$status"
