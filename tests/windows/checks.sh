# The checks of scripts/test-windows.sh (sourced): each compares the Windows build under Wine
# with the Linux program on the same inputs, or with what a host application must see.

PASSED=0
FAILED=0
TMP=$(mktemp -d /tmp/quorvel-windows-XXXXXX)
KEY="PRAGMA key='quenoril';"

pass() {
    PASSED=$((PASSED + 1))
    echo "ok   $1"
}
fail() {
    FAILED=$((FAILED + 1))
    echo "FAIL $1"
    [[ -n ${2:-} ]] && sed 's/^/     /' <<<"$2" | head -20
    return 0
}
# check NAME COMMAND...: the command's output is shown when it fails.
check() {
    local name=$1 out
    shift
    if out=$("$@" 2>&1); then pass "$name"; else fail "$name" "$out"; fi
}

# ---- Linux side ------------------------------------------------------------------------------

linux_tools() {
    local build=${QUORVEL_BUILD_DIR:-$ROOT/build}
    if [[ ! -f $build/CMakeCache.txt ]]; then
        cmake -S "$ROOT" -B "$build" -DQUORVEL_BUILD_TESTS=OFF -DQUORVEL_BUILD_BENCH=OFF >/dev/null
    fi
    cmake --build "$build" -j2 --target quorvel_cli >/dev/null || { echo "test-windows: Linux build failed" >&2; exit 1; }
    LQ=$build/cli/quorvel
    local gen=$ROOT/build-windows/gen_export
    if [[ ! -x $gen || $ROOT/bench/gen_export.cpp -nt $gen ]]; then
        g++ -std=c++20 -O2 -o "$gen" "$ROOT/bench/gen_export.cpp"
    fi
    GENERATED=$TMP/generated
    "$gen" --out "$GENERATED" --licences "$LINES" --seed 7 --reference "$ROOT/data/reference/france.txt" >/dev/null
}

# A run folder: source/ (a copy of $2), work/, club.db as the Linux program creates it (with the
# reference data unless $3 is 0), setup.sql ($4) applied.
prepare() {
    local dir=$1 source=$2 reference=${3:-1} setup=${4:-}
    rm -rf "$dir" && mkdir -p "$dir/source" "$dir/work"
    [[ -d $source ]] && cp -r "$source"/. "$dir/source/"
    if [[ ! -f $TMP/new-$reference.db ]]; then
        if [[ $reference == 0 ]]; then
            "$LQ" init-db "$TMP/new-0.db" --no-reference >/dev/null
        else
            "$LQ" init-db "$TMP/new-1.db" --reference "$ROOT/data/reference/france.txt" >/dev/null
        fi
    fi
    cp "$TMP/new-$reference.db" "$dir/club.db"
    [[ -n $setup ]] && { echo "$KEY"; cat "$setup"; } | sqlcipher -batch "$dir/club.db" >/dev/null
    return 0
}

# The rows an import leaves: clubs, licences, selection entries.
rows() {
    [[ -f $1 ]] || { echo "no database"; return; }
    printf '%s\n' "$KEY" "SELECT * FROM Club ORDER BY Num;" "SELECT * FROM Licence ORDER BY Num;" \
        "SELECT * FROM Selection ORDER BY Num;" "SELECT LastClose FROM Info;" | sqlcipher -batch "$1" 2>&1
}

# A TraceLog in UTF-8 with its run folder ($2, as Linux or Windows writes it) shown as $RUN, the
# separators after it as "/", and time stamps as <time> unless $3 is "keep".
trace_text() {
    [[ -f $1 ]] || { echo "no TraceLog"; return; }
    iconv -c -f WINDOWS-1252 -t UTF-8 "$1" 2>/dev/null | tr -d '\r' |
        RUN=$2 KEEP=${3:-} perl -pe 's/\Q$ENV{RUN}\E(\S*)/my $x = $1; $x =~ tr|\\|\/|; "\$RUN$x"/ge;
            s/\d\d\/\d\d\/\d{4} \d\d:\d\d:\d\d/<time>/g unless $ENV{KEEP}'
}

same() { # same WHAT A B: A and B (texts) are equal, else their difference
    diff <(echo "$2") <(echo "$3") >/dev/null && return 0
    diff <(echo "$2") <(echo "$3") | head -20
    return 1
}

# ---- Wine side -------------------------------------------------------------------------------

winpath() { echo "Z:${1//\//\\}"; }

# A throwaway prefix for `arch`: a copy of a fresh one kept in the cache folder (made once per
# Wine version; its files are linked, not copied, but for the registry, which Wine rewrites).
wine_prefix() {
    local arch=$1 fresh
    export WINEDEBUG=-all WINEPREFIX=$TMP/prefix-$arch
    if [[ $arch == x86 ]]; then
        export WINEARCH=win32 W=/usr/lib/wine/wine
    else
        export WINEARCH=win64 W=/usr/lib/wine/wine64
    fi
    fresh=$QUORVEL_WINDOWS_CACHE/wine-prefix-$(wine --version | tr -c 'A-Za-z0-9.\n' -)-$arch
    if [[ ! -f $fresh/system.reg ]]; then
        rm -rf "$fresh.tmp"
        WINEPREFIX=$fresh.tmp "$W" wineboot -i >/dev/null 2>&1
        WINEPREFIX=$fresh.tmp /usr/lib/wine/wineserver -w
        rm -rf "$fresh" && mv "$fresh.tmp" "$fresh"
    fi
    cp -al "$fresh" "$WINEPREFIX"
    for reg in "$fresh"/*.reg; do cp --remove-destination "$reg" "$WINEPREFIX/"; done
    DLL=$(winpath "$ROOT/build-windows/dist/$arch/quorvel.dll")
    EXE=$ROOT/build-windows/dist/$arch/quorvel.exe
    A=$TMP/$arch
    mkdir -p "$A"
}

wine_done() {
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    /usr/lib/wine/wineserver -w 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    unset WINEPREFIX WINEARCH
}

vbs() { # the host's output, without carriage returns
    "$W" cscript.exe //nologo "$(winpath "$ROOT/tests/windows/host.vbs")" "$@" 2>&1 | tr -d '\r'
}

reg_has() { "$W" reg query "$1" "${@:2}" >/dev/null 2>&1; }

RECUP_CLSID='{FBE9A974-9666-4605-8692-46F3B3550979}'
IUF_CLSID='{F6110953-769F-42A3-AFAE-12FBB186A21D}'

# ---- The checks ------------------------------------------------------------------------------

registered() { # the keys of both classes, under root $1 (HKCR, or HKCU\Software\Classes)
    local root=$1 clsid progid
    for pair in "$RECUP_CLSID quorvel.clsRecupLicence" "$IUF_CLSID quorvel.clsMajIUF"; do
        read -r clsid progid <<<"$pair"
        "$W" reg query "$root\\CLSID\\$clsid\\InprocServer32" /ve | grep -qF "$DLL" || { echo "no InprocServer32 for $progid"; return 1; }
        "$W" reg query "$root\\CLSID\\$clsid\\InprocServer32" /v ThreadingModel | grep -q Apartment || { echo "no ThreadingModel for $progid"; return 1; }
        "$W" reg query "$root\\CLSID\\$clsid\\ProgID" /ve | grep -qF "$progid" || { echo "no ProgID under the CLSID of $progid"; return 1; }
        "$W" reg query "$root\\$progid\\Clsid" /ve | grep -qF "$clsid" || { echo "no Clsid under $progid"; return 1; }
    done
}

unregistered() { # none of the keys registration writes is left under root $1
    local key
    for key in "CLSID\\$RECUP_CLSID" "CLSID\\$IUF_CLSID" quorvel.clsRecupLicence quorvel.clsMajIUF; do
        if reg_has "$1\\$key"; then echo "$1\\$key is still there"; return 1; fi
    done
}

check_registration() {
    local arch=$1
    "$W" regsvr32 /s "$DLL"
    check "$arch: regsvr32 writes CLSID, InprocServer32 (Apartment) and ProgID of both classes" registered HKCR
}

check_unregistration() {
    local arch=$1
    "$W" regsvr32 /u /s "$DLL"
    check "$arch: regsvr32 /u removes every key it wrote" unregistered HKCR
    "$W" regsvr32 /n /i:user /s "$DLL"
    check "$arch: regsvr32 /n /i:user registers for the current user only" \
        bash -c "$(declare -f registered); W=$W DLL='$DLL' RECUP_CLSID='$RECUP_CLSID' IUF_CLSID='$IUF_CLSID' registered 'HKCU\\Software\\Classes'"
    "$W" regsvr32 /u /n /i:user /s "$DLL"
    check "$arch: regsvr32 /u /n /i:user removes them" unregistered 'HKCU\Software\Classes'
}

# Imports the export folder $3 on Linux and through VBScript; checks result, TraceLog and rows.
# Leaves the host's output in $OUT.
import_both() {
    local arch=$1 name=$2 source=$3 l=$A/lin-$2 w=$A/win-$2 t0
    prepare "$l" "$source"
    prepare "$w" "$source"
    t0=$(date +%s.%N)
    "$LQ" import-licences --db "$l/club.db" --source "$l/source" --work "$l/work" --trace "$l/trace.log" --quiet
    LINUX_TIME=$(awk "BEGIN { print $(date +%s.%N) - $t0 }")
    t0=$(date +%s.%N)
    OUT=$(vbs recording licence "$(winpath "$w/club.db")" "$(winpath "$w/source")" "$(winpath "$w/work")" \
        "$(winpath "$w/trace.log")")
    WINE_TIME=$(awk "BEGIN { print $(date +%s.%N) - $t0 }")
    check "$arch $name: bImport_Licence returns True (an automation Boolean)" grep -qx 'result True Boolean' <<<"$OUT"
    check "$arch $name: TraceLog as on Linux (time stamps aside)" \
        same trace "$(trace_text "$l/trace.log" "$l")" "$(trace_text "$w/trace.log" "$(winpath "$w")")"
    check "$arch $name: rows as on Linux" same rows "$(rows "$l/club.db" | grep -v '^[0-9/]* [0-9:]*$')" \
        "$(rows "$w/club.db" | grep -v '^[0-9/]* [0-9:]*$')"
    # Then the IUF update from the same export's IUF file, on the imported licences.
    "$LQ" update-iuf --db "$l/club.db" --source "$l/source" --trace "$l/iuf.log" --quiet
    local out
    out=$(vbs recording iuf "$(winpath "$w/club.db")" "$(winpath "$w/source")" - "$(winpath "$w/iuf.log")" 0 "")
    check "$arch $name: then bImport_CodeIUF returns True" grep -qx 'result True Boolean' <<<"$out"
    check "$arch $name: ... its TraceLog as on Linux (time stamps aside)" \
        same trace "$(trace_text "$l/iuf.log" "$l")" "$(trace_text "$w/iuf.log" "$(winpath "$w")")"
    check "$arch $name: ... the same IUF codes as on Linux" same rows "$(rows "$l/club.db" | grep -v '^[0-9/]* [0-9:]*$')" \
        "$(rows "$w/club.db" | grep -v '^[0-9/]* [0-9:]*$')"
    check "$arch $name: ... progress values within 0..100, never going down" progress_ok "$out"
}

# The values the form saw: all within 0..100 and never going down; with a file, the Linux form's
# recording ("label I TEXT" lines and numbers), compared in order.
progress_ok() {
    local out=$1 expected=${2:-}
    grep '^value ' <<<"$out" | cut -d' ' -f2 | awk '
        { if ($1 < 0 || $1 > 100) { print "value " $1 " outside 0..100"; bad = 1 }
          if (NR > 1 && $1 < last && $1 != 0) { print "value " $1 " after " last; bad = 1 }
          last = $1 }
        END { if (NR == 0) { print "no value"; bad = 1 }; exit bad }' || return 1
    [[ -z $expected ]] && return 0
    local seen
    seen=$(grep -v '^refresh$' <<<"$out" | grep '^value \|^label ' | sed 's/^value //')
    paste -d'\t' <(echo "$seen") "$expected" | awk -F'\t' '
        $1 == $2 { next }
        ($1 + 0 == $1 && $2 + 0 == $2 && ($1 - $2) ^ 2 < 1e-12) { next }
        { print "form saw \"" $1 "\" where the Linux form recorded \"" $2 "\""; bad = 1 }
        END { exit bad }' || return 1
    [[ $(echo "$seen" | wc -l) -eq $(wc -l <"$expected") ]] || { echo "not as many values as on Linux"; return 1; }
}

check_sample_import() {
    local arch=$1
    import_both "$arch" sample "$ROOT/sample/export"
    check "$arch sample: the form saw the Linux form's progress values, within 0..100" \
        progress_ok "$OUT" "$ROOT/tests/cases/sample-export-import/expected/progress.txt"
}

check_generated_import() {
    local arch=$1
    import_both "$arch" "generated $LINES lines" "$GENERATED"
    check "$arch generated: progress values within 0..100, never going down" progress_ok "$OUT"
    printf '     import of %s lines: Linux %.2f s, Wine %s %.2f s (with the script host)\n' \
        "$LINES" "$LINUX_TIME" "$arch" "$WINE_TIME"
}

check_iuf_update() {
    local arch=$1 case=$ROOT/tests/cases/iuf-progress-restarts-per-file l=$A/lin-iuf w=$A/win-iuf out
    prepare "$l" "$case/source" 1 "$case/setup.sql"
    prepare "$w" "$case/source" 1 "$case/setup.sql"
    "$LQ" update-iuf --db "$l/club.db" --source "$l/source" --trace "$l/trace.log" --quiet
    out=$(vbs recording iuf "$(winpath "$w/club.db")" "$(winpath "$w/source")" - "$(winpath "$w/trace.log")" 0 "")
    check "$arch IUF: bImport_CodeIUF returns True" grep -qx 'result True Boolean' <<<"$out"
    check "$arch IUF: TraceLog as on Linux (time stamps aside)" \
        same trace "$(trace_text "$l/trace.log" "$l")" "$(trace_text "$w/trace.log" "$(winpath "$w")")"
    check "$arch IUF: rows as on Linux" same rows "$(rows "$l/club.db" | grep -v '^[0-9/]* [0-9:]*$')" \
        "$(rows "$w/club.db" | grep -v '^[0-9/]* [0-9:]*$')"
    check "$arch IUF: lb_message(2).Caption, then Refresh, then values, in the Linux form's order" \
        progress_ok "$out" "$case/expected/progress.txt"
    check "$arch IUF: one Refresh after each caption" \
        test "$(grep -c '^refresh$' <<<"$out")" -eq "$(grep -c '^label 2 ' <<<"$out")"
}

# cscript writes in the console's code page; the description is compared in UTF-8.
host_error() { iconv -f CP850 -t UTF-8 <<<"$1" | grep -qxF "$2"; }

check_bad_forms_and_paths() {
    local arch=$1 w=$A/bad out
    prepare "$w" "$ROOT/sample/export"
    out=$(vbs nobar licence "$(winpath "$w/club.db")" "$(winpath "$w/source")" "$(winpath "$w/work")" \
        "$(winpath "$w/trace.log")")
    check "$arch: a form without ProgressBar1 raises 438 with its description" \
        host_error "$out" "error 438: Propriété ou méthode non gérée par cet objet"
    check "$arch: ... and the TraceLog was opened and started" grep -q "^Début de l'import" \
        <(iconv -f WINDOWS-1252 -t UTF-8 "$w/trace.log")
    out=$(vbs nothing licence "$(winpath "$w/club.db")" "$(winpath "$w/source")" "$(winpath "$w/work")" \
        "$(winpath "$w/trace.log")")
    check "$arch: Nothing as the form raises 91" \
        host_error "$out" "error 91: Variable objet ou variable de bloc With non définie"
    out=$(vbs recording licence "$(winpath "$w/absent/club.db")" "$(winpath "$w/source")" "$(winpath "$w/work")" \
        "$(winpath "$w/trace2.log")")
    check "$arch: a wrong database path returns False" grep -qx 'result False Boolean' <<<"$out"
    check "$arch: ... with the connection message and the engine's error in the TraceLog" \
        perl -0ne "exit !/Erreur de connexion dans dll d'import des licences\.\nImport annulé\.\nErreur n° 14: /" \
        <(trace_text "$w/trace2.log" "$(winpath "$w")")
    out=$("$W" "$EXE" import-licences --db postgresql://club@localhost/club --source "$(winpath "$w/source")" \
        --work "$(winpath "$w/work")" --trace "$(winpath "$w/trace3.log")" 2>&1)
    check "$arch: quorvel.exe --db postgresql:// says PostgreSQL is not available" \
        grep -q "PostgreSQL n'est pas disponible dans cette version" <<<"$out"
}

check_program() {
    local arch=$1 l=$A/lin-exe w=$A/win-exe status
    prepare "$l" "$ROOT/sample/export"
    prepare "$w" "$ROOT/sample/export"
    "$LQ" import-licences --db "$l/club.db" --source "$l/source" --work "$l/work" --trace "$l/trace.log" \
        --today 2026-12-06 --quiet
    "$W" "$EXE" import-licences --db "$(winpath "$w/club.db")" --source "$(winpath "$w/source")" \
        --work "$(winpath "$w/work")" --trace "$(winpath "$w/trace.log")" --today 2026-12-06 --quiet
    status=$?
    check "$arch quorvel.exe import-licences: exit status 0" test "$status" -eq 0
    check "$arch quorvel.exe import-licences: the Linux program's TraceLog, time stamps included" \
        same trace "$(trace_text "$l/trace.log" "$l" keep)" "$(trace_text "$w/trace.log" "$(winpath "$w")" keep)"
    check "$arch quorvel.exe import-licences: rows as on Linux" same rows "$(rows "$l/club.db")" "$(rows "$w/club.db")"
}

# A case's setting $2 from its case.txt ($1), or $3.
setting() {
    local line
    line=$(grep -m1 "^$2=" "$1/case.txt") && echo "${line#*=}" || echo "${3:-}"
}

# The command lines of a case's steps for quorvel (the Linux program, or quorvel.exe with Windows
# paths when $3 is "win"), in run folder $2, one line per step.
case_commands() {
    local case=$1 run=$2 side=$3 today method steps i=0 club db source work trace p
    today=$(setting "$case" today 2026-06-15)
    IFS=, read -ra steps <<<"$(setting "$case" method import)"
    db=$run/club.db source=$run/source work=$run/work trace=$run/trace.log
    for p in $(setting "$case" missing | tr ',' ' '); do
        case $p in
        DB) db=$run/absent/club.db ;;
        SOURCE) source=$run/absent/source ;;
        WORK) work=$run/absent/work ;;
        TRACE) trace=$run/absent/trace.log ;;
        esac
    done
    if [[ $side == win ]]; then
        db=$(winpath "$db") source=$(winpath "$source") work=$(winpath "$work") trace=$(winpath "$trace")
    fi
    for method in "${steps[@]}"; do
        i=$((i + 1))
        local extra=""
        [[ $i -eq ${#steps[@]} && $(setting "$case" preview) == 1 ]] && extra=" --dry-run"
        if [[ $method == iuf ]]; then
            club=$(setting "$case" club)
            [[ -n $club ]] && extra+=" --club $club"
            echo "update-iuf --db \"$db\" --source \"$source\" --trace \"$trace\" --today $today --quiet$extra"
        else
            echo "import-licences --db \"$db\" --source \"$source\" --work \"$work\" --trace \"$trace\" --today $today --quiet$extra"
        fi
    done
}

# Every end-to-end case, ready to run in $TMP/cases/seed/NAME, and run by the Linux program in
# $TMP/cases/lin/NAME: once, for both architectures.
prepare_cases() {
    local case name l seed cmd setup
    for case in "$ROOT"/tests/cases/*/; do
        case=${case%/}
        name=$(basename "$case")
        [[ -f $case/case.txt ]] || continue
        # An IUF update limited to a club given empty cannot be written on the command line.
        grep -q '^club=$' "$case/case.txt" && continue
        seed=$TMP/cases/seed/$name l=$TMP/cases/lin/$name
        setup=""
        [[ -f $case/setup.sql ]] && setup=$case/setup.sql
        prepare "$seed" "$case/source" "$(setting "$case" reference 1)" "$setup"
        [[ -d $case/work ]] && cp -r "$case/work"/. "$seed/work/"
        [[ $(setting "$case" missing) == *DB* ]] && rm -f "$seed/club.db"
        mkdir -p "$TMP/cases/lin" && cp -r "$seed" "$l"
        while IFS= read -r cmd; do
            eval "\"\$LQ\" $cmd" >/dev/null 2>&1
            echo $? >"$l/status"
        done < <(case_commands "$case" "$l" lin)
        rows "$l/club.db" >"$l/rows"
    done
}

# The cases through quorvel.exe, all in one Wine process (a batch file), against the Linux
# program's runs: TraceLog, exit status of the last step, rows. With $2 = 2, every second case
# only, the odd ones when $3 = 1 (the other architecture runs the others).
check_cases() {
    local arch=$1 every=${2:-1} offset=${3:-0} batch=$A/cases.bat name l w cmd agree=0 disagree=0 report="" t0 i=0
    [[ -d $TMP/cases/lin ]] || prepare_cases
    printf '@echo off\r\n' >"$batch"
    mkdir -p "$A/cases"
    for l in "$TMP"/cases/lin/*; do
        i=$((i + 1))
        [[ $(((i + offset) % every)) -eq 0 ]] || continue
        name=$(basename "$l") w=$A/cases/$name
        cp -r "$TMP/cases/seed/$name" "$w"
        while IFS= read -r cmd; do
            printf '"%s" %s > "%s" 2>&1\r\n> "%s" echo %%ERRORLEVEL%%\r\n' "$(winpath "$EXE")" "$cmd" \
                "$(winpath "$w/out.txt")" "$(winpath "$w/status")" >>"$batch"
        done < <(case_commands "$ROOT/tests/cases/$name" "$w" win)
    done
    t0=$SECONDS
    "$W" cmd /c "$(winpath "$batch")" >/dev/null 2>&1
    echo "     $(ls "$A/cases" | wc -l) cases through quorvel.exe in $((SECONDS - t0)) s"
    for w in "$A"/cases/*/; do
        w=${w%/} name=$(basename "$w") l=$TMP/cases/lin/$name
        local why=""
        same trace "$(trace_text "$l/trace.log" "$l" keep)" "$(trace_text "$w/trace.log" "$(winpath "$w")" keep)" \
            >/dev/null || why+=" TraceLog"
        [[ $(tr -d ' \r\n' <"$l/status") == $(tr -d ' \r\n' <"$w/status" 2>/dev/null) ]] || why+=" status"
        same rows "$(cat "$l/rows")" "$(rows "$w/club.db")" >/dev/null || why+=" rows"
        if [[ -z $why ]]; then agree=$((agree + 1)); else disagree=$((disagree + 1)); report+="$name:$why"$'\n'; fi
    done
    check "$arch: $agree of $((agree + disagree)) end-to-end cases through quorvel.exe agree with Linux" \
        bash -c "printf '%s' \"\$1\"; test $disagree -eq 0" _ "$report"
}
