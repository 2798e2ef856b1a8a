#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
# Builds and runs generate.cpp against the system's ICU (Debian's libicu-dev).
# Usage: sh tools/umm-al-qura/generate.sh > calendar/umm_al_qura.inc
set -eu
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
# shellcheck disable=SC2046
c++ -std=c++17 -O1 -o "$dir/generate" "$(dirname "$0")/generate.cpp" $(pkg-config --cflags --libs icu-i18n)
"$dir/generate"
