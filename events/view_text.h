// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Texts of the day view as GTK needs them: valid UTF-8, escaped where they
// become markup, whole however long the locale makes them.
#pragma once

#include <libical/ical.h>

#include <cstddef>
#include <string>

// t's fields formatted with strftime as they stand, without any zone
// conversion, in UTF-8; the buffer grows until the whole text fits.
std::string format_time(const char *format, icaltimetype t);
std::string markup_escaped(const std::string &text);  // "<", "&" and the rest as entities
std::string valid_utf8(const char *text);             // invalid sequences replaced
// text with each line break (CR LF, LF or CR) as one space.
std::string on_one_line(const std::string &text);
// Cuts text to at most limit bytes without splitting a UTF-8 sequence.
void cut_utf8(std::string &text, std::size_t limit);
