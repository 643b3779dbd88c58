#!/usr/bin/env bash
# Builds quorvel and runs the whole test suite: once in the normal build, then again in a build with
# AddressSanitizer and UndefinedBehaviorSanitizer. `--quick` runs the normal build only.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
(cd build && ctest --output-on-failure -j"$(nproc)")

if [ "${1:-}" != "--quick" ]; then
  echo "== The same tests under AddressSanitizer and UndefinedBehaviorSanitizer"
  QUORVEL_BUILD_DIR=build-asan bash scripts/setup.sh -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=ON \
    -DQUORVEL_BUILD_BENCH=OFF
  (cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j"$(nproc)")
fi
