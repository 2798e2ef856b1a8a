// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Loading the calendar file: the list, its order and fields, and when the
// file is read again.
#include "tests/events/event_test.h"

#include "engine/zones.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>

using load_test = event_file_test;

namespace {
void set_mtime(const std::string &path, time_t sec, long nsec) {
    timespec times[2] = {{sec, nsec}, {sec, nsec}};
    utimensat(AT_FDCWD, path.c_str(), times, 0);
}
}  // namespace

TEST_F(load_test, list_runs_in_reverse_file_order_with_fields_of_each_component) {
    load(vevent({"DTSTART;VALUE=DATE:20260105", "SUMMARY:first", "TRANSP:TRANSPARENT"}) +
         vevent({"DTSTART:20260106T100000", "DTEND:20260106T110000", "SUMMARY:second"}) +
         vevent({"DTSTART:20260107T100000", "LOCATION:nowhere"}) +  // untitled: kept
         "BEGIN:VTODO\r\nDTSTART:20260108T090000\r\nSUMMARY:task\r\nEND:VTODO\r\n" +
         // A to-do and a journal entry without a summary: dropped.
         "BEGIN:VTODO\r\nDTSTART:20260108T090000\r\nSUMMARY:\r\nEND:VTODO\r\n" +
         "BEGIN:VJOURNAL\r\nDTSTART:20260108T090000\r\nEND:VJOURNAL\r\n" +
         vevent(
             {"DTSTART:20260109T100000", "SUMMARY:alarmed", "TRANSP:OPAQUE",
              "BEGIN:VALARM\r\nACTION:DISPLAY\r\nSUMMARY:nested\r\nTRIGGER:-PT5M\r\nEND:VALARM"}));
    EXPECT_EQ(summaries(), (std::vector<std::string>{"alarmed", "task", "", "second", "first"}));

    std::vector<const event_node *> nodes = read_in_process(path);
    ASSERT_EQ(nodes.size(), 5u);
    const event_node *alarmed = nodes[0], *task = nodes[1], *second = nodes[3], *first = nodes[4];
    EXPECT_EQ(held_events()[4].transparency, 2);  // as the engine reports it to the tile
    EXPECT_EQ(alarmed->transparency, 1);
    EXPECT_EQ(second->transparency, 1);  // follows a transparent event, has none of its own
    EXPECT_EQ(first->transparency, 2);
    // Without an end a date lasts its day and a time no time.
    EXPECT_EQ(first->end.year, 2026);
    EXPECT_EQ(first->end.day, 6);
    EXPECT_EQ(first->end.is_date, 1);
    EXPECT_EQ(task->end.day, 8);
    EXPECT_EQ(task->end.hour, 9);
    EXPECT_EQ(second->end.hour, 11);
    // The node owns a copy that still holds the nested alarm.
    EXPECT_NE(icalcomponent_get_first_component(alarmed->component.get(), ICAL_VALARM_COMPONENT),
              nullptr);
}

TEST_F(load_test, final_line_without_line_end_and_later_calendars_are_read) {
    std::string text = calendar(vevent({"DTSTART:20260105T100000", "SUMMARY:one"})) +
                       calendar(vevent({"DTSTART:20260105T100000", "SUMMARY:two"}));
    text.resize(text.size() - 2);  // no line end after the last END:VCALENDAR
    write_file(path, text);
    load_events();
    EXPECT_EQ(summaries(), (std::vector<std::string>{"two", "one"}));
}

TEST_F(load_test, debugging_lines_name_each_event_read) {
    debug = 1;
    testing::internal::CaptureStdout();
    load(vevent({"DTSTART;VALUE=DATE:20260105", "DTEND;VALUE=DATE:20260107", "SUMMARY:Trip"}));
    load_events();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out,
              "check for new calendar data\nread calendar data\nread: 5.1.2026 - 7.1.2026 Trip\n"
              "check for new calendar data\n");

    // A zone definition that cannot be used: one line, whether the system
    // knows the name or not; a Windows name, the zone it is read as.
    stop_events();  // an engine started now writes to the captured stdout
    testing::internal::CaptureStdout();
    std::string broken =
        "BEGIN:STANDARD\r\nTZOFFSETFROM:0100\r\nTZOFFSETTO:0100\r\nEND:STANDARD\r\n";
    load("BEGIN:VTIMEZONE\r\nTZID:Europe/Paris\r\n" + broken + "END:VTIMEZONE\r\n" +
         "BEGIN:VTIMEZONE\r\nTZID:Paris time\r\n" + broken + "END:VTIMEZONE\r\n" +
         vevent({"DTSTART;TZID=Europe/Paris:20260105T100000", "SUMMARY:a"}) +
         vevent({"DTSTART;TZID=Paris time:20260105T100000", "SUMMARY:b"}) +
         vevent({"DTSTART;TZID=Tokyo Standard Time:20260105T100000", "SUMMARY:c"}));
    out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out,
              "check for new calendar data\nread calendar data\n"
              "time zone \"Paris time\" of the file cannot be used: its times are read as "
              "floating\n"
              "time zone \"Europe/Paris\" of the file cannot be used: the system's zone is used\n"
              "read: 5.1.2026 - 5.1.2026 a\nread: 5.1.2026 - 5.1.2026 b\n"
              "time zone \"Tokyo Standard Time\" is read as Asia/Tokyo\n"
              "read: 5.1.2026 - 5.1.2026 c\n");
}

TEST_F(load_test, reloads_on_every_change_of_identity_and_never_otherwise) {
    load(vevent({"DTSTART:20260105T100000", "SUMMARY:a"}));
    uint64_t parses = engine_loads;
    EXPECT_EQ(day_status(day_of(2026, 1, 5)), 1);

    // Unchanged: not read again.
    for (int i = 0; i < 5; ++i) load_events();
    EXPECT_EQ(engine_loads, parses);
    EXPECT_EQ(day_status(day_of(2026, 1, 5)), 1);

    // Two writes within one whole second, same size: the nanoseconds differ.
    set_mtime(path, 1767225600, 100);
    load_events();
    write_file(path, calendar(vevent({"DTSTART:20260106T100000", "SUMMARY:b"})));
    set_mtime(path, 1767225600, 200);
    load_events();
    EXPECT_EQ(summaries(), (std::vector<std::string>{"b"}));
    EXPECT_EQ(day_status(day_of(2026, 1, 5)), 0);

    // Same whole second and nanoseconds, other size.
    write_file(path, calendar(vevent({"DTSTART:20260107T100000", "SUMMARY:cc"})));
    set_mtime(path, 1767225600, 200);
    load_events();
    EXPECT_EQ(summaries(), (std::vector<std::string>{"cc"}));

    // Replaced by rename with the same size and time: a new inode.
    std::string other = dir.file("new.ics");
    write_file(other, calendar(vevent({"DTSTART:20260108T100000", "SUMMARY:dd"})));
    set_mtime(other, 1767225600, 200);
    ASSERT_EQ(rename(other.c_str(), path.c_str()), 0);
    load_events();
    EXPECT_EQ(summaries(), (std::vector<std::string>{"dd"}));

    // An older time counts as a change too.
    set_mtime(path, 1000, 0);
    parses = engine_loads;
    load_events();
    EXPECT_EQ(engine_loads, parses + 1);
}

TEST_F(load_test, unreadable_or_vanished_files_keep_the_last_list) {
    load(vevent({"DTSTART:20260105T100000", "SUMMARY:kept"}));
    unlink(path.c_str());
    load_events();
    EXPECT_EQ(summaries(), (std::vector<std::string>{"kept"}));

    // A FIFO under the calendar's name: not read, never blocking.
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    load_events();
    EXPECT_EQ(summaries(), (std::vector<std::string>{"kept"}));
    unlink(path.c_str());

    // A directory is a folder of calendars, here an empty one.
    mkdir(path.c_str(), 0700);
    load_events();
    EXPECT_TRUE(summaries().empty());
    rmdir(path.c_str());
}

// The read of a text held in memory (the fuzz target's way in) gives the
// list the read of the same file gives: bounds, file zones, replaced
// occurrences, exclusions and order alike.
TEST_F(load_test, text_in_memory_reads_as_the_same_file) {
    auto listed = [] {
        std::vector<std::string> out;
        for (const event_node *n = event_list; n; n = n->next) {
            std::string line = n->summary.substr(0, 20) + " " + std::to_string(n->summary.size()) +
                               " " + std::to_string(instant_of(n->start)) + " " +
                               std::to_string(n->first.first_day) + " " +
                               std::to_string(n->first.last_day);
            for (int64_t t : n->excluded_instants) line += " x" + std::to_string(t);
            for (int64_t d : n->exdate_days) line += " d" + std::to_string(d);
            out.push_back(line);
        }
        return out;
    };
    std::string nested;
    for (int i = 0; i < 20; ++i) nested += "BEGIN:VEVENT\r\n";
    for (int i = 0; i < 20; ++i) nested += "END:VEVENT\r\n";
    const std::pair<std::string, std::size_t> cases[] = {
        {"BEGIN:VTIMEZONE\r\nTZID:Here\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
         "TZOFFSETFROM:+0300\r\nTZOFFSETTO:+0300\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n" +
             vevent({"UID:a", "DTSTART;TZID=Here:20260105T100000", "RRULE:FREQ=DAILY;COUNT=5",
                     "EXDATE;TZID=Here:20260107T100000", "SUMMARY:zoned"}) +
             vevent({"UID:a", "RECURRENCE-ID;TZID=Here:20260106T100000",
                     "DTSTART;TZID=Here:20260106T120000", "SUMMARY:moved"}) +
             vevent({"DTSTART:20260105T100000", "RRULE:FREQ=HOURLY", "SUMMARY:hourly"}),
         3},
        {nested + vevent({"DTSTART;VALUE=DATE:20260105", "SUMMARY:" + std::string(9000, 'x')}), 1},
    };
    for (const auto &[text, events] : cases) {
        write_file(path, calendar(text));
        read_in_process(path);
        std::vector<std::string> from_file = listed();
        read_calendar_text(calendar(text), path.c_str(), read_options{});
        EXPECT_EQ(listed(), from_file);
        EXPECT_EQ(from_file.size(), events);
    }
}
