#!/usr/bin/env bash
# A day on the air: `bash bench/day.sh [MINUTES]` (default 60). The real player under Wine
# plays a local Icecast station whose title changes every 10 seconds, recording one file per
# song, while its sampler reads the player's private memory, handles, threads and finished
# files once a minute; then every file is checked and a table and the growth per hour are
# printed (bench/day.py). Exits non-zero when a check fails. The Windows test tree runs it for
# three minutes with BREVORA_DAY_WINDOWS_TREE set to itself: then nothing is installed or
# built, and the tree's display is used. The player runs in a Wine prefix of its own: a
# running player takes over every later start in its prefix (one player at a time), so in
# the tests' prefix it would end theirs, and theirs would end it.
set -euo pipefail
source "$(dirname "$0")/../scripts/common.sh"
minutes=${1:-60}
if [ -n "${BREVORA_DAY_WINDOWS_TREE:-}" ]; then
  tree=$BREVORA_DAY_WINDOWS_TREE
else
  bash "$here/scripts/install-deps.sh"
  build_windows >/dev/null
  tree=$windows_build
  start_display
  trap stop_display EXIT
fi
export WINEPREFIX=$(dirname "$tree")/day-wineprefix
prepare_wine
python3 "$here/bench/day.py" "$tree" "$minutes"
