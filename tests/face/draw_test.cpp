// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The header, the repaint of the empty face and the button bar, read back
// from the buffer and compared with the cells of the skin images.
#include "face_fixture.h"

#include "calendar/calendar.h"
#include "face/face.h"

#include <X11/extensions/shape.h>

#include <set>
#include <utility>

namespace {

// Name cells (x0, width) and rows of the sheet used below.
struct name_cell {
    int x, y, width;
};

void expect_header(int year, int month, int kind, int language, name_cell name, int name_x,
                   int tens_x0, int tens_w, int tens_at, int units_x0, int units_w, int units_at) {
    face_record f = base_face();
    f.calendar_kind = kind;
    f.language = language;
    f.month = make_date(year, month, 1);
    fill_buffer_with_sentinel();
    draw_header(f);
    expected_face e;
    e.paste(sheet_image(), name.x, name.y, name.width, 11, name_x, 1);
    e.paste(sheet_image(), tens_x0, 4, tens_w, 9, tens_at, 1);
    e.paste(sheet_image(), units_x0, 4, units_w, 9, units_at, 1);
    EXPECT_TRUE(buffer_matches(e))
        << year << "-" << month << " kind " << kind << " language " << language;
}

TEST(header, name_and_year_centred_with_a_gap) {
    // Jan (21) + 2 + 4 (7 each): half 17, name at 13, digits at 37 and 44.
    expect_header(2024, 1, 0, 0, {3, 17, 21}, 13, 23, 7, 37, 43, 7, 44);
    // Jul (16) + 2 + 6: an odd sum, half rounded down to 15.
    expect_header(2026, 7, 0, 0, {162, 17, 16}, 15, 23, 7, 34, 63, 7, 41);
    // A year ending in 11: two digits 1 of 4 pixels.
    expect_header(2011, 5, 0, 0, {102, 17, 25}, 14, 14, 4, 42, 14, 4, 46);
    // A year ending in 03 keeps its leading zero.
    expect_header(2003, 9, 0, 0, {216, 17, 22}, 12, 3, 7, 37, 33, 7, 44);
}

TEST(header, name_row_follows_language_and_calendar) {
    // Persian Latin-letter Tir 1403.
    expect_header(1403, 4, 1, 0, {74, 32, 12}, 17, 3, 7, 32, 33, 7, 39);
    // Gregorian Farsi-script January, Farsi digits.
    expect_header(2024, 1, 0, 1, {2, 63, 33}, 7, 123, 7, 43, 143, 7, 50);
    // Persian Farsi-script Esfand 1402.
    expect_header(1402, 12, 1, 1, {371, 79, 23}, 12, 103, 7, 38, 123, 7, 45);
    // Farsi Islamic: the Latin-letter names (row 45) with Farsi digits.
    expect_header(1445, 9, 2, 1, {257, 45, 26}, 10, 143, 7, 39, 153, 7, 46);
    // Dari: its own Persian names (Hamal, row 92), the Farsi Gregorian and
    // the Latin-letter Islamic names, all with Farsi digits.
    expect_header(1403, 1, 1, 2, {2, 92, 21}, 13, 103, 7, 37, 133, 7, 44);
    expect_header(2024, 1, 0, 2, {2, 63, 33}, 7, 123, 7, 43, 143, 7, 50);
    expect_header(1445, 9, 2, 2, {257, 45, 26}, 10, 143, 7, 39, 153, 7, 46);
    // Arabic, with the Arabic-Indic digits from x 203: August 2027 (row 105,
    // the widest Gregorian name: 35 + 7 + 8, x 5), Farsi-script Esfand 1402,
    // Jumada II 1448 (row 118).
    expect_header(2027, 8, 0, 3, {179, 105, 35}, 5, 223, 7, 43, 273, 8, 50);
    expect_header(1402, 12, 1, 3, {371, 79, 23}, 13, 203, 4, 39, 223, 7, 43);
    expect_header(1448, 6, 2, 3, {154, 118, 35}, 6, 243, 6, 44, 283, 8, 50);
}

TEST(header, settings_out_of_range_stay_inside_the_tables) {
    // A language outside 0-3 is Farsi; an unknown calendar kind is Gregorian.
    face_record f = base_face();
    f.language = 5;
    f.calendar_kind = 7;
    f.month = make_date(2024, 1, 1);
    fill_buffer_with_sentinel();
    draw_header(f);
    expected_face e;
    e.paste(sheet_image(), 2, 63, 33, 11, 7, 1);
    e.paste(sheet_image(), 123, 4, 7, 9, 43, 1);
    e.paste(sheet_image(), 143, 4, 7, 9, 50, 1);
    EXPECT_TRUE(buffer_matches(e));
}

// The empty face with the weekday window starting at strip_x of the strip
// at strip_y.
expected_face repainted_face(int strip_x, int strip_y) {
    expected_face e;
    e.paste(face_image(), 0, 0, 64, 64, 0, 0);
    e.paste(face_image(), strip_x, strip_y, 63, 8, 0, 12);
    return e;
}

TEST(empty_face, with_the_weekday_window) {
    // Week start: 0 and 7 Monday, 1 Sunday, 2 Saturday; outside 0-7 acts as 0.
    const std::pair<int, int> windows[] = {{0, 63}, {1, 54},  {2, 45},   {7, 0},
                                           {8, 63}, {-1, 63}, {1000, 63}};
    // Strips: Latin, Farsi (also Dari and any unknown language), Arabic.
    const std::pair<int, int> strips[] = {{0, 70}, {1, 82}, {2, 82}, {3, 94}, {9, 82}};
    for (auto [language, strip_y] : strips)
        for (auto [week_start, strip_x] : windows) {
            face_record f = base_face();
            f.language = language;
            f.week_start = week_start;
            fill_buffer_with_sentinel();
            draw_empty_face(f);
            EXPECT_TRUE(buffer_matches(repainted_face(strip_x, strip_y)))
                << "week start " << week_start << " language " << language;
        }
}

// Glyph cells of the face image (x0, y, width).
struct glyph {
    int x, y, width;
};
const glyph icons[3] = {{129, 80, 8}, {138, 80, 8}, {147, 80, 8}};
const glyph show_handle{162, 80, 4}, hide_handle{167, 80, 4}, settings{156, 80, 5};
const glyph moon_buttons[2] = {{165, 70, 8}, {174, 70, 8}};
const glyph letters[3] = {{129, 88, 8}, {138, 88, 8}, {147, 88, 8}};

void paste_glyph(expected_face &e, glyph g, int x) {
    e.paste(face_image(), g.x, g.y, g.width, 7, x, 56);
}

TEST(button_bar, packed_from_the_right_for_every_state) {
    for (int kind = 0; kind < 3; kind++)
        for (int moon = 0; moon < 2; moon++)
            for (int icon = 0; icon < 3; icon++) {
                face_record f = base_face();
                f.calendar_kind = kind;
                f.moon_view = moon;
                f.icon_kind = icon;
                fill_buffer_with_sentinel();
                draw_button_bar(f);
                expected_face e;
                paste_glyph(e, hide_handle, 52);
                paste_glyph(e, settings, 46);
                paste_glyph(e, moon_buttons[moon], 37);
                paste_glyph(e, letters[kind], 28);
                paste_glyph(e, icons[icon], 19);
                EXPECT_TRUE(buffer_matches(e))
                    << "kind " << kind << " moon " << moon << " icon " << icon;
            }
}

TEST(button_bar, hidden_bar_shows_only_the_handle) {
    face_record f = base_face();
    f.buttons_shown = 0;
    f.moon_view = 1;
    fill_buffer_with_sentinel();
    draw_button_bar(f);
    expected_face e;
    paste_glyph(e, show_handle, 52);
    EXPECT_TRUE(buffer_matches(e));
}

TEST(button_bar, unknown_icon_kind_shows_the_first_icon) {
    face_record f = base_face();
    f.icon_kind = 9;
    fill_buffer_with_sentinel();
    draw_button_bar(f);
    expected_face e;
    paste_glyph(e, hide_handle, 52);
    paste_glyph(e, settings, 46);
    paste_glyph(e, moon_buttons[0], 37);
    paste_glyph(e, letters[0], 28);
    paste_glyph(e, icons[0], 19);
    EXPECT_TRUE(buffer_matches(e));
}

// The mark of a calendar not read takes the bottom edge alone, and goes again.
TEST(button_bar, the_unread_mark_is_the_bottom_edge_and_goes_again) {
    face_record f = base_face();
    for (int unread : {1, 0}) {
        f.calendar_unread = unread;
        fill_buffer_with_sentinel();
        draw_unread_mark(f);
        expected_face e;
        e.paste(face_image(), 0, 63, 64, 1, 0, 63);
        if (unread)
            for (int x = 0; x < 64; ++x)
                e.image.pixels[63 * 64 + static_cast<std::size_t>(x)] = 0xE07000;
        EXPECT_TRUE(buffer_matches(e)) << unread;
    }
}

TEST(shape, window_lacks_exactly_the_notch) {
    int count = 0, ordering = 0;
    XRectangle *rects = XShapeGetRectangles(dock_surface.display, dock_surface.icon_window,
                                            ShapeBounding, &count, &ordering);
    ASSERT_NE(rects, nullptr);
    std::set<std::pair<int, int>> missing;
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 64; x++) {
            bool inside = false;
            for (int i = 0; i < count && !inside; i++)
                inside = x >= rects[i].x && x < rects[i].x + rects[i].width && y >= rects[i].y &&
                         y < rects[i].y + rects[i].height;
            if (!inside) missing.insert({x, y});
        }
    XFree(rects);
    std::set<std::pair<int, int>> notch;
    for (int x = 58; x < 64; x++) notch.insert({x, 56});
    for (int y = 57; y < 63; y++)
        for (int x = 57; x < 64; x++) notch.insert({x, y});
    EXPECT_EQ(notch.size(), 48u);
    EXPECT_EQ(missing, notch);
}

}  // namespace
