// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Faults of the library contained in the engine and its workers: files,
// zone definitions and rules that crash or hold them, unreadable starts,
// files that are no calendar at all, and the user's locale.
#include "tests/events/event_test.h"

#include "calendar/calendar.h"

#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <clocale>
#include <random>

namespace {

using engine_test = event_file_test;
using seconds = std::chrono::duration<double>;

// The library's iterator reads wild memory on this rule.
const char *const crashing_rule = "RRULE:FREQ=YEARLY;BYWEEKNO=10";
// A rule whose next() walks for seconds: no hour of it meets its days.
const char *const holding_rule = "RRULE:FREQ=HOURLY;BYMONTH=2;BYMONTHDAY=30";

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

std::size_t find(const std::string &summary) { return engine_test::index_of(summary); }

std::vector<int> days_of(std::size_t event, int y, int m) {
    std::vector<int> out;
    for (int d = 1; d <= icaltime_days_in_month(m, y); ++d)
        if (engine_test::event_on_day(event, day_of(y, m, d))) out.push_back(d);
    return out;
}

// The days of month m of 2027.
day_range month(int m) {
    int64_t first = gregorian_to_jdn(day_of(2027, m, 1));
    return day_range{first, first + icaltime_days_in_month(m, 2027) - 1};
}

std::string zone(const std::string &tzid, const std::string &rule) {
    return "BEGIN:VTIMEZONE\r\nTZID:" + tzid + "\r\nBEGIN:STANDARD\r\nDTSTART:19700101T030000\r\n" +
           rule + "\r\nTZOFFSETFROM:+0300\r\nTZOFFSETTO:+0300\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";
}

}  // namespace

// An engine worker that crashes or holds on one event, by a rule of the
// library or brought on by the test, among 30 weekly events: the culprit
// keeps its first instance, every other event its marks, the engine lives on.
TEST_F(engine_test, a_crash_or_a_hang_in_expansion_costs_its_own_event_only) {
    std::mt19937 rng(7);
    struct row {
        const char *rule;
        int signal;  // -1: no fault brought on
    };
    time_scale = 5;  // a held event: 1 s of CPU, long enough for a worker's start under a sanitizer
    for (row bad : {row{"RRULE:FREQ=DAILY", SIGSEGV}, row{"RRULE:FREQ=WEEKLY", SIGABRT},
                    row{"RRULE:FREQ=WEEKLY", 0}, row{holding_rule, -1}, row{crashing_rule, -1}}) {
        int place = std::uniform_int_distribution<int>(0, 29)(rng);
        std::string file;
        for (int i = 0; i < 30; ++i) {
            if (i == place)
                file += vevent({"DTSTART:20260718T100000", "SUMMARY:culprit", bad.rule});
            file += weekly(i);
        }
        stop_events();
        fault = bad.signal >= 0 ? engine_fault{2, 30 - place, bad.signal} : engine_fault{};
        debug = 1;
        testing::internal::CaptureStdout();
        load(file);
        uint64_t starts = engine_starts;
        std::size_t culprit = find("culprit");
        if (bad.signal >= 0) {
            ASSERT_EQ(culprit, std::size_t(30 - place));
        }
        std::vector<int> marked = days_of(culprit, 2026, 7);
        std::string out = testing::internal::GetCapturedStdout();
        debug = 0;
        EXPECT_EQ(engine_starts, starts) << bad.rule;  // the engine itself lived on
        if (bad.rule != crashing_rule) {
            EXPECT_EQ(held_events()[culprit].faulty, 1) << bad.rule;
            EXPECT_EQ(marked, (std::vector<int>{18})) << bad.rule;
            EXPECT_NE(out.find("recurrence of \"culprit\""), std::string::npos) << out;
        }
        for (int i = 0; i < 30; ++i)
            EXPECT_EQ(days_of(find("weekly " + std::to_string(i)), 2026, 7),
                      weekly_days(i, 2026, 7))
                << bad.rule << ", event " << i;
        // Faulty until the file is read again: the next month runs no rule of it.
        if (bad.rule != crashing_rule) {
            EXPECT_EQ(days_of(culprit, 2026, 8), (std::vector<int>{})) << bad.rule;
        }
        EXPECT_EQ(days_of(find("weekly 0"), 2026, 8), weekly_days(0, 2026, 8));
    }
    fault = {};
}

// The engine crashes or spins while it reads one file of a folder, or the
// only file: a new engine reads the rest, that file stays left out until it
// changes, and one line on stderr names it.
TEST_F(engine_test, a_crash_or_a_hang_in_the_parse_costs_that_file_only) {
    time_scale = 1;
    for (auto [signal, folder] : {std::pair{SIGSEGV, 1}, {SIGSEGV, 0}, {0, 1}}) {
        {
            stop_events();
            temp_dir d;
            path = folder ? d.path : d.file("only.ics");
            std::vector<std::string> files;
            for (int i = 0; i < (folder ? 3 : 1); ++i) {
                files.push_back(folder ? d.file(("f" + std::to_string(i) + ".ics").c_str()) : path);
                write_file(files.back(), calendar(weekly(i)));
            }
            std::size_t culprit = folder ? 1 : 0;
            fault = {1, static_cast<int>(culprit), signal};
            testing::internal::CaptureStderr();
            uint64_t starts = engine_starts;
            load_events();
            std::string err = testing::internal::GetCapturedStderr();
            EXPECT_EQ(engine_starts, starts + 2) << signal << folder;
            EXPECT_EQ(err, "Dayspinner: " + files[culprit] + ": the calendar engine " +
                               (signal ? "ended by signal 11" : "spent more than its CPU time") +
                               " on this file; it is not read until it changes\n");
            std::vector<std::string> expected;
            for (std::size_t i = files.size(); i-- > 0;)
                if (i != culprit) expected.push_back("weekly " + std::to_string(i));
            EXPECT_EQ(summaries(), expected) << signal << folder;
            // Left out while unchanged, by a new engine too; read again once it changes.
            fault = {};
            load_events();
            EXPECT_EQ(summaries(), expected);
            write_file(files[culprit], calendar(weekly(int(culprit)) + weekly(7)));
            load_events();
            EXPECT_EQ(summaries().size(), files.size() + 1) << signal << folder;
        }
    }
    fault = {};
}

// An engine killed from outside on a file, every time (as the OOM killer
// might): nothing is blamed, new engines read the same file after a growing
// wait, the third end in a row says once on stderr that the calendar is not
// read, and the calendar is read as soon as an engine can.
TEST_F(engine_test, an_engine_killed_from_outside_blames_no_file_and_is_tried_again) {
    time_scale = 1;
    write_file(path, calendar(weekly(0)));
    fault = {1, 0, SIGKILL};
    uint64_t starts = engine_starts;
    testing::internal::CaptureStderr();
    ::load_events(config());
    auto start = std::chrono::steady_clock::now();
    while (!calendar_given_up() && std::chrono::steady_clock::now() - start < seconds(30)) {
        pollfd p{engine_descriptor(), POLLIN, 0};
        poll(&p, 1, 100);
        take_engine_replies();
    }
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(calendar_given_up());
    EXPECT_EQ(engine_starts, starts + 3);
    EXPECT_GE(seconds(std::chrono::steady_clock::now() - start).count(), 1.0);  // waited
    EXPECT_EQ(err, "Dayspinner: the calendar engine ended by signal 9, 3 times in a row; the "
                   "calendar's events are not shown until it is read again, in 2 s or when it "
                   "changes\n");
    fault = {};
    load_events();
    EXPECT_FALSE(calendar_given_up());
    EXPECT_EQ(summaries(), std::vector<std::string>{"weekly 0"});
}

// A zone definition on which the library holds or crashes costs only the
// events that use it: they are read as floating, the others keep their zone.
TEST_F(engine_test, a_zone_definition_that_holds_or_crashes_costs_only_its_events) {
    time_scale = 1;
    for (const char *rule : {holding_rule, crashing_rule}) {
        stop_events();
        testing::internal::CaptureStderr();
        load(zone("Bad/Zone", rule) + zone("Good/Zone", "RRULE:FREQ=YEARLY;BYMONTH=10") +
             vevent({"DTSTART;TZID=Bad/Zone:20260105T100000", "SUMMARY:bad"}) +
             vevent({"DTSTART;TZID=Good/Zone:20260106T100000", "SUMMARY:good"}));
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(summaries(), (std::vector<std::string>{"good", "bad"})) << rule;
        EXPECT_EQ(days_of(find("bad"), 2026, 1), (std::vector<int>{5})) << rule;
        EXPECT_EQ(days_of(find("good"), 2026, 1), (std::vector<int>{6})) << rule;
        if (rule == holding_rule) {
            EXPECT_NE(err.find("spent more than its CPU time on the time zone \"Bad/Zone\"; its "
                               "times are read as floating"),
                      std::string::npos)
                << err;
            EXPECT_EQ(held_events()[find("bad")].first.start.hour, 10);  // floating: as written
        }
    }
}

// Rules that each hold a worker: the tile's queries answer at once with what
// is at hand while the engine works, and the marks are complete later.
TEST_F(engine_test, holding_rules_never_make_the_tile_wait) {
    time_scale = 1;
    std::string file = weekly(0);
    for (int i = 0; i < 12; ++i)
        file += vevent({"DTSTART:" + ymd(2026, 3, 1 + i) + "T100000",
                        "SUMMARY:held " + std::to_string(i), holding_rule});
    write_file(path, calendar(file));
    ::load_events(config());
    settle_events(60000);
    day_range march{gregorian_to_jdn(day_of(2026, 3, 1)), gregorian_to_jdn(day_of(2026, 3, 31))};
    auto begin = std::chrono::steady_clock::now();
    ask_days(march);
    for (int d = 1; d <= 31; ++d) ::day_status(day_of(2026, 3, d));
    EXPECT_LT(seconds(std::chrono::steady_clock::now() - begin).count(), 0.1);
    EXPECT_GT(events_pending(march), 0);
    // The weekly event, first in the file, marks its days before the rules
    // that hold are done.
    auto weekly_answered = [] {
        for (int d : weekly_days(0, 2026, 3))
            if (::day_status(day_of(2026, 3, d)) != 1) return false;
        return true;
    };
    while (!weekly_answered()) {
        pollfd p{engine_descriptor(), POLLIN, 0};
        ASSERT_EQ(poll(&p, 1, 10000), 1);
        take_engine_replies();
    }
    EXPECT_GT(events_pending(march), 0);
    EXPECT_EQ(settle_events(60000), 1);
    EXPECT_EQ(events_pending(march), 0);
    for (int d = 1; d <= 31; ++d)
        EXPECT_EQ(::day_status(day_of(2026, 3, d)), d <= 12 ? 1 : d % 7 == 2 ? 1 : 0) << d;
    EXPECT_EQ(days_of(find("weekly 0"), 2026, 3), weekly_days(0, 2026, 3));
}

// Starts the library cannot read, as real files wrote them: such a component
// marks no day, whatever its end says, and is not listed.
TEST_F(engine_test, a_component_whose_start_cannot_be_read_marks_nothing) {
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
TEST_F(engine_test, paths_that_are_no_calendar_are_not_read) {
    load(vevent({"DTSTART:20260105T100000", "SUMMARY:kept"}));
    for (const char *device : {"/dev/zero", "/dev/urandom"}) {
        path = device;
        auto begin = std::chrono::steady_clock::now();
        load_events();
        EXPECT_LT(seconds(std::chrono::steady_clock::now() - begin).count(), 2.0);
        EXPECT_EQ(summaries(), (std::vector<std::string>{"kept"})) << device;
    }
    path = dir.file("calendar.ics");
    stop_events();  // an engine started now writes to the captured stderr
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
TEST_F(engine_test, the_same_file_gives_the_same_marks_in_every_locale) {
    std::string file = "begin:vevent\r\ndtstart:20260105T100000\r\nsummary:lower\r\n"
                       "rrule:freq=daily;count=3\r\nend:vevent\r\n" +
                       vevent({"DTSTART:20260120T100000", "SUMMARY:after"});
    for (const char *locale : {"C", "tr_TR.UTF-8", "ru_RU.KOI8-R"}) {
        ASSERT_NE(setlocale(LC_ALL, locale), nullptr) << locale << " is not installed";
        stop_events();
        load(file);
        std::vector<int> marked;
        for (int d = 1; d <= 31; ++d)
            if (day_status(day_of(2026, 1, d))) marked.push_back(d);
        EXPECT_EQ(marked, (std::vector<int>{5, 6, 7, 20})) << locale;
        EXPECT_EQ(summaries(), (std::vector<std::string>{"after", "lower"})) << locale;
    }
    setlocale(LC_ALL, "C");
}

// The engine's rights, tried from inside it once they are closed: no file
// outside its trees (where the kernel has Landlock), no socket, no program.
TEST_F(engine_test, the_engine_reads_no_other_file_opens_no_socket_and_runs_no_program) {
    fault.stage = fault_probe_sandbox;
    debug = 1;
    testing::internal::CaptureStdout();
    load(vevent({"DTSTART:20260105T090000", "SUMMARY:a"}));
    std::string out = testing::internal::GetCapturedStdout();
    bool landlock = syscall(SYS_landlock_create_ruleset, nullptr, 0, 1U) > 0;
    EXPECT_NE(out.find(std::string("sandbox probe: read ") + (landlock ? "EACCES" : "allowed") +
                       " socket EACCES exec EACCES\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(summaries(), std::vector<std::string>{"a"});
}

// An engine that breaks the wire is replaced, and the file it was on is
// left out as for a crash; the next engine reads the rest.
TEST_F(engine_test, an_engine_that_breaks_the_wire_is_replaced_and_its_file_left_out) {
    for (const char *how : {"overlong", "unknown", "truncated"}) {
        SCOPED_TRACE(how);
        stop_events();
        mkdir(dir.file(how).c_str(), 0700);
        path = dir.file(how) + "/calendar.ics";
        write_file(path, calendar(vevent({"DTSTART:20260105T090000", "SUMMARY:a"})));
        events_config c = config();
        c.engine = TEST_SOURCE_DIR "/misbehaving_engine.py";
        uint64_t starts = engine_starts;
        testing::internal::CaptureStderr();
        ::load_events(c);
        EXPECT_TRUE(settle_events(20000));
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(err, "Dayspinner: " + path +
                           ": the calendar engine sent a malformed message on this file; it is "
                           "not read until it changes\n");
        EXPECT_EQ(engine_starts, starts + 2);
        EXPECT_TRUE(held_events().empty());
    }
}

// A far month's marks come before its rows, for its own days only: the
// month after it is not taken for answered until its days are.
TEST_F(engine_test, a_shown_months_marks_come_first_and_the_next_month_waits_for_its_own) {
    load(vevent({"DTSTART:20260105T090000", "RRULE:FREQ=DAILY", "SUMMARY:daily"}) +
         vevent({"DTSTART:20260107T090000", "RRULE:FREQ=WEEKLY", "SUMMARY:weekly"}));
    ask_days(month(3));
    while (events_pending(month(3)) > 0) {
        pollfd p{engine_descriptor(), POLLIN, 0};
        ASSERT_EQ(poll(&p, 1, 10000), 1);
        take_engine_replies();
    }
    EXPECT_EQ(::day_status(day_of(2027, 3, 31)), 1);
    // April's first week shares March's last block (Julian days 2461472 to 2461503).
    EXPECT_GT(events_pending({month(4).first, 2461503}), 0);
    ask_days(month(4));
    EXPECT_EQ(settle_events(60000), 1);
    EXPECT_EQ(events_pending(month(4)), 0);
    for (int d = 1; d <= 30; ++d) EXPECT_EQ(::day_status(day_of(2027, 4, d)), 1) << d;
    // The rows came after the marks, for the view.
    EXPECT_TRUE(occurrence_on_day(find("daily"), day_of(2027, 4, 2)));
    EXPECT_EQ(rows_on_day(day_of(2027, 4, 7)).count, 2u);  // a Wednesday, as 7 January 2026
}

// A month left while its range is in flight has that range cut short; what
// it answered holds, and the rest comes for its own days (the block of 27
// March to 27 April is answered on in the background while May is shown),
// counted once.
TEST_F(engine_test, a_month_left_while_it_is_answered_is_cut_and_counted_once_when_back) {
    std::string events;
    for (int i = 0; i < 400; ++i)
        events += vevent({"DTSTART:20260105T0900" + std::to_string(10 + i % 50),
                          "SUMMARY:d" + std::to_string(i), "RRULE:FREQ=DAILY"});
    load(events);
    const uint64_t reads = engine_loads;
    ask_days(month(3));
    ask_days(month(5));
    ASSERT_EQ(settle_events(60000), 1);
    EXPECT_EQ(events_pending(month(5)), 0);
    ask_days(month(3));
    ASSERT_EQ(settle_events(60000), 1);
    for (int d = 1; d <= 31; ++d) {
        EXPECT_EQ(::day_status(day_of(2027, 3, d)), 1) << d;
        EXPECT_EQ(rows_on_day(day_of(2027, 3, d)).count, 400u) << d;
    }
    EXPECT_EQ(engine_loads, reads);  // the same engine throughout, never replaced
}

// In the engine: a range cut as it begins answers the events before its
// next, exactly; the same range asked from there gives the rest.
TEST(engine_cut, a_cut_range_answers_a_prefix_of_its_events_exactly) {
    std::string events;
    for (int i = 0; i < 2000; ++i)
        events += vevent({"DTSTART:20260105T09" + std::to_string(10 + i % 50) + "00",
                          "SUMMARY:d" + std::to_string(i), "RRULE:FREQ=DAILY"});
    read_calendar_text(calendar(events), "cut.ics", read_options{});
    const int64_t first = gregorian_to_jdn(day_of(2027, 3, 1));
    const day_range range{first, first + 63};
    answer_result whole = answer_days(range, 0, 60000, {}, 1, 0);
    int cut[2];
    ASSERT_EQ(pipe(cut), 0);
    ASSERT_EQ(write(cut[1], "x", 1), 1);
    answer_result part = answer_days(range, 0, 60000, {}, 1, 0, 1, cut[0]);
    close(cut[0]);
    close(cut[1]);
    ASSERT_LT(part.next, 2000u);
    answer_result rest = answer_days(range, part.next, 60000, {}, 1, 0);
    end_worker();
    ASSERT_EQ(rest.next, 2000u);
    ASSERT_EQ(part.days.size(), whole.days.size());
    for (std::size_t i = 0; i < whole.days.size(); ++i) {
        day_answer &d = part.days[i];
        merge_day(d, rest.days[i].status, rest.days[i].count, rest.days[i].rows);
        EXPECT_EQ(d.status, whole.days[i].status) << i;
        ASSERT_EQ(d.count, whole.days[i].count) << i;
        ASSERT_EQ(d.rows.size(), whole.days[i].rows.size()) << i;
        for (std::size_t r = 0; r < d.rows.size(); ++r)
            EXPECT_EQ(d.rows[r].event, whole.days[i].rows[r].event) << i << " " << r;
    }
    free_events();
}

// A load sent while a range is half answered drops that range whole: its
// days, asked again after a load that finds the files unchanged, are
// counted once.
TEST_F(engine_test, a_range_half_answered_when_a_load_is_sent_is_counted_once) {
    stop_events();
    mkdir(dir.file("halfrange").c_str(), 0700);
    path = dir.file("halfrange") + "/calendar.ics";
    write_file(path, calendar(vevent({"DTSTART:20200101T090000", "SUMMARY:r"})));
    events_config c = config();
    c.engine = TEST_SOURCE_DIR "/misbehaving_engine.py";
    ask_days(month(3));
    ::load_events(c);
    auto take = [] {
        pollfd p{engine_descriptor(), POLLIN, 0};
        ASSERT_EQ(poll(&p, 1, 10000), 1);
        take_engine_replies();
    };
    while (held_events().empty() || events_pending(month(3)) > 0) take();
    take();  // the rows asked, once the marks are drawn
    take();  // their days, without their end
    ::load_events(c);
    ASSERT_EQ(settle_events(20000), 1);
    for (int d = 1; d <= 31; ++d) EXPECT_EQ(rows_on_day(day_of(2027, 3, d)).count, 1u) << d;
}
