// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Loads arbitrary bytes as the calendar file and asks for the marks and the
// day view of a month.
#include "core/state.h"
#include "events/events.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static char path[] = "/tmp/ds-fuzz-XXXXXX";
    static int fd = mkstemp(path);
    if (fd < 0) return 0;
    snprintf(app_state.ics_path, sizeof app_state.ics_path, "%s", path);
    FILE *f = fopen(path, "wb");
    if (!f) return 0;
    fwrite(data, 1, size, f);
    fclose(f);
    load_events();
    static const bool gtk_ready = gtk_init_check(nullptr, nullptr);
    (void)gtk_ready;
    // A table of its own for every input: rows added to one shared table
    // would pile up over millions of runs.
    GtkWidget *table = gtk_table_new(1, 4, FALSE);
    g_object_ref_sink(table);
    for (int d = 1; d <= 31; ++d) {
        icaltimetype day = icaltime_null_date();
        day.year = 2026;
        day.month = 1;
        day.day = d;
        day_status(day);
        if (d % 8 == 1) fill_day_view(table, day);
    }
    gtk_widget_destroy(table);
    g_object_unref(table);
    free_events();
    return 0;
}
