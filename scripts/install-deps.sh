#!/usr/bin/env bash
# Installs the Debian 12 packages Velrix needs to build, test and run, only
# those that are missing. Runs apt-get directly as root, through sudo otherwise.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-multimedia-dev qt6-qpa-plugins libqt6multimedia6
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-ipafont-gothic
  locales libglib2.0-dev
  clang libclang-rt-14-dev llvm
  dpkg-dev desktop-file-utils fakeroot file systemd
  help2man lintian appstream man-db groff-base
  xvfb xauth
  shared-mime-info
  libsystemd-dev dbus python3-dbusmock
  fuse3 libfuse3-dev
  libmosquitto-dev libmicrohttpd-dev mosquitto mosquitto-clients prometheus curl openssl
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
