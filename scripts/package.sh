#!/usr/bin/env bash
# Builds the Windows programs and packs them, with lame.exe, a starter stations.ini, the
# user guide and the licences, into build/brevora-<version>-win64.zip. The same commit
# always gives the same bytes.
set -euo pipefail
source "$(dirname "$0")/common.sh"

bash "$here/scripts/install-deps.sh"
build_windows >/dev/null
version=$(head -n 1 "$here/VERSION")
python3 "$here/scripts/make_package.py" "$here" "$windows_build" \
  "$here/build/brevora-$version-win64.zip"
