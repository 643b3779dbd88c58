#!/usr/bin/env bash
# The third-party libraries of the Windows build, cross-compiled from Debian's own source packages:
# libtomcrypt (the cipher SQLCipher uses) and SQLCipher 3.4.1 (amalgamation). Kept in a cache
# folder outside the clone, keyed by version and architecture, and built only when missing:
#
#   $QUORVEL_WINDOWS_CACHE (default /var/cache/quorvel-windows)/
#       src/                                      Debian source packages, the amalgamation
#       sqlcipher-3.4.1+tomcrypt-1.18.2/ARCH/     include/sqlcipher/sqlite3.h, lib/*.a, lib/pkgconfig/sqlcipher.pc
#
# Usage: bash scripts/windows-deps.sh ARCH...   (ARCH: x86 or x64). Prints nothing when the cache
# is complete. Expects the packages of build-windows.sh (mingw-w64, tcl, dpkg-dev).
set -euo pipefail

CACHE=${QUORVEL_WINDOWS_CACHE:-/var/cache/quorvel-windows}
TOMCRYPT_VERSION=1.18.2
SQLCIPHER_VERSION=3.4.1
KEY="sqlcipher-${SQLCIPHER_VERSION}+tomcrypt-${TOMCRYPT_VERSION}"
JOBS=${QUORVEL_JOBS:-2}

triplet() { [[ $1 == x86 ]] && echo i686-w64-mingw32 || echo x86_64-w64-mingw32; }

# Debian's source packages: a deb-src twin of every deb entry, then apt-get source.
fetch_sources() {
    local src=$CACHE/src
    mkdir -p "$src"
    if compgen -G "$src/libtomcrypt_${TOMCRYPT_VERSION}*.orig.tar.*" >/dev/null &&
        compgen -G "$src/sqlcipher_${SQLCIPHER_VERSION}*.orig.tar.*" >/dev/null; then
        return
    fi
    if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
        sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
            >/etc/apt/sources.list.d/debian-src.sources
        apt-get update -qq
    fi
    (cd "$src" && apt-get source --download-only -qq libtomcrypt sqlcipher 2>&1 |
        grep -v '^W: Download is performed unsandboxed' || true)
    compgen -G "$src/sqlcipher_${SQLCIPHER_VERSION}*.orig.tar.*" >/dev/null &&
        compgen -G "$src/libtomcrypt_${TOMCRYPT_VERSION}*.orig.tar.*" >/dev/null || {
        echo "windows-deps: apt-get source did not bring sqlcipher ${SQLCIPHER_VERSION} and libtomcrypt ${TOMCRYPT_VERSION}" >&2
        exit 1
    }
}

# A source package unpacked with Debian's patches applied, into `dir`.
unpack() {
    local package=$1 version=$2 dir=$3
    rm -rf "$dir"
    dpkg-source --no-check -x "$(ls "$CACHE"/src/${package}_${version}-*.dsc | tail -1)" "$dir" >/dev/null
}

# The amalgamation sqlite3.c is the same for every architecture: generated once with the
# machine's own compiler and tclsh.
amalgamation() {
    local dir=$CACHE/src/sqlcipher-${SQLCIPHER_VERSION}
    [[ -s $dir/sqlite3.c ]] && return
    unpack sqlcipher "$SQLCIPHER_VERSION" "$dir"
    (cd "$dir" && ./configure -q --enable-tempstore=yes CFLAGS="-DSQLITE_HAS_CODEC" LDFLAGS="-lcrypto" >/dev/null &&
        make -s sqlite3.c >/dev/null)
}

build_arch() {
    local arch=$1 host out work
    host=$(triplet "$arch")
    out=$CACHE/$KEY/$arch
    [[ -s $out/lib/libsqlcipher.a && -s $out/lib/pkgconfig/sqlcipher.pc ]] && return
    echo "windows-deps: building libtomcrypt ${TOMCRYPT_VERSION} and SQLCipher ${SQLCIPHER_VERSION} for $arch in $out"
    fetch_sources
    amalgamation
    work=$(mktemp -d)
    trap 'rm -rf "$work"' RETURN
    local tc=$work/libtomcrypt-${TOMCRYPT_VERSION}
    unpack libtomcrypt "$TOMCRYPT_VERSION" "$tc"
    make -s -C "$tc" -j"$JOBS" CC=$host-gcc AR=$host-ar RANLIB=$host-ranlib \
        CFLAGS="-O2 -DLTC_NO_TEST -DLTC_NO_PROTOTYPES" library >"$work/tomcrypt.log" 2>&1 ||
        { cat "$work/tomcrypt.log" >&2; return 1; }
    mkdir -p "$work/sq"
    # The same cipher settings as Debian's libsqlcipher (3.4.1 defaults), through libtomcrypt.
    $host-gcc -O2 -w -c "$CACHE/src/sqlcipher-${SQLCIPHER_VERSION}/sqlite3.c" -o "$work/sq/sqlite3.o" \
        -DSQLITE_HAS_CODEC -DSQLCIPHER_CRYPTO_LIBTOMCRYPT -DSQLITE_TEMP_STORE=2 -DSQLITE_THREADSAFE=1 \
        -DSQLITE_OMIT_LOAD_EXTENSION -I"$tc/src/headers"
    $host-ar rcs "$work/sq/libsqlcipher.a" "$work/sq/sqlite3.o"
    rm -rf "$out.tmp" && mkdir -p "$out.tmp/include/sqlcipher" "$out.tmp/lib/pkgconfig"
    cp "$CACHE/src/sqlcipher-${SQLCIPHER_VERSION}/sqlite3.h" "$out.tmp/include/sqlcipher/"
    cp "$work/sq/libsqlcipher.a" "$tc/libtomcrypt.a" "$out.tmp/lib/"
    cat >"$out.tmp/lib/pkgconfig/sqlcipher.pc" <<EOF
prefix=$out
Name: SQLCipher
Description: SQLCipher ${SQLCIPHER_VERSION} with libtomcrypt ${TOMCRYPT_VERSION}, for Windows ($arch)
Version: ${SQLCIPHER_VERSION}
Libs: -L\${prefix}/lib -lsqlcipher -ltomcrypt
Cflags: -I\${prefix}/include/sqlcipher -DSQLITE_HAS_CODEC
EOF
    rm -rf "$out" && mv "$out.tmp" "$out"
}

for arch in "$@"; do
    build_arch "$arch"
done
