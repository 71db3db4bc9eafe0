# Sourced by the benchmarks: build_probe TARGET builds one probe as the library ships (the
# static FFmpeg of scripts/build-ffmpeg.sh, a Release tree in build/bench) and sets
# $bench_build. Expects scripts/common.sh to be sourced.
build_probe() {
  bash "$here/scripts/install-deps.sh"
  local ffmpeg_dir=$here/build/ffmpeg-native
  bash "$here/scripts/build-ffmpeg.sh" native "$ffmpeg_dir"
  bench_build=$here/build/bench
  mkdir -p "$bench_build"
  if [ ! -f "$bench_build/build.ninja" ]; then
    cmake -S "$here" -B "$bench_build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DBREVORA_STATIC_FFMPEG="$ffmpeg_dir" >"$bench_build.configure.log" 2>&1 ||
      { cat "$bench_build.configure.log"; exit 1; }
  fi
  cmake --build "$bench_build" --target "$1" >/dev/null
}
