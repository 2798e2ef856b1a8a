#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
# Installs what is missing, builds the normal and the sanitizer configuration,
# runs every test of both through CTest against a private Xvfb, and fuzzes briefly.
set -eu
cd "$(dirname "$0")/.."
sh tools/install-deps.sh

# Formatting, clang-tidy and cppcheck findings fail the run, but only after the tests ran.
code_status=0
sh tools/check-code.sh || code_status=1

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DDAYSPINNER_SANITIZE=ON -DDAYSPINNER_BENCH=OFF
cmake --build build-asan -j "$jobs"

# GTK and fontconfig keep caches until exit; leak checks are switched on by the
# tests that look for leaks of their own.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

status=0
sh tools/with-xvfb.sh ctest --test-dir build --output-on-failure -j 2 || status=1
sh tools/with-xvfb.sh ctest --test-dir build-asan --output-on-failure -j 2 || status=1

# A short libFuzzer run of the settings reader and the calendar loader (clang, ASan, UBSan).
sh fuzz/run-brief.sh >build-fuzz.log 2>&1 || { tail -n 40 build-fuzz.log; status=1; }
grep -E '^fuzzing|^stat::number_of_executed_units' build-fuzz.log || true
[ $code_status -eq 0 ] || { echo "code checks failed: see the findings above"; status=1; }
exit $status
