// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Local times that a change of the clock skips or repeats.
#include "tests/events/event_test.h"

#include "engine/recur.h"
#include "engine/zones.h"

#include <cstdio>
#include <cstring>
#include <map>

namespace {

// yyyymmddThhmm of a local time.
std::string minute_of(icaltimetype t) {
    char out[32];
    snprintf(out, sizeof out, "%04d%02d%02dT%02d%02d", t.year, t.month, t.day, t.hour, t.minute);
    return out;
}

void add_occurrence(void *context, const occurrence &o) {
    static_cast<std::vector<occurrence> *>(context)->push_back(o);
}

std::vector<occurrence> expanded(const event_node *node, const occurrence &around) {
    std::vector<occurrence> out;
    expand_rule(node, around.first_day - 3, around.first_day + 3, add_occurrence, &out);
    return out;
}

}  // namespace

// A time a change forward skips is read with the offset before the change,
// and one a change back repeats is the first of the two; for the system's
// zones and for a file's own definition alike, in the first instance, in
// the rule's occurrences, and in an EXDATE or RECURRENCE-ID written in UTC.
TEST(clock_changes, skipped_times_take_the_offset_before_and_repeated_ones_the_first) {
    struct row {
        const char *zone, *written;
        const char *standard, *daylight;  // offsets, for the file's own definition
        const char *begins, *ends;        // daylight time that year, local time before each
        // From Python's zoneinfo with fold=0, which is RFC 5545's reading:
        // before a gap's offset, and the first of a repeated hour.
        const char *in_zone, *utc;
    };
    const row rows[] = {
        {"America/New_York", "20240310T023000", "-0500", "-0400", "20240310T020000",
         "20241103T020000", "20240310T0330", "20240310T073000Z"},
        {"Africa/Cairo", "20240426T003000", "+0200", "+0300", "20240426T000000", "20241101T000000",
         "20240426T0130", "20240425T223000Z"},
        {"Asia/Beirut", "20250330T003000", "+0200", "+0300", "20250330T000000", "20251026T000000",
         "20250330T0130", "20250329T223000Z"},
        {"Asia/Tehran", "20220322T003000", "+0330", "+0430", "20220322T000000", "20220922T000000",
         "20220322T0130", "20220321T210000Z"},
        {"America/New_York", "20241103T013000", "-0500", "-0400", "20240310T020000",
         "20241103T020000", "20241103T0130", "20241103T053000Z"},
        {"Africa/Cairo", "20241031T233000", "+0200", "+0300", "20240426T000000", "20241101T000000",
         "20241031T2330", "20241031T203000Z"},
        {"Asia/Beirut", "20241026T233000", "+0200", "+0300", "20240331T000000", "20241027T000000",
         "20241026T2330", "20241026T203000Z"},
        {"Asia/Tehran", "20220921T233000", "+0330", "+0430", "20220322T000000", "20220922T000000",
         "20220921T2330", "20220921T190000Z"},
    };
    temp_dir dir;
    std::string path = dir.file("calendar.ics");
    for (const row &r : rows)
        for (int own : {0, 1}) {
            std::string tzid = own ? std::string("File ") + r.zone : r.zone;
            auto observance = [](const char *kind, const char *start, const char *from,
                                 const char *to) {
                return std::string("BEGIN:") + kind + "\r\nDTSTART:" + start +
                       "\r\nTZOFFSETFROM:" + from + "\r\nTZOFFSETTO:" + to + "\r\nEND:" + kind +
                       "\r\n";
            };
            std::string definition =
                "BEGIN:VTIMEZONE\r\nTZID:" + tzid + "\r\n" +
                observance("STANDARD", "19700101T000000", r.standard, r.standard) +
                observance("DAYLIGHT", r.begins, r.standard, r.daylight) +
                observance("STANDARD", r.ends, r.daylight, r.standard) + "END:VTIMEZONE\r\n";
            icaltimetype day_before = icaltime_from_string(r.written);
            icaltime_adjust(&day_before, -1, 0, 0, 0);
            std::string start = "DTSTART;TZID=" + tzid + ":";
            std::string daily = start + icaltime_as_ical_string(day_before);
            const char *rule = "RRULE:FREQ=DAILY;COUNT=3";
            write_file(path,
                       calendar((own ? definition : "") + vevent({start + r.written, "SUMMARY:a"}) +
                                vevent({daily, rule, "SUMMARY:b"}) +
                                vevent({daily, rule, "SUMMARY:c", std::string("EXDATE:") + r.utc}) +
                                vevent({"UID:d", daily, rule, "SUMMARY:d"}) +
                                vevent({"UID:d", std::string("RECURRENCE-ID:") + r.utc,
                                        "DTSTART:20300101T000000Z", "SUMMARY:moved"})));
            for (const char *user : {r.zone, "UTC"}) {
                scoped_zone zone(user);
                std::string local = strcmp(user, "UTC") ? r.in_zone : std::string(r.utc, 13);
                std::map<std::string, const event_node *> node;
                for (const event_node *n : read_in_process(path)) node[n->summary] = n;
                std::string where = tzid + " " + r.written + " seen in " + user;
                ASSERT_EQ(node.size(), 5u) << where;
                const occurrence &first = node["a"]->first;
                EXPECT_EQ(minute_of(first.start), local) << where;
                EXPECT_EQ(first.first_day,
                          gregorian_to_jdn(icaltime_from_string(local.substr(0, 8).c_str())))
                    << where;
                std::vector<occurrence> b = expanded(node["b"], first);
                ASSERT_EQ(b.size(), 2u) << where;
                EXPECT_EQ(minute_of(b[0].start), local) << where;
                EXPECT_EQ(b[0].first_day, first.first_day) << where;
                EXPECT_EQ(expanded(node["c"], first).size(), 1u) << where;
                EXPECT_EQ(expanded(node["d"], first).size(), 1u) << where;
            }
        }
    free_events();
}
