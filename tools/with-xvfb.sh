#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
# Runs a command against a private Xvfb server on a free display number.
set -eu
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb=$!
read -r number <"$fifo"
rm -f "$fifo"
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null || true' EXIT INT TERM
DISPLAY=":$number" "$@"
