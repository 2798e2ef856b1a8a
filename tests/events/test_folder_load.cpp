// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// A folder of calendars loaded through the real loader: one calendar out of
// many files, read again when any of them is added, changed or removed.
#include "tests/events/event_test.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <cstdio>

namespace {

struct folder_load_test : event_file_test {
    std::string root = dir.file("calendars");
    void SetUp() override {
        event_file_test::SetUp();
        mkdir(root.c_str(), 0755);
        mkdir((root + "/work").c_str(), 0755);
        mkdir((root + "/work/archive").c_str(), 0755);
        path = root;
    }
    // One file holding one event on the given day of January 2026.
    void event_file(const std::string &rel, const std::string &summary, int day) const {
        write_file(root + "/" + rel, calendar(vevent({"DTSTART;VALUE=DATE:" + ymd(2026, 1, day),
                                                      "SUMMARY:" + summary})));
    }
    // Sets the modification time to a fixed second and the given nanoseconds.
    void stamp(const std::string &rel, long nsec) const {
        timespec t[2] = {{1767225600, nsec}, {1767225600, nsec}};
        utimensat(AT_FDCWD, (root + "/" + rel).c_str(), t, 0);
    }
    std::vector<std::string> sorted_summaries() const {
        std::vector<std::string> s = summaries();
        std::sort(s.begin(), s.end());
        return s;
    }
    std::vector<int> busy_days() const {
        std::vector<int> out;
        for (int d = 1; d <= 31; ++d)
            if (day_status(day_of(2026, 1, d)) == 1) out.push_back(d);
        return out;
    }
};

TEST_F(folder_load_test, files_are_one_calendar_read_again_on_every_change) {
    event_file("home.ics", "home", 5);
    event_file("work/standup.ics", "standup", 6);
    event_file("work/archive/old.ics", "old", 7);  // below the immediate subfolders
    event_file("work/notes.txt", "notes", 8);      // not a calendar file
    load_events();
    EXPECT_EQ(sorted_summaries(), (std::vector<std::string>{"home", "standup"}));
    EXPECT_EQ(busy_days(), (std::vector<int>{5, 6}));

    uint64_t parses = engine_loads;
    for (int i = 0; i < 3; ++i) load_events();
    EXPECT_EQ(engine_loads, parses);

    struct step {
        const char *what;
        std::function<void()> act;
        std::vector<int> days;
    } steps[] = {
        {"added", [&] { event_file("work/review.ics", "review", 20); }, {5, 6, 20}},
        {"changed",
         [&] { event_file("home.ics", "home moved", 9), stamp("home.ics", 1); },
         {6, 9, 20}},
        {"same size, same second",
         [&] { event_file("home.ics", "home moved", 10), stamp("home.ics", 5); },
         {6, 10, 20}},
        {"removed", [&] { unlink((root + "/work/standup.ics").c_str()); }, {10, 20}},
        {"deeper file changed", [&] { event_file("work/archive/old.ics", "x", 1); }, {10, 20}},
        {"renamed over",
         [&] {
             event_file("work/new.tmp", "review later", 21);
             rename((root + "/work/new.tmp").c_str(), (root + "/work/review.ics").c_str());
         },
         {10, 21}},
    };
    for (const step &s : steps) {
        s.act();
        load_events();
        EXPECT_EQ(busy_days(), s.days) << s.what;
    }
    EXPECT_EQ(sorted_summaries(), (std::vector<std::string>{"home moved", "review later"}));
}

TEST_F(folder_load_test, a_file_beyond_the_bounds_is_named_and_the_rest_is_read) {
    event_file("home.ics", "home", 5);
    write_file(root + "/huge.ics", "");
    ASSERT_EQ(truncate((root + "/huge.ics").c_str(), 33L << 20), 0);  // sparse: quick to make
    stop_events();  // an engine started now writes to the captured stderr
    testing::internal::CaptureStderr();
    load_events();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("calendar files not read: 1 "), std::string::npos) << err;
    EXPECT_EQ(sorted_summaries(), std::vector<std::string>{"home"});
}

// Run as an ordinary user in a child, since root reads every file.
TEST_F(folder_load_test, unreadable_files_are_skipped) {
    event_file("home.ics", "home", 5);
    event_file("work/private.ics", "private", 6);
    chmod((root + "/work/private.ics").c_str(), 0);
    chmod(dir.path.c_str(), 0755);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
        load_events();
        _exit(summaries() == std::vector<std::string>{"home"} ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
