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
  # Each program is cut into as many shards as there are cores, and the shards run side by side;
  # a shard's log is shown only when it fails.
  runs=("$build/tests/test_component --gtest_filter=LicenceImportRun*:FrameTest*" "$build/tests/test_iuf")
  shards=$(nproc)
  running=0
  logs=()
  for r in "${!runs[@]}"; do
    for ((shard = 0; shard < shards; shard++)); do
      log="$build/valgrind_${r}_${shard}.log"
      logs+=("$log")
      (
        set -f # the filter's stars are for the test program, not the shell
        # shellcheck disable=SC2086 # the run is a program and its arguments
        if GTEST_TOTAL_SHARDS=$shards GTEST_SHARD_INDEX=$shard \
          valgrind --error-exitcode=1 --leak-check=full --quiet ${runs[$r]} >"$log" 2>&1; then
          echo "clean" >"$log.status"
        else
          echo "failed" >"$log.status"
        fi
      ) &
      running=$((running + 1))
      if [ "$running" -ge "$shards" ]; then
        wait -n
        running=$((running - 1))
      fi
    done
  done
  wait
  failed=0
  for log in "${logs[@]}"; do
    if [ "$(cat "$log.status")" != "clean" ]; then
      cat "$log" >&2
      failed=1
    fi
  done
  if [ "$failed" -ne 0 ]; then
    echo "error: valgrind found a fault, or a test failed under it (logs above)" >&2
    exit 1
  fi
  for run in "${runs[@]}"; do echo "valgrind clean: $run"; done
fi
