#!/bin/bash
# Installs the Debian packages the build, the tests and the tools need.
# Packages already present are not fetched again.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config git rsync
  libicu-dev libsqlite3-dev libdeflate-dev liblz4-dev nlohmann-json3-dev libgmime-3.0-dev libxml2-dev
  libwxgtk3.2-dev
  libgoogle-perftools-dev libgtest-dev libgmock-dev libbenchmark-dev
  pst-utils pff-tools python3 python3-pypff
  xvfb xauth xdotool imagemagick x11-utils
  dpkg-dev file desktop-file-utils man-db parallel tzdata
)
# node and npm run pst-extractor, which the build fetches from the npm
# registry; a node installed some other way (with its own npm) is kept.
if ! command -v node > /dev/null || ! command -v npm > /dev/null; then
  packages+=(nodejs npm)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y "${missing[@]}"
fi
