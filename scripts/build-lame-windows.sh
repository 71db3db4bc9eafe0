#!/usr/bin/env bash
# Cross-builds LAME's command-line encoder for 64-bit Windows from Debian's own `lame` source
# package, statically linked, and leaves lame.exe in the given folder. The player starts
# "lame.exe" without a directory to record, so the build copies it beside the programs.
# Does nothing when the folder already holds it. The Windows configuration runs this itself.
set -euo pipefail
source "$(dirname "$0")/debian-source.sh"

prefix=${1:-}
[ -n "$prefix" ] || { echo "usage: build-lame-windows.sh INSTALL-FOLDER" >&2; exit 2; }
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)
if [ -f "$prefix/lame.exe" ]; then
  exit 0
fi

work=$prefix/source
rm -rf "$work"
mkdir -p "$work"

source_dir=$(unpack_debian_source lame "$work")

# Only the encoder is needed: lame reads the WAV the library writes to its standard input.
mkdir -p "$work/build"
cd "$work/build"
"$source_dir/configure" --host=x86_64-w64-mingw32 --disable-shared --enable-static \
  --disable-decoder --disable-gtktest CFLAGS=-O2 LDFLAGS=-static \
  >configure.log 2>&1 || { tail -n 30 configure.log >&2; exit 1; }
make -j2 >make.log 2>&1 || { tail -n 40 make.log >&2; exit 1; }
x86_64-w64-mingw32-strip -o "$prefix/lame.exe" frontend/lame.exe
cd "$prefix"
rm -rf "$work"
echo "build-lame-windows: lame.exe installed in $prefix"
