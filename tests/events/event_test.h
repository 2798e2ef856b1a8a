// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Shared fixture: one calendar file in a temporary directory, read by a real
// engine process.
#pragma once

#include <gtest/gtest.h>  // before Xlib, whose None macro it would meet

#include "calendar/calendar.h"
#include "engine/engine.h"
#include "events/events.h"
#include "tests/events/ics_files.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

inline icaltimetype day_of(int y, int m, int d) {
    icaltimetype t = icaltime_null_date();
    t.year = y;
    t.month = m;
    t.day = d;
    t.is_date = 1;
    return t;
}

// The process's zone for one scope: TZ set and read again, restored after.
struct scoped_zone {
    std::string saved;
    int had = 0;
    explicit scoped_zone(const char *zone) {
        if (const char *z = getenv("TZ")) {
            saved = z;
            had = 1;
        }
        setenv("TZ", zone, 1);
        tzset();
    }
    ~scoped_zone() {
        if (had)
            setenv("TZ", saved.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
};

// The calendar at path read in this process by the engine's own reader, for
// tests of what it keeps of each component; newest first.
inline std::vector<const event_node *> read_in_process(const std::string &path) {
    read_options options;
    options.name = "Dayspinner";
    read_calendar(path.c_str(), options);
    std::vector<const event_node *> out;
    for (const event_node *n = event_list; n; n = n->next) out.push_back(n);
    return out;
}

// The calendar read and answered by a real engine process, and waited for:
// each query first asks the engine for the days around it.
class event_file_test : public ::testing::Test {
  public:
    temp_dir dir;
    std::string path = dir.file("calendar.ics");
    int debug = 0;
    int time_scale = 10;  // answers are compared here, not the deadlines
    engine_fault fault;
    void SetUp() override { stop_events(); }
    void TearDown() override {
        stop_events();
        free_events();
    }
    events_config config() const {
        return {path, debug, "Dayspinner", time_scale, fault, TEST_ENGINE};
    }
    void load_events() {
        ::load_events(config());
        settle_events(120000);
    }
    void load(const std::string &components) {
        write_file(path, calendar(components));
        load_events();
    }
    static void ask_around(icaltimetype day) {
        int64_t n = gregorian_to_jdn(day);
        ask_days({n - 15, n + 45});
        settle_events(120000);
    }
    static int day_status(icaltimetype day) {
        ask_around(day);
        return ::day_status(day);
    }
    static int event_on_day(std::size_t event, icaltimetype day) {
        ask_around(day);
        return occurrence_on_day(event, day) != nullptr;
    }
    static int answers(std::size_t event, icaltimetype day) { return event_on_day(event, day); }
    static std::vector<std::string> summaries() {
        std::vector<std::string> out;
        for (const event_record &e : held_events()) out.push_back(e.summary);
        return out;
    }
    // The index of the event with that summary; the list's length without one.
    static std::size_t index_of(const std::string &summary) {
        const std::vector<event_record> &events = held_events();
        for (std::size_t i = 0; i < events.size(); ++i)
            if (events[i].summary == summary) return i;
        return events.size();
    }
    // Days of one month on which an event (the first) falls, as day numbers.
    static std::vector<int> marked_days(int y, int m, std::size_t event = 0) {
        std::vector<int> out;
        for (int d = 1; d <= 31; ++d)
            if (d <= icaltime_days_in_month(m, y) && event_on_day(event, day_of(y, m, d)))
                out.push_back(d);
        return out;
    }
};
