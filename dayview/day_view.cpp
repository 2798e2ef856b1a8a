// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The day view: an undecorated window beside the tile listing one day's events.
#include "dayview/day_view.h"

#include "dayview/view_place.h"
#include "dayview/view_text.h"

#include <gdk/gdkkeysyms.h>
#include <glib/gi18n-lib.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

// The open view, or null; there is at most one.
GtkWidget *day_view_window;
struct {
    int x, y;  // pointer position inside the heading box at the last press, pixels
} drag_offset;

// Summary with its location is cut to fit 1024 bytes with the terminator.
constexpr std::size_t summary_text_size = 1024;

void attach(GtkWidget *table, GtkWidget *child, int left, int right, int top) {
    gtk_table_attach_defaults(GTK_TABLE(table), child, left, right, top, top + 1);
    gtk_widget_show(child);
}

GtkWidget *markup_label(const std::string &markup) {
    GtkWidget *label = gtk_label_new(nullptr);
    gtk_label_set_markup(GTK_LABEL(label), markup.c_str());
    return label;
}

// The summary as shown; an event may have none.
std::string title_of(const event_record &event) {
    return event.summary.empty() ? _("(no title)") : valid_utf8(event.summary.c_str());
}

std::string summary_with_location(const event_record &event) {
    std::string text = title_of(event);
    if (!event.location.empty()) text += "\n" + valid_utf8(event.location.c_str());
    cut_utf8(text, summary_text_size - 1);
    return text;
}

gboolean on_heading_press(GtkWidget *, GdkEventButton *event, gpointer) {
    drag_offset.x = static_cast<int>(event->x);
    drag_offset.y = static_cast<int>(event->y);
    return TRUE;
}

gboolean on_heading_motion(GtkWidget *widget, GdkEventMotion *event, gpointer) {
    gtk_widget_set_uposition(gtk_widget_get_toplevel(widget),
                             static_cast<int>(event->x_root - drag_offset.x),
                             static_cast<int>(event->y_root - drag_offset.y));
    return TRUE;
}

gboolean on_close_press(GtkWidget *widget, GdkEventButton *, gpointer) {
    gtk_widget_destroy(gtk_widget_get_toplevel(widget));
    return TRUE;
}

gboolean on_view_key(GtkWidget *window, GdkEventKey *event, gpointer) {
    if (event->keyval != GDK_Escape) return FALSE;
    gtk_widget_destroy(window);
    return TRUE;
}

// Beside the tile that was pressed, at the pointer's height, clear of a dock
// kept above other windows. The press's root and window coordinates give the
// 64 x 64 tile's place on the screen. The rows scroll where the view would
// be taller than the area windows are given.
void place_beside_tile(GtkWidget *window, GtkWidget *scroller, GtkWidget *table,
                       const press_place &press) {
    screen_rect area = work_area(gtk_widget_get_screen(window), press.root_x, press.root_y);
    GtkRequisition rows{};
    gtk_widget_size_request(table, &rows);
    // A scroll bar's width only where there is one.
    bool fits = rows.height <= area.height;
    gtk_widget_set_size_request(scroller, fits ? rows.width : -1,
                                std::min(rows.height, area.height));
    GtkRequisition size{};
    gtk_widget_size_request(window, &size);
    screen_rect tile{press.root_x - press.x, press.root_y - press.y, 64, 64};
    screen_rect view = place_day_view(tile, size.width, size.height, area, press.root_y);
    gtk_window_move(GTK_WINDOW(window), view.x, view.y);
}

// However the window goes (" X ", Escape, the window manager's close
// request, a kill request), the next right click opens a new one.
void on_view_destroy(GtkWidget *window, gpointer) {
    if (window == day_view_window) day_view_window = nullptr;
}

bool timed_in_one_day(const occurrence &o) { return o.first_day == o.last_day && !o.start.is_date; }

// The same as markup, "all day event" in italics.
std::string when_markup(const occurrence &o, const view_calendar &calendar) {
    std::string text = markup_escaped(when_text(o, calendar));
    return o.first_day == o.last_day && o.start.is_date ? "<i>" + text + "</i>" : text;
}

// A summary label: struck through when the event or occurrence is cancelled.
GtkWidget *summary_label(const event_record &event, const std::string &text) {
    if (!event.cancelled) return gtk_label_new(text.c_str());
    return markup_label("<s>" + markup_escaped(text) + "</s>");
}

bool has_events(icaltimetype day) { return rows_on_day(day).count > 0; }

}  // namespace

screen_rect work_area(GdkScreen *screen, int x, int y) {
    GdkRectangle monitor{};
    gdk_screen_get_monitor_geometry(screen, gdk_screen_get_monitor_at_point(screen, x, y),
                                    &monitor);
    GdkWindow *root = gdk_screen_get_root_window(screen);
    GdkAtom cardinal = gdk_atom_intern_static_string("CARDINAL");
    // Format 32 comes as longs; the length is in bytes.
    auto longs = [&](const char *name, std::vector<long> *out) {
        GdkAtom type;
        gint format = 0, length = 0;
        guchar *data = nullptr;
        if (!gdk_property_get(root, gdk_atom_intern_static_string(name), cardinal, 0, 1024, FALSE,
                              &type, &format, &length, &data))
            return;
        if (format == 32 && type == cardinal) {
            const long *values = reinterpret_cast<const long *>(data);
            out->assign(values, values + length / static_cast<gint>(sizeof(long)));
        }
        g_free(data);
    };
    std::vector<long> desktop, area;
    longs("_NET_CURRENT_DESKTOP", &desktop);
    longs("_NET_WORKAREA", &area);
    // x, y, width and height for each desktop.
    std::size_t at = 0;
    if (!desktop.empty() && desktop[0] >= 0 &&
        static_cast<std::size_t>(desktop[0]) < area.size() / 4)
        at = static_cast<std::size_t>(desktop[0]) * 4;
    auto sane = [](long v) { return v >= -G_MAXINT / 2 && v <= G_MAXINT / 2; };
    GdkRectangle work = monitor;
    if (area.size() >= at + 4 && area[at + 2] > 0 && area[at + 3] > 0 &&
        std::all_of(area.begin() + static_cast<std::ptrdiff_t>(at),
                    area.begin() + static_cast<std::ptrdiff_t>(at + 4), sane)) {
        GdkRectangle given{static_cast<int>(area[at]), static_cast<int>(area[at + 1]),
                           static_cast<int>(area[at + 2]), static_cast<int>(area[at + 3])};
        if (!gdk_rectangle_intersect(&monitor, &given, &work)) work = monitor;
    }
    return {work.x, work.y, work.width, work.height};
}

int fill_day_view(GtkWidget *table, icaltimetype day, const std::vector<std::string> &holidays,
                  const view_calendar &calendar) {
    int r = 2;
    std::size_t shown_holidays = std::min(holidays.size(), day_view_rows);
    day_rows held = rows_on_day(day);
    std::vector<day_row> &rows = held.rows;
    rows.resize(std::min(rows.size(), day_view_rows - shown_holidays));
    std::size_t total = held.count + holidays.size();
    // In the rose of the face's holiday line, so that the two read as one.
    for (std::size_t h = 0; h < shown_holidays; ++h) {
        attach(table, gtk_hseparator_new(), 0, 4, r++);
        std::string text = valid_utf8(holidays[h].c_str());
        attach(
            table,
            markup_label("<span foreground=\"#D4006A\"><b>" + markup_escaped(text) + "</b></span>"),
            1, 3, r++);
        if (events_debug()) printf("view: holiday\t%s\n", on_one_line(text).c_str());
    }
    const std::vector<event_record> &events = held_events();
    for (const day_row &row : rows) {
        const occurrence &o = row.item;
        const event_record &event = events[row.event];
        attach(table, gtk_hseparator_new(), 0, 4, r++);
        attach(table, markup_label(when_markup(o, calendar)), 1, 2, r);
        int timed = timed_in_one_day(o);
        std::string text = timed ? title_of(event) : summary_with_location(event);
        GtkWidget *summary = summary_label(event, text);
        if (!timed) gtk_label_set_justify(GTK_LABEL(summary), GTK_JUSTIFY_CENTER);
        attach(table, summary, 2, 3, r);
        ++r;
        if (events_debug())
            printf("view: %s\t%s\n", when_text(o, calendar).c_str(), on_one_line(text).c_str());
    }
    if (std::size_t more = total - shown_holidays - rows.size()) {
        attach(table, gtk_hseparator_new(), 0, 4, r++);
        attach(
            table,
            markup_label("<i>" + markup_escaped(more_rows_text(more, calendar.language)) + "</i>"),
            1, 3, r++);
        if (events_debug()) printf("view: more\t%zu\n", more);
    }
    attach(table, gtk_label_new(""), 2, 3, r + 1);
    gtk_table_set_row_spacing(GTK_TABLE(table), r, 0);
    return r != 2;
}

void open_day_view(icaltimetype day, const press_place &press,
                   const std::vector<std::string> &holidays, const view_calendar &calendar) {
    // A day without events or holidays leaves an open view as it is.
    if (holidays.empty() && !has_events(day)) return;
    std::string heading = view_heading(day, calendar);
    std::string also = view_also(day, calendar);
    std::string heading_markup =
        "<b>" + markup_escaped(heading) + "</b>\n<small>" + markup_escaped(also) + "</small>";
    if (events_debug()) printf("view heading: %s\nview also: %s\n", heading.c_str(), also.c_str());

    GtkWidget *heading_box = gtk_event_box_new();
    GtkWidget *close_box = gtk_event_box_new();
    gtk_widget_show(heading_box);
    gtk_widget_show(close_box);

    GtkWidget *table = gtk_table_new(1, 4, FALSE);
    g_object_ref_sink(table);
    gtk_table_set_row_spacings(GTK_TABLE(table), 4);
    gtk_table_set_col_spacings(GTK_TABLE(table), 15);
    gtk_table_set_col_spacing(GTK_TABLE(table), 2, 0);
    gtk_table_attach_defaults(GTK_TABLE(table), heading_box, 0, 3, 1, 2);
    gtk_table_attach_defaults(GTK_TABLE(table), close_box, 3, 4, 1, 2);

    GtkWidget *heading_label = markup_label(heading_markup);
    gtk_container_add(GTK_CONTAINER(heading_box), heading_label);
    gtk_table_set_row_spacing(GTK_TABLE(table), 0, 1);
    gtk_table_set_row_spacing(GTK_TABLE(table), 1, 1);
    gtk_widget_show(heading_label);
    GtkWidget *close_label = gtk_label_new(" X ");
    gtk_container_add(GTK_CONTAINER(close_box), close_label);
    gtk_widget_show(close_label);

    if (!fill_day_view(table, day, holidays, calendar)) {
        gtk_widget_destroy(table);
        g_object_unref(table);
        return;
    }
    // One view at a time: the new day takes the place of the old one.
    if (day_view_window) gtk_widget_destroy(day_view_window);
    day_view_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_resizable(GTK_WINDOW(day_view_window), FALSE);
    gtk_window_set_decorated(GTK_WINDOW(day_view_window), FALSE);
    gtk_window_set_title(GTK_WINDOW(day_view_window), heading.c_str());
    g_signal_connect(day_view_window, "destroy", G_CALLBACK(on_view_destroy), nullptr);
    // The table goes in before the window is shown: a window mapped empty is
    // placed at the pointer as a tiny one and then grows past the screen edge,
    // out of reach of its " X ", when the tile sits at the right of the screen.
    GtkWidget *scroller = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_NEVER,
                                   GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_add_with_viewport(GTK_SCROLLED_WINDOW(scroller), table);
    gtk_viewport_set_shadow_type(GTK_VIEWPORT(gtk_bin_get_child(GTK_BIN(scroller))),
                                 GTK_SHADOW_NONE);
    gtk_container_add(GTK_CONTAINER(day_view_window), scroller);
    g_object_unref(table);
    gtk_widget_show(table);
    gtk_widget_show(gtk_bin_get_child(GTK_BIN(scroller)));
    gtk_widget_show(scroller);
    place_beside_tile(day_view_window, scroller, table, press);
    g_signal_connect(day_view_window, "key_press_event", G_CALLBACK(on_view_key), nullptr);
    gtk_widget_show(day_view_window);
    // The focus, so that Escape closes it at once.
    gtk_window_present_with_time(GTK_WINDOW(day_view_window), static_cast<guint32>(press.time));
    g_signal_connect(heading_box, "motion_notify_event", G_CALLBACK(on_heading_motion), nullptr);
    g_signal_connect(heading_box, "button_press_event", G_CALLBACK(on_heading_press), nullptr);
    g_signal_connect(close_box, "button_press_event", G_CALLBACK(on_close_press), nullptr);
    gtk_widget_realize(day_view_window);
}
