#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
# Builds and runs generate.cpp against the system's libnova (Debian's libnova-dev).
# Usage: sh tools/iran-hijri/generate.sh > calendar/iran_hijri.inc
#        sh tools/iran-hijri/generate.sh --measure
# Writing the table takes about six minutes; measuring about a minute and a half.
set -eu
here=$(dirname "$0")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
c++ -std=c++17 -O2 -o "$dir/generate" "$here/generate.cpp" "$here/crescent.cpp" -lnova -lm
"$dir/generate" "$@" "$here/consolidated.txt"
