// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The alarms the engine answers, read in this process and expanded by its
// worker, at fixed clocks in Tehran's zone (+03:30, no daylight saving).
#include "tests/events/event_test.h"

#include <csignal>
#include <map>

namespace {

// Seconds since 1970 of a UTC time "20261211T061500".
int64_t utc(const char *text) {
    icaltimetype t = icaltime_from_string(text);
    return icaltime_as_timet_with_zone(t, icaltimezone_get_utc_timezone());
}

std::string alarm(const std::string &trigger, std::initializer_list<std::string> more = {}) {
    std::string out = "BEGIN:VALARM\r\nACTION:DISPLAY\r\n" + trigger + "\r\n";
    for (const auto &l : more) out += l + "\r\n";
    return out + "END:VALARM";
}

// The answer keyed "uid instance alarm" -> "last next".
std::map<std::string, std::pair<int64_t, int64_t>> answer(const std::string &events,
                                                          const char *now, uint32_t minutes = 0,
                                                          const engine_fault &fault = {}) {
    read_calendar_text(calendar(events), "alarms.ics", read_options{});
    alarm_request m;
    m.now = utc(now);
    m.since = m.now - alarm_back_s;
    m.default_minutes = minutes;
    alarms_reply r = answer_alarms(m, fault, 1, 0);
    end_worker();
    std::map<std::string, std::pair<int64_t, int64_t>> out;
    for (const alarm_item &a : r.items) {
        char key[64];
        snprintf(key, sizeof key, " %04d%02d%02dT%02d%02d %d", a.instance.year, a.instance.month,
                 a.instance.day, a.instance.hour, a.instance.minute, static_cast<int>(a.alarm));
        out[a.uid + key] = {a.last, a.next};
    }
    return out;
}

}  // namespace

TEST(Alarms, each_trigger_falls_due_at_its_time_for_each_occurrence) {
    scoped_zone zone("Asia/Tehran");
    const std::string start = "DTSTART;TZID=Asia/Tehran:20261211T100000";  // 06:30Z
    const std::string end = "DTEND;TZID=Asia/Tehran:20261211T110000";
    struct row {
        std::string events;
        const char *now;
        uint32_t minutes;
        std::map<std::string, std::pair<int64_t, int64_t>> expected;
    };
    const row rows[] = {
        {vevent({"UID:rel", start, end, alarm("TRIGGER:-PT15M")}),
         "20261211T060000Z",
         0,
         {{"rel 20261211T1000 0", {0, utc("20261211T061500Z")}}}},
        {vevent({"UID:end", start, end, alarm("TRIGGER;RELATED=END:PT0S")}),
         "20261211T060000Z",
         0,
         {{"end 20261211T1000 0", {0, utc("20261211T073000Z")}}}},
        {vevent({"UID:abs", start, end, alarm("TRIGGER;VALUE=DATE-TIME:20261211T070000Z")}),
         "20261211T060000Z",
         0,
         {{"abs 20261211T1000 0", {0, utc("20261211T070000Z")}}}},
        // Due 06:20, 06:25 and 06:30: the latest by now and the next after it.
        {vevent({"UID:rep", start, end, alarm("TRIGGER:-PT10M", {"REPEAT:2", "DURATION:PT5M"})}),
         "20261211T062700Z",
         0,
         {{"rep 20261211T1000 0", {utc("20261211T062500Z"), utc("20261211T063000Z")}}}},
        // A million repeats, a second apart, and a trigger twenty years early.
        {vevent({"UID:many", "DTSTART:20461211T063000Z",
                 alarm("TRIGGER:-P7305D", {"REPEAT:1000000", "DURATION:PT1S"})}),
         "20261211T070000Z",
         0,
         {{"many 20461211T1000 0", {utc("20261211T070000Z"), utc("20261211T070001Z")}}}},
        // The second alarm is EMAIL, the third has no trigger: only the
        // first and the fourth remind, under their own indexes.
        {vevent({"UID:idx", start, end, alarm("TRIGGER:-PT5M"),
                 "BEGIN:VALARM\r\nACTION:EMAIL\r\nTRIGGER:-PT1M\r\nEND:VALARM",
                 "BEGIN:VALARM\r\nACTION:AUDIO\r\nEND:VALARM", alarm("TRIGGER:-PT1H")}),
         "20261211T050000Z",
         0,
         {{"idx 20261211T1000 0", {0, utc("20261211T062500Z")}},
          {"idx 20261211T1000 3", {0, utc("20261211T053000Z")}}}},
        // A daily rule: yesterday's was due by now, today's is moved to noon
        // and keeps its RECURRENCE-ID, tomorrow's is cancelled.
        {vevent({"UID:day", "DTSTART;TZID=Asia/Tehran:20261210T100000", "RRULE:FREQ=DAILY;COUNT=5",
                 alarm("TRIGGER:-PT15M")}) +
             vevent({"UID:day", "RECURRENCE-ID;TZID=Asia/Tehran:20261211T100000",
                     "DTSTART;TZID=Asia/Tehran:20261211T120000", alarm("TRIGGER:-PT15M")}) +
             vevent({"UID:day", "RECURRENCE-ID;TZID=Asia/Tehran:20261212T100000",
                     "DTSTART;TZID=Asia/Tehran:20261212T100000", "STATUS:CANCELLED",
                     alarm("TRIGGER:-PT15M")}),
         "20261211T050000Z",
         0,
         {{"day 20261210T1000 0", {utc("20261210T061500Z"), 0}},
          {"day 20261211T1000 0", {0, utc("20261211T081500Z")}}}},
        // The default reminder: timed events without an alarm; not all-day
        // ones, not cancelled ones.
        {vevent({"UID:plain", start, end}) + vevent({"UID:allday", "DTSTART;VALUE=DATE:20261211"}) +
             vevent({"UID:off", start, "STATUS:CANCELLED"}),
         "20261211T060000Z",
         30,
         {{"plain 20261211T1000 -1", {utc("20261211T060000Z"), 0}}}},
    };
    for (const row &r : rows) {
        auto got = answer(r.events, r.now, r.minutes);
        EXPECT_EQ(got, r.expected) << r.events;
    }
    free_events();
}

TEST(Alarms, a_flood_is_cut_to_the_cap_and_a_crashing_rule_loses_only_its_own_alarms) {
    scoped_zone zone("Asia/Tehran");
    std::string flood;
    for (int i = 0; i < 200; ++i)
        flood += vevent({"UID:f" + std::to_string(i), "DTSTART:20261211T063000Z",
                         alarm("TRIGGER:-PT" + std::to_string(i + 1) + "S")});
    read_calendar_text(calendar(flood), "flood.ics", read_options{});
    alarm_request m;
    m.now = utc("20261211T063000Z");
    m.since = m.now - alarm_back_s;
    alarms_reply r = answer_alarms(m, {}, 1, 0);
    EXPECT_EQ(r.items.size(), alarm_cap);
    EXPECT_EQ(r.more, 200 - alarm_cap);
    // Of those due by now, the answer keeps the earliest.
    EXPECT_EQ(r.items.front().last, m.now - 200);

    // The rule is last in the file, first in the list.
    const std::string two =
        vevent({"UID:plain", "DTSTART:20261211T070000Z", alarm("TRIGGER:-PT1M")}) +
        vevent(
            {"UID:rule", "DTSTART:20261211T070000Z", "RRULE:FREQ=DAILY", alarm("TRIGGER:-PT1M")});
    auto got = answer(two, "20261211T060000Z", 0, engine_fault{2, 0, SIGSEGV});
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got.begin()->first, "plain 20261211T1030 0");
    // The rule's days are still answered.
    read_calendar_text(calendar(two), "two.ics", read_options{});
    event_list->alarms_faulty = 1;
    int64_t day = gregorian_to_jdn(day_of(2026, 12, 12));
    answer_result days = answer_days({day, day}, 0, 500, {}, 1, 0);
    end_worker();
    ASSERT_EQ(days.days.size(), 1u);
    EXPECT_EQ(days.days[0].status, 1);
    free_events();
}
