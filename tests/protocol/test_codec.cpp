// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The wire between the tile and its engine: every message comes back as it
// was sent, and anything else a peer could send is refused, whole.
#include "protocol/protocol.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

occurrence sample_occurrence() {
    occurrence o;
    o.start = icaltime_from_string("20260315T093000");
    o.end = icaltime_from_string("20260316");
    o.first_day = 2461115;
    o.last_day = 2461116;
    return o;
}

// Decodes a frame's payload with the decoder of the side that takes it and
// encodes the record again; empty when the decoder refused it.
using recode = std::function<std::string(uint32_t, std::string_view)>;

template <class message> recode recode_with(int (*decode)(uint32_t, std::string_view, message &)) {
    return [decode](uint32_t type, std::string_view payload) {
        message m;
        std::string out;
        if (decode(type, payload, m)) std::visit([&out](const auto &r) { encode(out, r); }, m);
        return out;
    };
}

struct sent {
    const char *name;
    std::string frame;
    recode back;
};

template <class record> std::string frame_of(const record &r) {
    std::string out;
    encode(out, r);
    return out;
}

std::vector<sent> every_message() {
    recode tile = recode_with(decode_tile_message), engine = recode_with(decode_engine_message),
           worker = recode_with(decode_worker_message);
    tile_hello hello;
    hello.debug = debug_lines;
    hello.time_scale = 10;
    hello.fault = {2, 7, 11};
    hello.name = "Dayspinner";
    hello.read_trees = {"/home/a/cal", "/etc/localtime"};
    event_reply event{3, 1, 2, 0, 1, sample_occurrence(), "Nowruz \xd9\x86\xd9\x88", "Tehran"};
    alarm_item alarm{4,
                     default_alarm,
                     1800000000,
                     0,
                     1800003600,
                     sample_occurrence(),
                     sample_occurrence().start,
                     "uid-\xd9\x86@example.org"};
    return {
        {"tile hello", frame_of(hello), tile},
        {"load",
         frame_of(
             load_request{5, "/home/a/cal.ics", {{"/x.ics", {1, 2, 3, 4, -5}}}, {"Mars/Base"}}),
         tile},
        {"range", frame_of(range_request{6, 5, {2461100, 2461163}, 12}), tile},
        {"alarms", frame_of(alarm_request{7, 5, 1799913600, 1800000000, 15, 3}), tile},
        {"cut", frame_of(cut_request{6}), tile},
        {"alarms answer", frame_of(alarms_reply{7, 2, {alarm}}), engine},
        {"worker alarms", frame_of(alarms_reply{0, 0, {alarm, alarm}}), worker},
        {"engine hello", frame_of(engine_hello{}), engine},
        {"progress", frame_of(progress_reply{5, progress_file, "/x.ics", {1, 2, 3, 4, 5}}), engine},
        {"event", frame_of(event), engine},
        {"loaded", frame_of(loaded_reply{5, 40000, 0}), engine},
        {"day", frame_of(day_reply{6, 2461100, 2, 9, {{3, sample_occurrence()}, {4, {}}}}), engine},
        {"faulty", frame_of(faulty_reply{6, 9}), engine},
        {"range done", frame_of(range_done_reply{6, 41}), engine},
        {"worker day", frame_of(day_reply{0, 2461100, 1, 3, {{8, sample_occurrence()}}}), worker},
        {"done", frame_of(done_record{8}), worker},
    };
}

std::string_view payload_of(const std::string &frame, uint32_t &type) {
    std::size_t at = 0;
    std::string_view payload;
    EXPECT_EQ(take_frame(frame, at, type, payload), frame_whole);
    EXPECT_EQ(at, frame.size());
    return payload;
}

}  // namespace

TEST(codec, every_message_comes_back_as_sent_and_no_part_or_more_of_it_decodes) {
    for (const sent &m : every_message()) {
        SCOPED_TRACE(m.name);
        uint32_t type = 0;
        std::string payload(payload_of(m.frame, type));
        EXPECT_EQ(m.back(type, payload), m.frame);
        for (std::size_t n = 0; n < payload.size(); ++n)
            EXPECT_EQ(m.back(type, std::string_view(payload).substr(0, n)), "") << n << " bytes";
        EXPECT_EQ(m.back(type, payload + '\0'), "");
        EXPECT_EQ(m.back(type + 100, payload), "");
    }
}

TEST(codec, frames_and_fields_over_their_caps_and_values_out_of_range_are_refused) {
    std::string whole = frame_of(loaded_reply{1, 1, 0});
    std::size_t at = 0;
    uint32_t type = 0;
    std::string_view payload;
    EXPECT_EQ(take_frame(whole.substr(0, whole.size() - 1), at, type, payload), frame_partial);
    std::string huge = whole.substr(0, 4) + std::string("\x01\x00\x10\x00", 4);  // 1 MiB + 1
    EXPECT_EQ(take_frame(huge, at, type, payload), frame_fault);

    struct row {
        const char *name;
        std::function<void(std::string &)> spoil;  // of the event frame's payload
    };
    // Offsets in an event's payload: load 0, index 4, transparency 8,
    // cancelled 9, has rule 10, the first start's is_date 18, summary 43.
    const row rows[] = {
        {"transparency 3", [](std::string &p) { p[8] = 3; }},
        {"cancelled 2", [](std::string &p) { p[9] = 2; }},
        {"is_date 2", [](std::string &p) { p[18] = 2; }},
        {"summary longer than its cap", [](std::string &p) { p[43 + 1] = 0x20; }},
        {"summary longer than the payload", [](std::string &p) { p[43] = 100; }},
    };
    std::string frame = frame_of(event_reply{1, 0, 1, 0, 0, sample_occurrence(), "a", ""});
    std::string clean(payload_of(frame, type));
    engine_message m;
    ASSERT_TRUE(decode_engine_message(type, clean, m));
    for (const row &r : rows) {
        std::string p = clean;
        r.spoil(p);
        EXPECT_FALSE(decode_engine_message(type, p, m)) << r.name;
    }
    // A day's payload: range 0, day 4, status 12, count 13, rows 17.
    const row day_rows[] = {
        {"status 3", [](std::string &p) { p[12] = 3; }},
        {"fewer rows in all than sent", [](std::string &p) { p[13] = 0; }},
        {"two rows announced, one sent", [](std::string &p) { p[13] = p[17] = 2; }},
    };
    std::string day(payload_of(frame_of(day_reply{1, 2461100, 1, 1, {{0, {}}}}), type));
    for (const row &r : day_rows) {
        std::string p = day;
        r.spoil(p);
        EXPECT_FALSE(decode_engine_message(msg_day, p, m)) << r.name;
    }
    std::string loaded(payload_of(frame_of(loaded_reply{1, 0, 1}), type));
    loaded[8] = 2;  // unchanged is 0 or 1
    EXPECT_FALSE(decode_engine_message(msg_loaded, loaded, m));
    tile_message t;
    std::string hello(payload_of(frame_of(tile_hello{}), type));
    hello[8] = 0;  // time scale 0
    EXPECT_FALSE(decode_tile_message(msg_hello, hello, t));
    for (day_range days :
         {day_range{10, 9}, day_range{0, range_day_cap}, day_range{INT64_MIN, INT64_MAX}}) {
        std::string range(payload_of(frame_of(range_request{1, 1, days, 0}), type));
        EXPECT_FALSE(decode_tile_message(msg_range, range, t)) << days.first << " " << days.last;
    }
    // Alarms further back than a day or with a default reminder over a day,
    // and an alarm due at no time.
    for (alarm_request a :
         {alarm_request{1, 1, 11, 10, 0, 0}, alarm_request{1, 1, 10 - alarm_back_s - 1, 10, 0, 0},
          alarm_request{1, 1, 0, 10, default_minutes_cap + 1, 0}}) {
        std::string asked(payload_of(frame_of(a), type));
        EXPECT_FALSE(decode_tile_message(msg_alarms, asked, t))
            << a.since << " " << a.default_minutes;
    }
    std::string never(payload_of(frame_of(alarms_reply{1, 0, {alarm_item{}}}), type));
    EXPECT_FALSE(decode_engine_message(msg_alarms, never, m));
}

TEST(codec, kept_alarms_are_those_due_then_the_soonest_and_the_cap_counts_the_rest) {
    alarms_reply kept, more;
    for (int64_t i = 0; i < int64_t(alarm_cap) + 10; ++i) {
        alarm_item due{static_cast<uint32_t>(i), 0, 1000 + i, 0, 0, {}, {}, "d"};
        alarm_item later{static_cast<uint32_t>(i), 1, 0, 5000 - i, 0, {}, {}, "l"};
        more.items = {later, due};
        keep_alarms(kept, more);
    }
    ASSERT_EQ(kept.items.size(), alarm_cap);
    EXPECT_EQ(kept.more, 10u);  // the due ones left out; the later ones cost nothing
    EXPECT_EQ(kept.items.front().last, 1000);
    EXPECT_TRUE(std::is_sorted(kept.items.begin(), kept.items.end(), alarm_before));
}

TEST(codec, long_texts_and_lists_are_cut_on_sending_so_that_they_still_decode) {
    std::string frame =
        frame_of(event_reply{1, 0, 1, 0, 0, {}, std::string(text_cap - 1, 'a') + "\xd9\x86", ""});
    uint32_t type = 0;
    engine_message m;
    ASSERT_TRUE(decode_engine_message(type, payload_of(frame, type), m));
    EXPECT_EQ(std::get<event_reply>(m).summary, std::string(text_cap - 1, 'a'));
    day_reply many{1, 0, 0, 0, std::vector<day_row>(day_row_cap + 5)};
    std::string f = frame_of(many);
    ASSERT_TRUE(decode_engine_message(type, payload_of(f, type), m));
    EXPECT_EQ(std::get<day_reply>(m).rows.size(), day_row_cap);
    EXPECT_EQ(std::get<day_reply>(m).count, day_row_cap);
}

// A day's rows as the view lists them, whatever order they come in: all-day
// and many-day first, then by start, in list order among equals; beyond the
// cap, the last ones are the ones left out.
TEST(codec, kept_rows_are_the_first_of_the_day_in_the_views_order) {
    auto at = [](int64_t first, int64_t last, int hour, int is_date) {
        occurrence o;
        o.start.hour = hour;
        o.start.is_date = is_date;
        o.first_day = first;
        o.last_day = last;
        return o;
    };
    std::vector<day_row> rows;
    for (uint32_t e = 0; e < day_row_cap + 50; ++e) keep_row(rows, {e, at(5, 5, 23, 0)});
    keep_row(rows, {900, at(5, 5, 9, 0)});
    keep_row(rows, {901, at(4, 6, 9, 0)});   // many days
    keep_row(rows, {902, at(5, 5, 0, 1)});   // a date
    keep_row(rows, {899, at(5, 5, 23, 0)});  // after the 23:00 ones of lower index
    ASSERT_EQ(rows.size(), day_row_cap);
    const uint32_t first[] = {901, 902, 900, 0, 1};
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(rows[i].event, first[i]) << i;
    EXPECT_EQ(rows.back().event, day_row_cap - 4);
}
