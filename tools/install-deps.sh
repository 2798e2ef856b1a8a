#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
# Installs every Debian package that building, testing and benchmarking need.
# Safe to run again: it only calls apt-get when something is missing.
set -eu

packages="build-essential cmake pkg-config
libx11-dev libxext-dev libxpm-dev libgtk2.0-dev libical-dev
libgtest-dev libbenchmark-dev clang libclang-rt-14-dev
xvfb xauth x11-utils xdotool wmaker fluxbox faketime imagemagick
openbox blackbox pekwm icewm fvwm afterstep twm
fonts-dejavu-core python3 python3-ephem libicu-dev libnova-dev valgrind
clang-format clang-tidy cppcheck
python3-gi python3-gi-cairo python3-cairo gir1.2-pango-1.0 fonts-urw-base35 fonts-noto-ui-core
python3-icalendar python3-recurring-ical-events locales-all
dpkg-dev file lintian man-db gettext libseccomp-dev strace
dbus dbus-bin dunst"

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "installing:$missing"
$sudo apt-get update
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends $missing
