// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The day view: a GTK window that lists one day's holidays and events from
// the answers the tile holds (events/events.h).
#pragma once

#include "dayview/view_place.h"
#include "dayview/view_text.h"
#include "events/events.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

typedef struct _GtkWidget GtkWidget;
typedef struct _GdkScreen GdkScreen;

// Where the press that asks for a day view was: on the screen (root) and on
// the tile (window), and its server time.
struct press_place {
    int root_x, root_y, x, y;
    uint64_t time;
};
// The rows a view lists at most, holidays included; a last row counts the
// rest ("and 9800 more").
constexpr std::size_t day_view_rows = 200;
static_assert(day_view_rows <= day_row_cap, "the tile holds a day's first day_row_cap rows");

// Shows the day's holidays (the names given, one row each, at the top) and
// events beside the tile and returns; an open view shows the new day instead,
// unless nothing falls on it. The heading dates the day in the face's
// calendar and the program's language; the events run all-day and
// many-day ones first, then by their start. The view is never taller than
// the work area of the screen; its rows scroll.
void open_day_view(icaltimetype day, const press_place &press,
                   const std::vector<std::string> &holidays = {},
                   const view_calendar &calendar = {});
int fill_day_view(GtkWidget *table, icaltimetype day, const std::vector<std::string> &holidays = {},
                  const view_calendar &calendar = {});  // 1 when a row was added
// Where a window beside the tile may be: the monitor at the point x, y of
// the screen, within the work area the window manager leaves to windows
// (_NET_WORKAREA, of the current desktop) where it sets one. The day view and
// the reminders' own windows keep to it.
screen_rect work_area(GdkScreen *screen, int x, int y);
