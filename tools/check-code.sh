#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
# Fails on a formatting, clang-tidy or cppcheck finding in the project's own code.
# Usage: tools/check-code.sh [--fix]   (--fix reformats in place instead of failing)
set -eu
cd "$(dirname "$0")/.."

sources=$(git ls-files '*.cpp' '*.h')
program=$(git ls-files 'core/*.cpp' 'dock/*.cpp' 'calendar/*.cpp' 'face/*.cpp' 'settings/*.cpp' \
    'events/*.cpp' 'engine/*.cpp' 'dayview/*.cpp' 'protocol/*.cpp' 'sources/*.cpp' 'alarms/*.cpp' \
    'reminder/*.cpp')
status=0

if [ "${1:-}" = "--fix" ]; then
    # shellcheck disable=SC2086
    clang-format -i $sources
    exit 0
fi

# shellcheck disable=SC2086
clang-format --dry-run --Werror $sources || { echo "formatting: run tools/check-code.sh --fix"; status=1; }

cmake -S . -B build-tidy -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DDAYSPINNER_TESTS=OFF \
    -DDAYSPINNER_BENCH=OFF >/dev/null
for f in $program; do
    clang-tidy -p build-tidy --quiet "$f" 2>/dev/null || status=1
done

cppcheck --quiet --enable=warning,performance,portability --std=c++17 --inline-suppr \
    --error-exitcode=1 -I . core dock calendar face settings events engine dayview protocol sources alarms reminder || status=1

[ $status -eq 0 ] && echo "code checks: clean"
exit $status
