#!/usr/bin/env bash
# Cross-builds mbedTLS for 64-bit Windows from Debian's source package, so that the Windows
# build verifies certificates with the same library as the native one.
# Usage: build-mbedtls-windows.sh INSTALL_DIR   (leaves include/ and lib/*.a there)
set -euo pipefail

install_dir=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
work=$install_dir.work
rm -rf "$work"
mkdir -p "$work"

# Source packages need deb-src entries: copy the machine's own Debian entries.
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ &&
  ! grep -qs '^deb-src' /etc/apt/sources.list; then
  if [ "$(id -u)" != 0 ]; then
    echo "build-mbedtls-windows: no deb-src entries and not root" >&2
    exit 1
  fi
  sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
    >/etc/apt/sources.list.d/brevora-deb-src.sources
  apt-get update -q
fi

cd "$work"
apt-get source -q --download-only mbedtls >/dev/null 2>&1 || {
  apt-get update -q >/dev/null
  apt-get source -q --download-only mbedtls >/dev/null
}
dpkg-source -x --skip-debianization ./mbedtls_*.dsc source >/dev/null 2>&1 ||
  dpkg-source -x ./mbedtls_*.dsc source >/dev/null

jobs=$(($(nproc) < 2 ? $(nproc) : 2))
cmake -S source -B build -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$install_dir" \
  -DENABLE_TESTING=OFF -DENABLE_PROGRAMS=OFF -DMBEDTLS_FATAL_WARNINGS=OFF \
  -DUSE_SHARED_MBEDTLS_LIBRARY=OFF -DUSE_STATIC_MBEDTLS_LIBRARY=ON >/dev/null
cmake --build build -j"$jobs" >/dev/null
cmake --install build >/dev/null
rm -rf "$work"
test -f "$install_dir/lib/libmbedtls.a"
