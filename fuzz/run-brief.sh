#!/bin/sh
# Builds the fuzz targets with clang and runs each briefly on its committed
# seed corpus; fails when a target crashes.
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build-fuzz -DDAYSPINNER_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DDAYSPINNER_TESTS=OFF -DDAYSPINNER_BENCH=OFF >/dev/null
cmake --build build-fuzz -j2 --target fuzz_events_load
seconds="${FUZZ_SECONDS:-10}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
cp fuzz/events/corpus/* "$work/"
ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}" sh tools/with-xvfb.sh \
    build-fuzz/fuzz/events/fuzz_events_load -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 "$work"
