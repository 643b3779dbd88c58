#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the tests: initdb and pg_ctl in a temporary folder, on a
# loopback port, run by an unprivileged user (the `postgres` system user when run as root).
#   scripts/pg-cluster.sh start          starts one; prints the lines to eval:
#                                        QUORVEL_TEST_PG_URI=postgresql://... QUORVEL_TEST_PG_DIR=...
#   scripts/pg-cluster.sh stop DIR       stops the cluster of DIR and removes DIR
#   scripts/pg-cluster.sh run CMD...     runs CMD with QUORVEL_TEST_PG_URI set, then stops and
#                                        removes the cluster whatever happens
# The tests' clusters do not sync their writes to disk (fsync=off), which they do not need;
# QUORVEL_PG_FSYNC=on starts one that does, as a default server does (the benchmark measures there).
# Exit status 3 when PostgreSQL is not installed.
set -euo pipefail
fsync=${QUORVEL_PG_FSYNC:-off}
case $fsync in on | off) ;; *) echo "pg-cluster: QUORVEL_PG_FSYNC is on or off, not $fsync" >&2; exit 2 ;; esac
bin=${QUORVEL_PG_BIN:-$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)}
if [ -z "$bin" ] || [ ! -x "$bin/initdb" ]; then
  echo "pg-cluster: PostgreSQL server programs not found (Debian package postgresql)" >&2
  exit 3
fi

as_owner() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

stop() {
  local dir=$1
  [ -d "$dir" ] || return 0
  [ -f "$dir/data/postmaster.pid" ] && as_owner "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
  rm -rf "$dir"
}

start() {
  local dir port
  dir=$(mktemp -d /tmp/quorvel-pg-XXXXXX)
  trap 'stop "$dir"' ERR INT TERM
  chmod 755 "$dir"
  [ "$(id -u)" -eq 0 ] && chown postgres: "$dir"
  as_owner "$bin/initdb" -D "$dir/data" -U postgres --auth=trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 ||
    { cat "$dir/initdb.log" >&2; false; }
  for _ in 1 2 3 4 5; do
    port=$((20000 + RANDOM % 30000))
    if as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 \
         -o "-p $port -k $dir -c listen_addresses=127.0.0.1 -c fsync=$fsync -c max_connections=50" start >/dev/null; then
      trap - ERR INT TERM
      echo "QUORVEL_TEST_PG_URI=postgresql://postgres@127.0.0.1:$port/postgres"
      echo "QUORVEL_TEST_PG_DIR=$dir"
      return 0
    fi
  done
  cat "$dir/server.log" >&2
  false
}

case "${1:-}" in
  start) start ;;
  stop) stop "${2:?usage: pg-cluster.sh stop DIR}" ;;
  run)
    shift
    lines=$(start)
    eval "export ${lines//$'\n'/ }"
    trap 'stop "$QUORVEL_TEST_PG_DIR"' EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    "$@"
    ;;
  *) echo "usage: pg-cluster.sh start | stop DIR | run CMD..." >&2; exit 2 ;;
esac
