#!/bin/bash
# Converts the bundled sample mailbox into out/mailbox.pst: installs what the
# build needs, builds, makes the Notes database from its description and runs
# nsf2pst on it.
set -euo pipefail
cd "$(dirname "$0")/.."
"$(pwd)/scripts/setup.sh"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target nsfdb nsfviewer nsfsaver nsf2pst
mkdir -p out
./build/tools/nsfdb/nsfdb build samples/mailbox/mailbox.json out/mailbox.nsf
./build/launcher/nsf2pst --overwrite "$@" out/mailbox.nsf out
