// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The settings file and the settings dialog.
#pragma once

#include <cstddef>

void load_settings();
void save_settings();
void open_settings_dialog();  // returns when the dialog has been closed

// Applies the key=value text of a settings file to app_state; returns 1 when
// it carries the current VERSION, 0 when the file is out of date.
int apply_settings_text(const char *text);

// Writes the six lines of the settings file; 1 on success. On failure the old
// file is left as it was and one line has gone to standard error.
int write_settings_file();

// Copies src into dst of dst_size bytes, cut so that no UTF-8 sequence is
// split; dst is always terminated.
void copy_utf8_cut(char *dst, size_t dst_size, const char *src, size_t src_len);
