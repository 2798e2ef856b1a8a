// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Faults of the recurrence library contained in the worker process: rules
// that crash it or hold it, files full of them, unreadable starts, files that
// are no calendar at all, and the user's locale.
#include "tests/events/event_test.h"

#include "calendar/calendar.h"

#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <clocale>
#include <random>

namespace {

using worker_test = event_file_test;
using seconds = std::chrono::duration<double>;

// The library's iterator reads wild memory on this rule: in the tile it
// ended the process at its first refresh.
const char *const crashing_rule = "RRULE:FREQ=YEARLY;BYWEEKNO=10";
// Rules whose next() walks for seconds: no hour of theirs meets their days.
const char *const holding_rules[] = {
    "RRULE:FREQ=HOURLY;BYMONTH=2;BYMONTHDAY=30",
    "RRULE:FREQ=HOURLY;BYHOUR=3;BYMONTHDAY=31;BYMONTH=4,6,9,11",
    "RRULE:FREQ=MINUTELY;BYHOUR=3;BYMINUTE=7;BYMONTH=2;BYMONTHDAY=30",
};

std::string weekly(int i) {
    // Weekly from Monday 5 January 2026 plus i % 7 days.
    return vevent({"DTSTART:" + ymd(2026, 1, 5 + i % 7) + "T0900" + (i < 10 ? "0" : "") +
                       std::to_string(i % 60),
                   "SUMMARY:weekly " + std::to_string(i), "RRULE:FREQ=WEEKLY"});
}

std::vector<int> weekly_days(int i, int y, int m) {
    std::vector<int> out;
    int64_t first = gregorian_to_jdn(day_of(2026, 1, 5 + i % 7));
    for (int d = 1; d <= icaltime_days_in_month(m, y); ++d) {
        int64_t k = gregorian_to_jdn(day_of(y, m, d));
        if (k >= first && (k - first) % 7 == 0) out.push_back(d);
    }
    return out;
}

const event_node *find(const std::string &summary) {
    for (const event_node *n = event_list; n; n = n->next)
        if (n->summary == summary) return n;
    return nullptr;
}

std::vector<int> days_of(const event_node *node, int y, int m) {
    std::vector<int> out;
    for (int d = 1; d <= icaltime_days_in_month(m, y); ++d)
        if (event_on_day(node, day_of(y, m, d))) out.push_back(d);
    return out;
}

double month_of_marks(int y, int m) {
    auto begin = std::chrono::steady_clock::now();
    for (int d = 1; d <= icaltime_days_in_month(m, y); ++d) day_status(day_of(y, m, d));
    return seconds(std::chrono::steady_clock::now() - begin).count();
}

}  // namespace

// A worker killed by a signal, and rules that hold it, at random places
// among 30 weekly events: the culprit keeps its first instance, every other
// event its marks, and one debugging line names the culprit.
TEST_F(worker_test, a_crash_or_a_hang_costs_its_own_event_only) {
    std::mt19937 rng(7);
    struct fault {
        const char *rule;
        int signal;  // raised by the worker on reaching the culprit, or 0
    };
    for (fault bad : {fault{"RRULE:FREQ=DAILY", SIGSEGV}, fault{"RRULE:FREQ=WEEKLY", SIGKILL},
                      fault{holding_rules[0], 0}, fault{holding_rules[1], 0}}) {
        int place = std::uniform_int_distribution<int>(0, 29)(rng);
        std::string file;
        for (int i = 0; i < 30; ++i) {
            if (i == place)
                file += vevent({"DTSTART:20260718T100000", "SUMMARY:culprit", bad.rule});
            file += weekly(i);
        }
        app_state.debug_level = 1;
        testing::internal::CaptureStdout();
        load(file);
        int position = 0;
        for (const event_node *n = event_list; n->summary != "culprit"; n = n->next) ++position;
        worker_fault_event = bad.signal ? position : -1;
        worker_fault_signal = bad.signal;
        double took = month_of_marks(2026, 7);
        worker_fault_event = -1;
        std::string out = testing::internal::GetCapturedStdout();
        app_state.debug_level = 0;
        EXPECT_LT(took, 2.0) << bad.rule;
        const event_node *culprit = find("culprit");
        ASSERT_NE(culprit, nullptr);
        EXPECT_EQ(culprit->faulty, 1) << bad.rule;
        EXPECT_EQ(days_of(culprit, 2026, 7), (std::vector<int>{18})) << bad.rule;
        EXPECT_NE(out.find("recurrence of \"culprit\""), std::string::npos) << out;
        for (int i = 0; i < 30; ++i)
            EXPECT_EQ(days_of(find("weekly " + std::to_string(i)), 2026, 7),
                      weekly_days(i, 2026, 7))
                << bad.rule << ", event " << i;
        // Faulty until the file is read again: the next month runs no rule of it.
        month_of_marks(2026, 8);
        EXPECT_EQ(culprit->faulty, 1);
        EXPECT_EQ(days_of(culprit, 2026, 8), (std::vector<int>{}));
        EXPECT_EQ(days_of(find("weekly 0"), 2026, 8), weekly_days(0, 2026, 8));
    }
}

// The rule on which the library's iterator reads wild memory: whatever it
// does in the worker, the tile lives on and the first instance is marked.
TEST_F(worker_test, the_rule_that_crashes_the_library_leaves_the_tile_alive) {
    load(vevent({"DTSTART:20260718T100000", "SUMMARY:crash", crashing_rule}) + weekly(0));
    EXPECT_LT(month_of_marks(2026, 7), 2.0);
    EXPECT_EQ(event_on_day(find("crash"), day_of(2026, 7, 18)), 1);
    EXPECT_EQ(days_of(find("weekly 0"), 2026, 7), weekly_days(0, 2026, 7));
}

// A thousand rules that each hold the worker: every month is drawn within
// 2 s, each with its first instances, and the event ahead of them in the
// list keeps its own marks.
TEST_F(worker_test, a_file_of_a_thousand_holding_rules_draws_each_month_within_two_seconds) {
    std::string file;
    for (int i = 0; i < 1000; ++i)
        file += vevent({"DTSTART:" + ymd(2026, 1 + i % 3, 1 + i % 28) + "T100000",
                        "SUMMARY:held " + std::to_string(i), holding_rules[i % 3]});
    load(file + weekly(0));
    for (int m = 1; m <= 3; ++m) {
        EXPECT_LT(month_of_marks(2026, m), 2.0) << m;
        for (int d = 1; d <= 28; ++d) EXPECT_EQ(day_status(day_of(2026, m, d)), 1);
    }
    EXPECT_EQ(days_of(find("weekly 0"), 2026, 3), weekly_days(0, 2026, 3));
}

// Starts the library cannot read, as real files wrote them: such a component
// marks no day, whatever its end says, and is not listed.
TEST_F(worker_test, a_component_whose_start_cannot_be_read_marks_nothing) {
    for (const char *start : {"DTSTART;TZID=\"W. Europe Standard Time:20200609T090000\"",
                              "DTSTART;VALUE=DATE:Next Year", "DTSTART:00000000T000000",
                              "DTSTART:20260230T100000", "DTSTART:20261301T100000"}) {
        load(vevent({start, "DTEND:20260110T100000", "SUMMARY:unreadable", "RRULE:FREQ=DAILY"}) +
             vevent({"DTSTART:20260120T100000", "SUMMARY:good"}));
        EXPECT_EQ(summaries(), (std::vector<std::string>{"good"})) << start;
        for (int d = 1; d <= 31; ++d)
            EXPECT_EQ(day_status(day_of(2026, 1, d)), d == 20 ? 1 : 0) << start << " " << d;
        EXPECT_EQ(day_status(day_of(1, 1, 1)), 0) << start;
    }
}

// Paths that name no calendar, or one too large to read: never a hang, and
// a file over the limit clears the marks and says so.
TEST_F(worker_test, paths_that_are_no_calendar_are_not_read) {
    load(vevent({"DTSTART:20260105T100000", "SUMMARY:kept"}));
    for (const char *device : {"/dev/zero", "/dev/urandom"}) {
        snprintf(app_state.ics_path, sizeof app_state.ics_path, "%s", device);
        auto begin = std::chrono::steady_clock::now();
        load_events();
        EXPECT_LT(seconds(std::chrono::steady_clock::now() - begin).count(), 2.0);
        EXPECT_EQ(summaries(), (std::vector<std::string>{"kept"})) << device;
    }
    snprintf(app_state.ics_path, sizeof app_state.ics_path, "%s", path.c_str());
    write_file(path, calendar(vevent({"DTSTART:20260105T100000", "SUMMARY:big"})));
    ASSERT_EQ(truncate(path.c_str(), 100L << 20), 0);  // 100 MB, mostly a hole
    testing::internal::CaptureStderr();
    auto begin = std::chrono::steady_clock::now();
    load_events();
    load_events();
    EXPECT_LT(seconds(std::chrono::steady_clock::now() - begin).count(), 2.0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Dayspinner: " + path + " is larger than 32 MiB and is not read\n");
    EXPECT_EQ(summaries(), (std::vector<std::string>{}));
    EXPECT_EQ(day_status(day_of(2026, 1, 5)), 0);
}

// iCalendar names are case-insensitive in every locale: a Turkish dotless i
// must not stop "begin" matching BEGIN, nor "freq=daily" matching DAILY.
TEST_F(worker_test, the_same_file_gives_the_same_marks_in_every_locale) {
    std::string file = "begin:vevent\r\ndtstart:20260105T100000\r\nsummary:lower\r\n"
                       "rrule:freq=daily;count=3\r\nend:vevent\r\n" +
                       vevent({"DTSTART:20260120T100000", "SUMMARY:after"});
    for (const char *locale : {"C", "tr_TR.UTF-8", "ru_RU.KOI8-R"}) {
        ASSERT_NE(setlocale(LC_ALL, locale), nullptr) << locale << " is not installed";
        load(file);
        std::vector<int> marked;
        for (int d = 1; d <= 31; ++d)
            if (day_status(day_of(2026, 1, d))) marked.push_back(d);
        EXPECT_EQ(marked, (std::vector<int>{5, 6, 7, 20})) << locale;
        EXPECT_EQ(summaries(), (std::vector<std::string>{"after", "lower"})) << locale;
        free_events();
    }
    setlocale(LC_ALL, "C");
}
