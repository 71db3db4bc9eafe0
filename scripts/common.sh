# Shared by the run and test commands: build trees, Wine prefix and a headless display.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
native_build=$here/build/native
windows_build=$here/build/windows
export WINEPREFIX=$here/build/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES=mscoree,mshtml=
# Wine names files in the Unix locale's encoding: without a UTF-8 locale (a bare machine sets
# none) a recording named after a song with letters outside ASCII cannot be created.
export LC_ALL=C.UTF-8

# Compilations go through ccache when it is there (the install script adds it): a fresh
# clone on a machine that built the project before compiles only what changed. Paths under
# the checkout count relative to it, so clones in other folders share what was compiled.
compiler_launcher=()
if command -v ccache >/dev/null; then
  compiler_launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR=$here CCACHE_NOHASHDIR=true
fi

# A tree is configured again when its arguments differ from those it was configured with
# (kept in BUILD.arguments), so that a changed option is never silently ignored.
configure_and_build() { # build directory, extra cmake arguments...
  local build=$1
  shift
  mkdir -p "$(dirname "$build")"
  local arguments="${compiler_launcher[*]} $*"
  if [ ! -f "$build/build.ninja" ] || [ "$(cat "$build.arguments" 2>/dev/null || echo unknown)" != "$arguments" ]; then
    rm -f "$build/CMakeCache.txt"
    cmake -S "$here" -B "$build" -G Ninja "${compiler_launcher[@]}" "$@" >"$build.configure.log" 2>&1 ||
      { cat "$build.configure.log"; return 1; }
    printf '%s\n' "$arguments" >"$build.arguments"
  fi
  cmake --build "$build"
}

build_windows() {
  configure_and_build "$windows_build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake"
}

# Starts Xvfb on a free display unless one is already usable; sets DISPLAY. Xvfb picks the
# number itself (-displayfd): it sees every display in use, also one of a run in a chroot,
# whose lock file this namespace does not show.
xvfb_pid=
start_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    return 0
  fi
  local ready
  ready=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$ready" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 100); do
    if [ -s "$ready" ]; then
      export DISPLAY=":$(head -n 1 "$ready")"
      rm -f "$ready"
      return 0
    fi
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$ready"
  kill "$xvfb_pid" 2>/dev/null
  xvfb_pid=
  echo "could not start Xvfb" >&2
  return 1
}

stop_display() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
  fi
  xvfb_pid=
}

# The first Wine start in a new prefix takes a while; do it once, up front.
prepare_wine() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    timeout 300 wineboot -i >/dev/null 2>&1 || true
    # Without a window manager (Xvfb) Wine must draw the title bars itself.
    timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
  fi
  timeout 60 wineserver -w || true
}
