// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Which days an event falls on, and the marks of the face.
#include "tests/events/event_test.h"

#include "calendar/calendar.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <random>
#include <set>

#include <sys/stat.h>

using marks_test = event_file_test;

TEST_F(marks_test, first_instance_spans_with_exclusive_ends) {
    load(vevent({"DTSTART:20260105T100000", "DTEND:20260105T110000", "SUMMARY:timed"}));
    EXPECT_EQ(marked_days(2026, 1), (std::vector<int>{5}));
    load(vevent({"DTSTART:20260105T100000", "DTEND:20260106T090000", "SUMMARY:overnight"}));
    EXPECT_EQ(marked_days(2026, 1), (std::vector<int>{5, 6}));
    load(vevent({"DTSTART;VALUE=DATE:20260105", "DTEND;VALUE=DATE:20260106", "SUMMARY:all day"}));
    EXPECT_EQ(marked_days(2026, 1), (std::vector<int>{5}));
    load(vevent(
        {"DTSTART;VALUE=DATE:20260130", "DTEND;VALUE=DATE:20260203", "SUMMARY:across months"}));
    EXPECT_EQ(marked_days(2026, 1), (std::vector<int>{30, 31}));
    EXPECT_EQ(marked_days(2026, 2), (std::vector<int>{1, 2}));
}

TEST_F(marks_test, rules_with_exdates_counts_and_spans) {
    // Monday 5 January 2026, weekly; an EXDATE on the start removes the first instance.
    load(vevent({"DTSTART:20260105T100000", "DTEND:20260105T110000", "SUMMARY:weekly",
                 "RRULE:FREQ=WEEKLY", "EXDATE:20260119T100000", "EXDATE:20260105T100000"}));
    EXPECT_EQ(marked_days(2026, 1), (std::vector<int>{12, 26}));
    EXPECT_EQ(marked_days(2025, 12), (std::vector<int>{}));  // before the start

    load(vevent({"DTSTART;VALUE=DATE:20260101", "SUMMARY:three", "RRULE:FREQ=DAILY;COUNT=3"}));
    EXPECT_EQ(marked_days(2026, 1), (std::vector<int>{1, 2, 3}));

    // Two days long, weekly: both days of every week.
    load(vevent({"DTSTART;VALUE=DATE:20260105", "DTEND;VALUE=DATE:20260107", "SUMMARY:two days",
                 "RRULE:FREQ=WEEKLY;UNTIL=20260126"}));
    EXPECT_EQ(marked_days(2026, 1), (std::vector<int>{5, 6, 12, 13, 19, 20, 26, 27}));

    // An exception time removes the occurrence at that instant, not its day.
    load(vevent({"DTSTART:20260105T080000", "SUMMARY:hourly", "RRULE:FREQ=HOURLY;INTERVAL=6",
                 "EXDATE:20260106T020000"}));
    EXPECT_EQ(marked_days(2026, 1).size(), 27u);
}

// More recurring events on one day than the tile holds rows for: it holds
// the day view's first rows in the view's order (all-day first, then by
// time, then list order) and counts the rest, one-off events among them.
TEST_F(marks_test, a_day_of_many_recurring_events_holds_its_first_rows_and_counts_the_rest) {
    std::string file = vevent({"DTSTART:20260310T003000", "SUMMARY:once"});
    for (int i = 0; i < 260; ++i) {
        char start[32];
        snprintf(start, sizeof start, "T%02d%02d00", i * 7 % 24, i % 60);
        file += vevent({i % 50 ? "DTSTART:20260101" + std::string(start)
                               : std::string("DTSTART;VALUE=DATE:20260101"),
                        "SUMMARY:r" + std::to_string(i), "RRULE:FREQ=DAILY"});
    }
    load(file);
    icaltimetype day = day_of(2026, 3, 10);
    ask_around(day);
    day_rows held = rows_on_day(day);
    EXPECT_EQ(held.count, 261u);
    std::vector<std::pair<int64_t, uint32_t>> expected;  // key and event of every row
    expected.emplace_back(1 + 30 * 60, static_cast<uint32_t>(index_of("once")));
    for (int i = 0; i < 260; ++i)
        expected.emplace_back(i % 50 ? 1 + (i * 7 % 24 * 60 + i % 60) * 60 : 0,
                              static_cast<uint32_t>(index_of("r" + std::to_string(i))));
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(held.rows.size(), day_row_cap);
    for (std::size_t i = 0; i < day_row_cap; ++i)
        EXPECT_EQ(held.rows[i].event, expected[i].second) << i;
}

TEST_F(marks_test, rules_the_library_cannot_iterate_keep_their_first_instance) {
    for (const char *rule : {"RRULE:FREQ=DAILY;INTERVAL=0", "RRULE:FREQ=WEEKLY;BYMONTHDAY=3",
                             "RRULE:FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=30"}) {
        load(vevent({"DTSTART;VALUE=DATE:20260105", "SUMMARY:odd", rule}));
        EXPECT_EQ(marked_days(2026, 1), (std::vector<int>{5})) << rule;
        EXPECT_EQ(marked_days(2026, 2), (std::vector<int>{})) << rule;
    }
}

TEST_F(marks_test, opaque_wins_in_either_order_and_a_reload_replaces_the_marks) {
    std::string busy = vevent({"DTSTART;VALUE=DATE:20260105", "SUMMARY:busy"});
    std::string free1 =
        vevent({"DTSTART;VALUE=DATE:20260105", "SUMMARY:free", "TRANSP:TRANSPARENT"});
    std::string free2 =
        vevent({"DTSTART;VALUE=DATE:20260106", "SUMMARY:free", "TRANSP:TRANSPARENT"});
    for (const std::string &file : {busy + free1 + free2, free1 + busy + free2}) {
        load(file);
        EXPECT_EQ(day_status(day_of(2026, 1, 5)), 1);
        EXPECT_EQ(day_status(day_of(2026, 1, 6)), 2);
        EXPECT_EQ(day_status(day_of(2026, 1, 7)), 0);
    }
    load(free2);
    EXPECT_EQ(day_status(day_of(2026, 1, 5)), 0);
}

// The answers of the literal walk, for files of floating times and dates:
// from the first instance, through every occurrence that starts up to the
// day, each as long as the first and covering its days up to its end (a
// date or 00:00 ends the day before); a date EXDATE leaves out what starts
// on its day, a time EXDATE the occurrence at that time.
static int64_t written_seconds(icaltimetype t) {
    int64_t s = t.is_date ? 0 : t.hour * 3600 + t.minute * 60 + t.second;
    return int64_t(gregorian_to_jdn(t)) * 86400 + s;
}

static int literal_excluded(icalcomponent *c, icaltimetype o) {
    for (icalproperty *p = icalcomponent_get_first_property(c, ICAL_EXDATE_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_EXDATE_PROPERTY)) {
        icaltimetype x = icalproperty_get_exdate(p);
        if (x.is_date ? date_equal(x, o) : !o.is_date && icaltime_compare(x, o) == 0) return 1;
    }
    return 0;
}

// The days the literal walk marks up to last_day, walked once; none when the
// walk takes over a second (a rule the library iterates slowly), so that
// the event is left out of the comparison.
static std::optional<std::set<int64_t>> literal_days(const event_node *node, int64_t last_day) {
    icalcomponent *c = node->component.get();
    int64_t length =
        std::max<int64_t>(0, written_seconds(node->end) - written_seconds(node->start));
    std::set<int64_t> out;
    auto cover = [&](icaltimetype o) {
        int64_t start = written_seconds(o), end = start + length, last = start / 86400;
        if (end > start) last = std::max(last, (end - 1) / 86400);
        for (int64_t d = start / 86400; d <= std::min(last, last_day); ++d) out.insert(d);
    };
    if (!literal_excluded(c, node->start)) cover(node->start);
    icalproperty *rrule = icalcomponent_get_first_property(c, ICAL_RRULE_PROPERTY);
    if (!rrule) return out;
    icalrecur_iterator *it = icalrecur_iterator_new(icalproperty_get_rrule(rrule), node->start);
    if (!it) return out;
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    for (icaltimetype o = icalrecur_iterator_next(it);
         !icaltime_is_null_time(o) && gregorian_to_jdn(o) <= last_day;
         o = icalrecur_iterator_next(it)) {
        if (std::chrono::steady_clock::now() > give_up) {
            icalrecur_iterator_free(it);
            return std::nullopt;
        }
        if (icaltime_compare(o, node->start) != 0 && !literal_excluded(c, o)) cover(o);
    }
    icalrecur_iterator_free(it);
    return out;
}

// Compares the answers through the worker with the literal walk, asking the
// days in increasing order so that each range of days is answered once.
// Events the worker found faulty keep their first instance by design and are
// left out. The engine's answers are those of a real engine process; the
// walk reads the same file in this process.
static void compare_in_day_order(std::vector<std::pair<int64_t, std::size_t>> &asked,
                                 const std::vector<const event_node *> &nodes, int &compared,
                                 int &marked) {
    std::stable_sort(asked.begin(), asked.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    std::vector<int64_t> last(nodes.size(), INT64_MIN);
    for (const auto &[k, index] : asked) last[index] = std::max(last[index], k);
    std::vector<std::optional<std::set<int64_t>>> walked(nodes.size());
    for (std::size_t i = 0; i < nodes.size(); ++i) walked[i] = literal_days(nodes[i], last[i]);
    for (const auto &[k, index] : asked) {
        const event_node *node = nodes[index];
        icaltimetype day = icaltime_null_date();
        jdn_to_gregorian(k, &day);
        int answer = event_file_test::answers(index, day);
        if (held_events()[index].faulty || !walked[index]) continue;
        int expected = walked[index]->count(k) ? 1 : 0;
        ASSERT_EQ(answer, expected)
            << node->summary << " on " << day.year << "-" << day.month << "-" << day.day << ": "
            << icalcomponent_as_ical_string(node->component.get());
        ++compared;
        marked += expected;
    }
}

TEST_F(marks_test, answers_equal_a_literal_walk_of_many_generated_rules) {
    std::mt19937 rng(20261209);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const char *freqs[] = {"DAILY", "WEEKLY", "MONTHLY", "YEARLY", "HOURLY"};
    const char *bydays[] = {"",           ";BYDAY=MO,WE",    ";BYDAY=FR",
                            ";BYDAY=1MO", ";BYDAY=-1FR,2TU", ";BYDAY=SA,SU"};
    const char *bymonthdays[] = {"", ";BYMONTHDAY=1", ";BYMONTHDAY=15", ";BYMONTHDAY=31",
                                 ";BYMONTHDAY=-1"};
    const char *bymonths[] = {"", ";BYMONTH=1", ";BYMONTH=2,6,11"};
    std::string file;
    for (int i = 0; i < 90; ++i) {
        int f = pick(0, 4);
        std::string rule = std::string("RRULE:FREQ=") + freqs[f];
        int interval = f == 4 ? std::vector<int>{5, 7, 12, 25}[pick(0, 3)] : pick(1, 3);
        if (interval > 1) rule += ";INTERVAL=" + std::to_string(interval);
        if (f != 4 && pick(0, 2) == 0)
            rule +=
                bydays[f == 2 || f == 3 ? pick(0, 5) : std::vector<int>{0, 1, 2, 5}[pick(0, 3)]];
        if (f == 4 && pick(0, 2) == 0) rule += ";BYHOUR=9,13";
        if ((f == 0 || f >= 2) && f != 4 && pick(0, 2) == 0) rule += bymonthdays[pick(0, 4)];
        if (f != 4 && pick(0, 3) == 0) rule += bymonths[pick(0, 2)];
        int ending = pick(0, 2);
        if (ending == 0)
            rule += ";COUNT=" + std::to_string(pick(1, 60));
        else if (ending == 1)
            rule += ";UNTIL=" + ymd(2026 + pick(0, 2), pick(1, 12), pick(1, 28));
        int y = 2025 + pick(0, 1), m = pick(1, 12), d = pick(1, 28);
        std::string start =
            pick(0, 1) ? "DTSTART;VALUE=DATE:" + ymd(y, m, d)
                       : "DTSTART:" + ymd(y, m, d) + "T" + (pick(0, 1) ? "093000" : "230000");
        std::string ex1 = "EXDATE;VALUE=DATE:" + ymd(y, m, d);
        std::string ex2 = "EXDATE:" + ymd(y + pick(0, 1), pick(1, 12), pick(1, 28)) + "T093000";
        file += vevent({start, "DTEND;VALUE=DATE:" + ymd(y, m, d + pick(0, 2)),
                        "SUMMARY:r" + std::to_string(i), rule, ex1, ex2});
    }
    load(file);
    // Whole months in order, as the face asks, then days at random.
    std::vector<std::pair<int64_t, std::size_t>> asked;
    std::vector<const event_node *> nodes = read_in_process(path);
    ASSERT_EQ(nodes.size(), held_events().size());
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const event_node *node = nodes[i];
        int64_t first = gregorian_to_jdn(node->start);
        int span = strstr(icalproperty_as_ical_string(icalcomponent_get_first_property(
                              node->component.get(), ICAL_RRULE_PROPERTY)),
                          "HOURLY")
                       ? 90
                       : 500;
        for (int64_t k = first - 5; k < first + 70; ++k) asked.emplace_back(k, i);
        for (int k = 0; k < 60; ++k) asked.emplace_back(first + pick(-10, span), i);
    }
    int compared = 0, marked = 0;
    compare_in_day_order(asked, nodes, compared, marked);
    EXPECT_GT(marked, compared / 20);  // the rules really do produce occurrences
}

// Files that once froze or crashed the tile. Each loads and answers a month;
// the limit only catches a hang, it does not measure speed.
TEST_F(marks_test, hostile_files_load_and_answer_a_month) {
    std::vector<std::string> rules;
    for (const char *freq :
         {"SECONDLY", "MINUTELY", "HOURLY", "DAILY", "WEEKLY", "MONTHLY", "YEARLY"}) {
        rules.push_back(std::string("FREQ=") + freq + ";BYMONTH=2;BYMONTHDAY=30");
        rules.push_back(std::string("FREQ=") + freq + ";BYMONTH=4;BYMONTHDAY=31");
        rules.push_back(std::string("FREQ=") + freq + ";BYYEARDAY=366;BYMONTH=1");
    }
    rules.insert(rules.end(),
                 {"FREQ=HOURLY;INTERVAL=24;BYHOUR=5", "FREQ=DAILY;INTERVAL=7;BYDAY=TU",
                  "FREQ=MINUTELY;BYMONTH=1", "FREQ=SECONDLY;BYDAY=MO", "FREQ=DAILY;INTERVAL=0",
                  "FREQ=MONTHLY;INTERVAL=12;BYMONTH=3", "FREQ=MONTHLY;BYDAY=MO;BYSETPOS=1,-1,400",
                  "FREQ=SECONDLY;COUNT=5000000", "FREQ=DAILY;COUNT=3000000",
                  "FREQ=HOURLY;BYMONTH=2;BYMONTHDAY=29", "FREQ=YEARLY;BYWEEKNO=53;BYDAY=MO"});
    std::vector<std::string> files;
    // One file of all the rules for each start: the tile never waits for
    // them, and the engine finishes a month however many of them hold it.
    for (const char *start :
         {"DTSTART:20250105T100000", "DTSTART:00010105T100000", "DTSTART:26000105T100000"}) {
        std::string components;
        for (const std::string &rule : rules)
            components += vevent({start, "SUMMARY:hostile", "RRULE:" + rule});
        files.push_back(calendar(components));
    }
    files.push_back(calendar(vevent({"DTSTART:20260105T100000", "SUMMARY:\xff\xfe broken \xc3"})));
    files.push_back("BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nDTSTART:20260105T100000\r\nSUMMARY:cut");
    files.push_back(std::string("BEGIN:VCALENDAR\r\n\0\0\x01\x02 binary\r\nEND:VCALENDAR\r\n", 40));
    std::string binary(1 << 20, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<char>(i * 2654435761u >> 13);
    files.push_back(binary);
    files.push_back(calendar(std::string(4 << 20, 'x') + "\r\n" +
                             vevent({"DTSTART:20260105T100000", "SUMMARY:after"})));

    time_scale = 1;
    for (const std::string &text : files) {
        write_file(path, text);
        auto begin = std::chrono::steady_clock::now();
        ::load_events(config());
        settle_events(0);
        for (int d = 1; d <= 31; ++d) ::day_status(day_of(2026, 1, d));
        auto asked = std::chrono::steady_clock::now();
        EXPECT_EQ(settle_events(120000), 1);
        EXPECT_LT(std::chrono::duration<double>(asked - begin).count(), 0.5) << text.substr(0, 200);
    }
}

// Rules that match rarely or never again: each is answered within the
// worker's limits, its first instance kept, the events after it unharmed.
TEST_F(marks_test, rarely_or_never_matching_rules_cost_only_their_own_event) {
    struct case_row {
        const char *rule;
        std::vector<int> january;  // days of January 2026 marked; the first is the 5th
    };
    const case_row rows[] = {
        {"FREQ=DAILY", {5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18,
                        19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31}},
        {"FREQ=HOURLY;BYDAY=MO,TU", {5, 6, 12, 13, 19, 20, 26, 27}},
        {"FREQ=HOURLY;BYMONTH=2", {5}},
        {"FREQ=MONTHLY;BYDAY=-1FR", {5, 30}},
        {"FREQ=DAILY;INTERVAL=14;BYDAY=MO", {5, 19}},
        {"FREQ=DAILY;INTERVAL=14;BYDAY=TU", {5}},
        {"FREQ=HOURLY;BYMONTH=2;BYMONTHDAY=30", {5}},
        {"FREQ=HOURLY;INTERVAL=24;BYHOUR=5",
         {5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18,
          19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31}},
        {"FREQ=HOURLY;INTERVAL=24;BYHOUR=10",
         {5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18,
          19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31}},
        {"FREQ=MONTHLY;INTERVAL=12;BYMONTH=3", {5}},
        {"FREQ=MONTHLY;INTERVAL=12;BYMONTH=1", {5}},
    };
    for (const case_row &row : rows) {
        load(vevent({"DTSTART:20260107T100000", "SUMMARY:other"}) +
             vevent({"DTSTART:20260105T100000", "SUMMARY:rule", std::string("RRULE:") + row.rule}));
        EXPECT_EQ(marked_days(2026, 1, index_of("rule")), row.january) << row.rule;
        EXPECT_EQ(event_on_day(index_of("other"), day_of(2026, 1, 7)), 1) << row.rule;
    }
}

// COUNT rules far behind the days asked: the walk may stop early or not run
// at all, so the days around each rule's last occurrence, a month decades
// later and days at random must match the literal walk.
TEST_F(marks_test, count_rules_answer_like_a_literal_walk_near_their_end_and_long_after) {
    std::mt19937 rng(1996);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const char *rules[] = {"FREQ=DAILY",
                           "FREQ=DAILY;BYDAY=MO,FR",
                           "FREQ=WEEKLY",
                           "FREQ=WEEKLY;BYDAY=MO,TH",
                           "FREQ=WEEKLY;BYDAY=SU;WKST=SU",
                           "FREQ=WEEKLY;BYDAY=MO,TU,WE,TH,FR;WKST=MO",
                           "FREQ=MONTHLY",
                           "FREQ=MONTHLY;BYDAY=1MO",
                           "FREQ=MONTHLY;BYMONTHDAY=31",
                           "FREQ=YEARLY",
                           "FREQ=YEARLY;BYMONTH=3",
                           "FREQ=WEEKLY;BYDAY=2MO"};
    std::string file;
    for (int i = 0; i < 36; ++i) {
        std::string rule =
            std::string("RRULE:") + rules[i % 12] + ";COUNT=" + std::to_string(pick(1, 150));
        if (pick(0, 2) == 0) rule += ";INTERVAL=" + std::to_string(pick(2, 3));
        // Late days of the month and 29 February test the periods that may lack the start's day.
        int y = 1994 + pick(0, 4), m = pick(1, 12),
            d = pick(0, 4) == 0 ? pick(28, 31) : pick(1, 28);
        if (m == 2 && d > 28) y = 1996, d = 29;
        if (d > icaltime_days_in_month(m, y)) d = icaltime_days_in_month(m, y);
        std::string start = pick(0, 1) ? "DTSTART;VALUE=DATE:" + ymd(y, m, d)
                                       : "DTSTART:" + ymd(y, m, d) + "T220000";
        file += vevent({start, "SUMMARY:c" + std::to_string(i), rule,
                        "EXDATE:" + ymd(y, m + (m < 12), 1 + pick(0, 27)) + "T220000"});
    }
    load(file);
    std::vector<std::pair<int64_t, std::size_t>> asked;
    std::vector<const event_node *> nodes = read_in_process(path);
    ASSERT_EQ(nodes.size(), held_events().size());
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const event_node *node = nodes[i];
        icalrecurrencetype rule = icalproperty_get_rrule(
            icalcomponent_get_first_property(node->component.get(), ICAL_RRULE_PROPERTY));
        int64_t last = gregorian_to_jdn(node->start);
        if (icalrecur_iterator *it = icalrecur_iterator_new(rule, node->start)) {
            for (icaltimetype o = icalrecur_iterator_next(it); !icaltime_is_null_time(o);
                 o = icalrecur_iterator_next(it))
                last = std::max<int64_t>(last, gregorian_to_jdn(o));
            icalrecur_iterator_free(it);
        }
        for (int64_t k = last - 45; k <= last + 45; ++k) asked.emplace_back(k, i);
        for (int k = 0; k < 4; ++k) asked.emplace_back(last + pick(-4000, 400), i);
        for (int d = 1; d <= 31; ++d) asked.emplace_back(gregorian_to_jdn(day_of(2026, 1, d)), i);
    }
    int compared = 0, marked = 0;
    compare_in_day_order(asked, nodes, compared, marked);
    EXPECT_GT(compared, static_cast<int>(asked.size()) / 2);
    EXPECT_GT(marked, compared / 30);
}

TEST_F(marks_test, occurrences_cover_their_local_days_in_the_full_recurrence_set) {
    struct row {
        const char *zone;
        std::string components;
        int year, month;
        std::vector<int> days;
    };
    std::string weekly = "RRULE:FREQ=WEEKLY;COUNT=4";
    auto vtimezone = [](const char *name, const std::string &observances) {
        return std::string("BEGIN:VTIMEZONE\r\nTZID:") + name + "\r\n" + observances +
               "END:VTIMEZONE\r\n";
    };
    std::string without_starts =
        "BEGIN:STANDARD\r\nTZOFFSETFROM:0200\r\nTZOFFSETTO:0100\r\nEND:STANDARD\r\n"
        "BEGIN:DAYLIGHT\r\nTZOFFSETFROM:0100\r\nTZOFFSETTO:0200\r\nEND:DAYLIGHT\r\n";
    std::string unreadable_offset = "BEGIN:STANDARD\r\nDTSTART:19701025T030000\r\nTZOFFSETFROM:"
                                    "+0200\r\nTZOFFSETTO:\r\nEND:STANDARD\r\n";
    std::string in_utc = "BEGIN:STANDARD\r\nDTSTART:19700101T000000\r\nTZOFFSETFROM:+0000\r\n"
                         "TZOFFSETTO:+0000\r\nEND:STANDARD\r\n";
    auto night = [](const char *tzid) {
        return vevent({std::string("DTSTART;TZID=") + tzid + ":20250111T003000",
                       std::string("DTEND;TZID=") + tzid + ":20250111T004500", "SUMMARY:night"});
    };
    const row rows[] = {
        // A single event in UTC, seen west and east of it.
        {"America/Chicago",
         vevent({"DTSTART:20241211T013000Z", "DTEND:20241211T023000Z", "SUMMARY:dinner"}),
         2024,
         12,
         {10}},
        {"Asia/Tehran",
         vevent({"DTSTART:20241210T203000Z", "DTEND:20241210T213000Z", "SUMMARY:dinner"}),
         2024,
         12,
         {11}},
        // Every later occurrence covers all its days; an end at midnight does
        // not cover its day, a later end does.
        {"UTC",
         vevent({"DTSTART:20240226T080000", "DTEND:20240304T080000", "SUMMARY:on call",
                 "RRULE:FREQ=WEEKLY;INTERVAL=3"}),
         2024,
         3,
         {1, 2, 3, 4, 18, 19, 20, 21, 22, 23, 24, 25}},
        {"UTC",
         vevent({"DTSTART:20240305T220000", "DTEND:20240306T000000", "SUMMARY:late",
                 "RRULE:FREQ=WEEKLY;COUNT=2"}),
         2024,
         3,
         {5, 12}},
        // Zero length: its start day; a timed event without an end lasts no time.
        {"UTC",
         vevent({"DTSTART:20240315T000000", "DTEND:20240315T000000", "SUMMARY:deadline"}) +
             vevent({"DTSTART:20240316T231500", "SUMMARY:reminder", weekly}),
         2024,
         3,
         {15, 16, 23, 30}},
        // Two rules, a period with its own end, a date, and excluded instants:
        // the first instance too, and a date that removes its day's start.
        {"UTC",
         vevent({"DTSTART:20240101T090000", "DTEND:20240101T100000", "SUMMARY:set",
                 "RRULE:FREQ=WEEKLY;BYDAY=MO;COUNT=3", "RRULE:FREQ=MONTHLY;BYMONTHDAY=20;COUNT=2",
                 "RDATE;VALUE=PERIOD:20240124T220000/20240126T010000", "RDATE;VALUE=DATE:20240130",
                 "EXDATE:20240101T090000", "EXDATE;VALUE=DATE:20240115"}),
         2024,
         1,
         {8, 20, 24, 25, 26, 30}},
        // A moved occurrence covers its own days and the original none; a
        // cancelled one, and a cancelled event, none.
        {"UTC",
         vevent({"UID:sync", "DTSTART:20240104T170000", "DTEND:20240104T180000", "SUMMARY:sync",
                 weekly}) +
             vevent({"UID:sync", "RECURRENCE-ID:20240111T170000", "DTSTART:20240112T230000",
                     "DTEND:20240113T010000", "SUMMARY:sync, moved"}) +
             vevent({"UID:sync", "RECURRENCE-ID:20240118T170000", "DTSTART:20240118T170000",
                     "DTEND:20240118T180000", "SUMMARY:sync", "STATUS:CANCELLED"}) +
             vevent({"DTSTART:20240102T100000", "SUMMARY:off", "STATUS:CANCELLED"}),
         2024,
         1,
         {4, 12, 13, 25}},
        // THISANDFUTURE: the one occurrence named is replaced.
        {"UTC",
         vevent({"UID:f", "DTSTART;VALUE=DATE:20240101", "SUMMARY:f", weekly}) +
             vevent({"UID:f", "RECURRENCE-ID;RANGE=THISANDFUTURE;VALUE=DATE:20240108",
                     "DTSTART;VALUE=DATE:20240110", "SUMMARY:f, moved"}),
         2024,
         1,
         {1, 10, 15, 22}},
        // Zoned by the file, by the system's zoneinfo, and by nothing (floating).
        {"America/Chicago",
         "BEGIN:VTIMEZONE\r\nTZID:Tokyo time\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
         "TZOFFSETFROM:+0900\r\nTZOFFSETTO:+0900\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n" +
             vevent({"DTSTART;TZID=Tokyo time:20240705T080000",
                     "DTEND;TZID=Tokyo time:20240705T090000", "SUMMARY:tokyo"}) +
             vevent({"DTSTART;TZID=Europe/Berlin:20240710T050000",
                     "DTEND;TZID=Europe/Berlin:20240710T060000", "SUMMARY:berlin"}) +
             vevent({"DTSTART;TZID=Nowhere:20240720T020000", "DTEND;TZID=Nowhere:20240720T030000",
                     "SUMMARY:nowhere"}),
         2024,
         7,
         {4, 9, 20}},
        // Exchange's moved all-day occurrence: midnight in a zone names the
        // day it replaces, in any local zone.
        {"America/Chicago",
         vevent({"UID:h", "DTSTART;VALUE=DATE:20250106", "SUMMARY:h", weekly}) +
             vevent({"UID:h", "RECURRENCE-ID;TZID=Pacific Standard Time:20250113T000000",
                     "DTSTART;VALUE=DATE:20250115", "SUMMARY:h, moved"}),
         2025,
         1,
         {6, 15, 20, 27}},
        {"Asia/Tokyo",
         vevent({"UID:h", "DTSTART;VALUE=DATE:20250106", "SUMMARY:h", weekly}) +
             vevent({"UID:h", "RECURRENCE-ID;TZID=AUS Eastern Standard Time:20250127T000000",
                     "DTSTART;VALUE=DATE:20250128", "SUMMARY:h, moved"}),
         2025,
         1,
         {6, 13, 20, 28}},
        // The system's rules win for a name it knows, over any definition of
        // the file; a usable definition of another name is read. One that
        // cannot be used (Apple iCal 1.5: observances without DTSTART; an
        // empty offset) leaves its name's times floating, not in UTC.
        {"UTC", vtimezone("Europe/Paris", in_utc) + night("Europe/Paris"), 2025, 1, {10}},
        {"UTC", vtimezone("Odd", in_utc) + night("Odd"), 2025, 1, {11}},
        {"America/Chicago", vtimezone("Odd", without_starts) + night("Odd"), 2025, 1, {11}},
        {"America/Chicago", vtimezone("Odd", unreadable_offset) + night("Odd"), 2025, 1, {11}},
    };
    // A TZID naming a file outside the zone names (here a FIFO, which would
    // block its reader) is never opened: such times are floating.
    std::string fifo = dir.file("zone");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string named = "../../../../../../../.." + fifo;
    std::string prefixed = "/freeassociation.sourceforge.net/" + named;
    std::vector<row> table(std::begin(rows), std::end(rows));
    table.push_back(
        {"America/Chicago",
         vevent({"DTSTART;TZID=" + named + ":20240705T080000", "SUMMARY:fifo"}) +
             vevent({"DTSTART;TZID=" + prefixed + ":20240709T080000", "RRULE:FREQ=DAILY;COUNT=3",
                     "SUMMARY:fifo", "EXDATE;TZID=" + prefixed + ":20240710T080000",
                     "RDATE;TZID=" + named + ":20240720T080000"}),
         2024,
         7,
         {5, 9, 11, 20}});
    for (const row &r : table) {
        scoped_zone zone(r.zone);
        stop_events();  // the engine's local time is the zone it started in
        load(r.components);
        std::vector<int> marked;
        for (int d = 1; d <= icaltime_days_in_month(r.month, r.year); ++d)
            if (day_status(day_of(r.year, r.month, d))) marked.push_back(d);
        EXPECT_EQ(marked, r.days) << r.zone << "\n" << r.components;
    }
}
