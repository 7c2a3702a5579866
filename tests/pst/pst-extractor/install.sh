#!/bin/bash
# Installs the pinned pst-extractor of package.json into DIR (a folder of
# the build tree) and writes DIR/status.txt: "ok", or "unavailable: WHY"
# when node, npm or the npm registry cannot be had. Always exits 0, so that
# a build without network still builds; the PST checks then skip
# pst-extractor and say why.
#
# usage: install.sh DIR
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
dir="$1"
mkdir -p "$dir"
status="$dir/status.txt"
unavailable() {
  echo "unavailable: $1" > "$status"
  echo "pst-extractor not installed: $1" >&2
  exit 0
}
command -v node > /dev/null || unavailable "node is not installed (Debian package nodejs)"
command -v npm > /dev/null || unavailable "npm is not installed (Debian package npm)"
cp "$here/package.json" "$dir/package.json"
log="$dir/npm-install.log"
if ! (cd "$dir" && npm install --no-audit --no-fund --no-package-lock --fetch-retries=1 \
        --fetch-timeout=60000 > "$log" 2>&1); then
  unavailable "npm install failed (is the npm registry reachable?), see $log"
fi
[ -f "$dir/node_modules/pst-extractor/package.json" ] || unavailable "npm installed no pst-extractor, see $log"
echo ok > "$status"
