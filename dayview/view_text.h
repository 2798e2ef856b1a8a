// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Texts of the day view as GTK needs them: valid UTF-8, escaped where they
// become markup, whole however long the locale makes them.
#pragma once

#include "protocol/protocol.h"
#include "protocol/text.h"

#include <libical/ical.h>

#include <cstddef>
#include <string>

// t's fields formatted with strftime as they stand, without any zone
// conversion, in UTF-8; the buffer grows until the whole text fits.
std::string format_time(const char *format, icaltimetype t);
std::string markup_escaped(const std::string &text);  // "<", "&" and the rest as entities
std::string valid_utf8(const char *text);             // invalid sequences replaced

// How the day view dates its day: the face's calendar and language, and the
// language of the program's windows.
struct view_calendar {
    int kind = 0;           // the face's calendar: 0 Gregorian, 1 Persian, 2 Islamic
    int hijri = 0;          // the Islamic months: 0 Umm al-Qura, 1 Iran
    int hijri_adjust = 0;   // -2 to 2: days every Islamic date moves later
    int face_language = 0;  // 2, Dari: the Persian months by their Afghan names
    int language = 0;       // the program's: 0 English, 1 Farsi, 2 Arabic (names, digits)
};

// The ASCII digits of text in the language's own: Farsi U+06F0..U+06F9,
// Arabic U+0660..U+0669; English keeps them.
std::string in_language_digits(const std::string &text, int language);
// The day view's last row when it leaves n rows out: "and 9800 more", in the
// program's language with its plural forms and digits.
std::string more_rows_text(std::size_t n, int language);
// A Gregorian day in calendar kind as day, month name and year ("19 Azar
// 1405"), in the calendar's names in the program's language.
std::string date_in_calendar(icaltimetype gregorian, int kind, const view_calendar &calendar);
// The view's heading: the weekday and the day in the face's calendar; in
// English in the Gregorian calendar, the locale's "%A, %x".
std::string view_heading(icaltimetype gregorian, const view_calendar &calendar);
// The day in the two calendars other than the face's, Gregorian, Persian,
// Islamic in that order, joined by " · ".
std::string view_also(icaltimetype gregorian, const view_calendar &calendar);
// The occurrence's time or date text: its local hours and minutes when it
// covers one day and is timed ("10:00 - 11:00"), "all day event" for a
// one-day date, else its first and last day, in the face's calendar (in
// English in the Gregorian calendar, the locale's "%a, %x"). Digits in the
// language's own.
std::string when_text(const occurrence &o, const view_calendar &calendar);
