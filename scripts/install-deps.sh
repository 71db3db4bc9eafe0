#!/usr/bin/env bash
# Installs everything the build, the tests and the run command need on Debian 12.
# Runs as root; does nothing when every package is already present.
set -euo pipefail

packages=(
  cmake ninja-build pkg-config clang lld llvm libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools
  wine wine64 libasound2 xvfb x11-utils xauth
  googletest libgtest-dev
  ffmpeg libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
  libmbedtls-dev ca-certificates
  icecast2 lame curl python3
  nasm
  openssl dpkg-dev
  time valgrind ccache
  nlohmann-json3-dev
  liquidsoap
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" != 0 ]; then
    echo "install-deps: missing packages (${missing[*]}); run as root" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The posix thread model gives std::thread and std::mutex in the cross build.
if [ "$(id -u)" = 0 ]; then
  update-alternatives --set x86_64-w64-mingw32-g++ /usr/bin/x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || true
  update-alternatives --set x86_64-w64-mingw32-gcc /usr/bin/x86_64-w64-mingw32-gcc-posix >/dev/null 2>&1 || true
fi
