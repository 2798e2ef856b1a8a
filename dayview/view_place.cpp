// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The day view beside the tile; see view_place.h.
#include "dayview/view_place.h"

#include <algorithm>

namespace {

// lo .. hi - size, or lo when size does not fit at all.
int clamp_start(int start, int size, int lo, int hi) {
    return std::max(lo, std::min(start, hi - size));
}

}  // namespace

screen_rect place_day_view(screen_rect tile, int view_width, int view_height, screen_rect screen,
                           int pointer_y) {
    const int screen_right = screen.x + screen.width;
    const int screen_bottom = screen.y + screen.height;
    const int tile_right = tile.x + tile.width;
    const int tile_bottom = tile.y + tile.height;
    bool fits_left = tile.x - screen.x >= view_width;
    bool fits_right = screen_right - tile_right >= view_width;
    // Twice the centres, to stay in whole pixels.
    bool tile_in_right_half = 2 * tile.x + tile.width > 2 * screen.x + screen.width;

    screen_rect view{0, 0, view_width, view_height};
    if (fits_left || fits_right) {
        bool left = tile_in_right_half ? fits_left : !fits_right;
        view.x = left ? tile.x - view_width : tile_right;
        view.y = clamp_start(pointer_y - view_height / 2, view_height, screen.y, screen_bottom);
        return view;
    }
    bool tile_in_lower_half = 2 * tile.y + tile.height > 2 * screen.y + screen.height;
    bool fits_above = tile.y - screen.y >= view_height;
    bool fits_below = screen_bottom - tile_bottom >= view_height;
    bool above = tile_in_lower_half ? fits_above || !fits_below : !fits_below && fits_above;
    view.y = above ? tile.y - view_height : tile_bottom;
    // Room on no side: a view that can be read over one that spares the tile.
    if (!fits_above && !fits_below)
        view.y = clamp_start(view.y, view_height, screen.y, screen_bottom);
    view.x = clamp_start(tile.x, view_width, screen.x, screen_right);
    return view;
}
