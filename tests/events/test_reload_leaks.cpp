// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// A thousand reloads of a changing calendar file, every tenth followed by the
// marks of a month. The sanitizer build runs this binary with leak checking
// on, so a component, node, summary or occurrence left behind by a reload
// fails it; the normal build checks that every reload really happened.
#include "tests/events/event_test.h"

namespace {

// A small calendar whose content changes with n: timed, all-day and
// multi-day events, rules with and without COUNT, EXDATEs, a to-do, rules
// the library cannot iterate or crashes on, and one event without a summary.
std::string changing_calendar(int n) {
    std::string day = ymd(2026, 1, 1 + n % 28), next = ymd(2026, 1, 2 + n % 28);
    std::string out;
    out += vevent({"DTSTART:" + day + "T100000", "DTEND:" + day + "T110000",
                   "SUMMARY:timed " + std::to_string(n), "LOCATION:Room"});
    out += vevent({"DTSTART;VALUE=DATE:" + day, "DTEND;VALUE=DATE:" + next, "SUMMARY:all day",
                   "TRANSP:TRANSPARENT"});
    out += vevent(
        {"DTSTART;VALUE=DATE:20251230", "DTEND;VALUE=DATE:20260103", "SUMMARY:across the year"});
    out += vevent({"DTSTART:20251201T090000", "DTEND:20251201T093000", "SUMMARY:daily",
                   "RRULE:FREQ=DAILY", "EXDATE:" + day + "T090000"});
    out += vevent({"DTSTART:19960105T090000", "SUMMARY:weekly, counted",
                   "RRULE:FREQ=WEEKLY;BYDAY=MO,TH;COUNT=40"});
    out += vevent(
        {"DTSTART:20250105T090000", "SUMMARY:weekly, counted, near", "RRULE:FREQ=WEEKLY;COUNT=80"});
    out += vevent(
        {"DTSTART:19960115T090000", "SUMMARY:monthly", "RRULE:FREQ=MONTHLY;BYMONTHDAY=15,-1"});
    out += vevent({"DTSTART:20260718T100000", "SUMMARY:crash", "RRULE:FREQ=YEARLY;BYWEEKNO=10"});
    out +=
        vevent({"DTSTART:20260105T090000", "SUMMARY:no interval", "RRULE:FREQ=DAILY;INTERVAL=0"});
    out += "BEGIN:VTODO\r\nDTSTART:" + day + "T080000\r\nSUMMARY:to do\r\nEND:VTODO\r\n";
    out += vevent({"DTSTART:" + day + "T120000", "LOCATION:no summary"});
    return calendar(out);
}

TEST_F(event_file_test, thousand_reloads_of_a_changing_file_release_everything) {
    std::string other = dir.file("other.ics");
    uint64_t parses = engine_loads;
    for (int n = 0; n < 1000; ++n) {
        // Rewritten in place, or replaced by a rename, or a moment without a file.
        if (n % 3 == 0) {
            write_file(other, changing_calendar(n));
            ASSERT_EQ(rename(other.c_str(), path.c_str()), 0);
        } else {
            write_file(path, changing_calendar(n));
        }
        load_events();
        ASSERT_EQ(summaries().size(), 11u) << n;
        ASSERT_EQ(summaries()[1], "to do");
        // The marks fork a worker: every tenth reload asks them.
        if (n % 10 == 0)
            for (int d = 1; d <= 31; ++d) day_status(day_of(2026, 1, d));
        if (n % 100 == 50) {
            unlink(path.c_str());
            load_events();  // a vanished file keeps the list
            ASSERT_EQ(summaries().size(), 11u);
        }
    }
    EXPECT_EQ(engine_loads - parses, 1000u);
    EXPECT_EQ(day_status(day_of(2026, 1, 1)), 1);
}

}  // namespace
