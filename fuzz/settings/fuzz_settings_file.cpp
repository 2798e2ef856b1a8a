// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Feeds arbitrary bytes to the settings file reader the way load_settings
// does: at most 4095 bytes, terminated, text ending at the first NUL.
#include "core/state.h"
#include "settings/settings.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    char text[4096];
    size_t n = size < sizeof text - 1 ? size : sizeof text - 1;
    memcpy(text, data, n);
    text[n] = '\0';

    app_state.ics_path[0] = '\0';
    app_state.app_command[0] = '\0';
    int current = apply_settings_text(text);

    // Values stay inside their fields, terminated.
    if (strnlen(app_state.ics_path, sizeof app_state.ics_path) >= sizeof app_state.ics_path)
        abort();
    if (strnlen(app_state.app_command, sizeof app_state.app_command) >=
        sizeof app_state.app_command)
        abort();
    if (current != 0 && current != 1) abort();
    return 0;
}
