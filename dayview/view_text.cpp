// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Texts of the day view; see dayview/view_text.h.
#include "dayview/view_text.h"

#include "calendar/calendar.h"

#include <glib.h>
#include <glib/gi18n-lib.h>
#include <libintl.h>

#include <cstdio>
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

// Month and weekday names: the English words are the catalogs' keys, with
// a context each, since the Persian "Dey" and the Afghan "Hut" are words of
// other lists too.
const char *const gregorian_months[12] = {
    NC_("Gregorian month", "January"),   NC_("Gregorian month", "February"),
    NC_("Gregorian month", "March"),     NC_("Gregorian month", "April"),
    NC_("Gregorian month", "May"),       NC_("Gregorian month", "June"),
    NC_("Gregorian month", "July"),      NC_("Gregorian month", "August"),
    NC_("Gregorian month", "September"), NC_("Gregorian month", "October"),
    NC_("Gregorian month", "November"),  NC_("Gregorian month", "December"),
};
const char *const persian_months[12] = {
    NC_("Persian month", "Farvardin"), NC_("Persian month", "Ordibehesht"),
    NC_("Persian month", "Khordad"),   NC_("Persian month", "Tir"),
    NC_("Persian month", "Mordad"),    NC_("Persian month", "Shahrivar"),
    NC_("Persian month", "Mehr"),      NC_("Persian month", "Aban"),
    NC_("Persian month", "Azar"),      NC_("Persian month", "Dey"),
    NC_("Persian month", "Bahman"),    NC_("Persian month", "Esfand"),
};
const char *const afghan_months[12] = {
    NC_("Afghan month", "Hamal"),   NC_("Afghan month", "Sawr"),  NC_("Afghan month", "Jawza"),
    NC_("Afghan month", "Saratan"), NC_("Afghan month", "Asad"),  NC_("Afghan month", "Sonbola"),
    NC_("Afghan month", "Mizan"),   NC_("Afghan month", "Aqrab"), NC_("Afghan month", "Qaws"),
    NC_("Afghan month", "Jadi"),    NC_("Afghan month", "Dalw"),  NC_("Afghan month", "Hut"),
};
const char *const islamic_months[12] = {
    NC_("Islamic month", "Muharram"),        NC_("Islamic month", "Safar"),
    NC_("Islamic month", "Rabi' al-awwal"),  NC_("Islamic month", "Rabi' al-thani"),
    NC_("Islamic month", "Jumada al-awwal"), NC_("Islamic month", "Jumada al-thani"),
    NC_("Islamic month", "Rajab"),           NC_("Islamic month", "Sha'ban"),
    NC_("Islamic month", "Ramadan"),         NC_("Islamic month", "Shawwal"),
    NC_("Islamic month", "Dhu al-Qa'dah"),   NC_("Islamic month", "Dhu al-Hijjah"),
};
// Sunday first, as struct tm counts.
const char *const weekdays[7] = {
    NC_("weekday", "Sunday"),    NC_("weekday", "Monday"),   NC_("weekday", "Tuesday"),
    NC_("weekday", "Wednesday"), NC_("weekday", "Thursday"), NC_("weekday", "Friday"),
    NC_("weekday", "Saturday"),
};

const char *translated(const char *context, const char *word) {
    return g_dpgettext2(GETTEXT_PACKAGE, context, word);
}

bool timed_in_one_day(const occurrence &o) { return o.first_day == o.last_day && !o.start.is_date; }

std::string hours_and_minutes(icaltimetype t) {
    char text[8];
    snprintf(text, sizeof text, "%02d:%02d", t.hour % 100, t.minute % 100);
    return text;
}

}  // namespace

std::string in_language_digits(const std::string &text, int language) {
    if (language != 1 && language != 2) return text;
    // U+06F0 and U+0660 as UTF-8: DB B0 and D9 A0; the ten digits of each
    // follow in the second byte.
    const unsigned char lead = language == 1 ? 0xDB : 0xD9, first = language == 1 ? 0xB0 : 0xA0;
    std::string out;
    for (char c : text) {
        if (c < '0' || c > '9') {
            out += c;
            continue;
        }
        out += static_cast<char>(lead);
        out += static_cast<char>(first + (c - '0'));
    }
    return out;
}

std::string more_rows_text(std::size_t n, int language) {
    // gettext picks the plural form by an unsigned long.
    unsigned long count = static_cast<unsigned long>(n);
    // TRANSLATORS: the day view's last row: how many rows it leaves out.
    const char *format = dngettext(GETTEXT_PACKAGE, "and %lu more", "and %lu more", count);
    gstring text(g_strdup_printf(format, count));
    return in_language_digits(valid_utf8(text.get()), language);
}

std::string date_in_calendar(icaltimetype gregorian, int kind, const view_calendar &calendar) {
    icaltimetype date = gregorian;
    const char *context = "Gregorian month";
    const char *const *names = gregorian_months;
    if (kind == calendar_persian) {
        jdn_to_persian(gregorian_to_jdn(gregorian), &date);
        bool afghan = calendar.face_language == 2;
        context = afghan ? "Afghan month" : "Persian month";
        names = afghan ? afghan_months : persian_months;
    } else if (kind == calendar_islamic) {
        int adjust =
            calendar.hijri_adjust >= -2 && calendar.hijri_adjust <= 2 ? calendar.hijri_adjust : 0;
        jdn_to_islamic(gregorian_to_jdn(gregorian) + adjust, &date, calendar.hijri);
        context = "Islamic month";
        names = islamic_months;
    }
    int month = date.month >= 1 && date.month <= 12 ? date.month : 1;
    std::string text = std::to_string(date.day) + " " + translated(context, names[month - 1]) +
                       " " + std::to_string(date.year);
    return in_language_digits(text, calendar.language);
}

std::string view_heading(icaltimetype gregorian, const view_calendar &calendar) {
    int kind = calendar.kind >= 0 && calendar.kind <= 2 ? calendar.kind : 0;
    if (kind == calendar_gregorian && calendar.language == 0)
        return format_time("%A, %x", gregorian);
    int weekday = ((weekday_of(gregorian) + 2) % 7 + 7) % 7;  // weekday_of counts from Tuesday
    return std::string(translated("weekday", weekdays[weekday])) + " " +
           date_in_calendar(gregorian, kind, calendar);
}

std::string view_also(icaltimetype gregorian, const view_calendar &calendar) {
    int kind = calendar.kind >= 0 && calendar.kind <= 2 ? calendar.kind : 0;
    std::string out;
    for (int other : {calendar_gregorian, calendar_persian, calendar_islamic}) {
        if (other == kind) continue;
        if (!out.empty()) out += " · ";
        out += date_in_calendar(gregorian, other, calendar);
    }
    return out;
}

std::string when_text(const occurrence &o, const view_calendar &calendar) {
    if (timed_in_one_day(o))
        return in_language_digits(hours_and_minutes(o.start) + " - " + hours_and_minutes(o.end),
                                  calendar.language);
    if (o.first_day == o.last_day) return _("all day event");
    icaltimetype first = icaltime_null_date(), last = icaltime_null_date();
    jdn_to_gregorian(o.first_day, &first);
    jdn_to_gregorian(o.last_day, &last);
    if (calendar.kind == calendar_gregorian && calendar.language == 0)
        return format_time("%a, %x", first) + " - " + format_time("%a, %x", last);
    return date_in_calendar(first, calendar.kind, calendar) + " - " +
           date_in_calendar(last, calendar.kind, calendar);
}

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
