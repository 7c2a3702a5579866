#!/bin/bash
# Builds the Debian package nsf2pst_VERSION_ARCH.deb with CPack from a build
# tree (build/ by default, configured when missing) into OUT-DIR (the build
# tree by default) and prints the package's path.
#   scripts/package.sh [BUILD-DIR [OUT-DIR]]
# Install it with: apt-get install ./nsf2pst_VERSION_ARCH.deb
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${2:-$build}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
# Only what the package holds; the tests are not needed for it.
cmake --build "$build" -j"$(nproc)" --target nsf2pst nsfviewer nsfsaver nsfdb pstbuild man_pages sample_database
mkdir -p "$out"
out=$(cd "$out" && pwd)
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
ls -t "$out"/nsf2pst_*.deb | head -n 1
