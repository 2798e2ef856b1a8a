// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Shared fixture: one calendar file in a temporary directory, loaded through
// the real loader into the process-wide event list.
#pragma once

#include <gtest/gtest.h>  // before Xlib, whose None macro it would meet

#include "core/state.h"
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

// Widens the worker's deadlines while a test compares answers, so that a
// loaded machine cannot make a sound rule look faulty.
struct patient_worker {
    patient_worker() { worker_time_scale = 10; }
    ~patient_worker() { worker_time_scale = 1; }
    patient_worker(const patient_worker &) = delete;
    patient_worker &operator=(const patient_worker &) = delete;
};

class event_file_test : public ::testing::Test {
  protected:
    temp_dir dir;
    std::string path = dir.file("calendar.ics");
    void SetUp() override {
        free_events();
        app_state.debug_level = 0;
        snprintf(app_state.ics_path, sizeof app_state.ics_path, "%s", path.c_str());
    }
    void TearDown() override { free_events(); }
    void load(const std::string &components) {
        write_file(path, calendar(components));
        load_events();
    }
    std::vector<std::string> summaries() const {
        std::vector<std::string> out;
        for (const event_node *n = event_list; n; n = n->next) out.push_back(n->summary);
        return out;
    }
    // Days of one month on which the first node falls, as day numbers.
    std::vector<int> marked_days(int y, int m) const {
        std::vector<int> out;
        for (int d = 1; d <= 31; ++d)
            if (d <= icaltime_days_in_month(m, y) && event_on_day(event_list, day_of(y, m, d)))
                out.push_back(d);
        return out;
    }
};
