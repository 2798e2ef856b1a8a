#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
# The trust boundary in what each program links. The tile never hands a
# calendar byte to libical: of the library it calls only the date helpers
# (icaltime_*), and nothing of ICU. The engine calls nothing of GTK or X.
# Usage: check_boundary.sh TILE ENGINE
set -eu
calls() { nm -u "$1" | awk '{print $2}' | sed 's/@.*//'; }
bad=$(calls "$1" | grep -E '^(ical|_ZN[0-9]*icu_[0-9]+|u[a-z]*_[A-Za-z]+_[0-9]+$)' | grep -v '^icaltime_' || true)
[ -z "$bad" ] || { printf 'the tile calls the calendar library beyond its date helpers:\n%s\n' "$bad"; exit 1; }
bad=$(calls "$2" | grep -E '^(gtk_|gdk_|g_signal|X[A-Z][a-z]|xcb_)' || true)
[ -z "$bad" ] || { printf 'the engine calls GTK or X:\n%s\n' "$bad"; exit 1; }
echo "boundary: the tile calls no calendar parser, the engine no GTK or X"
