// Calendar events: the event list, day marks and the day view.
#pragma once

#include <libical/ical.h>

void load_events();              // re-reads the calendar file when it changed
int day_status(icaltimetype day);  // 0 none, 1 busy, 2 free only
void open_day_view(icaltimetype day);  // returns when the view has been closed
