// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Where the day view opens: pure arithmetic on screen rectangles.
#pragma once

struct screen_rect {
    int x, y, width, height;  // pixels; x and y of the top left corner
};

// The view's rectangle beside the tile, on the side away from the screen
// edge the tile is nearer to (left of a tile in the right half), on the other
// side when it does not fit there, and above or below the tile when it fits
// on neither. Its middle is at the pointer's height (beside) or its left edge
// at the tile's (above or below), and it lies wholly on the screen wherever
// it is not larger than the screen. It never covers the tile, unless it
// fits on no side of it: then it keeps to the screen.
screen_rect place_day_view(screen_rect tile, int view_width, int view_height, screen_rect screen,
                           int pointer_y);
