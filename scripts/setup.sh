#!/usr/bin/env bash
# Installs, with apt-get, whatever is missing to build Tessaly and run its tests,
# and any further packages named as arguments (see bench-setup.sh).
# Safe to run again: packages already present are skipped.
set -euo pipefail

packages=(
  cmake g++ make ninja-build lld pkg-config
  qt6-base-dev qt6-qpa-plugins libgl-dev
  libcurl4-openssl-dev libssl-dev ca-certificates
  libtiff-dev libgeotiff-dev libpng-dev libwebp-dev libsqlite3-dev libdeflate-dev
  gdal-bin python3-gdal libgdal-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core
  dpkg-dev file desktop-file-utils appstream mandoc man-db lintian
  parallel libglib2.0-bin
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -q
  $sudo_cmd apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
