// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// What the parser is handed: unfolded lines within the nesting, length and
// time-zone bounds; and hostile files loaded through the real loader.
#include "tests/events/event_test.h"

#include "engine/bounds.h"

using namespace std::string_literals;

namespace {

struct bounds_case {
    const char *name;
    std::string in, out;
    text_bounds bounds;
    std::size_t cut, components, zones;
};

text_bounds small(std::size_t depth, std::size_t value, std::size_t line, std::size_t zones,
                  std::size_t zone_bytes) {
    return text_bounds{depth, value, line, zones, zone_bytes};
}

std::string repeat(const std::string &s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

}  // namespace

TEST(bounds, table) {
    const text_bounds wide = small(5, 8, 40, 1, 100);
    const std::string zone = "BEGIN:VTIMEZONE\nTZID:A\nEND:VTIMEZONE\n";
    const bounds_case cases[] = {
        {"unfolded, CRLF or LF, a leading fold and empty lines left out",
         " lost\r\nSUMMARY:ab\r\n c\r\n\td\n\r\nX:1", "SUMMARY:abcd\r\nX:1\r\n", wide, 0, 0, 0},
        {"a component too deep goes with all in it; a stray END goes",
         "END:A\nBEGIN:A\nbegin:B\nBEGIN:C\nBEGIN:D\nX:1\nEND:D\nEND:C\nY:2\nend:B\nEND:A\n",
         "BEGIN:A\r\nbegin:B\r\nY:2\r\nend:B\r\nEND:A\r\n", small(2, 8, 40, 1, 100), 0, 1, 0},
        {"unterminated nesting is cut at the bound", repeat("BEGIN:VEVENT\n", 50),
         repeat("BEGIN:VEVENT\r\n", 5), wide, 0, 1, 0},
        {"a value cut before a character, not inside it", "SUMMARY:abcdefg\xc3\xa9z\n",
         "SUMMARY:abcdefg\r\n", wide, 1, 0, 0},
        {"a value cut before a lone backslash, after a pair",
         "LOCATION:abcdefg\\,z\nX-A:abcdef\\\\z\n", "LOCATION:abcdefg\r\nX-A:abcdef\\\\\r\n", wide,
         2, 0, 0},
        {"a colon in a quoted parameter is not the value's",
         "DESCRIPTION;ALTREP=\"a:b\":0123456789\n", "DESCRIPTION;ALTREP=\"a:b\":01234567\r\n", wide,
         1, 0, 0},
        {"other long lines, a NUL and a text line without value go",
         "RRULE:FREQ=DAILY;BYDAY=MO,TU,WE,TH,FR,SA,SU\nUID:1\nSUMMARY:a\0b\nSUMMARY;X=1\nEND:X\n"s,
         "UID:1\r\n", wide, 0, 0, 0},
        {"zones beyond the count go, whatever the case or a trailing comma",
         zone + "begin:vtimezone,x\nTZID:B\nBEGIN:STANDARD\nEND:STANDARD\nEND:VTIMEZONE\nX:1\n",
         "BEGIN:VTIMEZONE\r\nTZID:A\r\nEND:VTIMEZONE\r\nX:1\r\n", wide, 0, 0, 1},
        {"a zone too large goes whole, from a nested line or its END",
         "BEGIN:VTIMEZONE\nBEGIN:STANDARD\n" + repeat("TZNAME:long name\n", 5) +
             "END:STANDARD\nEND:VTIMEZONE\n" +
             "BEGIN:VTIMEZONE\nTZID:0123456789012345678\n"
             "TZNAME:0123456789012345678\nEND:VTIMEZONE\nX:1\n",
         "X:1\r\n", small(5, 8, 40, 2, 80), 0, 0, 2},
    };
    for (const bounds_case &c : cases) {
        bounded_text b = bound_calendar_text(c.in, c.bounds);
        EXPECT_EQ(b.text, c.out) << c.name;
        EXPECT_EQ(b.values_cut, c.cut) << c.name;
        EXPECT_EQ(b.components_dropped, c.components) << c.name;
        EXPECT_EQ(b.zones_dropped, c.zones) << c.name;
    }
}

// The faults these bounds stand against, through the loader: deep nesting
// overflowed the parser's recursive free, and a long summary was kept whole.
TEST_F(event_file_test, hostile_nesting_and_text_load_within_bounds) {
    std::string deep = repeat("BEGIN:VEVENT\r\n", 300000) + repeat("END:VEVENT\r\n", 300000);
    std::string huge = "SUMMARY:" + repeat("\xc3\xa9", 1 << 20);
    load(vevent({"DTSTART:20260105T100000", "SUMMARY:kept"}) + deep +
         vevent({"DTSTART:20260106T100000", huge}));
    ASSERT_EQ(summaries().size(), 2u);
    EXPECT_EQ(summaries()[1], "kept");
    EXPECT_EQ(summaries()[0], repeat("\xc3\xa9", 2048));
}
