#!/usr/bin/env bash
# Builds quorvel and runs the whole test suite: once in the normal build, then again in a build with
# AddressSanitizer and UndefinedBehaviorSanitizer, and the end-to-end tests of the normal build under
# valgrind. `--quick` runs the normal build only.
# The build folders are build/ and build-asan/ unless QUORVEL_BUILD_DIR / QUORVEL_ASAN_BUILD_DIR say
# otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${QUORVEL_BUILD_DIR:-build}
asan=${QUORVEL_ASAN_BUILD_DIR:-build-asan}

QUORVEL_BUILD_DIR=$build bash scripts/setup.sh
(cd "$build" && ctest --output-on-failure -j"$(nproc)")

if [ "${1:-}" != "--quick" ]; then
  echo "== The same tests under AddressSanitizer and UndefinedBehaviorSanitizer"
  QUORVEL_BUILD_DIR=$asan bash scripts/setup.sh -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=ON \
    -DQUORVEL_BUILD_BENCH=OFF
  (cd "$asan" && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j"$(nproc)")

  echo "== The end-to-end tests under valgrind"
  bash scripts/setup.sh --packages-only valgrind
  # Two programs at once, one per core; each log is shown only when its run fails.
  runs=("$build/tests/test_component --gtest_filter=LicenceImportRun*:FrameTest*" "$build/tests/test_iuf")
  pids=()
  for i in "${!runs[@]}"; do
    # shellcheck disable=SC2086 # the run is a program and its arguments
    valgrind --error-exitcode=1 --leak-check=full --quiet ${runs[$i]} >"$build/valgrind_$i.log" 2>&1 &
    pids+=($!)
  done
  failed=0
  for i in "${!runs[@]}"; do
    if wait "${pids[$i]}"; then
      echo "valgrind clean: ${runs[$i]}"
    else
      cat "$build/valgrind_$i.log" >&2
      echo "error: valgrind found a fault or a test failed: ${runs[$i]}" >&2
      failed=1
    fi
  done
  [ "$failed" -eq 0 ]
fi
