#!/usr/bin/env bash
# Cross-builds quorvel for Windows from Debian 12 (run as root on a fresh machine: it installs
# what is missing with apt-get), for x86 (32-bit hosts) and x64 (64-bit hosts):
#
#   build-windows/dist/x86/, build-windows/dist/x64/    quorvel.dll, quorvel.exe, reference\france.txt
#   build-windows/quorvel-VERSION-windows.zip           both, with LISEZMOI.txt
#
# libtomcrypt and SQLCipher come from Debian's source packages, built once into
# $QUORVEL_WINDOWS_CACHE (default /var/cache/quorvel-windows; scripts/windows-deps.sh).
#
# Usage: bash scripts/build-windows.sh [--arch x86|x64] [--no-zip]
# QUORVEL_WINDOWS_OPTIMISE (default -O2) sets the optimisation: CI, which only tests the build,
# uses -O1, a quarter faster to compile.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
source "$ROOT/scripts/compiler-cache.sh"
OUT=$ROOT/build-windows
CACHE=${QUORVEL_WINDOWS_CACHE:-/var/cache/quorvel-windows}
export QUORVEL_WINDOWS_CACHE=$CACHE
ARCHES=(x86 x64)
ZIP=1
while [[ $# -gt 0 ]]; do
    case $1 in
    --arch) ARCHES=("$2"); shift 2 ;;
    --no-zip) ZIP=0; shift ;;
    *) echo "usage: $0 [--arch x86|x64] [--no-zip]" >&2; exit 2 ;;
    esac
done

# Packages: the cross compilers, Wine for the tests (wine32 needs the i386 architecture), tclsh
# and dpkg-source for SQLCipher's sources.
install_packages() {
    local wanted=(mingw-w64 cmake make pkg-config gcc tcl dpkg-dev xz-utils libcli11-dev wine wine64 wine32:i386) missing=()
    for p in "${wanted[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
    done
    [[ ${#missing[@]} -eq 0 ]] && return
    echo "build-windows: installing ${missing[*]}"
    if [[ " ${missing[*]} " == *" wine32:i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

build_arch() {
    local arch=$1 dir=$OUT/$arch deps
    deps=$(echo "$CACHE"/sqlcipher-*+tomcrypt-*/"$arch")
    # CLI11 is header-only: its Debian headers serve the cross-build too, alone on the include path.
    mkdir -p "$OUT/include" && ln -sfn /usr/include/CLI "$OUT/include/CLI"
    if [[ ! -f $dir/CMakeCache.txt ]]; then
        PKG_CONFIG_LIBDIR=$deps/lib/pkgconfig cmake -S "$ROOT" -B "$dir" -Wno-dev \
            -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-$arch.cmake" -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_CXX_FLAGS="-isystem $OUT/include" -DCMAKE_CXX_FLAGS_RELEASE="${QUORVEL_WINDOWS_OPTIMISE:--O2} -DNDEBUG" \
            -DQUORVEL_BUILD_TESTS=OFF -DQUORVEL_BUILD_BENCH=OFF -DQUORVEL_POSTGRESQL=OFF \
            "${compiler_cache_args[@]}" >/dev/null
    fi
    if ! PKG_CONFIG_LIBDIR=$deps/lib/pkgconfig cmake --build "$dir" -j"${QUORVEL_JOBS:-2}" \
        --target quorvel quorvel_cli >"$dir/build.log" 2>&1; then
        cat "$dir/build.log" >&2
        echo "build-windows: the $arch build failed" >&2
        exit 1
    fi
    grep -i 'warning' "$dir/build.log" || true
    local dist=$OUT/dist/$arch
    rm -rf "$dist" && mkdir -p "$dist/reference"
    cp "$dir/src/quorvel.dll" "$dir/cli/quorvel.exe" "$dist/"
    cp "$ROOT/data/reference/france.txt" "$dist/reference/"
}

make_zip() {
    local version name stage
    version=$(sed -n 's/^project(quorvel VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")
    name=quorvel-$version-windows
    stage=$OUT/zip/$name
    rm -rf "$OUT/zip" && mkdir -p "$stage"
    cp -r "$OUT/dist/x86" "$OUT/dist/x64" "$stage/"
    sed 's/$/\r/' "$ROOT/scripts/windows/LISEZMOI.txt" >"$stage/LISEZMOI.txt"
    rm -f "$OUT/$name.zip"
    (cd "$OUT/zip" && cmake -E tar cf "$OUT/$name.zip" --format=zip "$name")
    echo "build-windows: $OUT/$name.zip ($(stat -c %s "$OUT/$name.zip") bytes)"
}

install_packages
bash "$ROOT/scripts/windows-deps.sh" "${ARCHES[@]}"
for arch in "${ARCHES[@]}"; do
    build_arch "$arch"
done
[[ $ZIP -eq 1 && ${#ARCHES[@]} -eq 2 ]] && make_zip
exit 0
