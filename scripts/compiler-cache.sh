# Sourced by setup.sh and build-windows.sh: when QUORVEL_CCACHE_DIR names a folder (CI keeps one in
# /var/cache between runs), compilers run through ccache (installed when missing), so that a build
# compiles only the files changed since the last one, whatever folder the clone is in. Sets
# compiler_cache_args, the cmake options that say so (none without QUORVEL_CCACHE_DIR).
compiler_cache_args=()
if [ -n "${QUORVEL_CCACHE_DIR:-}" ]; then
  if ! command -v ccache >/dev/null; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends ccache >/dev/null ||
      echo "warning: ccache could not be installed: the build compiles everything" >&2
  fi
  if command -v ccache >/dev/null; then
    mkdir -p "$QUORVEL_CCACHE_DIR"
    # Paths under the clone are hashed relative to it, and the compiler's folder is left out.
    export CCACHE_DIR=$QUORVEL_CCACHE_DIR CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=true CCACHE_MAXSIZE=3G
    compiler_cache_args=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
fi
