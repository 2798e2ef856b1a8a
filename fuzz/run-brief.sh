#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
# Builds the fuzz targets with clang and runs each briefly on its committed
# seed corpus; fails when a target crashes. FUZZ_SECONDS sets the time per target.
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build-fuzz -DDAYSPINNER_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DDAYSPINNER_TESTS=OFF -DDAYSPINNER_BENCH=OFF >/dev/null
cmake --build build-fuzz -j2 --target fuzz_events_load fuzz_settings_file fuzz_tile_side \
    fuzz_engine_side

seconds="${FUZZ_SECONDS:-10}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"

# target corpus [libFuzzer flags...]: new inputs go to a scratch copy of the corpus.
run_target() {
    target=$1 corpus=$2
    shift 2
    rm -rf "$work/corpus" && mkdir "$work/corpus" && cp "$corpus"/* "$work/corpus/"
    echo "fuzzing $(basename "$target") for ${seconds}s"
    "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        "$@" "$work/corpus"
}

run_target build-fuzz/fuzz/settings/fuzz_settings_file fuzz/settings/corpus -max_len=8192
# Each side's decoder of the other's frames: small and fast, half the time.
full=$seconds
seconds=$(( (full + 1) / 2 ))
run_target build-fuzz/fuzz/protocol/fuzz_tile_side fuzz/protocol/tile-corpus -max_len=65536
run_target build-fuzz/fuzz/protocol/fuzz_engine_side fuzz/protocol/engine-corpus -max_len=65536
seconds=$full
# An input the target jumps out of leaves what the library held unfreed;
# without -detect_leaks=0 each would be run twice to look for a leak. A file
# with zones costs milliseconds for each (their expansion through 2037), a
# plain one a fraction of one: mutations are spent in inverse proportion.
run_target build-fuzz/fuzz/events/fuzz_events_load fuzz/events/corpus -dict=fuzz/events/ics.dict \
    -detect_leaks=0 -entropic_scale_per_exec_time=1
