#!/usr/bin/env bash
# Builds quorvel (optimised, build-release/) and runs the benchmark: a generated 300,000-line export
# imported into a new database, imported again (every line known) and updated from its IUF file,
# each paired round by round with the database engine's ceiling for the same rows, plus a
# 30,000-line import for the per-line cost and one import in write-ahead-log mode. Then, in a
# throwaway PostgreSQL cluster (scripts/pg-cluster.sh) that syncs its writes to disk as a default
# server does, removed afterwards, round by round: pgloader's plain COPY of licence.txt beside the
# licence import of the same export, its re-import, the IUF update, and the import of the export
# whose every club the geography refuses. Prints every round, then the medians and the ratios
# against their targets. Takes two to three minutes, plus several for PostgreSQL.
# pgloader and postgresql are installed when missing (as root; without root they must be there
# already). Without them, or when the cluster does not start, the PostgreSQL part is skipped and
# the rest still runs.
# --fast-cluster adds a line: the import beside pgloader again, in a second cluster that does not
# sync its writes (fsync=off, as the tests' clusters).
# Other arguments go to bench_import, e.g. --rounds 9, --pg-rounds 5, --no-pg, --no-wal, --work DIR;
# --pg URI uses that server instead of a throwaway cluster.
set -euo pipefail
cd "$(dirname "$0")/.."
QUORVEL_BUILD_DIR=build-release bash scripts/setup.sh -DCMAKE_BUILD_TYPE=Release -DQUORVEL_BUILD_TESTS=OFF
fast=0
args=()
for arg in "$@"; do
  case $arg in --fast-cluster) fast=1 ;; *) args+=("$arg") ;; esac
done
bench=(build-release/bench/bench_import "${args[@]}")

for arg in "${args[@]}"; do
  case $arg in --no-pg | --pg) exec "${bench[@]}" ;; esac
done
if ! bash scripts/setup.sh --packages-only pgloader postgresql; then
  echo "== pgloader or postgresql could not be installed: the PostgreSQL part is skipped"
  exec "${bench[@]}" --no-pg
fi

# pg-cluster.sh run stops before the benchmark when the cluster does not start, with a status the
# benchmark could give too; the marker file, which the benchmark's first step removes, tells the
# two apart.
marker=$(mktemp)
status=0
in_cluster=(env QUORVEL_PG_FSYNC=on bash scripts/pg-cluster.sh run bash -c 'rm -f "$0" && exec "$@"' "$marker")
if [ "$fast" -eq 1 ]; then
  # The cluster without fsync holds the one with it, and hands its URI on as --pg-fast.
  QUORVEL_PG_FSYNC=off bash scripts/pg-cluster.sh run \
    bash -c '"$@" --pg-fast "$QUORVEL_TEST_PG_URI"' _ "${in_cluster[@]}" "${bench[@]}" || status=$?
else
  "${in_cluster[@]}" "${bench[@]}" || status=$?
fi
if [ -e "$marker" ]; then
  rm -f "$marker"
  echo "== the PostgreSQL cluster did not start: the PostgreSQL part is skipped"
  exec "${bench[@]}" --no-pg
fi
exit "$status"
