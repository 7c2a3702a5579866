#!/bin/bash
# Builds everything and runs every test. With --sanitize the build and the
# tests run under AddressSanitizer and UndefinedBehaviorSanitizer (in
# build-asan). Tests that need a display run under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
"$(pwd)/scripts/setup.sh"
build=build
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
select=()
if [ "${1:-}" = "--sanitize" ]; then
  build=build-asan
  flags=(-DCMAKE_BUILD_TYPE=Debug -DNSF2PST_SANITIZE=ON)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  export LSAN_OPTIONS=suppressions=$(pwd)/scripts/lsan.supp
  # The multi-gigabyte PST cases and the package check (which builds and
  # unpacks the plain programs' package) run in the plain build only.
  select=(-LE "slow|packaging")
fi
cmake -S . -B "$build" -G Ninja "${flags[@]}"
cmake --build "$build" -j"$(nproc)"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 900 "${select[@]}"
