#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
# Installs what is missing, builds, and starts the tile on $DISPLAY. Without a
# display that answers, docks the tile in a private Xvfb with Window Maker,
# saves a PNG screenshot of it, prints the PNG's path and stops everything.
set -eu
cd "$(dirname "$0")/.."
sh tools/install-deps.sh

build="${DAYSPINNER_BUILD_DIR:-build}"
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j "$jobs" --target dayspinner ds_e2e_xhelper translations
# The uninstalled tile reads the build's catalogs.
DAYSPINNER_LOCALEDIR="$PWD/$build/locale"
export DAYSPINNER_LOCALEDIR

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    exec "$build/dayspinner" "$@"
fi

echo "no display answers: docking the tile in a private Xvfb with Window Maker"
png="${DAYSPINNER_SCREENSHOT:-$PWD/$build/dayspinner-tile.png}"
DAYSPINNER_BINARY="$PWD/$build/dayspinner" DAYSPINNER_XHELPER="$PWD/$build/tests/e2e/ds_e2e_xhelper" \
    python3 - "$png" "$@" <<'PY'
import sys, time
sys.path.insert(0, "tests/e2e")
import harness

png, args = sys.argv[1], sys.argv[2:]
with harness.Session() as session:
    tile = session.start_tile(args)
    time.sleep(1.0)  # the first refresh
    tile.save_png(png)
    status = tile.close_and_wait()
    sys.stdout.write(tile.stdout())
    sys.stderr.write(tile.stderr())
print(png)
sys.exit(0 if status == 0 else 1)
PY
