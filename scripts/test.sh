#!/usr/bin/env bash
# Runs every test: the audio library natively (plain, ASan/UBSan, TSan), then the Windows
# builds of both programs and the library under Wine on a headless display.
set -euo pipefail
source "$(dirname "$0")/common.sh"

bash "$here/scripts/install-deps.sh"

run_ctest() { # build directory
  (cd "$1" && ctest --output-on-failure -j2 --timeout 600)
}

configure_and_build "$native_build"
run_ctest "$native_build"

configure_and_build "$here/build/native-asan" -DBREVORA_SANITIZE=address
ASAN_OPTIONS=detect_leaks=1 run_ctest "$here/build/native-asan"

configure_and_build "$here/build/native-tsan" -DBREVORA_SANITIZE=thread
TSAN_OPTIONS=halt_on_error=1 run_ctest "$here/build/native-tsan"

configure_and_build "$here/build/fuzz" -DBREVORA_FUZZ=ON -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++
run_ctest "$here/build/fuzz"

build_windows
start_display
trap stop_display EXIT
prepare_wine
run_ctest "$windows_build"
echo "all tests passed"
