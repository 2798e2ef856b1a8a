// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Where the day view opens beside the tile: a table over tile places on one
// screen and a sweep that checks the three promises for every tile place.
#include <gtest/gtest.h>

#include "dayview/view_place.h"

namespace {

constexpr screen_rect screen{0, 0, 1024, 768};

bool overlaps(screen_rect a, screen_rect b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
           b.y < a.y + a.height;
}

bool on_screen(screen_rect r, screen_rect s) {
    return r.x >= s.x && r.y >= s.y && r.x + r.width <= s.x + s.width &&
           r.y + r.height <= s.y + s.height;
}

TEST(place_day_view, table) {
    struct case_record {
        screen_rect tile;
        int width, height, pointer_y;
        int x, y;
        const char *what;
    } cases[] = {
        {{960, 64, 64, 64}, 300, 120, 100, 660, 40, "dock at the right: to the left"},
        {{0, 64, 64, 64}, 300, 120, 100, 64, 40, "dock at the left: to the right"},
        {{958, 2, 64, 64}, 300, 120, 10, 658, 0, "top right slit: kept on the screen"},
        {{960, 700, 64, 64}, 300, 120, 740, 660, 648, "bottom right: kept on the screen"},
        {{400, 300, 64, 64}, 300, 120, 330, 464, 270, "left half: to the right"},
        {{600, 300, 64, 64}, 300, 120, 330, 300, 270, "right half: to the left"},
        {{100, 300, 64, 64}, 300, 120, 330, 164, 270, "no room left of a left tile anyway"},
        {{900, 300, 64, 64}, 300, 120, 330, 600, 270, "room on its own side"},
        {{400, 300, 64, 64}, 700, 120, 330, 324, 364, "too wide beside: below"},
        {{400, 600, 64, 64}, 700, 120, 630, 324, 480, "too wide, lower half: above"},
        {{400, 300, 64, 64}, 1100, 100, 330, 0, 364, "wider than the screen: left edge"},
        {{400, 300, 64, 64}, 1000, 768, 330, 24, 0, "room on no side: on the screen"},
    };
    for (const case_record &c : cases) {
        screen_rect v = place_day_view(c.tile, c.width, c.height, screen, c.pointer_y);
        EXPECT_EQ(v.x, c.x) << c.what;
        EXPECT_EQ(v.y, c.y) << c.what;
        EXPECT_EQ(v.width, c.width) << c.what;
        EXPECT_EQ(v.height, c.height) << c.what;
    }
}

// Every tile place on a screen with an offset (a second monitor), views of
// several sizes, the pointer anywhere on the tile: never over the tile, and
// on the screen whenever the view is no larger than the screen.
TEST(place_day_view, sweep_never_covers_the_tile_and_stays_on_the_screen) {
    const screen_rect monitor{1280, 0, 1024, 768};
    // The last as tall as the monitor, as a day view of many rows is.
    const int sizes[][2] = {{120, 60},  {300, 120}, {480, 400}, {1000, 200},
                            {300, 760}, {300, 768}, {1000, 700}};
    for (const auto &size : sizes)
        for (int x = monitor.x; x + 64 <= monitor.x + monitor.width; x += 16)
            for (int y = 0; y + 64 <= monitor.height; y += 16)
                for (int py = y; py < y + 64; py += 21) {
                    screen_rect tile{x, y, 64, 64};
                    screen_rect v = place_day_view(tile, size[0], size[1], monitor, py);
                    bool fits = (monitor.width - 64 >= size[0]) ||
                                (y >= size[1] || monitor.height - y - 64 >= size[1]);
                    if (fits) {
                        ASSERT_FALSE(overlaps(v, tile)) << x << "," << y;
                    }
                    ASSERT_TRUE(on_screen(v, monitor)) << x << "," << y << " " << size[0];
                }
}

}  // namespace
