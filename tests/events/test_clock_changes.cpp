// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Local times that a change of the clock skips or repeats, and whose rules
// a zone name is read with.
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
        // From Python's zoneinfo with fold=0, which reads as this does: a
        // gap's time with the offset before it, a repeated time the first.
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

// The system's zones are read with every year of the database, also those
// the library's translation of its files into observances loses (daylight
// saving time in Tehran in 2019, in Jerusalem in 2014).
TEST(clock_changes, system_zones_keep_every_year_of_the_database) {
    struct row {
        const char *zone, *written, *utc;  // the instant from Python's zoneinfo
    };
    const row rows[] = {{"Asia/Tehran", "20190610T233000", "20190610T1900"},
                        {"Asia/Jerusalem", "20140610T233000", "20140610T2030"}};
    temp_dir dir;
    std::string path = dir.file("calendar.ics");
    for (const row &r : rows) {
        write_file(path, calendar(vevent({std::string("DTSTART;TZID=") + r.zone + ":" + r.written,
                                          "SUMMARY:late"})));
        for (const char *user : {r.zone, "UTC"}) {
            scoped_zone zone(user);
            std::string local = strcmp(user, "UTC") ? std::string(r.written, 13) : r.utc;
            std::vector<const event_node *> nodes = read_in_process(path);
            ASSERT_EQ(nodes.size(), 1u);
            EXPECT_EQ(minute_of(nodes[0]->first.start), local) << r.zone << " seen in " << user;
        }
    }
    free_events();
}

// A DURATION's hours are real time across a change of the clock, its days
// calendar days.
TEST(clock_changes, durations_count_hours_in_real_time_and_days_on_the_calendar) {
    struct row {
        const char *start, *duration;
        int64_t length;
        const char *end;  // in New York
    };
    const row rows[] = {{"20240310T013000", "PT2H", 7200, "20240310T0430"},
                        {"20241103T003000", "PT2H", 7200, "20241103T0130"},
                        {"20240309T120000", "P1D", 23 * 3600, "20240310T1200"}};
    temp_dir dir;
    std::string path = dir.file("calendar.ics");
    scoped_zone zone("America/New_York");
    for (const row &r : rows) {
        write_file(path, calendar(vevent({std::string("DTSTART;TZID=America/New_York:") + r.start,
                                          std::string("DURATION:") + r.duration, "SUMMARY:d"})));
        std::vector<const event_node *> nodes = read_in_process(path);
        ASSERT_EQ(nodes.size(), 1u);
        EXPECT_EQ(nodes[0]->length, r.length) << r.start << " " << r.duration;
        EXPECT_EQ(minute_of(nodes[0]->first.end), r.end) << r.start << " " << r.duration;
    }
    free_events();
}

using zone_rules_test = event_file_test;

// Iran ended daylight saving time in 2022; files written before keep a
// definition with it. A name the database knows is read by its rules, and
// with -d one line names each definition that differs from them in the
// years of its events (a rule's through next year).
TEST_F(zone_rules_test, the_database_wins_for_the_names_it_knows) {
    auto zone = [](const char *tzid, const char *standard, const std::string &daylight) {
        std::string fixed = std::string("BEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n") +
                            "TZOFFSETFROM:" + standard + "\r\nTZOFFSETTO:" + standard +
                            "\r\nEND:STANDARD\r\n";
        return std::string("BEGIN:VTIMEZONE\r\nTZID:") + tzid + "\r\n" + fixed + daylight +
               "END:VTIMEZONE\r\n";
    };
    auto summer = [](const char *from, const char *to, int year) {
        std::string y = std::to_string(year);
        return "BEGIN:DAYLIGHT\r\nDTSTART:" + y + "0322T000000\r\nRRULE:FREQ=YEARLY;BYMONTH=3\r\n" +
               "TZOFFSETFROM:" + from + "\r\nTZOFFSETTO:" + to + "\r\nEND:DAYLIGHT\r\n" +
               "BEGIN:STANDARD\r\nDTSTART:" + y + "0922T000000\r\nRRULE:FREQ=YEARLY;BYMONTH=9\r\n" +
               "TZOFFSETFROM:" + to + "\r\nTZOFFSETTO:" + from + "\r\nEND:STANDARD\r\n";
    };
    scoped_zone user("Asia/Tehran");
    stop_events();  // the engine's local time is the zone it started in
    debug = 1;
    testing::internal::CaptureStdout();
    // Kabul's definition differs from next year on, which only the weekly
    // rule reaches; Dubai's agrees, and Tokyo's differs after its only event.
    time_t now = time(nullptr);
    struct tm today {};
    gmtime_r(&now, &today);
    load(zone("Asia/Tehran", "+0330", summer("+0330", "+0430", 1979)) +
         zone("Asia/Kabul", "+0430", summer("+0430", "+0530", today.tm_year + 1900 + 1)) +
         zone("Asia/Dubai", "+0400", "") +
         zone("Asia/Tokyo", "+0900", summer("+0900", "+1000", 2025)) +
         vevent({"DTSTART;TZID=Asia/Tehran:20240610T003000", "SUMMARY:tehran"}) +
         vevent({"DTSTART;TZID=Asia/Tehran:20240612T003000", "SUMMARY:tehran again"}) +
         vevent({"DTSTART;TZID=Asia/Tehran:20190610T233000", "SUMMARY:tehran 2019"}) +
         vevent({"DTSTART;TZID=Asia/Kabul:20240610T120000", "RRULE:FREQ=WEEKLY", "SUMMARY:k"}) +
         vevent({"DTSTART;TZID=Asia/Dubai:20240610T120000", "SUMMARY:dubai"}) +
         vevent({"DTSTART;TZID=Asia/Tokyo:20240610T120000", "SUMMARY:tokyo"}));
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(marked_days(2024, 6, index_of("tehran")), (std::vector<int>{10}));
    EXPECT_EQ(marked_days(2019, 6, index_of("tehran 2019")), (std::vector<int>{10}));
    std::string said;
    for (const char *name : {"Asia/Kabul", "Asia/Tehran"})
        said += std::string("time zone \"") + name +
                "\" of the file differs from the system's; the system's is used\n";
    std::string lines;
    for (std::size_t at = 0; (at = out.find("time zone", at)) != std::string::npos;) {
        std::size_t end = out.find('\n', at) + 1;
        lines += out.substr(at, end - at);
        at = end;
    }
    EXPECT_EQ(lines, said) << out;
}
