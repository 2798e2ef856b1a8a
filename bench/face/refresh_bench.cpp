// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// One whole refresh of the face, as the main loop runs it after a press:
// clock, events, repaint, bar, grid, header, each step flushed. Prints the
// X requests one refresh sends besides the time. Needs DISPLAY (run it
// through tools/with-xvfb.sh).
#include "core/core.h"
#include "core/state.h"
#include "dock/dock.h"
#include "events/events.h"
#include "face/face.h"

#include <X11/Xlib.h>
#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

void open_face() {
    static bool opened = false;
    if (opened) return;
    static char name[] = "face_bench";
    static char *argv[] = {name, nullptr};
    open_dock_window(nullptr, "dayspinner", 64, 64, 1, argv);
    init_skin();
    XSync(dock_surface.display, False);
    opened = true;
}

// After a press the month of last_face_date is 0, so the face is repainted.
void refresh_after_press(benchmark::State &state) {
    open_face();
    app_state.calendar_kind = static_cast<int>(state.range(0));
    app_state.moon_view = static_cast<int>(state.range(1));
    app_state.week_start = 7;
    Display *display = dock_surface.display;
    unsigned long requests = 0;
    for (auto _ : state) {
        app_state.last_face_date.month = 0;
        unsigned long before = XNextRequest(display);
        refresh_face();
        requests = XNextRequest(display) - before;
        XSync(display, False);  // the server's work belongs to the refresh
    }
    state.counters["x_requests"] = static_cast<double>(requests);
}
BENCHMARK(refresh_after_press)
    ->ArgNames({"kind", "moon"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({2, 1})
    ->Unit(benchmark::kMicrosecond);

// The idle refresh every 2000 waits: nothing changed, no repaint.
void refresh_steady(benchmark::State &state) {
    open_face();
    app_state.calendar_kind = 0;
    app_state.moon_view = 0;
    Display *display = dock_surface.display;
    refresh_face();
    unsigned long requests = 0;
    for (auto _ : state) {
        unsigned long before = XNextRequest(display);
        refresh_face();
        requests = XNextRequest(display) - before;
        XSync(display, False);
    }
    state.counters["x_requests"] = static_cast<double>(requests);
}
BENCHMARK(refresh_steady)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
