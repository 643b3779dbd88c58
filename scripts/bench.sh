#!/usr/bin/env bash
# Builds quorvel (optimised, build-release/) and runs the benchmark: a generated 300,000-line export
# imported into a new database, imported again (every line known) and updated from its IUF file,
# each paired round by round with the database engine's ceiling for the same rows, plus a
# 30,000-line import for the per-line cost and one import in write-ahead-log mode. Prints every
# round, then the medians and the ratios against their targets. Takes two to three minutes.
# Arguments go to bench_import, e.g. --rounds 9, --no-wal, --work DIR.
set -euo pipefail
cd "$(dirname "$0")/.."
QUORVEL_BUILD_DIR=build-release bash scripts/setup.sh -DCMAKE_BUILD_TYPE=Release -DQUORVEL_BUILD_TESTS=OFF
build-release/bench/bench_import "$@"
