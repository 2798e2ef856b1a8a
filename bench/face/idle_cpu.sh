#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
# Idle cost of the tile: CPU time (user + system, from /proc/PID/stat) that
# the real dayspinner uses over a stretch without input, as a percentage of
# one core. Starts its own Xvfb; the settings file goes to a scratch HOME.
#   sh bench/face/idle_cpu.sh [path/to/dayspinner] [seconds]
set -eu
binary=${1:-build/dayspinner}
seconds=${2:-60}
here=$(cd "$(dirname "$0")/../.." && pwd)
[ -x "$binary" ] || { echo "no program at $binary" >&2; exit 1; }

if [ -z "${IDLE_CPU_INNER:-}" ]; then
    IDLE_CPU_INNER=1 exec sh "$here/tools/with-xvfb.sh" sh "$0" "$binary" "$seconds"
fi

home=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$home"' EXIT INT TERM
HOME=$home "$binary" >/dev/null 2>&1 &
pid=$!
sleep 3  # start-up and the first refresh are not idle time

ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
hz=$(getconf CLK_TCK)
t0=$(ticks)
start=$(date +%s.%N)
sleep "$seconds"
t1=$(ticks)
end=$(date +%s.%N)
awk -v a="$t0" -v b="$t1" -v hz="$hz" -v s="$start" -v e="$end" 'BEGIN {
    cpu = (b - a) / hz; wall = e - s
    printf "idle cpu: %.3f s in %.1f s = %.3f %% of one core\n", cpu, wall, 100 * cpu / wall
}'
