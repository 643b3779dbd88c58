#!/usr/bin/env bash
# The main job on the bundled sample: builds quorvel, creates a fresh sample database, imports the
# sample export (clubs and licences), then the sample IUF codes, and prints both TraceLogs.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

quorvel=build/cli/quorvel
out=out/sample
rm -rf "$out"
mkdir -p "$out/work" "$out/iuf"
cp sample/export/codes_iuf.txt "$out/iuf/"

"$quorvel" init-db "$out/club.db"
echo
echo "== Licence import (TraceLog: $out/import.log)"
status=0
"$quorvel" import-licences --db "$out/club.db" --source sample/export --work "$out/work" \
  --trace "$out/import.log" || status=$?
iconv -f WINDOWS-1252 -t UTF-8 "$out/import.log" | tr -d '\r'
echo "(exit status $status)"
echo
echo "== IUF update (TraceLog: $out/iuf.log)"
status=0
"$quorvel" update-iuf --db "$out/club.db" --source "$out/iuf" --trace "$out/iuf.log" || status=$?
iconv -f WINDOWS-1252 -t UTF-8 "$out/iuf.log" | tr -d '\r'
echo "(exit status $status)"
echo
echo "Database: $out/club.db (open it with: sqlcipher $out/club.db, then PRAGMA key='quenoril';)"
