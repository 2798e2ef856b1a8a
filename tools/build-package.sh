#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
# Builds the Debian package: dayspinner_<version>_<arch>.deb in the top folder.
# An optimised build of the program alone in build-package/, packed by CPack.
set -eu
cd "$(dirname "$0")/.."
sh tools/install-deps.sh
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDAYSPINNER_TESTS=OFF \
    -DDAYSPINNER_BENCH=OFF
cmake --build build-package -j "$(nproc 2>/dev/null || echo 2)" --target dayspinner translations debian_files
cpack --config build-package/CPackConfig.cmake -B build-package/deb
cp build-package/deb/dayspinner_*.deb .
ls dayspinner_*.deb
