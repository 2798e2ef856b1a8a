#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
# check_install.sh BUILD_DIR PREFIX
set -eu
build=$1 prefix=$2
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
DESTDIR="$stage" cmake --install "$build" >/dev/null
program="$stage$prefix/bin/dayspinner"
page="$stage$prefix/share/man/man1/dayspinner.1"
[ -x "$program" ] || { echo "missing $program"; exit 1; }
[ -f "$page" ] || { echo "missing $page"; exit 1; }
engine="$stage$prefix/libexec/dayspinner/dayspinner-engine"
[ -x "$engine" ] || { echo "missing $engine"; exit 1; }
for ll in fa ar; do
    catalog="$stage$prefix/share/locale/$ll/LC_MESSAGES/dayspinner.mo"
    [ -f "$catalog" ] || { echo "missing $catalog"; exit 1; }
done
# Nothing else is installed.
count=$(find "$stage" -type f | wc -l)
[ "$count" -eq 5 ] || { echo "installed $count files:"; find "$stage" -type f; exit 1; }
# The program reads its settings first: give it a HOME of its own.
mkdir "$stage/home"
HOME="$stage/home" "$program" --version | grep -qx "Dayspinner 0.5.1" ||
    { echo "installed program does not run"; exit 1; }
warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
[ -z "$warnings" ] || { echo "$warnings"; exit 1; }
MANWIDTH=80 man -l "$page" | grep -q "STARTOFWEEK" || { echo "manual page lacks the settings keys"; exit 1; }
echo "installed: $program $page"
