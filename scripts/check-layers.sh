#!/usr/bin/env bash
# Checks the layering of src/: a file may include headers of its own folder and of the folders
# below it, never above it nor beside it. cli/ and bench/ see the public headers only. Last, no
# function of src/ or cli/ is longer than a page (scripts/long-functions.py).
# Lowest first; folders on the same line are side by side and may not include each other.
set -euo pipefail
cd "$(dirname "$0")/.."
layers=(
  "base"
  "storage"
  "tracelog"
  "session"
  "clubs"
  "licences iuf"
  "classes"
  "automation"
)
declare -A rank
for i in "${!layers[@]}"; do
  for folder in ${layers[$i]}; do rank[$folder]=$i; done
done

status=0
complain() {
  echo "layering: $1" >&2
  status=1
}

for dir in src/*/; do
  folder=$(basename "$dir")
  [ -n "${rank[$folder]:-}" ] || complain "src/$folder is in no layer (add it to scripts/check-layers.sh)"
done

while IFS= read -r hit; do
  file=${hit%%:*}
  included=$(sed -E 's/.*#include "([^"]+)".*/\1/' <<<"${hit#*:*:}")
  from=$(cut -d/ -f2 <<<"$file")
  to=${included%%/*}
  [ "$included" = "$to" ] && continue # a header beside the file, by its bare name
  if [ -z "${rank[$to]:-}" ]; then
    complain "$hit: includes $included, which is in no layer"
  elif [ "$to" != "$from" ] && [ "${rank[$to]}" -ge "${rank[$from]}" ]; then
    complain "$hit: $from may not include $to (same level or above)"
  fi
done < <(grep -rn --include='*.cpp' --include='*.hpp' --include='*.h' '^\s*#\s*include "' src || true)

# Engine knowledge stays in storage/: no SQL dialect, no engine library and no question of which
# engine answers (Remote()) anywhere else in src/.
while IFS= read -r hit; do
  complain "$hit: engine knowledge outside storage/"
done < <(grep -rnE -i --include='*.cpp' --include='*.hpp' --include='*.h' \
  '\b(unnest|lateral|ordinality|collate)\b|\bRemote\(\)|sqlite3|libpq' src | grep -v '^src/storage/' || true)
while IFS= read -r hit; do
  complain "$hit: engine knowledge outside storage/"
done < <(grep -rnE --include='*.cpp' --include='*.hpp' --include='*.h' '\bPQ[a-z]' src | grep -v '^src/storage/' || true)

# The program, the benchmark and the public headers see the public API only.
while IFS= read -r hit; do
  included=$(sed -E 's/.*#include "([^"]+)".*/\1/' <<<"${hit#*:*:}")
  [[ "$included" == */* ]] && complain "$hit: only <quorvel/...> public headers may be used here"
done < <(grep -rn '^\s*#\s*include "' cli bench include || true)

# Functions of the library and the program stay a page or less (python3 comes with scripts/setup.sh).
if command -v python3 >/dev/null; then
  python3 scripts/long-functions.py --max 60 src cli >&2 ||
    complain "the functions above are longer than 60 lines: split them into named steps"
else
  echo "warning: python3 is missing: the length of functions is not checked" >&2
fi

[ "$status" -eq 0 ] && echo "layering: every include goes down the layers, engine words stay in storage/, and functions stay a page or less"
exit "$status"
