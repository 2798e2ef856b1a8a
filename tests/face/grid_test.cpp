// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The day grid against a model of the layout written here: days laid into
// 9 x 7 cells from the first day of the week, and the pointer read back
// through the same cells with the row rounded toward zero and column 7
// standing for column 0 of the next row.
#include "face_fixture.h"

#include "calendar/calendar.h"
#include "face/face.h"

#include <ctime>
#include <map>

namespace {

// Gregorian date `days` after y-m-d, and its weekday (0 Sunday), from the C library.
icaltimetype gregorian_after(int y, int m, int d, int days, int *weekday = nullptr) {
    struct tm t {};
    t.tm_year = y - 1900;
    t.tm_mon = m - 1;
    t.tm_mday = d + days;
    t.tm_hour = 12;
    time_t s = timegm(&t);
    struct tm out {};
    gmtime_r(&s, &out);
    if (weekday) *weekday = out.tm_wday;
    return make_date(out.tm_year + 1900, out.tm_mon + 1, out.tm_mday);
}

// One displayed month: its place in its calendar, the Gregorian date of
// its day 1 and its length.
struct shown_month {
    int kind, year, month;
    icaltimetype first;
    int length;
};

shown_month gregorian_month(int year, int month) {
    int length = 28;
    while (gregorian_after(year, month, 1, length).month == month) length++;
    return {0, year, month, make_date(year, month, 1), length};
}

// Persian 1403 Farvardin began on 2024-03-20; Islamic 1445 Ramadan on 2024-03-11.
shown_month farvardin_1403() { return {1, 1403, 1, make_date(2024, 3, 20), 31}; }
shown_month ramadan_1445() {
    return {2, 1445, 9, make_date(2024, 3, 11), days_in_month(9, 1445, 2)};
}

// Column of the first day of the month: the header starts on Sunday for
// week start 1, Saturday for 2, ... Monday for 7; 0 and anything outside
// 1-7 start on Monday.
int first_column(const shown_month &m, int week_start) {
    int first_weekday = week_start >= 1 && week_start <= 7 ? (8 - week_start) % 7 : 1;
    int weekday = 0;
    gregorian_after(m.first.year, m.first.month, m.first.day, 0, &weekday);
    return (weekday - first_weekday + 7) % 7;
}

struct cell {
    int x, y;
};
cell cell_of_day(const shown_month &m, int week_start, int day) {
    int index = first_column(m, week_start) + day - 1;
    return {9 * (index % 7), 20 + 7 * (index / 7)};
}

// The day the pointer at (x, y) selects, 0 for none.
int day_under_pointer(const shown_month &m, int week_start, int x, int y) {
    int column = x / 9;
    int row = y >= 20 ? (y - 20) / 7 : y >= 14 ? 0 : y >= 7 ? -1 : -2;
    if (column == 7) {
        column = 0;
        row++;
    }
    if (row < 0) return 0;
    int day = row * 7 + column - first_column(m, week_start) + 1;
    return day >= 1 && day <= m.length ? day : 0;
}

face_record show(face_record f, const shown_month &m, int week_start, int today_day) {
    f.calendar_kind = m.kind;
    f.week_start = week_start;
    f.month = make_date(m.year, m.month, today_day);
    return f;
}

// How each day should look: a style row of the digit strips, or a moon glyph.
struct day_look {
    int style = 0, today = 0, phase = 0;
};

// First digit cell by language: Latin, Farsi and Dari Persian, Arabic
// Arabic-Indic; any other language reads as Farsi.
int first_digit_x(int language) {
    const int first[] = {119, 69, 69, 169};
    return language >= 0 && language <= 3 ? first[language] : 69;
}

void paste_number(expected_face &e, int day, cell at, day_look look, int language) {
    int sy = 2 + 20 * look.style + 10 * look.today;
    int digit0 = first_digit_x(language);
    if (day <= 9) {
        e.paste(face_image(), digit0 - 1, sy, 2, 7, at.x, at.y);
        e.paste(face_image(), digit0 - 1, sy, 2, 7, at.x + 7, at.y);
        e.paste(face_image(), digit0 + 4 * day, sy, 5, 7, at.x + 2, at.y);
    } else {
        e.paste(face_image(), digit0 + 4 * (day / 10), sy, 5, 7, at.x, at.y);
        e.paste(face_image(), digit0 + 4 * (day % 10), sy, 5, 7, at.x + 4, at.y);
    }
}

expected_face expected_grid(const shown_month &m, int week_start,
                            const std::map<int, day_look> &special, int language) {
    expected_face e;
    for (int day = 1; day <= m.length; day++) {
        auto found = special.find(day);
        day_look look = found == special.end() ? day_look{} : found->second;
        cell at = cell_of_day(m, week_start, day);
        if (look.phase)
            e.paste(face_image(), 128 + 9 * (look.phase - 1), 70, 8, 7, at.x, at.y);
        else
            paste_number(e, day, at, look, language);
    }
    return e;
}

// The marks are the face's input: busy or free days, and the moon phases.
::testing::AssertionResult grid_matches(const face_record &f, const shown_month &m, int week_start,
                                        const std::map<int, day_look> &special,
                                        const month_marks &marks = {}) {
    fill_buffer_with_sentinel();
    draw_grid(show(f, m, week_start, 1), marks);
    return buffer_matches(expected_grid(m, week_start, special, f.language));
}

month_marks marks_of(const std::map<int, int> &status, const std::map<int, int> &phase) {
    month_marks marks;
    for (auto [day, s] : status) marks.status[day - 1] = s;
    for (auto [day, p] : phase) marks.phase[day - 1] = p;
    return marks;
}

// January 2024 in UTC: last quarter 4th, new moon 11th, first quarter 18th,
// full moon 25th.
const std::map<int, int> january_phases = {{4, 4}, {11, 1}, {18, 2}, {25, 3}};

TEST(grid, month_starting_in_column_zero) {
    // 1 September 2024 is a Sunday: column 0 at y 20 with Sunday first,
    // day 8 opens the second row at y 27. Today red, a highlighted day.
    face_record f = base_face();
    shown_month september = gregorian_month(2024, 9);
    EXPECT_EQ(cell_of_day(september, 1, 1).y, 20);
    EXPECT_EQ(cell_of_day(september, 1, 8).x, 0);
    EXPECT_EQ(cell_of_day(september, 1, 8).y, 27);
    f.today = make_date(2024, 9, 5);
    f.highlight = make_date(2024, 9, 12);
    EXPECT_TRUE(grid_matches(f, september, 1, {{5, {0, 1, 0}}, {12, {3, 0, 0}}}));
}

TEST(grid, month_needing_six_rows) {
    // 1 December 2024 is a Sunday, the last column with Monday first; 30
    // and 31 fall in columns 0 and 1 at y 55. A highlighted today shows
    // white on black, not red.
    face_record f = base_face();
    shown_month december = gregorian_month(2024, 12);
    EXPECT_EQ(cell_of_day(december, 7, 31).x, 9);
    EXPECT_EQ(cell_of_day(december, 7, 31).y, 55);
    f.today = make_date(2024, 12, 31);
    f.highlight = make_date(2024, 12, 31);
    EXPECT_TRUE(grid_matches(f, december, 7, {{31, {3, 0, 0}}}));
}

TEST(grid, moon_view_wins_over_today_and_loses_to_the_highlight) {
    face_record f = base_face();
    f.moon_view = 1;
    f.today = make_date(2024, 1, 11);
    f.highlight = make_date(2024, 1, 25);
    month_marks marks = marks_of({}, january_phases);
    EXPECT_TRUE(grid_matches(f, gregorian_month(2024, 1), 7,
                             {{4, {0, 0, 4}}, {11, {0, 0, 1}}, {18, {0, 0, 2}}, {25, {3, 0, 0}}},
                             marks));
    // With the view off the same days are plain numbers, today red.
    f.moon_view = 0;
    EXPECT_TRUE(
        grid_matches(f, gregorian_month(2024, 1), 7, {{11, {0, 1, 0}}, {25, {3, 0, 0}}}, marks));
}

TEST(grid, event_colours_under_today_and_the_moon) {
    // Busy on the 5th, 15th and 18th (a first quarter), free on the 9th.
    month_marks marks = marks_of({{5, 1}, {9, 2}, {15, 1}, {18, 1}}, january_phases);
    shown_month january = gregorian_month(2024, 1);
    face_record f = base_face();
    f.today = make_date(2024, 1, 15);
    EXPECT_TRUE(grid_matches(
        f, january, 7, {{5, {1, 0, 0}}, {9, {2, 0, 0}}, {15, {1, 1, 0}}, {18, {1, 0, 0}}}, marks));
    f.today = make_date(2024, 1, 9);
    f.moon_view = 1;
    EXPECT_TRUE(grid_matches(f, january, 7,
                             {{4, {0, 0, 4}},
                              {5, {1, 0, 0}},
                              {9, {2, 1, 0}},
                              {11, {0, 0, 1}},
                              {15, {1, 0, 0}},
                              {18, {0, 0, 2}},
                              {25, {0, 0, 3}}},
                             marks));
}

TEST(grid, persian_and_islamic_months_in_every_language) {
    // Today red: Farvardin 6 (2024-03-25), Ramadan 1 (2024-03-11); a busy
    // and a free day and the highlight pick the other strips.
    month_marks marks = marks_of({{3, 1}, {20, 2}}, {});
    for (int language : {0, 1, 2, 3, -2, 7}) {
        face_record f = base_face();
        f.language = language;
        f.today = make_date(2024, 3, 25);
        f.highlight = make_date(2024, 4, 1);  // Farvardin 13
        EXPECT_TRUE(grid_matches(f, farvardin_1403(), 7,
                                 {{3, {1, 0, 0}}, {6, {0, 1, 0}}, {13, {3, 0, 0}}, {20, {2, 0, 0}}},
                                 marks))
            << "language " << language;
        f.today = make_date(2024, 3, 11);
        f.highlight = icaltime_null_time();
        EXPECT_TRUE(grid_matches(f, ramadan_1445(), 2,
                                 {{1, {0, 1, 0}}, {3, {1, 0, 0}}, {20, {2, 0, 0}}}, marks))
            << "language " << language;
    }
}

TEST(grid, week_start_out_of_range_lays_out_as_monday_first) {
    for (int week_start : {8, -1, -7, 1000000})
        EXPECT_TRUE(grid_matches(base_face(), gregorian_month(2024, 9), week_start, {}))
            << "week start " << week_start;
}

// Every pixel of the tile against the model.
void expect_pointer_model(const shown_month &m, int week_start, int today_day) {
    face_record f = show(base_face(), m, week_start, today_day);
    int wrong = 0;
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 64; x++) {
            int day = day_under_pointer(m, week_start, x, y);
            icaltimetype got = icaltime_null_time();
            int found = day_at_point(f, x, y, &got);
            bool right = found == (day != 0);
            if (right && day) {
                icaltimetype want =
                    gregorian_after(m.first.year, m.first.month, m.first.day, day - 1);
                right = date_equal(got, want);
            }
            if (!right && ++wrong <= 5)
                ADD_FAILURE() << "kind " << m.kind << " " << m.year << "-" << m.month
                              << " week start " << week_start << ": (" << x << ", " << y
                              << ") should give day " << day << ", got " << found << " " << got.year
                              << "-" << got.month << "-" << got.day;
        }
}

TEST(day_at_point, every_pixel_of_several_months) {
    expect_pointer_model(gregorian_month(2024, 3), 7, 15);
    expect_pointer_model(gregorian_month(2024, 12), 7, 1);
    expect_pointer_model(gregorian_month(2024, 9), 1, 30);
    // The 31st carried into a 30-day month.
    expect_pointer_model(gregorian_month(2024, 4), 2, 31);
    expect_pointer_model(farvardin_1403(), 2, 12);
    expect_pointer_model(ramadan_1445(), 0, 21);
    expect_pointer_model(gregorian_month(2024, 9), 9, 3);
    expect_pointer_model(gregorian_month(2024, 9), -4, 3);
}

TEST(day_at_point, known_points) {
    struct point_case {
        shown_month month;
        int today_day, x, y;
        icaltimetype day;  // the null time: no day
    };
    const icaltimetype none = icaltime_null_time();
    const point_case cases[] = {
        {gregorian_month(2024, 3), 9, 40, 30, make_date(2024, 3, 8)},
        // The weekday band answers for row 0; above it nothing; x 63 is the
        // next row's first day.
        {gregorian_month(2024, 3), 9, 40, 15, make_date(2024, 3, 1)},
        {gregorian_month(2024, 3), 9, 40, 13, none},
        {gregorian_month(2024, 3), 9, 63, 22, make_date(2024, 3, 4)},
        // Left of day 1, and after the last day.
        {gregorian_month(2024, 3), 9, 5, 22, none},
        {gregorian_month(2024, 3), 9, 20, 55, none},
        // Persian Farvardin 1 1403 is 20 March 2024: Wednesday, column 2 Monday first.
        {farvardin_1403(), 12, 20, 20, make_date(2024, 3, 20)},
    };
    for (const point_case &c : cases) {
        face_record f = show(base_face(), c.month, 7, c.today_day);
        icaltimetype got = icaltime_null_time();
        int found = day_at_point(f, c.x, c.y, &got);
        EXPECT_EQ(found, !icaltime_is_null_time(c.day)) << c.x << "," << c.y;
        EXPECT_TRUE(!found || date_equal(got, c.day)) << c.x << "," << c.y;
    }
}

}  // namespace
