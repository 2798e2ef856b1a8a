// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The skin: both images compiled in, the derived widths, and the start-up
// that turns the images into pixmaps and shows the dock windows.
#include "face/skin.h"

#include "dock/dock.h"
#include "face/face.h"

#include <X11/Xlib.h>

#include "face/face.xpm"
#include "face/sheet.xpm"

int month_name_width[name_rows][12];
int year_digit_width[digit_sets][10];
int button_glyph_width[button_glyphs];

int face_week_start(const face_record &face) {
    int w = face.week_start;
    return w >= 0 && w <= 7 ? w : 0;
}

int face_language(const face_record &face) {
    int l = face.language;
    return l >= 0 && l <= 3 ? l : 1;
}

int language_digits(int language) { return language == 0 ? 0 : language == 3 ? 2 : 1; }

int face_calendar(int kind) { return kind >= 0 && kind <= 2 ? kind : 0; }

int face_icon(const face_record &face) {
    int k = face.icon_kind;
    return k >= 0 && k <= 2 ? k : 0;
}

int face_hijri_adjust(int adjust) { return adjust >= -2 && adjust <= 2 ? adjust : 0; }

static void compute_widths() {
    for (int r = 0; r < name_rows; r++)
        for (int m = 0; m < 12; m++)
            month_name_width[r][m] = month_name_x1[r][m] - month_name_x0[r][m] + 1;
    for (int l = 0; l < digit_sets; l++)
        for (int d = 0; d < 10; d++)
            year_digit_width[l][d] = year_digit_x1[l][d] - year_digit_x0[l][d] + 1;
    for (int e = 0; e < button_glyphs; e++)
        button_glyph_width[e] = button_glyph_x1[e] - button_glyph_x0[e] + 1;
}

void init_skin() {
    compute_widths();
    select_dock_input();
    Pixmap sheet_mask = 0;  // the sheet's few transparent pixels lie outside every glyph
    load_xpm(sheet_xpm, &dock_surface.sheet_pixmap, &sheet_mask);
    if (sheet_mask) XFreePixmap(dock_surface.display, sheet_mask);
    load_xpm(face_xpm, &dock_surface.face_pixmap, &dock_surface.shape_mask);
    dock_surface.buffer_pixmap = create_buffer(face_size, face_size);
    shape_window(dock_surface.shape_mask, 0, 0);
    if (dock_surface.shape_mask) {
        XFreePixmap(dock_surface.display, dock_surface.shape_mask);
        dock_surface.shape_mask = 0;
    }
    set_face_background(dock_surface.buffer_pixmap);
    map_dock_window();
}
