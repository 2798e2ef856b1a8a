// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The main loop: what wakes it and the refresh it runs.
#include "core/core.h"
#include "core/state.h"
#include "core/wake.h"
#include "dock/dock.h"
#include "events/events.h"
#include "face/face.h"
#include "settings/settings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

static int64_t clock_ms(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// One refresh, then the wake-up sources made to match it: the calendar path
// may have changed in the dialog, and the next midnight is counted from now.
static void refresh_and_rearm(wake_sources &wake) {
    refresh_face();
    watch_calendar(wake, get_ics_path());
    arm_midnight(wake, time(nullptr));
}

void refresh_face() {
    refresh_today();
    load_events();
    check_new_day();
    draw_button_bar();
    draw_grid();
    draw_header();
}

// The loop blocks until an X event, the midnight timer, a calendar change,
// local midnight by its own clock, or the periodic refresh; idle, it makes a
// handful of system calls every five minutes.
void main_loop() {
    wake_sources wake = open_wake_sources();
    bool due = true;
    int64_t refreshed_at = 0;  // monotonic clock, ms
    for (;;) {
        if (due) {
            refresh_and_rearm(wake);
            refreshed_at = clock_ms(CLOCK_MONOTONIC);
            due = false;
        }
        int64_t wait =
            next_wait_ms(clock_ms(CLOCK_MONOTONIC) - refreshed_at,
                         static_cast<int64_t>(wake.midnight) * 1000 - clock_ms(CLOCK_REALTIME));
        const int extra[] = {wake.midnight_fd, wake.inotify_fd};
        int got = wait_event_or(&app_state.x_event, static_cast<unsigned>(wait), extra, 2);
        if (got == 2) {
            int midnight = take_midnight(wake);
            int calendar = take_calendar_change(wake);
            due = midnight != 0 || calendar != 0;
        }
        if (got == 1 && app_state.x_event.type == Expose)
            repaint_exposed(app_state.x_event.xexpose);
        if (got == 1 && app_state.x_event.type == ButtonPress) {
            const XButtonEvent &press = app_state.x_event.xbutton;
            handle_button(press.button, press.x, press.y, press.time);
            due = true;
        }
        // Whatever woke the loop, the clocks decide as well.
        if (clock_ms(CLOCK_MONOTONIC) - refreshed_at >= refresh_period_ms ||
            time(nullptr) >= wake.midnight)
            due = true;
    }
}
