// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The loop's wake-up sources: the next local midnight across zones and their
// clock changes, the wait, and real inotify watches on a temporary folder.
#include <gtest/gtest.h>

#include "core/wake.h"

#include <sys/inotify.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

TEST(names_calendar, takes_the_file_any_ics_file_and_subfolders) {
    struct case_record {
        const char *calendar, *entry;
        uint32_t mask;
        int names;
    } cases[] = {
        {"calendar.ics", "calendar.ics", IN_MOVED_TO, 1},
        {"calendar.ics", "calendar.ics.new", IN_CLOSE_WRITE, 0},
        {"calendar.ics", "other.ics", IN_CLOSE_WRITE, 1},
        {"calendar.ics", ".ics", IN_CLOSE_WRITE, 0},
        {"calendar.ics", "notes.txt", IN_CLOSE_WRITE, 0},
        {"personal", "work", IN_CREATE | IN_ISDIR, 1},
        {"personal", "event-1.ics", IN_DELETE, 1},
        {"my-calendar", "my-calendar", IN_MOVED_TO, 1},
    };
    for (const case_record &c : cases)
        EXPECT_EQ(names_calendar(c.calendar, c.entry, c.mask), c.names)
            << c.calendar << " / " << c.entry;
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
    void write(const std::string &name, const std::string &text) {
        std::ofstream(dir + "/" + name) << text;
    }
    std::string dir;
    wake_sources wake;
};

TEST_F(watch_test, a_calendar_file_is_seen_rewritten_in_place_and_renamed_over) {
    write("calendar.ics", "a");
    watch_calendar(wake, dir + "/calendar.ics");
    ASSERT_EQ(wake.watched, std::vector<std::string>{dir});
    EXPECT_EQ(take_calendar_change(wake), 0) << "nothing happened yet";
    write("notes.txt", "unrelated");
    EXPECT_EQ(take_calendar_change(wake), 0);
    write("calendar.ics", "b");
    EXPECT_EQ(take_calendar_change(wake), 1) << "in place";
    write("calendar.ics.new", "c");
    EXPECT_EQ(take_calendar_change(wake), 0) << "the new file, not yet in place";
    std::filesystem::rename(dir + "/calendar.ics.new", dir + "/calendar.ics");
    EXPECT_EQ(take_calendar_change(wake), 1) << "renamed over";
    // The same path again changes no watch.
    int id = wake.watch_ids.at(0);
    watch_calendar(wake, dir + "/calendar.ics");
    EXPECT_EQ(wake.watch_ids, std::vector<int>{id});
}

TEST_F(watch_test, a_folder_is_watched_with_its_subfolders_and_rewatched_when_one_comes) {
    std::filesystem::create_directory(dir + "/personal");
    watch_calendar(wake, dir);
    EXPECT_EQ(wake.watched, (std::vector<std::string>{dir, dir + "/personal"}));
    std::filesystem::create_directory(dir + "/work");
    EXPECT_EQ(take_calendar_change(wake), 1) << "a new subfolder";
    watch_calendar(wake, dir);
    EXPECT_EQ(wake.watched.size(), 3u);
    write("work/event-1.ics", "x");
    EXPECT_EQ(take_calendar_change(wake), 1) << "a file in the new subfolder";
    std::filesystem::remove(dir + "/work/event-1.ics");
    EXPECT_EQ(take_calendar_change(wake), 1) << "a removed event file";
}

TEST_F(watch_test, a_missing_directory_is_watched_once_it_exists) {
    watch_calendar(wake, dir + "/later/calendar.ics");
    EXPECT_TRUE(wake.watched.empty());
    std::filesystem::create_directory(dir + "/later");
    watch_calendar(wake, dir + "/later/calendar.ics");
    EXPECT_EQ(wake.watched, std::vector<std::string>{dir + "/later"});
    std::filesystem::remove_all(dir + "/later");
    EXPECT_EQ(take_calendar_change(wake), 1) << "the watch went with the directory";
    EXPECT_TRUE(wake.watched.empty());
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
