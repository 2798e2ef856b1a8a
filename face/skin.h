// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Where every glyph of the two skin images lies, and the widths derived
// from those places at start-up. All values are pixels; x0 and x1 are the
// first and last column of a glyph, both inclusive.
//
// The sheet (sheet_pixmap, 455 x 131) holds the header text, the face image
// (face_pixmap, 216 x 115) the empty face and every other glyph.
#pragma once

// Name rows: language * 3 + calendar_kind (languages 0 Latin, 1 Farsi,
// 2 Dari, 3 Arabic). Farsi and Dari show the Latin-letter Islamic names
// (rows 5 and 8 repeat row 2), Dari the Farsi Gregorian ones (row 6 repeats
// 3), Arabic the Farsi Persian ones (row 10 repeats 4).
constexpr int name_rows = 12;

constexpr int month_name_x0[name_rows][12] = {
    {3, 27, 52, 77, 102, 130, 162, 188, 216, 241, 266, 293},
    {2, 24, 49, 74, 89, 115, 140, 168, 197, 223, 250, 275},
    {3, 32, 53, 89, 128, 162, 200, 220, 257, 287, 322, 361},
    {2, 47, 86, 126, 166, 187, 223, 255, 289, 338, 374, 416},
    {2, 42, 84, 123, 149, 188, 227, 258, 286, 311, 336, 371},
    {3, 32, 53, 89, 128, 162, 200, 220, 257, 287, 322, 361},
    {2, 47, 86, 126, 166, 187, 223, 255, 289, 338, 374, 416},
    {2, 28, 48, 72, 108, 131, 161, 190, 220, 249, 274, 294},
    {3, 32, 53, 89, 128, 162, 200, 220, 257, 287, 322, 361},
    {2, 26, 54, 84, 110, 132, 156, 179, 219, 253, 281, 312},
    {2, 42, 84, 123, 149, 188, 227, 258, 286, 311, 336, 371},
    {2, 29, 55, 84, 115, 154, 194, 221, 255, 290, 320, 360},
};
constexpr int month_name_x1[name_rows][12] = {
    {23, 48, 74, 98, 126, 150, 177, 211, 237, 262, 289, 315},
    {20, 44, 70, 85, 111, 135, 164, 193, 218, 245, 270, 289},
    {27, 49, 84, 123, 157, 195, 217, 253, 282, 317, 357, 394},
    {34, 76, 117, 155, 178, 214, 247, 276, 325, 362, 406, 451},
    {34, 72, 114, 138, 179, 223, 248, 274, 300, 326, 361, 393},
    {27, 49, 84, 123, 157, 195, 217, 253, 282, 317, 357, 394},
    {34, 76, 117, 155, 178, 214, 247, 276, 325, 362, 406, 451},
    {22, 42, 66, 102, 125, 155, 184, 214, 243, 268, 288, 315},
    {27, 49, 84, 123, 157, 195, 217, 253, 282, 317, 357, 394},
    {20, 48, 78, 104, 126, 150, 173, 213, 247, 275, 306, 342},
    {34, 72, 114, 138, 179, 223, 248, 274, 300, 326, 361, 393},
    {23, 49, 78, 109, 148, 188, 215, 249, 284, 314, 354, 394},
};
constexpr int month_name_y[name_rows] = {17, 32, 45, 63, 79, 45, 63, 92, 45, 105, 79, 118};
constexpr int month_name_height = 11;

// Digit sets: 0 Latin, 1 Persian (Farsi and Dari), 2 Arabic-Indic.
constexpr int digit_sets = 3;

// Year digits, indexed by digit set and digit value.
constexpr int year_digit_x0[digit_sets][10] = {
    {3, 14, 23, 33, 43, 53, 63, 73, 83, 93},
    {103, 114, 123, 133, 143, 153, 163, 173, 183, 193},
    {203, 213, 223, 233, 243, 253, 263, 273, 283, 293},
};
constexpr int year_digit_x1[digit_sets][10] = {
    {9, 17, 29, 39, 49, 59, 69, 79, 89, 99},
    {109, 117, 129, 139, 149, 159, 169, 179, 189, 199},
    {206, 216, 229, 239, 248, 259, 269, 280, 290, 298},
};
constexpr int year_digit_y = 4;
constexpr int year_digit_height = 9;

// Day digits: 5 x 7 cells 4 pixels apart, so neighbours share a blank
// column. The strip row is day_digit_y0 + 20 * style + 10 * today.
constexpr int day_digit_x[digit_sets][10] = {
    {119, 123, 127, 131, 135, 139, 143, 147, 151, 155},
    {69, 73, 77, 81, 85, 89, 93, 97, 101, 105},
    {169, 173, 177, 181, 185, 189, 193, 197, 201, 205},
};
constexpr int day_digit_width = 5;
constexpr int day_digit_height = 7;
constexpr int day_digit_y0 = 2;

// Moon glyphs for phase codes 1 (new) to 4 (last quarter).
constexpr int moon_glyph_x[4] = {128, 137, 146, 155};
constexpr int moon_glyph_y = 70;
constexpr int moon_glyph_width = 8;
constexpr int moon_glyph_height = 7;

// Holiday mark: one row of rose under a holiday's number.
constexpr int holiday_mark_x = 183;
constexpr int holiday_mark_y = 70;
constexpr int holiday_mark_width = 7;

// Button glyphs: 0-2 application icons, 3 the handle that shows the bar,
// 4 the handle that hides it, 5 settings, 6-7 moon view off and on,
// 8-10 the calendar letters G, P, I.
constexpr int button_glyphs = 11;
constexpr int button_glyph_x0[button_glyphs] = {129, 138, 147, 162, 167, 156,
                                                165, 174, 129, 138, 147};
constexpr int button_glyph_x1[button_glyphs] = {136, 145, 154, 165, 170, 160,
                                                172, 181, 136, 145, 154};
constexpr int button_glyph_y[button_glyphs] = {80, 80, 80, 80, 80, 80, 70, 70, 88, 88, 88};
constexpr int button_glyph_height = 7;

// The empty face, and the weekday strips by digit set (Latin at y 70,
// Persian at 82, Arabic at 94), each Monday to Sunday twice in 9-pixel
// cells; a 63-pixel window of a strip is one week.
constexpr int face_size = 64;
constexpr int weekday_strip_y[digit_sets] = {70, 82, 94};
constexpr int weekday_cell_width = 9;
constexpr int weekday_window_width = 63;
constexpr int weekday_strip_height = 8;

// Grid and bar geometry on the face.
constexpr int header_y = 1;
constexpr int header_centre_x = 30;  // name, gap and year centred here, the half rounded down
constexpr int header_gap = 3;        // between name and year, not counted in the centring
constexpr int weekday_row_y = 12;
constexpr int grid_y0 = 20;
constexpr int grid_row_height = 7;
constexpr int bar_y = 56;
constexpr int bar_right = 55;  // last column of the rightmost glyph

// x1 - x0 + 1 of the tables above, filled once by init_skin.
extern int month_name_width[name_rows][12];
extern int year_digit_width[digit_sets][10];
extern int button_glyph_width[button_glyphs];

// The settings file can hand over any number; these bring the values that
// index the tables back to the ones the face knows.
struct face_record;
int face_week_start(const face_record &face);  // 0-7; anything else acts as 0 (Monday first)
int face_language(const face_record &face);    // 0-3; anything else acts as 1 (Farsi)
int language_digits(int language);             // digit set; unknown languages read Persian digits
int face_calendar(int kind);                   // 0-2
int face_icon(const face_record &face);        // 0-2
int face_hijri_adjust(int adjust);             // -2 to 2; anything else acts as 0

// Farthest the displayed month may lie from the current one, in months.
// Besides, the displayed year stays inside the years the calendar
// arithmetic is exact for (calendar_year_min/max); 900 years from any date
// of this and the next few centuries are well inside them, and the bound
// keeps month sums far from overflow.
constexpr int max_month_offset = 900 * 12;
