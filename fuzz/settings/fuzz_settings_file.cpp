// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Feeds arbitrary bytes to the settings file reader the way load_settings
// does: at most 4095 bytes, terminated, text ending at the first NUL.
#include "settings/settings.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    char text[4096];
    size_t n = size < sizeof text - 1 ? size : sizeof text - 1;
    memcpy(text, data, n);
    text[n] = '\0';

    settings_record s;
    int current = apply_settings_text(text, &s);

    // Values stay inside their fields, terminated.
    if (strnlen(s.ics_path, sizeof s.ics_path) >= sizeof s.ics_path) abort();
    if (strnlen(s.app_command, sizeof s.app_command) >= sizeof s.app_command) abort();
    if (current != 0 && current != 1) abort();
    return 0;
}
