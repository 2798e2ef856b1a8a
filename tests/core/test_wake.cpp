// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The loop's wake-up sources: the next local midnight across zones and their
// clock changes, the wait, and real inotify watches on a temporary folder.
#include <gtest/gtest.h>

#include "core/wake.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct zone_scope {
    explicit zone_scope(const char *zone) {
        const char *old = std::getenv("TZ");
        had = old != nullptr;
        if (had) saved = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~zone_scope() {
        if (had)
            setenv("TZ", saved.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    bool had = false;
    std::string saved;
};

TEST(next_local_midnight, is_the_first_second_of_the_next_local_day) {
    struct case_record {
        const char *zone;
        time_t now, midnight;  // seconds since the epoch
        const char *what;
    } cases[] = {
        {"UTC", 1705312800, 1705363200, "2024-01-15 10:00 to 01-16"},
        {"UTC", 1705363200, 1705449600, "at midnight itself: the next one"},
        {"UTC", 1705363199, 1705363200, "one second before"},
        {"UTC", 1704067199, 1704067200, "New Year's Eve 23:59:59"},
        {"UTC", 1709164800, 1709251200, "2024-02-29, a leap day, to 03-01"},
        {"Asia/Tehran", 1705312800, 1705350600, "UTC+3:30"},
        // Europe/Berlin, 2024-03-31 has 23 hours and 2024-10-27 has 25.
        {"Europe/Berlin", 1711839600, 1711922400, "spring: 03-31 00:00 to 04-01"},
        {"Europe/Berlin", 1729980000, 1730070000, "autumn: 10-27 00:00 to 10-28"},
        // Sao Paulo skipped 2018-11-04 00:00: that day began at 01:00.
        {"America/Sao_Paulo", 1541257200, 1541300400, "a day without midnight"},
        {"America/Sao_Paulo", 1541300400, 1541383200, "and the day after it"},
    };
    for (const case_record &c : cases) {
        zone_scope zone(c.zone);
        EXPECT_EQ(next_local_midnight(c.now), c.midnight) << c.zone << ": " << c.what;
    }
}

TEST(next_wait_ms, is_the_nearer_of_the_periodic_refresh_and_midnight) {
    struct case_record {
        int64_t since_refresh, until_midnight, wait;
    } cases[] = {
        {0, 86400000, refresh_period_ms},
        {1000, 86400000, refresh_period_ms - 1000},
        {0, 1500, 1500},
        {299999, 5000, 1},
        {refresh_period_ms, 5000, 0},
        {refresh_period_ms + 7, 5000, 0},
        {0, 0, 0},
        {0, -3000, 0},  // midnight passed: at once
    };
    for (const case_record &c : cases)
        EXPECT_EQ(next_wait_ms(c.since_refresh, c.until_midnight), c.wait)
            << c.since_refresh << " " << c.until_midnight;
}

TEST(entry_matters, a_folder_takes_ics_files_and_entries_that_come_or_go_else_only_its_names) {
    watch_target file{"/d", 0, 0, 0, {"calendar.ics"}};
    watch_target folder{"/d/cal", 0, 0, 1, {}};
    struct case_record {
        const watch_target &target;
        const char *entry;
        uint32_t mask;
        int matters;
    } cases[] = {
        {file, "calendar.ics", IN_MOVED_TO, 1},
        {file, "calendar.ics", IN_ATTRIB, 1},
        {file, "calendar.ics.new", IN_CLOSE_WRITE, 0},
        {file, "other.ics", IN_CLOSE_WRITE, 0},
        {file, "", IN_ATTRIB, 1},  // the directory's own permissions
        {folder, "event-1.ics", IN_DELETE, 1},
        {folder, "event-1.ics", IN_ATTRIB, 1},
        {folder, ".event-1.ics", IN_CLOSE_WRITE, 0},
        {folder, ".ics", IN_CLOSE_WRITE, 0},
        {folder, "notes.txt", IN_CLOSE_WRITE, 0},
        {folder, "notes.txt", IN_ATTRIB, 0},
        {folder, "work", IN_CREATE | IN_ISDIR, 1},
        {folder, "team", IN_CREATE, 1},  // a link to a subfolder carries no IN_ISDIR
        {folder, ".git", IN_CREATE | IN_ISDIR, 0},
    };
    for (const case_record &c : cases)
        EXPECT_EQ(entry_matters(c.target, c.entry, c.mask), c.matters)
            << c.target.directory << " / " << c.entry;
}

class watch_test : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/ds-wake-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        wake = open_wake_sources();
        ASSERT_GE(wake.inotify_fd, 0);
    }
    void TearDown() override {
        close(wake.inotify_fd);
        if (wake.midnight_fd >= 0) close(wake.midnight_fd);
        std::filesystem::remove_all(dir);
    }
    // Runs "write P", "mkdir P", "mv A B", "ln TARGET LINK", "chmod P" (a
    // mode it did not have), "rm P"; several joined by "; ". Paths are
    // relative to dir; a link's target is written as given.
    void run(const std::string &commands) {
        std::istringstream in(commands);
        std::string verb, a, b;
        while (in >> verb >> a) {
            if (verb == "mv" || verb == "ln") in >> b;
            if (!b.empty() && b.back() == ';') b.pop_back();
            if (!a.empty() && a.back() == ';') a.pop_back();
            std::string at = dir + "/" + a;
            if (verb == "write") std::ofstream(at) << "BEGIN:VCALENDAR\n";
            if (verb == "mkdir") std::filesystem::create_directory(at);
            if (verb == "mv") std::filesystem::rename(at, dir + "/" + b);
            if (verb == "ln") std::filesystem::create_symlink(a, dir + "/" + b);
            if (verb == "chmod") chmod(at.c_str(), ++mode % 2 ? 0640 : 0644);
            if (verb == "rm") std::filesystem::remove_all(at);
            b.clear();
        }
    }
    std::string dir;
    wake_sources wake;
    int mode = 0;
};

// Each step is a change made while the tile watches; after one that counts,
// the tile reads the calendar and watches again, as the loop does.
TEST_F(watch_test, every_change_that_can_change_the_calendar_is_seen) {
    struct step {
        const char *commands;
        int seen;
    };
    struct scenario {
        const char *what, *calendar, *prepare;
        std::vector<step> steps;
    } scenarios[] = {
        {"a file rewritten in place, renamed over, its mode changed",
         "calendar.ics",
         "write calendar.ics",
         {{"write notes.txt", 0},
          {"write calendar.ics", 1},
          {"write calendar.ics.new", 0},
          {"mv calendar.ics.new calendar.ics", 1},
          {"chmod calendar.ics", 1}}},
        {"a folder with subfolders, one coming and going",
         "cal",
         "mkdir cal; mkdir cal/personal",
         {{"write cal/personal/a.ics", 1},
          {"write cal/notes.txt", 0},
          {"mkdir cal/work", 1},
          {"write cal/work/b.ics", 1},
          {"write cal/work/c.txt", 0},
          {"rm cal/work/b.ics", 1},
          {"rm cal/work", 1},
          {"chmod cal/personal/a.ics", 1}}},
        {"a folder replaced by rename",
         "cal",
         "mkdir cal; mkdir cal.new",
         {{"mv cal cal.old; mv cal.new cal", 1},
          {"write cal.old/a.ics", 0},
          {"write cal/a.ics", 1}}},
        {"the directory of a file replaced by rename",
         "d/calendar.ics",
         "mkdir d; mkdir d.new",
         {{"mv d d.old; mv d.new d", 1},
          {"write d.old/calendar.ics", 0},
          {"write d/calendar.ics", 1}}},
        {"a calendar that is a link, its target rewritten and the link moved on",
         "link.ics",
         "mkdir store; write store/real.ics; ln store/real.ics link.ics",
         {{"write store/other.ics", 0},
          {"write store/real.ics", 1},
          {"write store/new; mv store/new store/real.ics", 1},
          {"rm link.ics; ln store/second.ics link.ics", 1},
          {"write store/real.ics", 0},
          {"write store/second.ics", 1}}},
        {"a folder's file that is a link",
         "cal",
         "mkdir cal; mkdir store; write store/x.ics; ln ../store/x.ics cal/x.ics",
         {{"write store/y.ics", 0}, {"write store/x.ics", 1}, {"chmod store/x.ics", 1}}},
        {"a folder that comes two levels deep, and goes",
         "sync/cal",
         "",
         {{"mkdir other", 0},
          {"mkdir sync", 1},
          {"write sync/notes.txt", 0},
          {"mkdir sync/cal", 1},
          {"write sync/cal/a.ics", 1},
          {"rm sync", 1},
          {"mkdir sync", 1}}},
    };
    for (const scenario &s : scenarios) {
        SCOPED_TRACE(s.what);
        TearDown();
        SetUp();
        run(s.prepare);
        std::string calendar = dir + "/" + s.calendar;
        watch_calendar(wake, calendar);
        for (const step &t : s.steps) {
            run(t.commands);
            EXPECT_EQ(take_calendar_change(wake, 0), t.seen) << t.commands;
            if (!t.seen) continue;
            EXPECT_EQ(calendar_due_ms(wake, 0), calendar_gap_ms);
            std::vector<int> ids = wake.watch_ids;
            watch_calendar(wake, calendar);
            EXPECT_EQ(calendar_due_ms(wake, 0), -1);
            EXPECT_EQ(take_calendar_change(wake, 0), 0) << "watching again is no change";
            watch_calendar(wake, calendar);
            EXPECT_EQ(wake.watch_ids, ids = wake.watch_ids) << "nor is a second call";
        }
    }
}

// Lost events are a change whatever they were.
TEST_F(watch_test, a_queue_overflow_counts_as_a_change) {
    run("write calendar.ics; write notes.txt; write other.txt");
    watch_calendar(wake, dir + "/calendar.ics");
    std::ifstream limit("/proc/sys/fs/inotify/max_queued_events");
    int max_events = 0;
    limit >> max_events;
    if (max_events <= 0 || max_events > 100000) GTEST_SKIP() << "queue of " << max_events;
    for (int i = 0; i <= max_events; i++) run(i % 2 ? "chmod notes.txt" : "chmod other.txt");
    EXPECT_EQ(take_calendar_change(wake, 0), 1);
    EXPECT_EQ(wake.rewatch, 1);
}

// A file rewritten every 20 ms for two seconds, under a loop that reads the
// calendar when it is due: a few reads a second, the first soon.
TEST_F(watch_test, a_burst_of_changes_is_read_a_few_times_a_second) {
    run("write calendar.ics");
    watch_calendar(wake, dir + "/calendar.ics");
    int64_t refreshed_at = -1000;
    std::vector<int64_t> reads;
    for (int64_t now = 0; now <= 2000; now += 20) {
        run("write calendar.ics");
        take_calendar_change(wake, now);
        int64_t due = calendar_due_ms(wake, refreshed_at);
        if (due >= 0 && due <= now) {
            watch_calendar(wake, dir + "/calendar.ics");
            refreshed_at = now;
            reads.push_back(now);
        }
    }
    ASSERT_FALSE(reads.empty());
    EXPECT_EQ(reads[0], calendar_settle_ms);
    EXPECT_LE(reads.size(), 6u);
    for (std::size_t i = 1; i < reads.size(); i++) EXPECT_LE(reads[i] - reads[i - 1], 500);
}

// A timer that fires before the process's own clock reaches the deadline (a
// faked clock, for one) is given up instead of waking the loop over and over.
TEST_F(watch_test, a_timer_that_disagrees_with_the_clock_is_given_up) {
    ASSERT_GE(wake.midnight_fd, 0);
    arm_midnight(wake, time(nullptr));
    EXPECT_GT(wake.midnight, time(nullptr));
    EXPECT_EQ(take_midnight(wake), 0) << "not yet expired";
    itimerspec soon{};
    soon.it_value.tv_nsec = 1000000;
    timerfd_settime(wake.midnight_fd, 0, &soon, nullptr);
    usleep(20000);
    EXPECT_EQ(take_midnight(wake), 0);
    EXPECT_EQ(wake.midnight_fd, -1);
}

}  // namespace
