#!/usr/bin/env bash
# Cross-builds mbedTLS for 64-bit Windows from Debian's source package, so that the Windows
# build verifies certificates with the same library as the native one.
# Usage: build-mbedtls-windows.sh INSTALL_DIR   (leaves include/ and lib/*.a there)
# Does nothing when the folder already holds the libraries: every configure runs it.
set -euo pipefail
source "$(dirname "$0")/debian-source.sh"

install_dir=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ -f "$install_dir/lib/libmbedtls.a" ] && [ -f "$install_dir/lib/libmbedcrypto.a" ]; then
  exit 0
fi
work=$install_dir.work
rm -rf "$work"
mkdir -p "$work"

source_dir=$(unpack_debian_source mbedtls "$work")
cd "$work"

jobs=$(($(nproc) < 2 ? $(nproc) : 2))
cmake -S "$source_dir" -B build -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$install_dir" \
  -DENABLE_TESTING=OFF -DENABLE_PROGRAMS=OFF -DMBEDTLS_FATAL_WARNINGS=OFF \
  -DUSE_SHARED_MBEDTLS_LIBRARY=OFF -DUSE_STATIC_MBEDTLS_LIBRARY=ON >/dev/null
cmake --build build -j"$jobs" >/dev/null
cmake --install build >/dev/null
rm -rf "$work"
test -f "$install_dir/lib/libmbedtls.a"
