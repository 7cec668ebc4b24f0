#!/usr/bin/env bash
# Soak run: velrix (offscreen, automatic start) and velrix-recorder record
# side by side for a simulated day or more on an accelerated clock, each from
# its own velrix-unitsim, while the units are disturbed: stray bytes, silences,
# unplugging and plugging back in, a slow and a fast unit clock; while both
# programs are stopped for ten clock minutes (SIGSTOP, as a suspended or
# paused computer); and while the programs' calendar clock is set forward and
# back ten minutes (--clock-step), in a zone whose day crosses a
# daylight-saving change. Afterwards every row of every committed data file
# is placed at its instant and checked against the counts the units logged as
# sent (scripts/soak/check_rows.py), and the resident memory and open
# descriptors of both programs at the start and the end are compared.
#
#   scripts/soak.sh [HOURS]        simulated hours, default 24 (crosses midnight)
#
# Watchers (scripts/soak/stall_watch.py, one per processor) note when the
# machine itself stalls; at an accelerated clock such a pause makes the link
# read a frame seconds late, so the check counts those seconds under
# "machine stalled".
#
# Environment: SOAK_SCALE (clock seconds per real second, default 20; see
# below what a higher one costs),
# SOAK_TZ (the zone of the programs, the units and the check, default
# America/New_York), SOAK_START (the clock's first second in that zone,
# default "2026-10-31 18:00:00": a day crosses the turn of day and month and
# the autumn change at 02:00 on 1 November, which repeats the hour from 01:00
# to 02:00), SOAK_KEEP=1 keeps the
# scratch folder after a run that passed, VELRIX_BUILD_DIR (default build/).
# The run lasts about HOURS * 3600 / SOAK_SCALE real seconds plus a minute.
# Not part of the test suite. Exits non-zero with the reason when a second is
# lost or duplicated, a row is wrong, a program ended early or grew.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${VELRIX_BUILD_DIR:-$here/build}"
hours="${1:-24}"
# The link notices an unplugged unit only after four of its supervisor's
# one-second checks, and those stay real seconds: with the pause and the new
# handshake a replug leaves about 4.5 real seconds without samples, which the
# link records as one run of missing seconds when the unit is back: about
# 90 clock seconds at 20 x, more at a higher scale, and the check's margin
# around a fault (below) grows with the scale to match.
scale="${SOAK_SCALE:-20}"
clock_start="${SOAK_START:-2026-10-31 18:00:00}"
# One time zone for the programs, the units and the check.
export TZ="${SOAK_TZ:-America/New_York}"

fail() { echo "soak: FAIL: $*" >&2; exit 1; }
say() { echo "soak: $*"; }

[[ "$hours" =~ ^[0-9]+([.][0-9]+)?$ ]] && awk -v h="$hours" 'BEGIN { exit !(h > 0 && h <= 2400) }' ||
  fail "HOURS must be a number of simulated hours above 0 (got \"$hours\")"
[[ "$scale" =~ ^[0-9]+$ ]] && [ "$scale" -ge 1 ] && [ "$scale" -le 1000 ] ||
  fail "SOAK_SCALE must be a whole number 1-1000 (got \"$scale\")"
python3 -c 'import sys, zoneinfo; zoneinfo.ZoneInfo(sys.argv[1])' "$TZ" 2>/dev/null ||
  fail "SOAK_TZ is not a time zone of this machine: $TZ"
start_epoch="$(date -d "$clock_start" +%s 2>/dev/null)" || fail "SOAK_START is not a time: $clock_start"
total=$(awk -v h="$hours" 'BEGIN { printf "%d", h * 3600 }')

# --- Programs ----------------------------------------------------------------

velrix="$build/velrix"
recorder="$build/measure/recorder/velrix-recorder"
unitsim="$build/sim/tool/velrix-unitsim"
if [ ! -x "$velrix" ] || [ ! -x "$recorder" ] || [ ! -x "$unitsim" ] || [ -n "${SOAK_REBUILD:-}" ]; then
  say "building velrix, velrix-recorder and velrix-unitsim in $build"
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j2 --target velrix velrix-recorder velrix-unitsim >/dev/null
fi
command -v python3 >/dev/null || fail "python3 is needed for the row check"

# --- Scratch folders and clean-up --------------------------------------------

scratch="$(mktemp -d "${TMPDIR:-/tmp}/velrix-soak.XXXXXX")"
pids=()
passed=0
cleanup() {
  local pid
  for pid in "${pids[@]}"; do
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  if [ "$passed" = 1 ] && [ -z "${SOAK_KEEP:-}" ]; then
    rm -rf "$scratch"
  else
    echo "soak: the run's folders are kept in $scratch" >&2
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

programs=(app recorder)
for p in "${programs[@]}"; do
  mkdir -p "$scratch/$p/home/Documents" "$scratch/$p/runtime" "$scratch/$p/home/.config" "$scratch/$p/program"
  chmod 700 "$scratch/$p/runtime"
  cp "$here"/resources/program/* "$scratch/$p/program/"
done
# launch PROGRAM ARGS...: velrix or velrix-recorder in its own home, data
# folder and program folder; its output goes to program.log.
launch() {
  local p=$1
  shift
  # The link's trace (gaps marked missing, frames let fall, restarts) tells
  # afterwards why a second was lost.
  local env_common=(env -i PATH=/usr/bin:/bin TZ="$TZ" LANG=C.UTF-8 HOME="$scratch/$p/home"
                    XDG_RUNTIME_DIR="$scratch/$p/runtime" XDG_CONFIG_HOME="$scratch/$p/home/.config"
                    VELRIX_TRACE="$scratch/$p/link.trace")
  if [ "$p" = app ]; then
    "${env_common[@]}" QT_QPA_PLATFORM=offscreen "$velrix" --program-folder "$scratch/$p/program" "$@" \
      >>"$scratch/$p/program.log" 2>&1 &
  else
    "${env_common[@]}" "$recorder" --program-folder "$scratch/$p/program" "$@" \
      >>"$scratch/$p/program.log" 2>&1 &
  fi
  prog_pid[$p]=$!
  pids+=("$!")
}
declare -A prog_pid
# catches_sigterm PID: the program's SIGTERM handler is in place (before it a
# SIGTERM would end the program without its commit).
catches_sigterm() {
  local mask
  mask="$(sed -n 's/^SigCgt:[[:space:]]*//p' "/proc/$1/status" 2>/dev/null)"
  [ -n "$mask" ] && (((0x$mask >> 14) & 1))
}
# A first start writes the settings files with their defaults (automatic
# start off among them) and reads none; only a later start reads them, the
# shipped COMRTY.def too. So each program is started once without a unit, as
# a user would, before the settings for the run are made.
for p in "${programs[@]}"; do
  launch "$p" --port "$scratch/$p/no-unit"
done
for p in "${programs[@]}"; do
  for _ in $(seq 600); do [ -f "$scratch/$p/program/trend.def" ] && break; sleep 0.1; done
  [ -f "$scratch/$p/program/trend.def" ] || fail "the first start of $p wrote no settings: $(cat "$scratch/$p/program.log")"
  for _ in $(seq 600); do catches_sigterm "${prog_pid[$p]}" && break; sleep 0.1; done
  kill -TERM "${prog_pid[$p]}"
  code=0
  wait "${prog_pid[$p]}" || code=$?
  [ "$code" -eq 0 ] || fail "the first start of $p ended with $code: $(cat "$scratch/$p/program.log")"
done
# The window measures without a click; the recorder always does. COMRTY.def
# as shipped retries without end, so a unit that goes away leaves missing
# seconds instead of ending the measurement.
printf '1\n' >"$scratch/app/program/aut_start.def"
cmp -s "$here/resources/program/COMRTY.def" "$scratch/app/program/COMRTY.def" ||
  fail "the first start changed COMRTY.def"
# Counts 1 to 3600, then again: a count names the frame it came from within
# an hour of frames, so the check knows which second each row holds; 0 never
# comes from the unit (a 0 is a missing or filled-in second). The dose rates
# are far above any background; the warnings they raise only colour the panel.
seq 1 3600 >"$scratch/counts"

# --- The clock -----------------------------------------------------------------

now_ms() { date +%s%3N; }
# Everyone's clock shows clock_start a few real seconds from now, and runs
# `scale` times faster from there.
anchor_ms=$(($(now_ms) + 3000))
clock_args=(--clock-start "$clock_start" --time-scale "$scale" --clock-anchor-ms "$anchor_ms")
# The accelerated clock's second at real millisecond $1 (since 1970).
unit_at() { echo $((start_epoch + ($1 - anchor_ms) * scale / 1000)); }
# The accelerated clock's second now.
unit_now() { echo $((start_epoch + ($(now_ms) - anchor_ms) * scale / 1000)); }
stamp() { date -d "@$1" '+%Y-%m-%d %H:%M:%S %Z'; }
# Sleeps until the accelerated clock shows second $1.
sleep_until_unit() {
  local left
  while :; do
    left=$(($1 - $(unit_now)))
    [ "$left" -gt 0 ] || return 0
    alive || fail "a program ended during the run (see $scratch/*/program.log)"
    sleep "$(awk -v s="$left" -v k="$scale" 'BEGIN { t = s / k; printf "%.3f", (t > 2 ? 2 : t) }')"
  done
}

# A real pause of half a clock second holds the programs' link threads up
# long enough to read a frame a second or two late; the watcher notes such
# stalls of the machine, which the check then tells apart from seconds the
# programs lose on their own.
stall_ms=$(((500 + scale - 1) / scale))
for cpu in $(python3 -c 'import os; print(*sorted(os.sched_getaffinity(0)))'); do
  python3 "$here/scripts/soak/stall_watch.py" "$scratch/stalls" "$stall_ms" "$cpu" &
  pids+=("$!")
done

# --- Units ---------------------------------------------------------------------

faults="$scratch/faults"
: >"$faults"
declare -A unit_pid
segment=0
# start_units OPTIONS...: one velrix-unitsim per program, plugged in at the
# program's link path, with the given fault knobs.
start_units() {
  segment=$((segment + 1))
  local p out
  for p in "${programs[@]}"; do
    out="$scratch/$p/unit-$segment.out"
    "$unitsim" "${clock_args[@]}" --counts-file "$scratch/counts" --link "$scratch/$p/unit" \
      --sent-log "$scratch/$p/sent.log" "$@" >"$out" 2>&1 &
    unit_pid[$p]=$!
    pids+=("$!")
  done
  for p in "${programs[@]}"; do
    out="$scratch/$p/unit-$segment.out"
    for _ in $(seq 100); do grep -q '^/' "$out" && break; sleep 0.1; done
    grep -q '^/' "$out" || fail "velrix-unitsim for $p did not start: $(cat "$out")"
  done
}
# wait_units_gone: both units hung up on their schedule.
wait_units_gone() {
  local p
  for p in "${programs[@]}"; do
    for _ in $(seq 300); do kill -0 "${unit_pid[$p]}" 2>/dev/null || break; sleep 0.1; done
    kill -0 "${unit_pid[$p]}" 2>/dev/null && fail "the unit of $p did not hang up on time"
    wait "${unit_pid[$p]}" 2>/dev/null || true
  done
}
declare_fault() { echo "$1 $2 $3" >>"$faults"; }

# --- Memory and descriptors ---------------------------------------------------------

alive() {
  local p
  for p in "${programs[@]}"; do kill -0 "${prog_pid[$p]}" 2>/dev/null || return 1; done
}
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
fd_count() { find "/proc/$1/fd" -mindepth 1 -maxdepth 1 | wc -l; }
declare -A rss0 fd0
sample() {
  local p
  for p in "${programs[@]}"; do
    printf 'soak: %-9s %-8s VmRSS %7s kB, %3s open descriptors (clock %s)\n' \
      "$1" "$p" "$(rss_kb "${prog_pid[$p]}")" "$(fd_count "${prog_pid[$p]}")" "$(stamp "$(unit_now)")"
  done
}

# --- The run -------------------------------------------------------------------

at() { awk -v t="$total" -v f="$1" 'BEGIN { printf "%d", t * f }'; }
end_unit=$((start_epoch + total))
say "$hours simulated hours from $clock_start ($TZ) at $scale x: about $((total / scale + 60)) real seconds"
say "scratch folder $scratch"

# The programs' calendar clock is set ten minutes forward at 30 % of the run
# and back at 90 %, where the units behave, so that a row the step misdates
# stands out; their elapsed clock and the units' clocks do not move. The
# check takes the steps out again (AT is a unit second there).
program_clock_args=("${clock_args[@]}")
check_steps=()
for step in "+600 0.30" "-600 0.90"; do
  read -r delta fraction <<<"$step"
  after=$(at "$fraction")
  program_clock_args+=(--clock-step "$delta@$after")
  check_steps+=(--step "$((start_epoch + after))" "$delta")
  say "the programs' clock is set $delta s at $(stamp $((start_epoch + after)))"
done

# Segment 1, over midnight, the clock set forward and (with the default
# start) the daylight-saving change: a short and a long silence (the long one
# outlasts the link's 2.1 s read time-out), both programs stopped, then
# unplugged.
seg_end=$((start_epoch + $(at 0.35)))
s1=$(at 0.10); s2=$(at 0.20)
# The units' schedules count from their own start, which comes before the
# clock's first second here.
launched=$(unit_now)
start_units --silence "$s1-$((s1 + 30))" --silence "$s2-$((s2 + 180))" \
  --hangup-at $((seg_end - launched))
declare_fault $((launched + s1)) $((launched + s1 + 30)) "silence 30 s"
declare_fault $((launched + s2)) $((launched + s2 + 180)) "silence 180 s"

for p in "${programs[@]}"; do
  launch "$p" --port "$scratch/$p/unit" "${program_clock_args[@]}"
done

recording() { [ -f "$1" ] && [ "$(grep -c $'\r$' "$1")" -ge 8 ]; }
for p in "${programs[@]}"; do
  for _ in $(seq 600); do recording "$scratch/$p/program/data.tmp" && break; alive || break; sleep 0.1; done
  recording "$scratch/$p/program/data.tmp" ||
    fail "$p does not record: $(cat "$scratch/$p/program.log")"
done
sample start
for p in "${programs[@]}"; do
  rss0[$p]=$(rss_kb "${prog_pid[$p]}")
  fd0[$p]=$(fd_count "${prog_pid[$p]}")
done

# Both programs stopped for ten clock minutes (less in a short run), as a
# computer that is suspended: the seconds meanwhile are missing rows, and the
# rows after it stand at their own seconds again.
sleep_until_unit $((start_epoch + $(at 0.15)))
stop_for=$((total / 20 < 600 ? total / 20 : 600))
stopped_at=$(unit_now)
for p in "${programs[@]}"; do kill -STOP "${prog_pid[$p]}"; done
say "stopped both programs (SIGSTOP) at $(stamp "$stopped_at")"
sleep_until_unit $((stopped_at + stop_for))
for p in "${programs[@]}"; do kill -CONT "${prog_pid[$p]}"; done
continued_at=$(unit_now)
# The window's name carries the stop's length, so the summary shows how
# many seconds beyond it were lost.
declare_fault "$stopped_at" "$continued_at" "stopped (SIGSTOP) for $((continued_at - stopped_at)) s"
say "continued both programs at $(stamp "$continued_at")"

sleep_until_unit "$seg_end"
wait_units_gone
unplugged=$(unit_now)
say "unplugged both units at $(stamp "$unplugged")"
sleep 0.5
sample replug-1

# Segment 2: plugged back in; a unit clock that skips every 900th second,
# stray bytes after every 97th frame (a stray byte can swallow the frame that
# follows it, as there is no checksum, so the whole segment is a fault
# window) and a silence of a minute; unplugged again.
launched=$(unit_now)
declare_fault "$unplugged" "$launched" "unplugged"
seg_end=$((start_epoch + $(at 0.60)))
s1=$(at 0.05)
start_units --slow 900 --stray FF00 --stray-every 97 --silence "$s1-$((s1 + 60))" --hangup-at $((seg_end - launched))
say "plugged in again at $(stamp "$launched"), unit clock slow, stray bytes"
declare_fault "$launched" "$seg_end" "slow unit clock, stray bytes"
declare_fault $((launched + s1)) $((launched + s1 + 60)) "silence 60 s"
sleep_until_unit "$seg_end"
wait_units_gone
unplugged=$(unit_now)
sleep 0.5
sample replug-2

# Segment 3: a unit clock that sends an extra frame every 900th second.
launched=$(unit_now)
declare_fault "$unplugged" "$launched" "unplugged"
seg_end=$((start_epoch + $(at 0.85)))
start_units --fast 900 --hangup-at $((seg_end - launched))
say "plugged in again at $(stamp "$launched"), unit clock fast"
declare_fault "$launched" "$seg_end" "fast unit clock"
sleep_until_unit "$seg_end"
wait_units_gone
unplugged=$(unit_now)
sleep 0.5

# Segment 4: a well-behaved unit to the end, the clock set back on the way.
launched=$(unit_now)
declare_fault "$unplugged" "$launched" "unplugged"
start_units
say "plugged in again at $(stamp "$launched"), unit well"
sleep_until_unit "$end_unit"
sample end
declare -A rss1 fd1
for p in "${programs[@]}"; do
  rss1[$p]=$(rss_kb "${prog_pid[$p]}")
  fd1[$p]=$(fd_count "${prog_pid[$p]}")
done

# --- Stop, commit, check ----------------------------------------------------------

stopped=$(unit_now)
for p in "${programs[@]}"; do kill -TERM "${prog_pid[$p]}"; done
for p in "${programs[@]}"; do
  for _ in $(seq 600); do kill -0 "${prog_pid[$p]}" 2>/dev/null || break; sleep 0.1; done
  kill -0 "${prog_pid[$p]}" 2>/dev/null && fail "$p did not end within 60 s of SIGTERM"
  code=0
  wait "${prog_pid[$p]}" || code=$?
  [ "$code" -eq 0 ] || fail "$p ended with $code after SIGTERM: $(tail -n 20 "$scratch/$p/program.log")"
done
for p in "${programs[@]}"; do kill -TERM "${unit_pid[$p]}" 2>/dev/null || true; wait "${unit_pid[$p]}" 2>/dev/null || true; done
say "both programs committed and ended at $(stamp "$stopped")"
for p in "${programs[@]}"; do
  if grep -v 'recording into' "$scratch/$p/program.log" | grep -q .; then
    say "$p said:"
    grep -v 'recording into' "$scratch/$p/program.log" | sed 's/^/    /'
  fi
done

# The machine's stalls as windows of clock: from a second before the stall
# to a few seconds after it, time for the link to take the late frames.
: >"$scratch/stall-faults"
touch "$scratch/stalls"
while read -r began late; do
  from=$(unit_at "$began")
  echo "$((from - 1)) $((from + late * scale / 1000 + 4)) machine stalled" >>"$scratch/stall-faults"
done <"$scratch/stalls"
if [ -s "$scratch/stalls" ]; then
  say "the machine stalled $(grep -c . "$scratch/stalls") times for more than $stall_ms ms (longest" \
      "$(sort -n -k2 "$scratch/stalls" | tail -n 1 | cut -d' ' -f2) ms, $(awk '{ s += $2 } END { print s }' \
      "$scratch/stalls") ms in all)"
fi

# The link's time-outs stay real milliseconds; at `scale` x a few real seconds
# of recovery after a fault are minutes of clock. A replug takes the longest:
# about 4.5 real seconds until the new unit counts.
margin=$((scale * 6 > 30 ? scale * 6 : 30))
verdict=0
for p in "${programs[@]}"; do
  python3 "$here/scripts/soak/check_rows.py" --label "$p" --data "$scratch/$p/home/Documents/Velrix" \
    --sent "$scratch/$p/sent.log" --faults "$faults" --tight-faults "$scratch/stall-faults" \
    --margin "$margin" --end "$stopped" "${check_steps[@]}" || verdict=1
done

# Growth: descriptors must come back to where they were; memory may settle a
# little (allocator pools, font caches) but not keep climbing.
rss_slack_kb="${SOAK_RSS_SLACK_KB:-4096}"
grew=0
for p in "${programs[@]}"; do
  drss=$((rss1[$p] - rss0[$p]))
  dfd=$((fd1[$p] - fd0[$p]))
  if [ "$dfd" -gt 0 ]; then
    echo "soak: $p: open descriptors grew from ${fd0[$p]} to ${fd1[$p]}"
    grew=1
  fi
  if [ "$drss" -gt "$rss_slack_kb" ]; then
    echo "soak: $p: VmRSS grew by $drss kB (from ${rss0[$p]} to ${rss1[$p]} kB, more than $rss_slack_kb kB)"
    grew=1
  fi
  [ "$grew" -eq 1 ] || echo "soak: $p: no growth (VmRSS ${drss} kB, descriptors ${dfd})"
done
[ "$verdict" -eq 0 ] || fail "rows do not match what the units sent (see above)"
[ "$grew" -eq 0 ] || fail "a program grew during the run (see above)"
echo "soak: PASS: no lost second, no duplicate, no growth"
passed=1
