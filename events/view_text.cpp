// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Texts of the day view; see events/view_text.h.
#include "events/view_text.h"

#include "calendar/calendar.h"

#include <glib.h>

#include <ctime>
#include <memory>

namespace {

struct gfree {
    void operator()(void *p) const { g_free(p); }
};
using gstring = std::unique_ptr<char, gfree>;

// The calendar fields as a broken-down time, with no zone conversion; the
// weekday and day of the year come from the day number.
struct tm broken_down(icaltimetype t) {
    struct tm out {};
    out.tm_year = t.year - 1900;
    out.tm_mon = t.month - 1;
    out.tm_mday = t.day;
    if (!t.is_date) {
        out.tm_hour = t.hour;
        out.tm_min = t.minute;
        out.tm_sec = t.second;
    }
    out.tm_wday = (weekday_of(t) + 2) % 7;  // weekday_of counts from Tuesday
    icaltimetype first = t;
    first.month = 1;
    first.day = 1;
    out.tm_yday = gregorian_to_jdn(t) - gregorian_to_jdn(first);
    return out;
}

}  // namespace

// strftime into a buffer that grows until the text fits, in UTF-8. Locale
// formats are untrusted: their output may be long or in another encoding.
std::string format_time(const char *format, icaltimetype t) {
    struct tm tm = broken_down(t);
    std::string out;
    for (std::size_t size = 64; size <= 16384; size *= 4) {
        out.resize(size);
        std::size_t n = strftime(&out[0], size, format, &tm);
        if (n > 0 || size >= 16384) {
            out.resize(n);
            break;
        }
    }
    gstring utf8(g_locale_to_utf8(out.c_str(), -1, nullptr, nullptr, nullptr));
    if (utf8) return utf8.get();
    gstring valid(g_utf8_make_valid(out.c_str(), -1));
    return valid.get();
}

std::string markup_escaped(const std::string &text) {
    gstring e(g_markup_escape_text(text.c_str(), -1));
    return e.get();
}

std::string valid_utf8(const char *text) {
    gstring v(g_utf8_make_valid(text, -1));
    return v.get();
}

// Cuts text to at most limit bytes without splitting a UTF-8 sequence.
void cut_utf8(std::string &text, std::size_t limit) {
    if (text.size() <= limit) return;
    std::size_t n = limit;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xc0) == 0x80) --n;
    text.resize(n);
}

std::string on_one_line(const std::string &text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i] == '\r' || text[i] == '\n' ? ' ' : text[i];
    }
    return out;
}
