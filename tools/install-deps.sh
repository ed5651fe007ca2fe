#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
# Extra package names given as arguments are installed the same way.
set -euo pipefail
packages=(cmake g++ make pkg-config libgtest-dev libbenchmark-dev liblua5.1-0-dev libtinyxml-dev
          libjpeg-dev libpng-dev zlib1g-dev libavformat-dev libavcodec-dev libswscale-dev
          libavutil-dev libbullet-dev "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
