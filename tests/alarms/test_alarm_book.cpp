// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// What falls due given what the user did, and the file that keeps it.
#include <gtest/gtest.h>

#include "alarms/alarms.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

constexpr int64_t now = 1'800'000'000, started = now - 60;

alarm_item item(const char *uid, int64_t last, int64_t next, int64_t ends = now + 3600) {
    alarm_item a;
    a.uid = uid;
    a.last = last;
    a.next = next;
    a.ends = ends;
    a.instance = icaltime_from_string("20270115T093000");
    return a;
}

}  // namespace

TEST(AlarmBook, what_falls_due_follows_what_the_user_did) {
    alarms_reply held;
    held.items = {item("new", now - 5, 0),
                  item("old", now - 3600, 0),
                  item("over", now - 3600, 0, now - 600),
                  item("gone", now - 5, 0),
                  item("later", 0, now + 900),
                  item("napping", now - 5, 0)};
    alarm_book book;
    book[alarm_key(held.items[3])] = {alarm_dismissed, 0, now + 3600};
    book[alarm_key(held.items[5])] = {alarm_snoozed, now + 300, now + 3600};
    // A snooze that came due, of an alarm the engine no longer answers.
    alarm_item shown = item("snoozed", now - 900, 0);
    book[alarm_key(shown)] = {alarm_snoozed, now - 1, now + 3600};
    std::vector<due_alarm> due =
        due_alarms(held, book, {{alarm_key(shown), shown}}, now - 86400, now, started);
    std::vector<std::string> got;
    for (const due_alarm &d : due) got.push_back(d.item.uid + (d.missed ? " missed" : ""));
    // "over" ended before the tile started: not missed, over.
    EXPECT_EQ(got, (std::vector<std::string>{"old missed", "new", "snoozed"}));
    // Dealt with up to now: nothing again; the next is the snooze, then "later".
    EXPECT_TRUE(due_alarms(held, book, {}, now, now, started).empty());
    EXPECT_EQ(next_alarm_time(held, book, now), now + 300);
    book.erase(alarm_key(held.items[5]));
    EXPECT_EQ(next_alarm_time(held, book, now), now + 900);
}

TEST(AlarmBook, the_file_keeps_entries_until_a_day_after_their_occurrence) {
    EXPECT_EQ(alarm_book_path("/s", "/h"), "/s/dayspinner/alarms");
    EXPECT_EQ(alarm_book_path("", "/h"), "/h/.local/state/dayspinner/alarms");
    EXPECT_EQ(alarm_book_path(nullptr, nullptr), "");
    char dir[] = "/tmp/alarm-book-XXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    std::string path = std::string(dir) + "/state/dayspinner/alarms";
    alarm_book book;
    book["20270115T093000 0 uid with spaces"] = {alarm_dismissed, 0, now};
    book["20270115 default day"] = {alarm_snoozed, now + 600, now - 2 * 86400};
    book["20270114T093000 1 ended"] = {alarm_dismissed, 0, now - 2 * 86400};
    ASSERT_TRUE(write_alarm_book(path, book, now));
    alarm_book read = read_alarm_book(path);
    EXPECT_EQ(read.size(), 2u);  // the ended one is pruned, the snooze not yet taken kept
    EXPECT_EQ(read["20270115T093000 0 uid with spaces"].ends, now);
    EXPECT_EQ(read["20270115 default day"].until, now + 600);
    // Lines it cannot read are left out, the rest kept.
    EXPECT_EQ(parse_alarm_book("# x\nsnoozed 1 2\nlater 1 2 k\ndismissed 1 2 k\n").size(), 1u);
    // A file in the way of the directory: nothing written, the caller told.
    std::ofstream(std::string(dir) + "/file") << "x";
    EXPECT_FALSE(write_alarm_book(std::string(dir) + "/file/alarms", book, now));
    EXPECT_EQ(std::system((std::string("rm -rf ") + dir).c_str()), 0);
}
