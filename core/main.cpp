// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Start-up: settings, the command line, the dock window, the skin, GTK+, then
// the main loop, which never returns.
#include "core/core.h"
#include "core/language.h"
#include "core/state.h"
#include "dock/dock.h"
#include "face/face.h"

#include <gtk/gtk.h>

#include <cstdio>

int main(int argc, char **argv) {
    // Messages and debugging lines reach a log or a pipe as they happen, not
    // when a buffer fills: the tile may run for months.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    load_state_settings();
    parse_options(argc, argv);
    print_banners();
    // A server gone before GTK+ is up ends the tile as it does later.
    watch_dock_connection();
    open_dock_window("", program_name, 64, 64, argc, argv);
    init_skin();
    // GTK+ opens a connection of its own; it serves only the dialog and the day view.
    gtk_init(&argc, &argv);
    // After gtk_init, which set the locale from the environment.
    apply_program_language(app_state.language);
    watch_dock_connection();  // again: gtk_init put GDK's handlers in their place
    main_loop();
}
