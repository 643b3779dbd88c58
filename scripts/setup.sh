#!/usr/bin/env bash
# Installs what the build needs (Debian 12, as root) and builds quorvel into build/.
# Usage: scripts/setup.sh [extra cmake options...]
#        scripts/setup.sh --packages-only PACKAGE...   installs the packages that are missing, no build
#                                                      (the fuzz and valgrind runs use it)
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake g++ make pkg-config libsqlcipher-dev sqlcipher libpq-dev libgtest-dev libcli11-dev help2man gettext locales
  python3)
packages_only=0
if [ "${1:-}" = "--packages-only" ]; then
  shift
  packages=("$@")
  packages_only=1
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "error: these Debian packages are missing and installing them needs root: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
[ "$packages_only" -eq 1 ] && exit 0

# The French locale, for the program's French messages and the tests that read them.
if ! locale -a 2>/dev/null | grep -qix 'fr_FR.utf-\?8'; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "warning: the fr_FR.UTF-8 locale is missing (root: locale-gen); the French tests will fail" >&2
  else
    sed -i 's/^# *\(fr_FR.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^fr_FR.UTF-8 UTF-8' /etc/locale.gen || echo 'fr_FR.UTF-8 UTF-8' >>/etc/locale.gen
    locale-gen >/dev/null
  fi
fi

source scripts/compiler-cache.sh
build_dir=${QUORVEL_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${compiler_cache_args[@]}" "$@" >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
