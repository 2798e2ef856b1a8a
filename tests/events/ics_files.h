// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Calendar files for the event tests and benchmarks: temporary directories,
// whole files, and a generator of realistic calendars.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include <unistd.h>

struct temp_dir {
    std::string path;
    temp_dir() {
        char name[] = "/tmp/ds-events-XXXXXX";
        path = mkdtemp(name) ? name : "/tmp";
    }
    ~temp_dir() {
        std::string command = "rm -rf '" + path + "'";
        if (path != "/tmp" && system(command.c_str()) != 0) perror("rm");
    }
    std::string file(const char *name) const { return path + "/" + name; }
};

inline void write_file(const std::string &path, const std::string &text) {
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) return;
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
}

inline std::string calendar(const std::string &components) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//dayspinner tests//EN\r\n" + components +
           "END:VCALENDAR\r\n";
}

// One VEVENT from its property lines (each without the line end).
inline std::string vevent(std::initializer_list<std::string> lines) {
    std::string out = "BEGIN:VEVENT\r\n";
    for (const auto &l : lines) out += l + "\r\n";
    return out + "END:VEVENT\r\n";
}

inline std::string ymd(int y, int m, int d) {
    char b[40];
    snprintf(b, sizeof b, "%04d%02d%02d", y, m, d);
    return b;
}

// A calendar of n events in the mix a mail-and-calendar program keeps:
// timed, all-day and multi-day events, and daily, weekly and monthly rules
// with EXDATEs. Events start from base_year on.
inline std::string generated_calendar(int n, unsigned seed, int base_year = 2020) {
    std::mt19937 rng(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::string out;
    out.reserve(static_cast<std::size_t>(n) * 330);
    for (int i = 0; i < n; ++i) {
        int y = base_year + pick(0, 6), m = pick(1, 12), d = pick(1, 28), h = pick(7, 19);
        std::string day = ymd(y, m, d), uid = "UID:gen-" + std::to_string(i) + "@dayspinner";
        std::string summary = "SUMMARY:Event " + std::to_string(i) + " planning & review";
        std::string stamp = "DTSTAMP:20200101T000000Z";
        char start[32], end[32];
        snprintf(start, sizeof start, "DTSTART:%sT%02d0000", day.c_str(), h);
        snprintf(end, sizeof end, "DTEND:%sT%02d3000", day.c_str(), h + 1);
        std::string ex =
            "EXDATE:" + ymd(y, m, std::min(d + 7, 28)) + "T" + std::to_string(h) + "0000";
        if (h < 10)
            ex = "EXDATE:" + ymd(y, m, std::min(d + 7, 28)) + "T0" + std::to_string(h) + "0000";
        int kind = pick(0, 99);
        if (kind < 40)
            out += vevent(
                {uid, stamp, start, end, summary, "LOCATION:Room " + std::to_string(i % 40)});
        else if (kind < 55)
            out += vevent({uid, stamp, "DTSTART;VALUE=DATE:" + day,
                           "DTEND;VALUE=DATE:" + ymd(y, m, d + 1), summary, "TRANSP:TRANSPARENT"});
        else if (kind < 65)
            out += vevent({uid, stamp, "DTSTART;VALUE=DATE:" + day,
                           "DTEND;VALUE=DATE:" + ymd(y, m, d + 3), summary,
                           "LOCATION:Conference centre"});
        else if (kind < 75)
            out += vevent({uid, stamp, start, end, summary,
                           "RRULE:FREQ=DAILY;COUNT=" + std::to_string(pick(5, 30)), ex});
        else if (kind < 90)
            out += vevent({uid, stamp, start, end, summary, "RRULE:FREQ=WEEKLY;BYDAY=MO,WE", ex});
        else
            out += vevent({uid, stamp, start, end, summary,
                           "RRULE:FREQ=MONTHLY;BYMONTHDAY=" + std::to_string(d) +
                               ";UNTIL=" + ymd(y + 2, m, d) + "T235959",
                           ex});
    }
    return calendar(out);
}

// A calendar as a web calendar service exports it, n events over about five
// years up to base_year: single events in UTC, all-day events, weekly
// meetings in the calendar's zone (defined by a VTIMEZONE) with exception
// dates, moved and cancelled occurrences of them.
inline std::string client_export(int n, unsigned seed, int base_year = 2026) {
    std::mt19937 rng(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto two = [](int v) { return (v < 10 ? "0" : "") + std::to_string(v); };
    std::string out =
        "BEGIN:VCALENDAR\r\nPRODID:-//dayspinner tests//client export//EN\r\nVERSION:2.0\r\n"
        "CALSCALE:GREGORIAN\r\nMETHOD:PUBLISH\r\nBEGIN:VTIMEZONE\r\nTZID:America/Chicago\r\n"
        "BEGIN:DAYLIGHT\r\nTZOFFSETFROM:-0600\r\nTZOFFSETTO:-0500\r\nTZNAME:CDT\r\n"
        "DTSTART:19700308T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\r\nEND:DAYLIGHT\r\n"
        "BEGIN:STANDARD\r\nTZOFFSETFROM:-0500\r\nTZOFFSETTO:-0600\r\nTZNAME:CST\r\n"
        "DTSTART:19701101T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\r\nEND:STANDARD\r\n"
        "END:VTIMEZONE\r\n";
    std::string common = "DTSTAMP:20260101T000000Z\r\nCREATED:20210101T000000Z\r\n"
                         "LAST-MODIFIED:20250101T000000Z\r\nTRANSP:OPAQUE\r\n";
    int meeting = -1, meeting_y = 0, meeting_m = 0, meeting_d = 0, meeting_h = 0;
    for (int i = 0; i < n; ++i) {
        int y = base_year - pick(0, 4), m = pick(1, 12), d = pick(1, 25), h = pick(0, 23);
        std::string uid =
            "UID:" + std::to_string(i) + "-" + std::to_string(seed) + "@example.com\r\n";
        std::string summary = "SUMMARY:Event " + std::to_string(i) + " with the project team\r\n";
        std::string text = "DESCRIPTION:Agenda\\, notes in the shared folder.\r\n";
        int kind = pick(0, 99);
        out += "BEGIN:VEVENT\r\n";
        if (kind < 55) {  // Single, in UTC.
            out += "DTSTART:" + ymd(y, m, d) + "T" + two(h) + "3000Z\r\nDTEND:" + ymd(y, m, d) +
                   "T" + two(h) + "5500Z\r\n" + uid + summary + text + "LOCATION:Room " +
                   std::to_string(i % 30) + "\r\n";
        } else if (kind < 70) {  // All day, one to three days.
            out += "DTSTART;VALUE=DATE:" + ymd(y, m, d) +
                   "\r\nDTEND;VALUE=DATE:" + ymd(y, m, d + pick(1, 3)) + "\r\n" + uid + summary +
                   text;
        } else if (kind < 88 || meeting < 0) {  // Weekly meeting in the calendar's zone.
            meeting = i;
            meeting_y = y;
            meeting_m = m;
            meeting_d = d;
            meeting_h = pick(8, 17);
            std::string at = "T" + two(meeting_h) + "0000";
            out += "DTSTART;TZID=America/Chicago:" + ymd(y, m, d) + at +
                   "\r\nDTEND;TZID=America/Chicago:" + ymd(y, m, d) + "T" + two(meeting_h) +
                   "4500\r\nRRULE:FREQ=WEEKLY;UNTIL=" + ymd(y + 1, m, d) +
                   "T000000Z\r\nEXDATE;TZID=America/Chicago:" + ymd(y, m, d + 0) + at + "," +
                   ymd(y + 1, m % 12 + 1, d) + at + "\r\n" + uid + summary + text;
        } else {  // A moved or cancelled occurrence of the last meeting.
            std::string was = ymd(meeting_y, meeting_m % 12 + 1, meeting_d);
            out += "RECURRENCE-ID;TZID=America/Chicago:" + was + "T" + two(meeting_h) +
                   "0000\r\nDTSTART;TZID=America/Chicago:" + was + "T" + two(meeting_h) +
                   "3000\r\nDTEND;TZID=America/Chicago:" + was + "T" + two(meeting_h) +
                   "5000\r\nUID:" + std::to_string(meeting) + "-" + std::to_string(seed) +
                   "@example.com\r\n" + summary + (kind < 94 ? "STATUS:CANCELLED\r\n" : "");
        }
        out += common + "END:VEVENT\r\n";
    }
    return out + "END:VCALENDAR\r\n";
}
