#!/usr/bin/env bash
# Builds a minimal, audio-only, static FFmpeg from Debian's own `ffmpeg` source package into
# the given folder (lib/ and include/ under it), for one target:
#   windows  cross-compiled for 64-bit Windows (the Windows configuration runs this itself)
#   native   for this machine, position-independent (the benchmark's probe links it)
# Both targets share one set of components, so what is measured is what ships. Does nothing
# when the folder already holds libraries built with the same component list.
set -euo pipefail
source "$(dirname "$0")/debian-source.sh"

target=${1:-}
prefix=${2:-}
case "$target" in
  windows)
    target_options=(--target-os=mingw32 --arch=x86_64 --enable-cross-compile
      --cross-prefix=x86_64-w64-mingw32- --enable-w32threads) ;;
  native)
    target_options=(--enable-pthreads --enable-pic) ;;
  *) target= ;;
esac
[ -n "$target" ] && [ -n "$prefix" ] || { echo "usage: build-ffmpeg.sh windows|native INSTALL-FOLDER" >&2; exit 2; }

components=(
  --disable-everything
  --enable-demuxer=mp3,aac,ogg,mov,flac,asf,mpegts
  --enable-decoder=mp1float,mp2float,mp3float,aac,vorbis,flac,opus,wmav1,wmav2,wmapro,wmalossless
  --enable-parser=mpegaudio,aac,vorbis,flac,opus
  --enable-swresample
)

mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)
# The stamp makes a changed component list rebuild an existing tree instead of keeping it.
stamp=$prefix/components
if [ -f "$prefix/lib/libavformat.a" ] && [ -f "$prefix/lib/libswresample.a" ] &&
  [ "$(cat "$stamp" 2>/dev/null)" = "${components[*]}" ]; then
  exit 0
fi

work=$prefix/source
mkdir -p "$work"
source_dir=$(find "$work" -maxdepth 2 -name configure -path '*ffmpeg-*' -printf '%h\n' | head -n 1)

if [ -z "$source_dir" ]; then
  source_dir=$(unpack_debian_source ffmpeg "$work")
fi

build=$work/build
rm -rf "$build"
mkdir -p "$build"
cd "$build"
"$source_dir/configure" \
  --prefix="$prefix" \
  "${target_options[@]}" \
  --pkg-config=false \
  --enable-static --disable-shared --disable-autodetect \
  --disable-programs --disable-doc --disable-network --disable-debug \
  --disable-avdevice --disable-avfilter --disable-swscale --disable-postproc \
  "${components[@]}" \
  >"$build/configure.log" 2>&1 || { tail -n 30 "$build/configure.log" >&2; exit 1; }
make -j2 >"$build/make.log" 2>&1 || { tail -n 40 "$build/make.log" >&2; exit 1; }
make install >>"$build/make.log" 2>&1
rm -rf "$build"
echo "${components[*]}" >"$stamp"
echo "build-ffmpeg: $target libraries installed in $prefix"
