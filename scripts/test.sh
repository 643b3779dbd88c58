#!/usr/bin/env bash
# Builds quorvel and runs the whole test suite: the layering check, the suite in the normal build,
# then again in a build with AddressSanitizer and UndefinedBehaviorSanitizer (whose leak check
# also proves that nothing stays allocated). `--quick` runs the normal build only. Installs
# chromium and poppler-utils when missing, for the tests that render and print the HTML report. The end-to-end cases run on
# both engines: the encrypted file and PostgreSQL.
# The sanitizer build uses clang with libFuzzer's instrumentation, so that scripts/fuzz.sh can
# build its targets there without compiling the library a third time (CI does so).
# The build folders are build/ and build-asan/ unless QUORVEL_BUILD_DIR / QUORVEL_ASAN_BUILD_DIR say
# otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${QUORVEL_BUILD_DIR:-build}
asan=${QUORVEL_ASAN_BUILD_DIR:-build-asan}

bash scripts/check-layers.sh

# The HTML report's tests open the page in a headless browser and read what it prints to PDF
# (pdftotext and pdftoppm); they skip themselves without them.
bash scripts/setup.sh --packages-only chromium poppler-utils
# The benchmark programs are not needed here (scripts/bench.sh builds its own optimised copy). The
# tests run optimised, but lightly and without debugging information, which builds a third faster
# (the sanitizer build below keeps the debugging information).
QUORVEL_BUILD_DIR=$build bash scripts/setup.sh -DQUORVEL_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS_RELEASE="-O1 -DNDEBUG"
# The end-to-end cases run on PostgreSQL too, in a throwaway cluster (scripts/pg-cluster.sh) that
# lives as long as each ctest run; without the server they are skipped and the rest still runs.
bash scripts/setup.sh --packages-only postgresql || true
with_pg=()
if ls /usr/lib/postgresql/*/bin/initdb >/dev/null 2>&1; then
  with_pg=(bash "$PWD/scripts/pg-cluster.sh" run)
else
  echo "== PostgreSQL is not installed: the cases on PostgreSQL are skipped"
fi
(cd "$build" && "${with_pg[@]}" ctest --output-on-failure -j"$(nproc)")

if [ "${1:-}" != "--quick" ]; then
  echo "== The same tests under AddressSanitizer and UndefinedBehaviorSanitizer"
  bash scripts/setup.sh --packages-only clang libclang-rt-14-dev
  QUORVEL_BUILD_DIR=$asan bash scripts/setup.sh -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=ON \
    -DQUORVEL_BUILD_BENCH=OFF -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DQUORVEL_FUZZ=ON
  (cd "$asan" && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "${with_pg[@]}" ctest --output-on-failure -j"$(nproc)")
fi
