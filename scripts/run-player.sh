#!/usr/bin/env bash
# Installs what is missing, builds, starts the local demo station and opens the player on
# it. Without a display the player runs on Xvfb: its window's texts are printed and a
# screenshot of it is saved.
set -euo pipefail
source "$(dirname "$0")/common.sh"

bash "$here/scripts/install-deps.sh"
build_windows >/dev/null
player_dir=$windows_build/bin
demo_dir=$here/build/demo
demo_port=${BREVORA_DEMO_PORT:-8750}

demo_url=$(bash "$here/scripts/demo-station.sh" start "$demo_dir" "$demo_port")
finish() {
  bash "$here/scripts/demo-station.sh" stop "$demo_dir"
  # Wine's processes let go of the display before it goes away.
  timeout 15 wineserver -w 2>/dev/null || true
  stop_display
}
trap finish EXIT

# The player reads stations.ini beside itself; keep a list the user already has.
if [ ! -f "$player_dir/stations.ini" ]; then
  printf '[stations]\r\nstation_count=2\r\nstation_name_1=Demo\r\nstation_url_1=null\r\nstation_name_2=Brevora demo (local)\r\nstation_url_2=%s\r\n' \
    "$demo_url" >"$player_dir/stations.ini"
fi
echo "demo station: $demo_url"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  prepare_wine
  cd "$player_dir" && wine brevora.exe
  exit 0
fi

start_display
prepare_wine
(cd "$player_dir" && exec wine brevora.exe >/dev/null 2>&1) &
player=$!
report=$here/build/player-window.txt
# Row 2 of the demo list is the demo station: choose it as a user would.
wine "$windows_build/tools/window-report.exe" Brevora --choose 2001 | tr -d '\r' >"$report"
read -r x y width height < <(sed -n 's/^window .* at \([0-9-]*\),\([0-9-]*\) size \([0-9]*\)x\([0-9]*\)$/\1 \2 \3 \4/p' "$report")
screenshot=$here/build/player-window.png
ffmpeg -nostdin -loglevel error -y -f x11grab -video_size "${width}x${height}" \
  -i "$DISPLAY+$x,$y" -frames:v 1 "$screenshot"
wine "$windows_build/tools/window-report.exe" Brevora --close >/dev/null
wait "$player" || true
cat "$report"
echo "screenshot: $screenshot"
