// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// What the calendar parser is handed: a file's text with its content lines
// unfolded and kept within bounds, so that no nesting, line or time-zone
// definition can cost more than these bounds allow.
#pragma once

#include <cstddef>
#include <string>

struct text_bounds {
    // Components nested deeper than this (a calendar, an event and its
    // alarm are three deep) are left out with everything in them: the
    // parser frees its components recursively.
    std::size_t max_depth = 16;
    // The value of a text property (SUMMARY, LOCATION, DESCRIPTION, COMMENT,
    // CONTACT, RESOURCES, CATEGORIES and X- properties) is cut to this many
    // bytes, at a character and not inside an escape.
    std::size_t max_text_value = 4096;
    // Any other content line longer than this is left out.
    std::size_t max_line = 65536;
    // A file's VTIMEZONEs beyond this many, and each one larger than
    // max_zone_bytes, are left out; the times that name them are then read
    // as those of the system zone of that name, or as floating.
    std::size_t max_zones = 100;
    std::size_t max_zone_bytes = 65536;
};

struct bounded_text {
    std::string text;                    // one unfolded content line per line, each ending in CRLF
    std::size_t values_cut = 0;          // text values shortened
    std::size_t lines_dropped = 0;       // too long, holding a NUL byte, or nested too deep
    std::size_t components_dropped = 0;  // nested deeper than max_depth
    std::size_t zones_dropped = 0;       // VTIMEZONEs beyond the count or size
};

bounded_text bound_calendar_text(const std::string &text, const text_bounds &bounds = {});
