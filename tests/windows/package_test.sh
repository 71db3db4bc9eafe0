#!/usr/bin/env bash
# The Windows package as a user gets it: built twice into the same bytes, holding exactly
# the expected files, unpacked into a fresh Wine prefix (nothing else installed), where
# package_check.exe drives both programs against a local Icecast station.
# Usage: package_test.sh SOURCE_DIR WINDOWS_BUILD_DIR PACKAGE_CHECK_EXE WORK_DIR
set -euo pipefail
source_dir=$1
build_dir=$2
check_exe=$3
work=$4
rm -rf "$work"
mkdir -p "$work"

version=$(head -n 1 "$source_dir/VERSION")
python3 "$source_dir/scripts/make_package.py" "$source_dir" "$build_dir" "$work/first.zip" >/dev/null
python3 "$source_dir/scripts/make_package.py" "$source_dir" "$build_dir" "$work/second.zip" >/dev/null
cmp "$work/first.zip" "$work/second.zip" || { echo "two builds of the package differ" >&2; exit 1; }

python3 - "$work/first.zip" "$work/unpacked" "brevora-$version" <<'PYTHON'
import sys, zipfile
archive, folder, top = sys.argv[1:]
expected = sorted(f"{top}/{name}" for name in [
    "brevora.exe", "brevora-editor.exe", "lame.exe", "stations.ini", "README.txt",
    "LICENSES/Brevora.txt", "LICENSES/FFmpeg.txt", "LICENSES/LGPL-2.1.txt",
    "LICENSES/mbedTLS.txt", "LICENSES/Apache-2.0.txt", "LICENSES/LAME.txt",
    "LICENSES/LGPL-2.txt"])
with zipfile.ZipFile(archive) as package:
    names = package.namelist()
    if names != expected:
        sys.exit(f"package entries differ:\n  got      {names}\n  expected {expected}")
    package.extractall(folder)
PYTHON
package_folder=$work/unpacked/brevora-$version
grep -q -- "--enable-decoder=" "$package_folder/LICENSES/FFmpeg.txt"

# A local station with a song title, which the recording is named after. The fixture runs
# until its standard input, held open here, closes with this script.
mkfifo "$work/station-input"
python3 "$source_dir/tests/servers/icecast_fixture.py" --mounts tone.mp3 \
  <"$work/station-input" >"$work/station.json" &
exec 3>"$work/station-input"
for _ in $(seq 1 900); do
  grep -q '"port"\|"error"' "$work/station.json" 2>/dev/null && break
  sleep 0.1
done
port=$(sed -n 's/.*"port": \([0-9]*\).*/\1/p' "$work/station.json")
[ -n "$port" ] || { cat "$work/station.json" >&2; exit 1; }
title="Package test - Tone"
curl -sf -m 10 -o /dev/null -u admin:hackme \
  "http://127.0.0.1:$port/admin/metadata?mount=/tone.mp3&mode=updinfo&song=Package%20test%20-%20Tone"

export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
# Sound goes to ALSA's null device, so the player feeds a real waveOut device.
export ALSA_CONFIG_PATH=/usr/share/alsa/alsa.conf:$source_dir/tests/windows/alsa-null.conf
finish() {
  timeout 30 wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap finish EXIT
timeout 300 wineboot -i >/dev/null 2>&1
BREVORA_PACKAGE_FOLDER="Z:${package_folder//\//\\}" \
  BREVORA_PACKAGE_STATION="http://127.0.0.1:$port/tone.mp3" \
  BREVORA_PACKAGE_TITLE="$title" \
  wine "$check_exe"
