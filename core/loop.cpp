// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The main loop: GTK's own, serving the tile as one GLib source whose
// descriptors are the X connection and the rows of wake_rows, and whose
// time-out is the nearest deadline. The settings dialog and the day view are
// ordinary windows of the same loop, so the tile stays live while they are open.
#include "core/core.h"
#include "core/state.h"
#include "core/wake.h"
#include "dock/dock.h"
#include "events/events.h"
#include "face/face.h"
#include "settings/settings.h"

#include <glib-unix.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <climits>
#include <ctime>
#include <iterator>

namespace {

int64_t clock_ms(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// A descriptor that wakes the loop and what reads it: the reader never
// blocks and returns 1 when the face is due.
struct wake_row {
    int wake_sources::*fd;  // -1 while there is none
    int (*take)(wake_sources &);
};

// A calendar change is noted, and comes due at calendar_due_ms.
int take_calendar(wake_sources &w) {
    take_calendar_change(w, clock_ms(CLOCK_MONOTONIC));
    return 0;
}

const wake_row wake_rows[] = {
    {&wake_sources::midnight_fd, take_midnight},
    {&wake_sources::inotify_fd, take_calendar},
    {&wake_sources::alarm_fd, take_alarm},
};
constexpr std::size_t row_count = std::size(wake_rows);

struct tile_loop {
    wake_sources wake;
    bool due = true;           // a refresh is wanted as soon as the loop comes round
    bool calendar_due = true;  // and it reads the calendar: not for a press alone
    int64_t refreshed_at = 0;  // monotonic clock, ms
};

tile_loop loop;

// Plain data: GLib allocates and zeroes it.
struct tile_source {
    GSource base;
    GPollFD x;
    GPollFD rows[row_count];
};

// Milliseconds until the periodic refresh, midnight or a calendar change
// coming due, whichever is first.
int64_t ms_until_due() {
    int64_t wait =
        next_wait_ms(clock_ms(CLOCK_MONOTONIC) - loop.refreshed_at,
                     static_cast<int64_t>(loop.wake.midnight) * 1000 - clock_ms(CLOCK_REALTIME));
    int64_t calendar = calendar_due_ms(loop.wake, loop.refreshed_at);  // -1: no change waits
    if (calendar >= 0) wait = std::clamp<int64_t>(calendar - clock_ms(CLOCK_MONOTONIC), 0, wait);
    return wait;
}

// Events Xlib has queued already need no readable descriptor: a reply read
// for a request may have brought them in. Asking costs no system call.
bool ready_without_poll() {
    return loop.due || XEventsQueued(dock_surface.display, QueuedAlready) > 0;
}

// Each row's descriptor may change (the midnight timer is given up where it
// disagrees with the clock; another helper may open its own later).
void poll_rows(tile_source *s) {
    for (std::size_t i = 0; i < row_count; ++i) {
        int fd = loop.wake.*wake_rows[i].fd;
        GPollFD &p = s->rows[i];
        if (p.fd == fd && (fd < 0 || p.events != 0)) continue;
        if (p.events != 0) g_source_remove_poll(&s->base, &p);
        p = GPollFD{fd, 0, 0};
        if (fd < 0) continue;
        p.events = G_IO_IN | G_IO_ERR | G_IO_HUP;
        g_source_add_poll(&s->base, &p);
    }
}

// A press repaints from what is held: the calendar's files are neither
// listed nor watched again for it, so that no click waits on a disk. The
// watches, the periodic refresh and an applied setting read them.
void refresh_and_rearm() {
    // The calendar path may have changed in the dialog (watched before it is
    // read, so that a change made meanwhile is seen), and the next midnight
    // is counted from now.
    if (loop.calendar_due) watch_calendar(loop.wake, get_ics_path());
    refresh_face(loop.calendar_due);
    arm_midnight(loop.wake, time(nullptr));
    loop.refreshed_at = clock_ms(CLOCK_MONOTONIC);
    loop.due = loop.calendar_due = false;
}

// Every event Xlib has or can read without blocking. The close request and
// the loss of the windows end the process inside take_queued_event.
void serve_x_events() {
    XEvent event{};
    while (take_queued_event(&event) != 0) {
        if (event.type == Expose) repaint_exposed(event.xexpose);
        if (event.type != ButtonPress) continue;
        const XButtonEvent &press = event.xbutton;
        handle_button(press.button, press.x, press.y, press.time, press.x_root, press.y_root);
        loop.due = true;
    }
}

gboolean prepare(GSource *, gint *timeout) {
    if (ready_without_poll()) {
        *timeout = 0;
        return TRUE;
    }
    int64_t wait = ms_until_due();
    *timeout = static_cast<gint>(wait < INT_MAX ? wait : INT_MAX);
    return wait == 0 ? TRUE : FALSE;
}

gboolean check(GSource *base) {
    auto *s = reinterpret_cast<tile_source *>(base);
    if (ready_without_poll() || s->x.revents != 0) return TRUE;
    for (const GPollFD &p : s->rows)
        if (p.revents != 0) return TRUE;
    return ms_until_due() == 0 ? TRUE : FALSE;
}

// Reads what woke the loop, then refreshes until nothing more is due. The
// last call on the connection reads what is left and flushes the requests,
// so nothing waits in a queue while the loop sleeps.
gboolean dispatch(GSource *base, GSourceFunc, gpointer) {
    auto *s = reinterpret_cast<tile_source *>(base);
    for (std::size_t i = 0; i < row_count; ++i)
        if (s->rows[i].revents != 0 && wake_rows[i].take(loop.wake) != 0)
            loop.due = loop.calendar_due = true;
    if (loop.wake.alarm_due) {
        loop.wake.alarm_due = 0;
        arm_alarm(loop.wake, remind_due());
        loop.due = true;  // the face's mark of a reminder waiting
    }
    for (;;) {
        serve_x_events();
        if (ms_until_due() == 0 || time(nullptr) >= loop.wake.midnight)
            loop.due = loop.calendar_due = true;
        if (!loop.due) break;
        refresh_and_rearm();
        // A request that found a window of the pair gone ends the process now.
        XSync(dock_surface.display, False);
        // Once the face is out, so that whoever waits on the line finds it drawn.
        print_shown();
    }
    poll_rows(s);
    return G_SOURCE_CONTINUE;
}

GSourceFuncs tile_source_funcs = {prepare, check, dispatch, nullptr, nullptr, nullptr};

}  // namespace

// The engine answered: the grid is drawn again with what is held now, and
// the bar with its mark of a calendar not read.
static gboolean take_engine_answers(gint, GIOCondition, gpointer) {
    static uint64_t alarms_seen = 0;
    int changed = take_engine_replies();
    if (alarm_answers() != alarms_seen) {
        alarms_seen = alarm_answers();
        arm_alarm(loop.wake, remind_due());
    }
    if (changed) {
        draw_button_bar();
        draw_grid();
        XFlush(dock_surface.display);
        print_shown();
    }
    return G_SOURCE_CONTINUE;
}

void refresh_face(bool read_calendar) {
    refresh_today();
    if (read_calendar) {
        load_events({app_state.ics_path, app_state.debug_level, program_name, 1, {}, {}});
        ask_reminders();
    }
    // The engine's descriptor, once there is one, is one more source of the loop.
    static bool engine_watched = false;
    if (!engine_watched && engine_descriptor() >= 0) {
        g_unix_fd_add(engine_descriptor(), G_IO_IN, take_engine_answers, nullptr);
        engine_watched = true;
    }
    ask_days(displayed_days());
    check_new_day();
    draw_button_bar();
    draw_grid();
    draw_header();
}

void request_refresh() { loop.due = loop.calendar_due = true; }

void rearm_alarm(int64_t at) { arm_alarm(loop.wake, at); }

// Idle, the loop sleeps in one poll until an X event, the midnight timer, a
// calendar change or the nearest deadline; nothing runs in between.
void main_loop() {
    loop.wake = open_wake_sources();
    GSource *source = g_source_new(&tile_source_funcs, sizeof(tile_source));
    auto *s = reinterpret_cast<tile_source *>(source);
    s->x = GPollFD{ConnectionNumber(dock_surface.display), G_IO_IN | G_IO_ERR | G_IO_HUP, 0};
    g_source_add_poll(source, &s->x);
    for (GPollFD &p : s->rows) p = GPollFD{-1, 0, 0};
    poll_rows(s);
    // Ahead of GTK's own sources: the tile is served first when both are ready.
    g_source_set_priority(source, G_PRIORITY_HIGH);
    g_source_attach(source, nullptr);
    for (;;) gtk_main();
}
