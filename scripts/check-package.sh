#!/usr/bin/env bash
# Checks the Debian package as a user meets it. Builds it (scripts/package.sh,
# in build/ or $VELRIX_BUILD_DIR), then checks its contents and control
# fields, runs lintian (any error or warning without an override fails),
# checks the copyright file and the changelog, the desktop entry and the
# AppStream metainfo (appstreamcli validate), the icons, the manual pages
# (rendered with man -l), the udev rule and the recorder's unit, and unpacks
# it into a scratch root (dpkg -x) to run the programs from there with a
# fresh HOME and no display:
#   - --help and --version answer without Qt, a bad argument exits 2;
#   - velrix --simulate makes ~/.local/share/Velrix with the shipped files,
#     writes nothing beside its executable, and with automatic start on it
#     records into ~/Documents/Velrix/YYYY/MM/DD/ and commits on SIGTERM;
#   - velrix-recorder, started as the service starts it, fills its program
#     folder and records from velrix-unitsim.
# Prints each check; exits non-zero at the first failure; cleans up.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${VELRIX_BUILD_DIR:-$here/build}"

# Waits are generous for a loaded two-core machine; they end as soon as the
# awaited thing happens.
readonly start_wait=60
readonly rows_wait=90
readonly exit_wait=60

scratch="$(mktemp -d /tmp/velrix-check-package.XXXXXX)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$scratch"
}
trap cleanup EXIT

fail() {
  echo "check-package: FAILED: $*" >&2
  exit 1
}
ok() { echo "check-package: ok: $*"; }

# wait_for SECONDS COMMAND...: runs COMMAND every 0.2 s until it succeeds.
wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}

# ended PID: the child has ended (it is gone, or a zombie not yet waited for).
ended() {
  local state
  state="$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)" || return 0
  [ -z "$state" ] || [ "$state" = Z ]
}

# wait_exit PID SECONDS: waits for a child to end and sets exit_code (not in
# a subshell: only this shell can wait for its children).
wait_exit() {
  wait_for "$2" ended "$1" || return 1
  exit_code=0
  wait "$1" || exit_code=$?
}

# --- Building ----------------------------------------------------------------

echo "check-package: building the package"
deb="$("$here/scripts/package.sh" | tail -n 1)"
[ -f "$deb" ] || fail "scripts/package.sh made no package (last line: $deb)"
ok "built $(basename "$deb")"

# --- Contents and control fields ---------------------------------------------

dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|' >"$scratch/contents"
expected=(
  /usr/bin/velrix /usr/bin/velrix-recorder /usr/bin/velrix-unitsim
  /usr/share/velrix/program/sv_table.def /usr/share/velrix/program/COMRTY.def
  /usr/share/velrix/program/POWevent.def /usr/share/velrix/program/VelrixWarning.wav
  /usr/share/applications/velrix.desktop /usr/share/metainfo/velrix.metainfo.xml
  /usr/share/doc/velrix/copyright /usr/share/doc/velrix/changelog.gz
  /usr/share/icons/hicolor/scalable/apps/velrix.svg
  /lib/udev/rules.d/70-velrix.rules
  /lib/systemd/system/velrix-recorder.service
)
icon_sizes=(16 32 48 64 128 256)
for size in "${icon_sizes[@]}"; do
  expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/velrix.png")
done
# The review program is packaged whenever the build has it.
if find "$build" -maxdepth 3 -type f -name velrix-review -perm -u+x | grep -q .; then
  expected+=(/usr/bin/velrix-review)
fi
# Every program has its manual page.
mapfile -t programs < <(sed -n 's|^/usr/bin/\(.\)|\1|p' "$scratch/contents")
for program in "${programs[@]}"; do
  expected+=("/usr/share/man/man1/$program.1.gz")
done
for path in "${expected[@]}"; do
  grep -qxF "$path" "$scratch/contents" || fail "the package lacks $path"
done
ok "the package holds the ${#expected[@]} expected files"
stray="$(grep -vE '^/(usr/(bin|share)|lib/(udev|systemd))(/|$)|^/((lib|usr)/)?$' "$scratch/contents" || true)"
[ -z "$stray" ] || fail "the package holds files outside its places: $stray"
ok "nothing outside /usr/bin, /usr/share, /lib/udev and /lib/systemd"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = velrix ] || fail "Package is $(field Package)"
version="$(field Version)"
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+ ]] || fail "Version is '$version'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ "$(field Section)" = science ] || fail "Section is $(field Section)"
depends="$(field Depends)"
for needed in libqt6widgets6 libqt6multimedia6 libc6 qt6-qpa-plugins fonts-ipafont-gothic; do
  [[ "$depends" == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done
ok "control fields: velrix $version, Depends from dpkg-shlibdeps ($depends)"
for script in postinst prerm postrm; do
  dpkg-deb -I "$deb" "$script" | sh -n || fail "$script does not parse"
done
ok "maintainer scripts parse"

root="$scratch/root"
mkdir -p "$root"
dpkg -x "$deb" "$root"
ok "unpacked into a scratch root"

# --- Debian's rules ----------------------------------------------------------------

# Any error or warning fails, unless the package overrides the tag (in its
# /usr/share/lintian/overrides/velrix, with the reason why it cannot apply);
# today it overrides none.
lintian --fail-on error,warning --display-info "$deb" >"$scratch/lintian" 2>&1 || {
  cat "$scratch/lintian" >&2
  fail "lintian reports errors or warnings"
}
ok "lintian: no error, no warning ($(grep -c '^I: ' "$scratch/lintian" || true) informational tags)"

doc="$root/usr/share/doc/velrix"
grep -qxF 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$doc/copyright" ||
  fail "the copyright file is not in the machine-readable format"
grep -qxF 'License: Apache-2.0' "$doc/copyright" || fail "the copyright file names no Apache-2.0 licence"
zcat "$doc/changelog.gz" >"$scratch/changelog"
changelog_version="$(dpkg-parsechangelog -l "$scratch/changelog" -S Version)"
[ "$changelog_version" = "$version" ] ||
  fail "the changelog's latest entry is $changelog_version, the package $version"
ok "copyright file in Debian's format; the changelog's latest entry is $version"

# --- Desktop entry and icons ---------------------------------------------------

desktop="$root/usr/share/applications/velrix.desktop"
desktop-file-validate "$desktop" >"$scratch/validate" 2>&1 || {
  cat "$scratch/validate" >&2
  fail "desktop-file-validate rejects velrix.desktop"
}
# Hints (two main categories, Education and Science) are not faults.
if grep -E ': (error|warning):' "$scratch/validate" >&2; then
  fail "desktop-file-validate warns about velrix.desktop"
fi
entry() { sed -n "s/^$1=//p" "$desktop"; }
exec_name="$(entry Exec | awk '{print $1}')"
[ -x "$root/usr/bin/$exec_name" ] || fail "Exec=$exec_name is not a packaged program"
# Qt names the window's class after the executable, so the class is the
# program's name.
[ "$(entry StartupWMClass)" = "$exec_name" ] || fail "StartupWMClass is not $exec_name"
icon="$(entry Icon)"
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no SVG for Icon=$icon"
entry 'Name\[ja\]' | grep -q . || fail "no Japanese name"
entry 'Comment\[ja\]' | grep -q . || fail "no Japanese comment"
ok "desktop entry valid; Exec, Icon and StartupWMClass match the package"

metainfo="$root/usr/share/metainfo/velrix.metainfo.xml"
appstreamcli validate --no-net "$metainfo" >"$scratch/appstream" 2>&1 || {
  cat "$scratch/appstream" >&2
  fail "appstreamcli validate rejects velrix.metainfo.xml"
}
# The file's own layout: one element a line.
meta() { sed -n "s|.*<$1\( [^>]*\)\?>\(.*\)</$1>.*|\2|p" "$metainfo"; }
[ "$(meta launchable)" = "$(basename "$desktop")" ] || fail "the metainfo launches $(meta launchable)"
release="$(sed -n 's|.*<release version="\([^"]*\)".*|\1|p' "$metainfo" | head -n 1)"
[ "$release" = "$version" ] || fail "the metainfo's latest release is $release, the package $version"
for size in "${icon_sizes[@]}"; do
  png="$root/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png"
  file "$png" | grep -q "PNG image data, $size x $size" || fail "$png: $(file -b "$png")"
done
file "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" | grep -q SVG || fail "the SVG icon is no SVG"
ok "icons: PNG ${icon_sizes[*]} of their sizes, and SVG"

# --- udev rule -------------------------------------------------------------------

rule="$root/lib/udev/rules.d/70-velrix.rules"
if command -v udevadm >/dev/null 2>&1 && udevadm verify --help >/dev/null 2>&1; then
  udevadm verify "$rule" || fail "udevadm verify rejects the rule"
  ok "udevadm verify accepts the rule"
else
  # No udevadm verify (Debian 12's udev has none): every key is NAME or
  # NAME{attribute}, an operator and a quoted value.
  key='[A-Z_]+(\{[^}]+\})?(==|!=|=|\+=|-=|:=)"[^"]*"'
  grep -vE '^[[:space:]]*(#|$)' "$rule" | while read -r line; do
    [[ "$line" =~ ^$key(,[[:space:]]*$key)*$ ]] || fail "the rule line does not parse: $line"
  done
  ok "every line of the rule parses (no udevadm verify here)"
fi
rule_text="$(grep -vE '^[[:space:]]*#' "$rule")"
for part in 'SUBSYSTEM=="tty"' 'ATTRS{idVendor}=="0403"' 'ATTRS{idProduct}=="6001"' 'TAG+="uaccess"'; do
  [[ "$rule_text" == *"$part"* ]] || fail "the rule lacks $part"
done
# logind applies the uaccess tag in 73-seat-late.rules: the tag must be set before.
[ "$(basename "$rule" | cut -d- -f1)" -lt 73 ] || fail "the rule runs after 73-seat-late.rules"
ok "the rule tags the 0403:6001 serial port uaccess, before 73-seat-late.rules"
# A software centre offers Velrix for the device the rule is for.
vendor="$(sed -n 's/.*ATTRS{idVendor}=="\([0-9a-fA-F]*\)".*/\1/p' "$rule")"
product="$(sed -n 's/.*ATTRS{idProduct}=="\([0-9a-fA-F]*\)".*/\1/p' "$rule")"
modalias="usb:v${vendor^^}p${product^^}*"
[ "$(meta modalias)" = "$modalias" ] || fail "the metainfo provides '$(meta modalias)', not $modalias"
ok "AppStream metainfo valid; it launches the desktop entry, is at release $version and provides $modalias"

# --- Manual pages ------------------------------------------------------------------

# Rendered as lintian renders them, where any message of man or groff is a
# fault, then read as text.
for program in "${programs[@]}"; do
  page="$root/usr/share/man/man1/$program.1.gz"
  LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" \
    >/dev/null 2>"$scratch/man.err" || fail "man -l cannot render $program.1: $(cat "$scratch/man.err")"
  [ ! -s "$scratch/man.err" ] || fail "man -l warns about $program.1: $(cat "$scratch/man.err")"
  LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" >"$scratch/man.txt" 2>/dev/null
  for section in NAME SYNOPSIS DESCRIPTION 'EXIT STATUS' FILES 'SEE ALSO'; do
    grep -qx "$section" "$scratch/man.txt" || fail "$program.1 has no $section section"
  done
  grep -q "^ *$program - " "$scratch/man.txt" || fail "$program.1 names another program"
  grep -A1 -x SYNOPSIS "$scratch/man.txt" | grep -q "^ *$program " || fail "$program.1 has no synopsis"
  grep -q -- "--version" "$scratch/man.txt" || fail "$program.1 lacks the options of --help"
done
ok "manual pages of ${programs[*]} render without a warning, with synopsis, files and exit status"

# --- The recorder's unit ---------------------------------------------------------

unit="$root/lib/systemd/system/velrix-recorder.service"
for setting in 'ExecStart=/usr/bin/velrix-recorder --program-folder /var/lib/velrix-recorder' \
  'DynamicUser=yes' 'StateDirectory=velrix-recorder' 'Environment=HOME=/var/lib/velrix-recorder' \
  'SupplementaryGroups=dialout' 'Restart=on-failure' 'KillSignal=SIGTERM' 'WantedBy=multi-user.target' \
  'Type=notify' 'NotifyAccess=main' 'WatchdogSec=30s'; do
  grep -qxF "$setting" "$unit" || fail "the unit lacks $setting"
done
if command -v systemd-analyze >/dev/null 2>&1; then
  # Verified with the recorder's path and the manual pages in the scratch
  # root, so the checks that the program and the page of Documentation=
  # exist look at the package's.
  sed "s|^ExecStart=/usr/bin/|ExecStart=$root/usr/bin/|" "$unit" >"$scratch/velrix-recorder.service"
  MANPATH="$root/usr/share/man" systemd-analyze verify "$scratch/velrix-recorder.service" \
    >"$scratch/verify" 2>&1 || true
  if [ -s "$scratch/verify" ]; then
    cat "$scratch/verify" >&2
    fail "systemd-analyze verify complains about the unit"
  fi
  ok "systemd-analyze verify accepts the unit"
else
  echo "check-package: note: no systemd-analyze here; the unit is checked by its lines only"
fi
ok "the unit runs velrix-recorder as a dynamic user in its state folder"

# --- The programs, from the scratch root ----------------------------------------

# No display at all: --help and --version must not reach Qt.
bare=(env -i PATH=/usr/bin:/bin HOME="$scratch/nohome")
for program in velrix velrix-recorder velrix-unitsim; do
  out="$("${bare[@]}" "$root/usr/bin/$program" --help 2>"$scratch/err")" || fail "$program --help failed"
  [[ "$out" == "usage: $program"* ]] || fail "$program --help printed: $out"
  [ ! -s "$scratch/err" ] || fail "$program --help wrote to standard error: $(cat "$scratch/err")"
  out="$("${bare[@]}" "$root/usr/bin/$program" --version)" || fail "$program --version failed"
  [ "$out" = "$program $version" ] || fail "$program --version printed: $out"
  code=0
  "${bare[@]}" "$root/usr/bin/$program" --no-such-option >"$scratch/out" 2>"$scratch/err" || code=$?
  [ "$code" -eq 2 ] || fail "$program with a bad argument ended with $code"
  [ ! -s "$scratch/out" ] || fail "$program with a bad argument wrote to standard output"
  grep -q "^usage: $program" "$scratch/err" || fail "$program with a bad argument printed no usage"
done
ok "velrix, velrix-recorder, velrix-unitsim: --help, --version ($version) and a bad argument (exit 2) without a display"

home="$scratch/home"
runtime="$scratch/runtime"
mkdir -p "$home/Documents" "$runtime"
chmod 700 "$runtime"
user_env=(env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=offscreen LANG=C.UTF-8)
program_folder="$home/.local/share/Velrix"
bin_before="$(ls -A "$root/usr/bin")"

# start_velrix LOG: starts the unpacked velrix on the simulated unit.
start_velrix() {
  "${user_env[@]}" "$root/usr/bin/velrix" --simulate >"$1" 2>&1 &
  velrix_pid=$!
  pids+=("$velrix_pid")
}
# catches_sigterm PID: the program has its SIGTERM handler in place (a
# SIGTERM before it would end the program unhandled).
catches_sigterm() {
  local mask
  mask="$(sed -n 's/^SigCgt:[[:space:]]*//p' "/proc/$1/status" 2>/dev/null)"
  [ -n "$mask" ] && (((0x$mask >> 14) & 1))
}
# stop_velrix LOG: SIGTERM, and the program must end with code 0.
stop_velrix() {
  wait_for "$start_wait" catches_sigterm "$velrix_pid" || fail "velrix never caught SIGTERM: $(cat "$1")"
  kill -TERM "$velrix_pid"
  wait_exit "$velrix_pid" "$exit_wait" || fail "velrix did not end after SIGTERM: $(cat "$1")"
  [ "$exit_code" -eq 0 ] || fail "velrix ended with $exit_code after SIGTERM: $(cat "$1")"
}

echo "check-package: starting velrix --simulate with a fresh HOME"
start_velrix "$scratch/velrix-1.log"
wait_for "$start_wait" test -f "$program_folder/trend.def" ||
  fail "no first-start settings in $program_folder: $(cat "$scratch/velrix-1.log")"
for shipped in "$root"/usr/share/velrix/program/*; do
  cmp -s "$shipped" "$program_folder/$(basename "$shipped")" ||
    fail "$program_folder lacks the shipped $(basename "$shipped")"
done
stop_velrix "$scratch/velrix-1.log"
[ "$(ls -A "$root/usr/bin")" = "$bin_before" ] || fail "velrix wrote beside its executable"
[ "$(cat "$program_folder/df_name.def")" = "$home/Documents" ] ||
  fail "the data folder's base is $(cat "$program_folder/df_name.def"), not the documents folder"
ok "first start: ~/.local/share/Velrix has the shipped files and the first settings; nothing beside the executable"

# Automatic start on: the next start measures by itself.
printf '1\n' >"$program_folder/aut_start.def"
printf '0\n5\n' >"$program_folder/COMRTY.def"
start_velrix "$scratch/velrix-2.log"
rows() { [ -f "$program_folder/data.tmp" ] && [ "$(grep -c $'\r$' "$program_folder/data.tmp")" -ge 8 ]; }
wait_for "$rows_wait" rows || fail "no rows in the working copy: $(cat "$scratch/velrix-2.log")"
stop_velrix "$scratch/velrix-2.log"
data_files="$(find "$home/Documents/Velrix" -name '*.csv' 2>/dev/null || true)"
[ "$(printf '%s\n' "$data_files" | grep -c .)" -eq 1 ] || fail "expected one data file, found: $data_files"
[[ "$data_files" =~ /Documents/Velrix/[0-9]{4}/[0-9]{2}/[0-9]{2}/[^/]+\.csv$ ]] ||
  fail "the data file is not in a dated folder: $data_files"
cmp -s "$program_folder/data.tmp" "$data_files" || fail "the data file is not the committed working copy"
[ "$(cat "$program_folder/aut_start.def")" = 1 ] || fail "aut_start.def was overwritten"
[ "$(printf '0\n5\n')" = "$(cat "$program_folder/COMRTY.def")" ] || fail "the user's COMRTY.def was overwritten"
ok "with automatic start it recorded into ${data_files#"$home"/} and committed on SIGTERM; the user's files were kept"

# The recorder as its unit starts it, on the unpacked simulated unit.
echo "check-package: starting velrix-recorder as the service would, on velrix-unitsim"
"$root/usr/bin/velrix-unitsim" --count 3 >"$scratch/unitsim.out" 2>&1 &
unitsim_pid=$!
pids+=("$unitsim_pid")
wait_for "$start_wait" grep -qs '^/dev/' "$scratch/unitsim.out" || fail "velrix-unitsim printed no device"
device="$(head -n 1 "$scratch/unitsim.out")"
state="$scratch/state"
env -i PATH=/usr/bin:/bin HOME="$state" "$root/usr/bin/velrix-recorder" --port "$device" \
  --program-folder "$state" >"$scratch/recorder.log" 2>&1 &
recorder_pid=$!
pids+=("$recorder_pid")
wait_for "$rows_wait" grep -qs 'recording into' "$scratch/recorder.log" ||
  fail "the recorder does not record: $(cat "$scratch/recorder.log")"
wait_for "$start_wait" catches_sigterm "$recorder_pid" || fail "the recorder never caught SIGTERM"
kill -TERM "$recorder_pid"
wait_exit "$recorder_pid" "$exit_wait" || fail "the recorder did not end after SIGTERM"
[ "$exit_code" -eq 0 ] || fail "the recorder ended with $exit_code: $(cat "$scratch/recorder.log")"
for shipped in "$root"/usr/share/velrix/program/*; do
  cmp -s "$shipped" "$state/$(basename "$shipped")" || fail "the state folder lacks the shipped $(basename "$shipped")"
done
find "$state/Velrix" -name '*.csv' | grep -q . || fail "no data file below $state/Velrix"
ok "velrix-recorder filled its state folder and committed its data file below it"
kill -TERM "$unitsim_pid" 2>/dev/null || true

echo "check-package: all checks passed"
