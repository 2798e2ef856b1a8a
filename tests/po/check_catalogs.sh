#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
# check_catalogs.sh SOURCE_DIR WORK_DIR LL...
# Every catalog translates every message the sources mark today: the template
# is made afresh (in WORK_DIR, not the source tree), each catalog merged with
# it, and msgfmt checks the result and counts it. A fuzzy or untranslated
# message, or one the catalog lacks, fails.
set -eu
source_dir=$1 work=$2
shift 2
mkdir -p "$work"
cmake -DXGETTEXT=xgettext -DSOURCE_DIR="$source_dir" -DVERSION=0 -DOUTPUT="$work/check.pot" \
    -P "$source_dir/po/template.cmake"
status=0
for ll in "$@"; do
    msgmerge --quiet -o "$work/$ll.po" "$source_dir/po/$ll.po" "$work/check.pot"
    if ! counts=$(msgfmt --check --statistics -o /dev/null "$work/$ll.po" 2>&1); then
        echo "$ll.po: $counts"
        status=1
        continue
    fi
    echo "$ll.po: $counts"
    case $counts in
    *fuzzy* | *untranslated*) status=1 ;;
    *" translated message"*) ;;
    *) status=1 ;;
    esac
done
exit $status
