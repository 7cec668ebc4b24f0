#!/usr/bin/env bash
# Builds the benchmarks into build/ (or $VELRIX_BUILD_DIR) and runs every one
# of them, printing their figures. Benchmarks are not tests: this script ends
# with status 0 even when a benchmark cannot be built or run, and says why.
# Extra arguments go to every benchmark program (for example
# --benchmark_filter=CycleTick).
#
# Then it measures what a running measurement costs the machine: velrix
# --simulate offscreen and under Xvfb, and velrix-recorder against
# velrix-unitsim (plain, and publishing over MQTT and /metrics), each for
# $VELRIX_BENCH_SECONDS (default 60) seconds of measuring, and the time to
# the window's first paint over $VELRIX_BENCH_STARTS (default 5) starts.
# VELRIX_BENCH_ONLY=processes skips the benchmark programs,
# VELRIX_BENCH_ONLY=programs the process figures.
set -u
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${VELRIX_BUILD_DIR:-$here/build}"
only="${VELRIX_BENCH_ONLY:-}"
seconds="${VELRIX_BENCH_SECONDS:-60}"
starts="${VELRIX_BENCH_STARTS:-5}"

if ! cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null; then
  echo "bench.sh: configuring $build failed; no benchmarks run" >&2
  exit 0
fi

run_benchmark_programs() {
  local list="$build/bench/benchmarks.txt"
  if [ ! -f "$list" ]; then
    echo "bench.sh: Google Benchmark is not installed (Debian: libbenchmark-dev); no benchmark programs run" >&2
    return
  fi
  if ! cmake --build "$build" --target velrix_benchmarks -j"$(nproc)"; then
    echo "bench.sh: building the benchmarks failed; running whatever was built" >&2
  fi

  # The paint benchmark draws offscreen; no display is needed.
  local name own program
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
      QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" $program $own ||
        echo "bench.sh: $name ended with status $?" >&2
    else
      QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" "$program" "$@" ||
        echo "bench.sh: $name ended with status $?" >&2
    fi
  done <"$list"
}

# The measured programs run in scratch folders below $TMPDIR (a copy of
# resources/program/ and a data folder of their own), never in the user's home.
run_process_figures() {
  if ! cmake --build "$build" --target velrix_bench_process -j"$(nproc)"; then
    echo "bench.sh: building velrix_bench_process or the programs it measures failed" >&2
    return
  fi
  local bench="$build/bench/velrix_bench_process"
  local resources="$here/resources/program"
  local velrix="$build/velrix"
  echo "== velrix_bench_process"
  QT_QPA_PLATFORM=offscreen "$bench" app "$velrix" "$resources" "$seconds" offscreen ||
    echo "bench.sh: the offscreen figures could not be taken" >&2
  QT_QPA_PLATFORM=offscreen "$bench" first-paint "$velrix" "$resources" "$starts" offscreen ||
    echo "bench.sh: the offscreen first paint could not be timed" >&2
  if command -v xvfb-run >/dev/null; then
    # A screen larger than the 1004 x 720 window, in true colour.
    local xvfb=(xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp")
    QT_QPA_PLATFORM=xcb "${xvfb[@]}" "$bench" app "$velrix" "$resources" "$seconds" Xvfb ||
      echo "bench.sh: the Xvfb figures could not be taken" >&2
    QT_QPA_PLATFORM=xcb "${xvfb[@]}" "$bench" first-paint "$velrix" "$resources" "$starts" Xvfb ||
      echo "bench.sh: the Xvfb first paint could not be timed" >&2
  else
    echo "bench.sh: xvfb-run is not installed (Debian: xvfb, xauth); no figures under Xvfb" >&2
  fi
  "$bench" recorder "$build/measure/recorder/velrix-recorder" "$build/sim/tool/velrix-unitsim" \
    "$resources" "$seconds" ||
    echo "bench.sh: the recorder's figures could not be taken" >&2
  # The same with MQTT (to a mosquitto of its own) and /metrics on.
  "$bench" recorder-publishing "$build/measure/recorder/velrix-recorder" \
    "$build/sim/tool/velrix-unitsim" "$resources" "$seconds" ||
    echo "bench.sh: the publishing recorder's figures could not be taken" >&2
}

[ "$only" = processes ] || run_benchmark_programs "$@"
[ "$only" = programs ] || run_process_figures
exit 0
