// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The button bar, packed leftwards from x 55 with a 1-pixel gap.
#include "dock/dock.h"
#include "face/face.h"
#include "face/skin.h"

constexpr int show_handle = 3, hide_handle = 4, settings_glyph = 5, moon_glyph_off = 6,
              letter_g = 8;

static void draw_bar_glyph(int entry, int right) {
    int w = button_glyph_width[entry];
    blit(dock_surface.face_pixmap, dock_surface.buffer_pixmap, button_glyph_x0[entry],
         button_glyph_y[entry], w, button_glyph_height, right + 1 - w, bar_y);
}

// A steady mark along one edge row of the face: the row in the colour while
// on, else as the skin has it.
static void draw_edge_mark(int y, int on, unsigned long colour) {
    blit(dock_surface.face_pixmap, dock_surface.buffer_pixmap, 0, y, face_size, 1, 0, y);
    if (on) fill_rectangle(dock_surface.buffer_pixmap, 0, y, face_size, 1, colour);
    flush_buffer(dock_surface.buffer_pixmap);
}

// The mark of a calendar not read: the face's bottom edge, under the bar
// (whose left end the sixth week's days may take), steady amber in place of
// black; neither the holiday's rose nor the marks' blue.
void draw_unread_mark(const face_record &face) {
    draw_edge_mark(face_size - 1, face.calendar_unread, 0xE07000);
}

// The mark of a reminder waiting for the user: the face's top edge, above
// the month's name, steady green: no colour the face uses for anything else.
void draw_reminder_mark(const face_record &face) { draw_edge_mark(0, face.reminding, 0x20B040); }

void draw_button_bar(const face_record &face) {
    if (!face.buttons_shown) {
        draw_bar_glyph(show_handle, bar_right);
    } else {
        const int order[] = {hide_handle, settings_glyph, moon_glyph_off + (face.moon_view != 0),
                             letter_g + face_calendar(face.calendar_kind), face_icon(face)};
        int right = bar_right;
        for (int entry : order) {
            draw_bar_glyph(entry, right);
            right -= button_glyph_width[entry] + 1;
        }
    }
    flush_buffer(dock_surface.buffer_pixmap);
}
