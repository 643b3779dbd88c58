#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer on every object) and runs them.
#
#   scripts/fuzz.sh --replay          every target over its seed corpus, then fuzzing on for a short
#                                     while (QUORVEL_FUZZ_SECONDS, 10 s by default); what CI runs
#   scripts/fuzz.sh TARGET SECONDS    a longer run of one target, e.g. scripts/fuzz.sh licence_record 3600
#   scripts/fuzz.sh --list            the targets
#
# Targets: club_line, licence_record, iuf_line, conversions, whole_import. Seeds are read from
# tests/fuzz/corpus/TARGET and never written there: the inputs a run finds go to
# build-fuzz/corpus/TARGET, and a crashing input to build-fuzz/findings/TARGET/ (the script then
# fails and prints the command that replays it). Once fixed, add the input to the seed corpus so
# that every replay keeps checking it.
set -euo pipefail
cd "$(dirname "$0")/.."

targets=(club_line licence_record iuf_line conversions whole_import)
build_dir=${QUORVEL_FUZZ_BUILD_DIR:-build-fuzz}
seconds=${QUORVEL_FUZZ_SECONDS:-10}

usage() {
  awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"
  exit 2
}

mode=${1:-}
case "$mode" in
  --list) printf '%s\n' "${targets[@]}"; exit 0 ;;
  --replay) ;;
  ""|-h|--help) usage ;;
  *)
    [ $# -eq 2 ] || usage
    [[ " ${targets[*]} " == *" $mode "* ]] || { echo "error: unknown target '$mode' (see --list)" >&2; exit 2; }
    [[ "$2" =~ ^[0-9]+$ ]] || { echo "error: SECONDS must be a whole number, got '$2'" >&2; exit 2; }
    targets=("$mode")
    seconds=$2
    ;;
esac

# clang and its libFuzzer runtime (Debian 12: clang 14).
bash scripts/setup.sh --packages-only clang libclang-rt-14-dev

# A build that already has the fuzz targets (the test script's sanitizer build) is used as it is.
if ! grep -qs '^QUORVEL_FUZZ:BOOL=ON' "$build_dir/CMakeCache.txt"; then
  cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_COMPILER=clang++ -DQUORVEL_FUZZ=ON -DQUORVEL_BUILD_TESTS=OFF -DQUORVEL_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$build_dir" -j"$(nproc)" --target fuzz_targets

# The targets' databases and files go to a folder in memory when there is one (each run commits,
# and disk syncs would dominate), removed however the script ends.
scratch=$(mktemp -d -p /dev/shm quorvel-fuzz.XXXXXX 2>/dev/null || mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export TMPDIR=$scratch

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

failed=()
for t in "${targets[@]}"; do
  exe="$build_dir/tests/fuzz/fuzz_$t"
  seeds="tests/fuzz/corpus/$t"
  found="$build_dir/corpus/$t"
  findings="$build_dir/findings/$t"
  mkdir -p "$found" "$findings"
  options=(-timeout=60 -rss_limit_mb=4096 -artifact_prefix="$findings/" -print_final_stats=1)
  [ -f "tests/fuzz/$t.dict" ] && options+=(-dict="tests/fuzz/$t.dict")
  log="$build_dir/fuzz_$t.log"
  echo "== $t: the seed corpus, then fuzzing until ${seconds} s have passed"
  # libFuzzer runs every input of the corpus folders first, then mutates them.
  if ! "$exe" "${options[@]}" -max_total_time="$seconds" "$found" "$seeds" >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    failed+=("$t")
    continue
  fi
  seed_count=$(find "$seeds" -type f | wc -l)
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "   $seed_count seeds and ${runs:-0} inputs in all run, no failure"
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "error: fuzzing found a failure in: ${failed[*]} (inputs in $build_dir/findings/)" >&2
  for t in "${failed[@]}"; do
    for f in "$build_dir/findings/$t"/*; do
      [ -e "$f" ] && echo "  replay with: $build_dir/tests/fuzz/fuzz_$t $f" >&2
    done
  done
  exit 1
fi
echo "fuzzing: no failure in ${targets[*]}"
