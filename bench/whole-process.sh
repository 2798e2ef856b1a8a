#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
# Every figure of the project in one run: the whole process docked in Window
# Maker (start-up, resident size, idle CPU time), then each subsystem's own
# benchmarks and measuring scripts.
#   sh bench/whole-process.sh [--quick] [BUILD_DIR]
# BUILD_DIR (default build) is a normal, not a sanitizer, build with the
# benchmarks. --quick shortens the idle measures from ten minutes to one.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
idle=600
build=build
for arg in "$@"; do
    case $arg in
    --quick) idle=60 ;;
    -*) echo "usage: $0 [--quick] [BUILD_DIR]" >&2; exit 2 ;;
    *) build=$arg ;;
    esac
done
binary=$build/dayspinner
xhelper=$build/tests/e2e/ds_e2e_xhelper
[ -x "$binary" ] && [ -x "$xhelper" ] || { echo "build $build first (with its tests)" >&2; exit 1; }

echo "== whole process ($binary)"
python3 "$here/bench/whole_process.py" "$binary" "$xhelper" --idle-seconds "$idle"

# Google Benchmark binaries of the subsystems, whatever bench/*/ builds; those
# that draw get a private Xvfb.
status=0
for program in "$build"/bench/*/*; do
    [ -f "$program" ] && [ -x "$program" ] || continue
    echo "== $(basename "$program")"
    sh "$here/tools/with-xvfb.sh" "$program" --benchmark_min_time=0.2 || status=1
done

# Measuring scripts of the subsystems; each takes the program and a duration.
for script in "$here"/bench/face/*.sh "$here"/bench/events/*.sh; do
    [ -f "$script" ] || continue
    echo "== $(basename "$script")"
    sh "$script" "$binary" "$idle" || status=1
done
echo "== engine figures"
python3 "$here/bench/engine_figures.py" "$build" || status=1
exit $status
