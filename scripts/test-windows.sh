#!/usr/bin/env bash
# The Windows build under Wine, for CI after the Linux suites: builds both architectures
# (scripts/build-windows.sh), then for x86 (a 32-bit prefix) and x64 checks, each in a throwaway
# WINEPREFIX:
#   - regsvr32 writes the classes' keys (CLSID, InprocServer32 with the DLL and "Apartment",
#     ProgID) and regsvr32 /u removes every one of them;
#   - a VBScript host (tests/windows/host.vbs) with a recording form imports the sample export and
#     a generated one: True, a TraceLog equal to the Linux program's (time stamps aside), the same
#     rows, and progress values within 0..100 in the order the Linux form records them;
#   - the IUF update through VBScript: the form's labels, refreshes and values in order;
#   - a form without ProgressBar1 and Nothing give errors 438 and 91, a wrong database path False
#     with the connection message;
#   - quorvel.exe import-licences gives the Linux program's TraceLog and rows, and the end-to-end
#     cases of tests/cases run through quorvel.exe (all under one Wine process) agree with the
#     Linux program on TraceLog, exit status and rows (QUORVEL_WINDOWS_CASES=half: the odd cases
#     on x86, the even ones on x64);
#   - PostgreSQL, left out of the Windows build, is refused with a message that says so.
# The Linux program is build/cli/quorvel (QUORVEL_BUILD_DIR), built when missing. Prints
# "N passed, N failed" last; the exit status is non-zero when a check failed.
#
# Usage: bash scripts/test-windows.sh [--arch x86|x64] [--lines N]   (generated export, default 20000)
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
ARCHES=(x86 x64)
LINES=${QUORVEL_WINDOWS_LINES:-20000}
while [[ $# -gt 0 ]]; do
    case $1 in
    --arch) ARCHES=("$2"); shift 2 ;;
    --lines) LINES=$2; shift 2 ;;
    *) echo "usage: $0 [--arch x86|x64] [--lines N]" >&2; exit 2 ;;
    esac
done
export QUORVEL_WINDOWS_CACHE=${QUORVEL_WINDOWS_CACHE:-/var/cache/quorvel-windows}
started=$SECONDS
build_args=()
[[ ${#ARCHES[@]} -eq 1 ]] && build_args=(--arch "${ARCHES[0]}")
bash scripts/build-windows.sh "${build_args[@]}" || { echo "0 passed, 1 failed"; exit 1; }
# The Linux side: the program's build, the sqlcipher shell that reads both sides' rows.
for p in g++ sqlcipher perl; do
    command -v "$p" >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$p" >/dev/null
done
echo "test-windows: built in $((SECONDS - started)) s"
source "$ROOT/tests/windows/checks.sh"
linux_tools

step() { # runs a step of checks and says how long it took
    local t=$SECONDS
    "$@"
    echo "     ($1 $2: $((SECONDS - t)) s)"
}

for arch in "${ARCHES[@]}"; do
    arch_started=$SECONDS
    step wine_prefix "$arch"
    step check_registration "$arch"
    step check_sample_import "$arch"
    step check_generated_import "$arch"
    step check_iuf_update "$arch"
    step check_bad_forms_and_paths "$arch"
    step check_program "$arch"
    # Every case on both; QUORVEL_WINDOWS_CASES=half shares them out when CI's time is short (the
    # odd ones on x86, the even ones on x64), so that each still runs once under Wine.
    every=1 offset=0
    if [[ ${#ARCHES[@]} -eq 2 && ${QUORVEL_WINDOWS_CASES:-} == half ]]; then
        every=2
        [[ $arch == x86 ]] && offset=1
    fi
    step check_cases "$arch" "$every" "$offset"
    step check_unregistration "$arch"
    wine_done
    echo "test-windows: $arch checked in $((SECONDS - arch_started)) s"
done
rm -rf "$TMP"
echo "test-windows: $((SECONDS - started)) s in all"
echo "$PASSED passed, $FAILED failed"
[[ $FAILED -eq 0 ]]
