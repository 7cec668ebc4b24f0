#!/usr/bin/env bash
# Builds the Debian package of Velrix with CPack: installs what is missing,
# configures build/ (or $VELRIX_BUILD_DIR) for the prefix /usr, builds, and
# writes velrix_<version>_<arch>.deb into its packages/ folder. The package's
# path is the last line printed. Install it with
#
#   sudo apt install ./build/packages/velrix_*.deb
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${VELRIX_BUILD_DIR:-$here/build}"

"$here/scripts/install-deps.sh"
# The unit file and the rules' places are made for the prefix at configure
# time, so the package's prefix is set here, not only at packing.
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$build" -j"$(nproc)"

rm -f "$build"/packages/velrix_*.deb
log="$build/packages/cpack.log"
mkdir -p "$build/packages"
if ! (cd "$build" && cpack --config CPackConfig.cmake) >"$log" 2>&1; then
  cat "$log" >&2
  echo "package.sh: cpack failed" >&2
  exit 1
fi
shopt -s nullglob
debs=("$build"/packages/velrix_*.deb)
if [ ${#debs[@]} -ne 1 ]; then
  cat "$log" >&2
  echo "package.sh: expected one velrix_*.deb in $build/packages, found ${#debs[@]}" >&2
  exit 1
fi
echo "${debs[0]}"
