#!/usr/bin/env bash
# Runs the tests: `bash scripts/test.sh [native|asan|tsan|fuzz|windows]...` runs the named
# trees, every tree when none is named: the audio library natively (plain, ASan/UBSan,
# TSan), its fuzz targets, then the Windows builds of both programs and the library under
# Wine on a headless display. Each tree's time is printed as it ends.
set -euo pipefail
source "$(dirname "$0")/common.sh"

trees=("$@")
[ ${#trees[@]} -gt 0 ] || trees=(native asan tsan fuzz windows)
for tree in "${trees[@]}"; do
  case "$tree" in
    native | asan | tsan | fuzz | windows) ;;
    *) echo "usage: bash scripts/test.sh [native|asan|tsan|fuzz|windows]..." >&2; exit 2 ;;
  esac
done

bash "$here/scripts/install-deps.sh"

# The native trees' tests mostly wait on streams that play in real time: four at a time kept
# two cores busy under a third of the time. The fuzzers and the window tests keep the CPU busy.
run_ctest() { # build directory, tests at a time
  (cd "$1" && ctest --output-on-failure -j"${2:-2}" --timeout 600)
}

test_tree() { # tree name
  case "$1" in
    native)
      configure_and_build "$native_build"
      run_ctest "$native_build" 4 ;;
    asan)
      configure_and_build "$here/build/native-asan" -DBREVORA_SANITIZE=address
      ASAN_OPTIONS=detect_leaks=1 run_ctest "$here/build/native-asan" 4 ;;
    tsan)
      configure_and_build "$here/build/native-tsan" -DBREVORA_SANITIZE=thread
      TSAN_OPTIONS=halt_on_error=1 run_ctest "$here/build/native-tsan" 4 ;;
    fuzz)
      configure_and_build "$here/build/fuzz" -DBREVORA_FUZZ=ON -DCMAKE_C_COMPILER=clang \
        -DCMAKE_CXX_COMPILER=clang++
      run_ctest "$here/build/fuzz" ;;
    windows)
      build_windows
      start_display
      trap stop_display EXIT
      prepare_wine
      run_ctest "$windows_build" ;;
  esac
}

for tree in "${trees[@]}"; do
  started=$SECONDS
  test_tree "$tree"
  echo "== $tree: passed in $((SECONDS - started)) s (total $SECONDS s)"
done
echo "all tests passed"
