// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The displayed month from today's date, a calendar, a month offset and the
// Hijri adjustment; how far it can be moved, and that the face stays sound
// at the ends of that range and past them.
#include "face_fixture.h"

#include "calendar/calendar.h"

#include <climits>

namespace {

TEST(displayed_month, from_today_the_calendar_the_offset_and_the_adjustment) {
    struct month_case {
        int kind;
        icaltimetype today;
        int offset, adjust;
        int year, month, day;
    };
    const icaltimetype jan15 = make_date(2024, 1, 15), dec20 = make_date(2024, 12, 20),
                       mar31 = make_date(2024, 3, 31), mar20 = make_date(2024, 3, 20);
    const month_case cases[] = {
        // Months carry into earlier and later years.
        {0, jan15, 0, 0, 2024, 1, 15},
        {0, jan15, -1, 0, 2023, 12, 15},
        {0, jan15, -12, 0, 2023, 1, 15},
        {0, jan15, -13, 0, 2022, 12, 15},
        {0, jan15, -25, 0, 2021, 12, 15},
        {0, jan15, 11, 0, 2024, 12, 15},
        {0, dec20, 1, 0, 2025, 1, 20},
        {0, dec20, 13, 0, 2026, 1, 20},
        {0, dec20, 1200, 0, 2124, 12, 20},
        {0, dec20, -1201, 0, 1924, 11, 20},
        // Persian: Dey 1402, Azar 1403, Farvardin 1403.
        {1, jan15, 0, 0, 1402, 10, 25},
        {1, jan15, 2, 0, 1402, 12, 25},
        {1, jan15, 3, 0, 1403, 1, 25},
        {1, jan15, -10, 0, 1401, 12, 25},
        {1, dec20, 0, 0, 1403, 9, 30},
        {1, dec20, 4, 0, 1404, 1, 30},
        {1, mar31, 0, 0, 1403, 1, 12},
        {1, mar31, -1, 0, 1402, 12, 12},
        {1, mar31, 12, 0, 1404, 1, 12},
        // On the 31st a shorter month keeps day 31: only year and month are shown.
        {0, mar31, 25, 0, 2026, 4, 31},
        {0, mar31, 1, 0, 2024, 4, 31},
        {0, mar31, -1, 0, 2024, 2, 31},
        // Islamic: 20 March 2024 is 10 Ramadan 1445; the adjustment moves it
        // later, outside -2 to 2 not at all, and the Persian date never.
        {2, mar20, 0, 0, 1445, 9, 10},
        {2, mar20, 4, 0, 1446, 1, 10},
        {2, mar20, -9, 0, 1444, 12, 10},
        {2, mar20, 0, -2, 1445, 9, 8},
        {2, mar20, 0, 1, 1445, 9, 11},
        {2, mar20, 0, 3, 1445, 9, 10},
        {1, mar20, 0, 2, 1403, 1, 1},
        // 29 Sha'ban one day later is 1 Ramadan: the month shown moves with it.
        {2, make_date(2024, 3, 10), 0, 1, 1445, 9, 1},
    };
    for (const month_case &c : cases) {
        icaltimetype got = displayed_month(c.kind, c.offset, c.today, c.adjust);
        EXPECT_EQ(got.year * 10000 + got.month * 100 + got.day,
                  c.year * 10000 + c.month * 100 + c.day)
            << "kind " << c.kind << " " << c.today.year << "-" << c.today.month << "-"
            << c.today.day << " offset " << c.offset << " adjust " << c.adjust;
    }
}

TEST(month_range, navigation_stops_nine_hundred_years_out_or_at_the_last_month) {
    const icaltimetype now = make_date(2024, 1, 15);
    for (int kind = 0; kind < 3; kind++) {
        EXPECT_TRUE(month_offset_in_range(kind, 0, now, 0));
        EXPECT_TRUE(month_offset_in_range(kind, 10800, now, 0));
        EXPECT_TRUE(month_offset_in_range(kind, -10800, now, 0));
        EXPECT_FALSE(month_offset_in_range(kind, 10801, now, 0));
        EXPECT_FALSE(month_offset_in_range(kind, -10801, now, 0));
        EXPECT_FALSE(month_offset_in_range(kind, INT_MAX, now, 0));
        EXPECT_FALSE(month_offset_in_range(kind, INT_MIN, now, 0));
        // An offset past the range is held at its end.
        icaltimetype far_end = displayed_month(kind, 10800, now, 0);
        icaltimetype near_end = displayed_month(kind, -10800, now, 0);
        EXPECT_TRUE(date_equal(displayed_month(kind, INT_MAX, now, 0), far_end)) << kind;
        EXPECT_TRUE(date_equal(displayed_month(kind, INT_MIN, now, 0), near_end)) << kind;
        EXPECT_EQ(far_end.year - near_end.year, 1800) << "kind " << kind;
    }
    EXPECT_EQ(displayed_month(0, 10800, now, 0).year, 2924);

    // Near the end of what the calendars support, the last month stops it.
    const icaltimetype late = make_date(2990, 6, 15);
    for (int kind = 0; kind < 3; kind++) {
        icaltimetype shown = displayed_month(kind, 0, late, 0);
        int to_last = (calendar_year_max(kind) - shown.year) * 12 + 12 - shown.month;
        ASSERT_GT(to_last, 0);
        ASSERT_LT(to_last, 10800);
        EXPECT_TRUE(month_offset_in_range(kind, to_last, late, 0)) << "kind " << kind;
        EXPECT_FALSE(month_offset_in_range(kind, to_last + 1, late, 0)) << "kind " << kind;
        EXPECT_TRUE(month_offset_in_range(kind, -to_last, late, 0)) << "kind " << kind;
        for (int offset : {to_last, to_last + 40}) {
            icaltimetype last = displayed_month(kind, offset, late, 0);
            EXPECT_EQ(last.year, calendar_year_max(kind)) << "kind " << kind;
            EXPECT_EQ(last.month, 12);
            EXPECT_EQ(last.day, shown.day);
        }
    }
}

TEST(month_range, whole_face_at_both_ends_in_every_calendar) {
    // Run under the sanitizers, this reads every table the face indexes.
    for (int kind = 0; kind < 3; kind++)
        for (int farsi = 0; farsi < 2; farsi++)
            for (int offset : {-10800, 10800, INT_MIN, INT_MAX}) {
                face_record f = base_face();
                f.calendar_kind = kind;
                f.language = farsi;
                f.moon_view = 1;
                f.month = displayed_month(kind, offset, make_date(2024, 1, 15), 2);
                ASSERT_GE(f.month.month, 1);
                ASSERT_LE(f.month.month, 12);
                ASSERT_GT(f.month.year, 0);
                draw_empty_face(f);
                draw_button_bar(f);
                draw_grid(f, month_marks{});
                draw_header(f);
                int found = 0;
                icaltimetype day;
                for (int y = 0; y < 64; y += 3)
                    for (int x = 0; x < 64; x += 3) found += day_at_point(f, x, y, &day);
                EXPECT_GT(found, 0) << "kind " << kind << " offset " << offset;
            }
}

}  // namespace
