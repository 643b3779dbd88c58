#!/usr/bin/env bash
# The README's picture of the HTML report: imports the bundled sample into a fresh database with
# --html (date pinned, so the page is the same every time but for the measured durations), then
# has headless chromium take a screenshot of the page into docs/report.png. Installs chromium when
# missing.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/setup.sh --packages-only chromium

quorvel=${QUORVEL_BUILD_DIR:-build}/cli/quorvel
out=out/report
rm -rf "$out"
mkdir -p "$out/work"
"$quorvel" init-db "$out/club.db" >/dev/null
"$quorvel" import-licences --db "$out/club.db" --source sample/export --work "$out/work" \
  --trace "$out/import.log" --today 2026-06-15 --html "$out/import.html"
# --no-sandbox: the browser refuses to run as root otherwise.
chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --user-data-dir="$out/profile" \
  --window-size=1000,1000 --screenshot=docs/report.png "file://$PWD/$out/import.html" 2>/dev/null
echo "Page: $out/import.html, screenshot: docs/report.png"
