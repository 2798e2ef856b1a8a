#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
# Runs bench_calendar of an earlier commit and of the working tree one after
# the other, and prints their times side by side with the ratio new / old.
# Usage: sh bench/calendar/before-after.sh <commit> [build dir of the working tree]
set -eu
cd "$(dirname "$0")/../.."
old_commit=$1
new_build=${2:-build}
work=$(mktemp -d)
trap 'git worktree remove --force "$work/src" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

git worktree add --detach "$work/src" "$old_commit" >/dev/null 2>&1
cmake -S "$work/src" -B "$work/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDAYSPINNER_TESTS=OFF \
    >/dev/null
cmake --build "$work/build" -j 2 --target bench_calendar >/dev/null
cmake --build "$new_build" -j 2 --target bench_calendar >/dev/null

run() { "$1" --benchmark_format=json --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true; }
run "$work/build/bench/calendar/bench_calendar" >"$work/old.json"
run "$new_build/bench/calendar/bench_calendar" >"$work/new.json"

python3 - "$work/old.json" "$work/new.json" "$old_commit" <<'PY'
import json, sys

def medians(path):
    out = {}
    for b in json.load(open(path))["benchmarks"]:
        if b.get("aggregate_name") == "median":
            scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3}[b["time_unit"]]
            out[b["run_name"]] = b["cpu_time"] * scale
    return out

old, new = medians(sys.argv[1]), medians(sys.argv[2])
print(f"{'benchmark (median CPU time, us)':36} {sys.argv[3][:10]:>10} {'now':>10} {'ratio':>7}")
for name in list(old) + [n for n in new if n not in old]:
    o, n = old.get(name), new.get(name)
    ratio = f"{n / o:7.2f}" if o and n else "      -"
    fmt = lambda v: f"{v:10.3f}" if v is not None else "         -"
    print(f"{name:36} {fmt(o)} {fmt(n)} {ratio}")
PY
