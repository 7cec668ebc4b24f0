#!/usr/bin/env bash
# Installs what is missing, builds, prepares a program folder in run/program
# (settings, conversion table and warning sound from resources/program, kept
# across runs so your settings stay), and starts Velrix on the simulated unit.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh"
build="${VELRIX_BUILD_DIR:-$here/build}"
program="${VELRIX_PROGRAM_FOLDER:-$here/run/program}"
mkdir -p "$program"
for f in "$here"/resources/program/*; do
  name="$(basename "$f")"
  [ -e "$program/$name" ] || cp "$f" "$program/$name"
done
exec "$build/velrix" --simulate --program-folder "$program" "$@"
