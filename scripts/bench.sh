#!/usr/bin/env bash
# Builds quorvel (optimised) and runs the benchmark: 30,000 and 300,000 generated licence lines, a
# re-import, the IUF update and the engine's ceiling. Takes a minute or two.
set -euo pipefail
cd "$(dirname "$0")/.."
QUORVEL_BUILD_DIR=build-release bash scripts/setup.sh -DCMAKE_BUILD_TYPE=Release -DQUORVEL_BUILD_TESTS=OFF
build-release/bench/bench_import "$@"
