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
