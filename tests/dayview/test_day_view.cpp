// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The day view with real GTK widgets on the X server named by DISPLAY: the
// rows that fill_day_view attaches, and the window that open_day_view shows,
// driven from callbacks of the main loop.
#include "tests/events/event_test.h"

#include "dayview/day_view.h"

#include <X11/Xatom.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <libintl.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <tuple>

extern "C" int _nl_msg_cat_cntr;  // glibc drops its translations when it changes

namespace {

int gtk_ready;

// One child of the table: where it is attached and what it shows.
struct cell {
    int top, left, right;
    std::string kind;  // "separator" or "label"
    std::string text;  // a label's text as set, markup included
    int centred;       // a label's justification is GTK_JUSTIFY_CENTER
    bool operator<(const cell &o) const { return std::tie(top, left) < std::tie(o.top, o.left); }
};

std::vector<cell> cells_of(GtkWidget *table) {
    std::vector<cell> out;
    GList *children = gtk_container_get_children(GTK_CONTAINER(table));
    for (GList *l = children; l; l = l->next) {
        GtkWidget *child = GTK_WIDGET(l->data);
        guint left = 0, right = 0, top = 0;
        gtk_container_child_get(GTK_CONTAINER(table), child, "left-attach", &left, "right-attach",
                                &right, "top-attach", &top, nullptr);
        cell c{
            static_cast<int>(top), static_cast<int>(left), static_cast<int>(right), "other", "", 0};
        if (GTK_IS_SEPARATOR(child)) {
            c.kind = "separator";
        } else if (GTK_IS_LABEL(child)) {
            c.kind = "label";
            c.text = gtk_label_get_label(GTK_LABEL(child));
            c.centred = gtk_label_get_justify(GTK_LABEL(child)) == GTK_JUSTIFY_CENTER;
        }
        out.push_back(c);
    }
    g_list_free(children);
    std::sort(out.begin(), out.end());
    return out;
}

cell separator(int top) { return {top, 0, 4, "separator", "", 0}; }
cell when(int top, const std::string &text) { return {top, 1, 2, "label", text, 0}; }
cell what(int top, const std::string &text, int centred) {
    return {top, 2, 3, "label", text, centred};
}
cell closing(int top) { return {top, 2, 3, "label", "", 0}; }

std::ostream &operator<<(std::ostream &o, const cell &c) {
    return o << "{row " << c.top << ", columns " << c.left << "-" << c.right << ", " << c.kind
             << " \"" << c.text << "\"" << (c.centred ? ", centred" : "") << "}";
}
bool operator==(const cell &a, const cell &b) {
    return std::tie(a.top, a.left, a.right, a.kind, a.text, a.centred) ==
           std::tie(b.top, b.left, b.right, b.kind, b.text, b.centred);
}

// Speaks a language of the build's catalogs ("" for English), as the tile
// does: LANGUAGE over a messages locale that is not C.
void speak(const char *language) {
    bindtextdomain(GETTEXT_PACKAGE, TEST_LOCALEDIR);
    bind_textdomain_codeset(GETTEXT_PACKAGE, "UTF-8");
    setlocale(LC_MESSAGES, "C.UTF-8");
    setenv("LANGUAGE", language, 1);
    ++_nl_msg_cat_cntr;
}

class day_view_test : public event_file_test {
  protected:
    void SetUp() override {
        if (!gtk_ready) GTEST_SKIP() << "no X display";
        event_file_test::SetUp();
    }
    // The rows fill_day_view attaches for day to a fresh table, and its result.
    std::vector<cell> rows(icaltimetype day, int *result = nullptr,
                           const view_calendar &calendar = {}) {
        GtkWidget *table = gtk_table_new(1, 4, FALSE);
        g_object_ref_sink(table);
        ask_around(day);
        int r = fill_day_view(table, day, {}, calendar);
        if (result) *result = r;
        std::vector<cell> out = cells_of(table);
        gtk_widget_destroy(table);
        g_object_unref(table);
        return out;
    }
};

TEST_F(day_view_test, times_dates_and_summaries_of_each_kind_of_event) {
    // Timed: its two times, the summary without its location.
    load(vevent({"DTSTART:20260105T100000", "DTEND:20260105T110000", "SUMMARY:Stand-up",
                 "LOCATION:Room 4"}));
    int result = 0;
    EXPECT_EQ(rows(day_of(2026, 1, 5), &result),
              (std::vector<cell>{separator(2), when(3, "10:00 - 11:00"), what(3, "Stand-up", 0),
                                 closing(5)}));
    EXPECT_EQ(result, 1);

    // One day, all day: the location on a second line, centred.
    load(vevent({"DTSTART;VALUE=DATE:20260105", "DTEND;VALUE=DATE:20260106", "SUMMARY:Lunch",
                 "LOCATION:Cafe"}));
    EXPECT_EQ(rows(day_of(2026, 1, 5)),
              (std::vector<cell>{separator(2), when(3, "<i>all day event</i>"),
                                 what(3, "Lunch\nCafe", 1), closing(5)}));

    // Monday to Wednesday, asked on the Tuesday: first and last day.
    load(vevent({"DTSTART;VALUE=DATE:20260105", "DTEND;VALUE=DATE:20260108", "SUMMARY:Trip"}));
    EXPECT_EQ(rows(day_of(2026, 1, 6)),
              (std::vector<cell>{separator(2), when(3, "Mon, 01/05/26 - Wed, 01/07/26"),
                                 what(3, "Trip", 1), closing(5)}));

    // Ends at midnight on the first of a month, and on 1 January: the last
    // day is the last of the month before, of the year before.
    load(vevent({"DTSTART:20260130T090000", "DTEND:20260201T000000", "SUMMARY:Month end"}));
    EXPECT_EQ(rows(day_of(2026, 1, 31)),
              (std::vector<cell>{separator(2), when(3, "Fri, 01/30/26 - Sat, 01/31/26"),
                                 what(3, "Month end", 1), closing(5)}));
    load(vevent({"DTSTART:20261230T090000", "DTEND:20270101T000000", "SUMMARY:Year end"}));
    EXPECT_EQ(rows(day_of(2026, 12, 30)),
              (std::vector<cell>{separator(2), when(3, "Wed, 12/30/26 - Thu, 12/31/26"),
                                 what(3, "Year end", 1), closing(5)}));

    // Timed ones by their start, whatever the file's order.
    load(vevent({"DTSTART:20260105T140000", "DTEND:20260105T150000", "SUMMARY:Dentist"}) +
         vevent({"DTSTART:20260105T093000", "DTEND:20260105T103000", "SUMMARY:Team"}));
    EXPECT_EQ(
        rows(day_of(2026, 1, 5)),
        (std::vector<cell>{separator(2), when(3, "09:30 - 10:30"), what(3, "Team", 0), separator(4),
                           when(5, "14:00 - 15:00"), what(5, "Dentist", 0), closing(7)}));

    // In Farsi with the Persian face: the same order, the Farsi digits, and
    // a span of days in the Persian calendar.
    speak("fa");
    const view_calendar persian{1, 0, 0, 1, 1};
    EXPECT_EQ(
        rows(day_of(2026, 1, 5), nullptr, persian),
        (std::vector<cell>{separator(2), when(3, "۰۹:۳۰ - ۱۰:۳۰"), what(3, "Team", 0), separator(4),
                           when(5, "۱۴:۰۰ - ۱۵:۰۰"), what(5, "Dentist", 0), closing(7)}));
    load(vevent({"DTSTART;VALUE=DATE:20260105", "DTEND;VALUE=DATE:20260108", "SUMMARY:Trip"}));
    EXPECT_EQ(rows(day_of(2026, 1, 6), nullptr, persian),
              (std::vector<cell>{separator(2), when(3, "۱۵ دی ۱۴۰۴ - ۱۷ دی ۱۴۰۴"),
                                 what(3, "Trip", 1), closing(5)}));
    speak("");

    // No event on the day: nothing but the closing label, and 0.
    EXPECT_EQ(rows(day_of(2026, 12, 29), &result), (std::vector<cell>{closing(3)}));
    EXPECT_EQ(result, 0);
}

TEST_F(day_view_test, later_occurrences_show_their_own_days_and_the_list_runs_newest_first) {
    // File order: a timed event, a note, then the weekly two-day event; the
    // list, and so the view, runs the other way.
    load(vevent({"DTSTART:20260112T100000", "DTEND:20260112T110000", "SUMMARY:first in file"}) +
         vevent({"DTSTART;VALUE=DATE:20260112", "SUMMARY:second in file"}) +
         vevent({"DTSTART;VALUE=DATE:20260105", "DTEND;VALUE=DATE:20260107", "SUMMARY:two days",
                 "RRULE:FREQ=WEEKLY"}));
    EXPECT_EQ(
        rows(day_of(2026, 1, 12)),
        (std::vector<cell>{separator(2), when(3, "Mon, 01/12/26 - Tue, 01/13/26"),
                           what(3, "two days", 1), separator(4), when(5, "<i>all day event</i>"),
                           what(5, "second in file", 1), separator(6), when(7, "10:00 - 11:00"),
                           what(7, "first in file", 0), closing(9)}));
    // Its first week lists it in full.
    EXPECT_EQ(rows(day_of(2026, 1, 6)),
              (std::vector<cell>{separator(2), when(3, "Mon, 01/05/26 - Tue, 01/06/26"),
                                 what(3, "two days", 1), closing(5)}));
}

TEST_F(day_view_test, the_occurrence_asked_about_in_local_time) {
    struct row {
        const char *zone;
        std::string components;
        icaltimetype day;
        std::vector<cell> cells;
    };
    std::string weekly_sync =
        vevent({"UID:sync", "DTSTART;TZID=America/Chicago:20240104T170000",
                "DTEND;TZID=America/Chicago:20240104T180000", "SUMMARY:sync",
                "RRULE:FREQ=WEEKLY;COUNT=20"}) +
        vevent({"UID:sync", "RECURRENCE-ID;TZID=America/Chicago:20240307T170000",
                "DTSTART;TZID=America/Chicago:20240308T090000",
                "DTEND;TZID=America/Chicago:20240308T100000", "SUMMARY:sync moved"}) +
        vevent({"UID:sync", "RECURRENCE-ID;TZID=America/Chicago:20240321T170000",
                "DTSTART;TZID=America/Chicago:20240321T170000",
                "DTEND;TZID=America/Chicago:20240321T180000", "SUMMARY:sync", "STATUS:CANCELLED"});
    std::string berlin_sunday =
        vevent({"DTSTART;TZID=Europe/Berlin:20240303T100000",
                "DTEND;TZID=Europe/Berlin:20240303T110000", "SUMMARY:brunch",
                "RRULE:FREQ=WEEKLY;BYDAY=SU"}) +
        vevent({"DTSTART:20240331T003000Z", "DTEND:20240331T013000Z", "SUMMARY:spring"}) +
        vevent({"DTSTART:20241027T003000Z", "DTEND:20241027T013000Z", "SUMMARY:autumn"}) +
        vevent({"DTSTART;TZID=Europe/Berlin:20241026T220000",
                "DTEND;TZID=Europe/Berlin:20241027T060000", "SUMMARY:night walk"});
    const row table[] = {
        // Stored in UTC, seen from Chicago: the evening before.
        {"America/Chicago",
         vevent({"DTSTART:20241211T013000Z", "DTEND:20241211T023000Z", "SUMMARY:dinner"}),
         day_of(2024, 12, 10),
         {separator(2), when(3, "19:30 - 20:30"), what(3, "dinner", 0), closing(5)}},
        {"America/Chicago",
         vevent({"DTSTART:20241211T013000Z", "DTEND:20241211T023000Z", "SUMMARY:dinner"}),
         day_of(2024, 12, 11),
         {closing(3)}},
        // A later occurrence shows its own times, after the change to summer
        // time as before; the moved one its new day; the cancelled one is
        // listed struck through; the original day of the moved one is empty.
        {"America/Chicago",
         weekly_sync,
         day_of(2024, 3, 14),
         {separator(2), when(3, "17:00 - 18:00"), what(3, "sync", 0), closing(5)}},
        {"America/Chicago",
         weekly_sync,
         day_of(2024, 3, 8),
         {separator(2), when(3, "09:00 - 10:00"), what(3, "sync moved", 0), closing(5)}},
        {"America/Chicago", weekly_sync, day_of(2024, 3, 7), {closing(3)}},
        {"America/Chicago",
         weekly_sync,
         day_of(2024, 3, 21),
         {separator(2), when(3, "17:00 - 18:00"), what(3, "<s>sync</s>", 0), closing(5)}},
        // Days on which Berlin's clocks change: an hour that does not exist,
        // and one that comes twice.
        {"Europe/Berlin",
         berlin_sunday,
         day_of(2024, 3, 31),
         {separator(2), when(3, "01:30 - 03:30"), what(3, "spring", 0), separator(4),
          when(5, "10:00 - 11:00"), what(5, "brunch", 0), closing(7)}},
        {"Europe/Berlin",
         berlin_sunday,
         day_of(2024, 10, 27),
         {separator(2), when(3, "Sat, 10/26/24 - Sun, 10/27/24"), what(3, "night walk", 1),
          separator(4), when(5, "02:30 - 02:30"), what(5, "autumn", 0), separator(6),
          when(7, "10:00 - 11:00"), what(7, "brunch", 0), closing(9)}},
        // A two-day weekly event asked on a later week: that week's two days.
        {"UTC",
         vevent({"DTSTART;VALUE=DATE:20260105", "DTEND;VALUE=DATE:20260107", "SUMMARY:two days",
                 "RRULE:FREQ=WEEKLY"}),
         day_of(2026, 1, 20),
         {separator(2), when(3, "Mon, 01/19/26 - Tue, 01/20/26"), what(3, "two days", 1),
          closing(5)}},
    };
    for (const row &r : table) {
        scoped_zone zone(r.zone);
        stop_events();  // the engine's local time is the zone it started in
        load(r.components);
        EXPECT_EQ(rows(r.day), r.cells) << r.zone << " " << icaltime_as_ical_string(r.day);
    }
}

TEST_F(day_view_test, escaped_summaries_and_locations_show_as_they_read) {
    struct row {
        std::string written, shown;
    };
    const row table[] = {
        {"Lunch\\, with Bob\\; bring notes", "Lunch, with Bob; bring notes"},
        {"C:\\\\temp", "C:\\temp"},
        {"two\\nlines\\Nthree", "two\nlines\nthree"},
        {"not a break: \\\\n", "not a break: \\n"},
    };
    for (const row &r : table) {
        load(vevent({"DTSTART:20260105T100000", "DTEND:20260105T110000", "SUMMARY:" + r.written,
                     "LOCATION:" + r.written}) +
             vevent(
                 {"DTSTART;VALUE=DATE:20260105", "SUMMARY:" + r.written, "LOCATION:" + r.written}));
        EXPECT_EQ(rows(day_of(2026, 1, 5)),
                  (std::vector<cell>{separator(2), when(3, "<i>all day event</i>"),
                                     what(3, r.shown + "\n" + r.shown, 1), separator(4),
                                     when(5, "10:00 - 11:00"), what(5, r.shown, 0), closing(7)}))
            << r.written;
    }
}

TEST_F(day_view_test, untitled_events_mark_their_days_and_are_listed_as_no_title) {
    load(vevent({"DTSTART:20260105T100000", "DTEND:20260105T110000"}) +
         vevent({"DTSTART;VALUE=DATE:20260106", "SUMMARY:", "LOCATION:Hall"}) +
         "BEGIN:VTODO\r\nDTSTART:20260107T090000\r\nEND:VTODO\r\n");
    EXPECT_EQ(day_status(day_of(2026, 1, 5)), 1);
    EXPECT_EQ(day_status(day_of(2026, 1, 6)), 1);
    EXPECT_EQ(day_status(day_of(2026, 1, 7)), 0);  // a to-do still needs a summary
    EXPECT_EQ(rows(day_of(2026, 1, 5)), (std::vector<cell>{separator(2), when(3, "10:00 - 11:00"),
                                                           what(3, "(no title)", 0), closing(5)}));
    EXPECT_EQ(rows(day_of(2026, 1, 6)),
              (std::vector<cell>{separator(2), when(3, "<i>all day event</i>"),
                                 what(3, "(no title)\nHall", 1), closing(5)}));
}

TEST_F(day_view_test, texts_reach_gtk_valid_unmarked_and_cut_at_a_character) {
    // Bytes that are not UTF-8 in a summary and a location.
    load(
        vevent({"DTSTART;VALUE=DATE:20260105", "SUMMARY:bad \xff\xfe name", "LOCATION:room \xc3"}) +
        vevent({"DTSTART:20260105T100000", "DTEND:20260105T110000", "SUMMARY:\xc3\x28 timed"}));
    for (const cell &c : rows(day_of(2026, 1, 5))) {
        EXPECT_TRUE(g_utf8_validate(c.text.c_str(), -1, nullptr)) << c;
        if (c.left == 2 && c.top == 3) {  // all-day first
            EXPECT_TRUE(c.text.find("bad ") == 0 &&
                        c.text.find(" name\nroom ") != std::string::npos)
                << c;
        }
    }

    // A summary is plain text: "<" and "&" are shown, not read as markup.
    load(vevent({"DTSTART:20260105T100000", "DTEND:20260105T110000", "SUMMARY:a <b> & c"}));
    EXPECT_EQ(rows(day_of(2026, 1, 5))[2], what(3, "a <b> & c", 0));

    // Summary and location over 1024 bytes: cut before the character that
    // would not fit whole ("\xe2\x82\xac" takes three bytes; 1001 + 7 * 3
    // is 1022, and the terminator needs the last byte).
    std::string summary(1000, 's'), location;
    for (int i = 0; i < 20; ++i) location += "\xe2\x82\xac";
    load(vevent({"DTSTART;VALUE=DATE:20260105", "SUMMARY:" + summary, "LOCATION:" + location}));
    std::string text = rows(day_of(2026, 1, 5))[2].text;
    EXPECT_EQ(text, summary + "\n" + location.substr(0, 21));
    EXPECT_TRUE(g_utf8_validate(text.c_str(), -1, nullptr));

    // The heading comes from the locale and becomes markup.
    EXPECT_EQ(markup_escaped("Mo<n> & \"Tu\""), "Mo&lt;n&gt; &amp; &quot;Tu&quot;");
    // Texts longer than 25 bytes, and longer than the first buffer, are whole.
    icaltimetype monday = day_of(2026, 1, 5);
    EXPECT_EQ(format_time("%A, %B %d, %Y (%a)", monday), "Monday, January 05, 2026 (Mon)");
    std::string many;
    for (int i = 0; i < 40; ++i) many += "%A ";
    std::string expected;
    for (int i = 0; i < 40; ++i) expected += "Monday ";
    EXPECT_EQ(format_time(many.c_str(), monday), expected);
    icaltimetype timed = icaltime_from_string("20261231T235958");
    EXPECT_EQ(format_time("%a %x %X", timed), "Thu 12/31/26 23:59:58");
    std::string cut = "ab\xe2\x82\xac";
    cut_utf8(cut, 4);
    EXPECT_EQ(cut, "ab");
}

// Opens the view of day and calls drive(window) from the main loop once the
// window is on the screen, then serves the loop until the window is gone. A
// guard ends a view that would otherwise stay. Returns 1 when a view opened
// and went by itself.
struct view_run {
    std::function<void(GtkWidget *)> drive;
    int driven = 0;
    int guarded = 0;
};

GtkWidget *shown_toplevel() {
    GtkWidget *found = nullptr;
    GList *list = gtk_window_list_toplevels();
    for (GList *l = list; l; l = l->next)
        if (GTK_WIDGET_VISIBLE(GTK_WIDGET(l->data))) found = GTK_WIDGET(l->data);
    g_list_free(list);
    return found;
}

void pump() {
    gdk_display_sync(gdk_display_get_default());
    while (gtk_events_pending()) gtk_main_iteration();
}

constexpr press_place press_in_middle{500, 300, 30, 30, 0};

int run_view(icaltimetype day, std::function<void(GtkWidget *)> drive,
             const view_calendar &calendar = {}) {
    view_run run{std::move(drive)};
    open_day_view(day, press_in_middle, {}, calendar);
    if (!shown_toplevel()) return 0;
    guint driver = g_timeout_add(
        20,
        [](gpointer data) -> gboolean {
            auto *run = static_cast<view_run *>(data);
            GtkWidget *window = shown_toplevel();
            if (!window || !GTK_WIDGET_MAPPED(window)) return TRUE;
            run->driven = 1;
            run->drive(window);
            return FALSE;
        },
        &run);
    guint guard = g_timeout_add(
        10000,
        [](gpointer data) -> gboolean {
            static_cast<view_run *>(data)->guarded = 1;
            if (GtkWidget *window = shown_toplevel()) gtk_widget_destroy(window);
            return FALSE;
        },
        &run);
    while (!run.guarded && (!run.driven || shown_toplevel())) gtk_main_iteration();
    if (!run.guarded) g_source_remove(guard);
    if (!run.driven) g_source_remove(driver);
    pump();
    return run.driven && !run.guarded;
}

// A press or motion of the pointer, as the X server would report it, put
// into GDK's queue for widget's window.
void put_pointer_event(GdkEventType type, GtkWidget *widget, double x, double y, double x_root,
                       double y_root) {
    GdkEvent *event = gdk_event_new(type);
    GdkWindow *window = widget->window;
    if (type == GDK_BUTTON_PRESS) {
        event->button.window = GDK_WINDOW(g_object_ref(window));
        event->button.time = GDK_CURRENT_TIME;
        event->button.x = x;
        event->button.y = y;
        event->button.x_root = x_root;
        event->button.y_root = y_root;
        event->button.button = 1;
        event->button.device = gdk_device_get_core_pointer();
    } else {
        event->motion.window = GDK_WINDOW(g_object_ref(window));
        event->motion.time = GDK_CURRENT_TIME;
        event->motion.x = x;
        event->motion.y = y;
        event->motion.x_root = x_root;
        event->motion.y_root = y_root;
        event->motion.state = GDK_BUTTON1_MASK;
        event->motion.device = gdk_device_get_core_pointer();
    }
    gdk_event_put(event);
    gdk_event_free(event);
}

// The table inside the window, within its scroller and viewport.
GtkWidget *table_in(GtkWidget *window) {
    GtkWidget *w = window;
    while (w && GTK_IS_BIN(w)) w = gtk_bin_get_child(GTK_BIN(w));
    return w && GTK_IS_TABLE(w) ? w : nullptr;
}

// The heading and " X " boxes: the event boxes of the table's row 1.
void boxes_of(GtkWidget *window, GtkWidget **heading, GtkWidget **close) {
    *heading = *close = nullptr;
    GtkWidget *table = table_in(window);
    ASSERT_TRUE(table);
    GList *children = gtk_container_get_children(GTK_CONTAINER(table));
    for (GList *l = children; l; l = l->next) {
        if (!GTK_IS_EVENT_BOX(l->data)) continue;
        guint left = 0;
        gtk_container_child_get(GTK_CONTAINER(table), GTK_WIDGET(l->data), "left-attach", &left,
                                nullptr);
        (left == 0 ? *heading : *close) = GTK_WIDGET(l->data);
    }
    g_list_free(children);
    ASSERT_TRUE(*heading && *close);
}

std::string label_in(GtkWidget *box) {
    return gtk_label_get_label(GTK_LABEL(gtk_bin_get_child(GTK_BIN(box))));
}

// Waits for the X server to place the window at x, y; returns where it is.
std::pair<int, int> origin_after_move(GtkWidget *window, int x, int y) {
    int ox = -1, oy = -1;
    for (int i = 0; i < 100; ++i) {
        pump();
        gdk_window_get_origin(window->window, &ox, &oy);
        if (ox == x && oy == y) break;
        g_usleep(20000);
    }
    return {ox, oy};
}

int toplevels_titled(const char *title) {
    int n = 0;
    GList *list = gtk_window_list_toplevels();
    for (GList *l = list; l; l = l->next) {
        const char *t = gtk_window_get_title(GTK_WINDOW(l->data));
        n += t && strcmp(t, title) == 0;
    }
    g_list_free(list);
    return n;
}

TEST_F(day_view_test, window_names_the_day_follows_a_drag_and_closes_on_its_x) {
    load(vevent({"DTSTART:20260105T100000", "DTEND:20260105T110000", "SUMMARY:Stand-up"}));
    int drags_seen = 0;
    int returned = run_view(day_of(2026, 1, 5), [&](GtkWidget *window) {
        EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), "Monday, 01/05/26");
        EXPECT_FALSE(gtk_window_get_decorated(GTK_WINDOW(window)));
        EXPECT_FALSE(gtk_window_get_resizable(GTK_WINDOW(window)));
        GtkWidget *heading, *close;
        boxes_of(window, &heading, &close);
        if (!heading || !close) return gtk_widget_destroy(window);
        // The locale's date in the Gregorian calendar, and the same day in the two others.
        EXPECT_EQ(label_in(heading),
                  "<b>Monday, 01/05/26</b>\n<small>15 Dey 1404 \u00b7 16 Rajab 1447</small>");
        EXPECT_EQ(label_in(close), " X ");
        std::vector<cell> table = cells_of(table_in(window));
        EXPECT_EQ(std::count(table.begin(), table.end(), when(3, "10:00 - 11:00")), 1);
        // A short day: the window is as tall as its rows.
        GtkRequisition rows{};
        gtk_widget_size_request(table_in(window), &rows);
        EXPECT_EQ(window->allocation.height, rows.height);

        // Grab the heading 7.9, 5.2 pixels into it, then drag: the window
        // keeps the grabbed point under the pointer, in whole pixels.
        int x0, y0;
        gdk_window_get_origin(heading->window, &x0, &y0);
        put_pointer_event(GDK_BUTTON_PRESS, heading, 7.9, 5.2, x0 + 7.9, y0 + 5.2);
        put_pointer_event(GDK_MOTION_NOTIFY, heading, 0, 0, 300.0, 200.0);
        EXPECT_EQ(origin_after_move(window, 293, 195), std::make_pair(293, 195));
        put_pointer_event(GDK_MOTION_NOTIFY, heading, 0, 0, 420.6, 260.9);
        EXPECT_EQ(origin_after_move(window, 413, 255), std::make_pair(413, 255));
        drags_seen = 1;

        put_pointer_event(GDK_BUTTON_PRESS, close, 3, 3, 0, 0);
    });
    EXPECT_TRUE(returned) << "the view stayed after the press on \" X \"";
    EXPECT_TRUE(drags_seen);
    EXPECT_EQ(toplevels_titled("Monday, 01/05/26"), 0);
}

TEST_F(day_view_test, close_request_or_kill_closes_the_window) {
    load(vevent({"DTSTART;VALUE=DATE:20260105", "SUMMARY:Holiday"}));
    // WM_DELETE_WINDOW, as the window manager sends it for a close shortcut.
    int returned = run_view(day_of(2026, 1, 5), [](GtkWidget *window) {
        Display *display = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = GDK_WINDOW_XID(window->window);
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] =
            static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
        XFlush(display);
    });
    EXPECT_TRUE(returned) << "the view outlived the close request";
    EXPECT_EQ(toplevels_titled("Monday, 01/05/26"), 0);

    // The window destroyed without any press, as by a kill request; then a
    // second view opens and closes as the first did.
    EXPECT_TRUE(
        run_view(day_of(2026, 1, 5), [](GtkWidget *window) { gtk_widget_destroy(window); }));
    EXPECT_TRUE(run_view(day_of(2026, 1, 5), [](GtkWidget *window) {
        GtkWidget *heading, *close;
        boxes_of(window, &heading, &close);
        if (close) put_pointer_event(GDK_BUTTON_PRESS, close, 3, 3, 0, 0);
    }));
}

// One view at a time: another day with events takes its place, a day
// without events leaves it as it is.
TEST_F(day_view_test, another_day_takes_the_place_of_the_open_view) {
    load(vevent({"DTSTART;VALUE=DATE:20260105", "SUMMARY:Holiday"}) +
         vevent({"DTSTART;VALUE=DATE:20260107", "SUMMARY:Fair"}));
    open_day_view(day_of(2026, 1, 5), press_in_middle);
    open_day_view(day_of(2026, 1, 6), press_in_middle);
    EXPECT_EQ(toplevels_titled("Monday, 01/05/26"), 1);
    open_day_view(day_of(2026, 1, 7), press_in_middle);
    pump();
    EXPECT_EQ(toplevels_titled("Monday, 01/05/26"), 0);
    EXPECT_EQ(toplevels_titled("Wednesday, 01/07/26"), 1);
    if (GtkWidget *window = shown_toplevel()) gtk_widget_destroy(window);
    pump();
}

// Built after the direction is set, in Arabic: right to left, named in Arabic.
TEST_F(day_view_test, an_arabic_view_runs_right_to_left) {
    load(vevent({"DTSTART:20260105T100000", "DTEND:20260105T110000", "SUMMARY:Stand-up"}));
    speak("ar");
    gtk_widget_set_default_direction(GTK_TEXT_DIR_RTL);
    int returned =
        run_view(day_of(2026, 1, 5),
                 [](GtkWidget *window) {
                     EXPECT_EQ(gtk_widget_get_direction(table_in(window)), GTK_TEXT_DIR_RTL);
                     EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), "الاثنين ٥ يناير ٢٠٢٦");
                     gtk_widget_destroy(window);
                 },
                 {0, 0, 0, 3, 2});
    gtk_widget_set_default_direction(GTK_TEXT_DIR_LTR);
    speak("");
    EXPECT_TRUE(returned);
}

TEST_F(day_view_test, day_without_events_opens_no_window) {
    load(vevent({"DTSTART;VALUE=DATE:20260105", "SUMMARY:Holiday"}));
    GList *before = gtk_window_list_toplevels();
    int driven =
        run_view(day_of(2026, 1, 6), [](GtkWidget *window) { gtk_widget_destroy(window); });
    GList *after = gtk_window_list_toplevels();
    EXPECT_FALSE(driven);
    EXPECT_EQ(shown_toplevel(), nullptr);
    EXPECT_EQ(g_list_length(after), g_list_length(before));  // the unshown window is gone too
    g_list_free(before);
    g_list_free(after);
}

// 50 all-day events and 9,950 timed ones, each timed one starting at its
// own second of the day: the view lists the all-day ones and the 150 that
// start first, in order, counts the other 9,800, and fits the screen's work
// area, where its rows scroll.
TEST_F(day_view_test, a_day_of_ten_thousand_events_lists_200_rows_and_counts_the_rest) {
    // A second of the day as written (083000) or shown (08:30).
    auto clock = [](int s, const char *format) {
        char text[16];
        snprintf(text, sizeof text, format, s / 3600, s / 60 % 60, s % 60);
        return std::string(text);
    };
    std::string components;
    std::vector<std::pair<int, int>> timed;  // second of the day, event
    for (int i = 0; i < 9950; ++i) {
        int second = i * 7919 % 86000;  // 7919 is prime to 86000: no two alike
        timed.emplace_back(second, i);
        components += vevent({"DTSTART:20260105T" + clock(second, "%02d%02d%02d"),
                              "DTEND:20260105T" + clock(second + 60, "%02d%02d%02d"),
                              "SUMMARY:e" + std::to_string(i)});
    }
    for (int i = 0; i < 50; ++i)
        components += vevent({"DTSTART;VALUE=DATE:20260105", "SUMMARY:all day"});
    std::vector<cell> expected;
    std::sort(timed.begin(), timed.end());
    for (int r = 0; r < 200; ++r) {
        auto [second, i] = timed[static_cast<std::size_t>(std::max(r - 50, 0))];
        std::string times = clock(second, "%02d:%02d") + " - " + clock(second + 60, "%02d:%02d");
        for (const cell &c :
             {separator(2 + 2 * r),
              r < 50 ? when(3 + 2 * r, "<i>all day event</i>") : when(3 + 2 * r, times),
              r < 50 ? what(3 + 2 * r, "all day", 1) : what(3 + 2 * r, "e" + std::to_string(i), 0)})
            expected.push_back(c);
    }
    expected.push_back(separator(402));
    expected.push_back({403, 1, 3, "label", "<i>and 9800 more</i>", 0});
    expected.push_back(closing(405));
    // With -d, a line for each row shown and one for the rest.
    debug = 1;
    testing::internal::CaptureStdout();
    load(components);
    std::vector<cell> shown = rows(day_of(2026, 1, 5));
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(shown, expected);
    std::vector<std::string> view_lines;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("view: ", 0) == 0) view_lines.push_back(line);
    ASSERT_EQ(view_lines.size(), 201u);
    EXPECT_EQ(view_lines[0], "view: all day event\tall day");
    EXPECT_EQ(view_lines[200], "view: more\t9800");
    debug = 0;
    load_events();

    speak("ar");
    EXPECT_EQ(rows(day_of(2026, 1, 5), nullptr, {0, 0, 0, 3, 2})[601],
              (cell{403, 1, 3, "label", "<i>و٩٨٠٠ حدث آخر</i>", 0}));
    speak("");

    // Without a work area the screen bounds the view; with one, the area.
    Display *display = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
    Window root = DefaultRootWindow(display);
    Atom workarea = XInternAtom(display, "_NET_WORKAREA", False);
    struct area_row {
        int set;
        long x, y, width, height;
    } areas[] = {{0, 0, 0, 1024, 768}, {1, 0, 40, 1024, 600}};
    ASSERT_EQ(gdk_screen_height(), 768);
    for (const area_row &a : areas) {
        if (a.set) {
            long value[4] = {a.x, a.y, a.width, a.height};
            XChangeProperty(display, root, workarea, XA_CARDINAL, 32, PropModeReplace,
                            reinterpret_cast<unsigned char *>(value), 4);
        } else {
            XDeleteProperty(display, root, workarea);
        }
        XSync(display, False);
        int returned = run_view(day_of(2026, 1, 5), [&](GtkWidget *window) {
            int x, y;
            gdk_window_get_origin(window->window, &x, &y);
            EXPECT_GE(y, a.y);
            EXPECT_EQ(window->allocation.height, a.height);
            // The rows and the heading's two boxes.
            EXPECT_EQ(cells_of(table_in(window)).size(), expected.size() + 2);
            // The last rows are within reach.
            GtkAdjustment *rows = gtk_scrolled_window_get_vadjustment(
                GTK_SCROLLED_WINDOW(gtk_bin_get_child(GTK_BIN(window))));
            EXPECT_GT(rows->upper - rows->page_size, 0);
            gtk_widget_destroy(window);
        });
        EXPECT_TRUE(returned) << a.height;
    }
    XDeleteProperty(display, root, workarea);
    XSync(display, False);
}

// Thursday 10 December 2026: 19 Azar 1405, 1 Rajab 1448 by Umm al-Qura and
// 30 Jumada al-thani by Iran's months.
TEST(day_view_dates, heading_and_the_other_calendars_in_each_language) {
    struct row {
        int face_language, language;
        const char *catalog;
        int kind, hijri;
        const char *heading, *also;
    } rows[] = {
        {0, 0, "", 0, 0, "Thursday, 12/10/26", "19 Azar 1405 \u00b7 1 Rajab 1448"},
        {0, 0, "", 1, 0, "Thursday 19 Azar 1405", "10 December 2026 \u00b7 1 Rajab 1448"},
        {0, 0, "", 2, 1, "Thursday 30 Jumada al-thani 1448",
         "10 December 2026 \u00b7 19 Azar 1405"},
        {1, 1, "fa", 0, 0, "پنج\u200cشنبه ۱۰ دسامبر ۲۰۲۶", "۱۹ آذر ۱۴۰۵ · ۱ رجب ۱۴۴۸"},
        {1, 1, "fa", 1, 0, "پنج\u200cشنبه ۱۹ آذر ۱۴۰۵", "۱۰ دسامبر ۲۰۲۶ · ۱ رجب ۱۴۴۸"},
        {1, 1, "fa", 2, 0, "پنج\u200cشنبه ۱ رجب ۱۴۴۸", "۱۰ دسامبر ۲۰۲۶ · ۱۹ آذر ۱۴۰۵"},
        {2, 1, "fa", 0, 0, "پنج\u200cشنبه ۱۰ دسامبر ۲۰۲۶", "۱۹ قوس ۱۴۰۵ · ۱ رجب ۱۴۴۸"},
        {2, 1, "fa", 1, 0, "پنج\u200cشنبه ۱۹ قوس ۱۴۰۵", "۱۰ دسامبر ۲۰۲۶ · ۱ رجب ۱۴۴۸"},
        {2, 1, "fa", 2, 0, "پنج\u200cشنبه ۱ رجب ۱۴۴۸", "۱۰ دسامبر ۲۰۲۶ · ۱۹ قوس ۱۴۰۵"},
        {3, 2, "ar", 0, 0, "الخميس ١٠ ديسمبر ٢٠٢٦", "١٩ آذر ١٤٠٥ · ١ رجب ١٤٤٨"},
        {3, 2, "ar", 1, 0, "الخميس ١٩ آذر ١٤٠٥", "١٠ ديسمبر ٢٠٢٦ · ١ رجب ١٤٤٨"},
        {3, 2, "ar", 2, 1, "الخميس ٣٠ جمادى الآخرة ١٤٤٨", "١٠ ديسمبر ٢٠٢٦ · ١٩ آذر ١٤٠٥"},
    };
    for (const row &r : rows) {
        speak(r.catalog);
        view_calendar calendar{r.kind, r.hijri, 0, r.face_language, r.language};
        EXPECT_EQ(view_heading(day_of(2026, 12, 10), calendar), r.heading) << r.catalog << r.kind;
        EXPECT_EQ(view_also(day_of(2026, 12, 10), calendar), r.also) << r.catalog << r.kind;
    }
    speak("");
    // The adjustment moves the Islamic date, and the times take the digits.
    view_calendar moved{2, 1, 1, 0, 0};
    EXPECT_EQ(view_heading(day_of(2026, 12, 10), moved), "Thursday 1 Rajab 1448");
    EXPECT_EQ(in_language_digits("09:30 - 10:15", 1), "۰۹:۳۰ - ۱۰:۱۵");
    EXPECT_EQ(in_language_digits("09:30 - 10:15", 2), "٠٩:٣٠ - ١٠:١٥");
}

// The last row in each language and each plural form, in the language's digits.
TEST(day_view_dates, the_rows_left_out_in_each_plural_form) {
    struct row {
        const char *catalog;
        int language;
        std::size_t n;
        const char *text;
    } rows[] = {
        {"", 0, 1, "and 1 more"},       {"", 0, 9800, "and 9800 more"},
        {"fa", 1, 1, "و ۱ مورد دیگر"},  {"fa", 1, 2, "و ۲ مورد دیگر"},
        {"ar", 2, 1, "و١ حدث آخر"},     {"ar", 2, 2, "و٢ حدثان آخران"},
        {"ar", 2, 5, "و٥ أحداث أخرى"},  {"ar", 2, 11, "و١١ حدثًا آخر"},
        {"ar", 2, 100, "و١٠٠ حدث آخر"},
    };
    for (const row &r : rows) {
        speak(r.catalog);
        EXPECT_EQ(more_rows_text(r.n, r.language), r.text) << r.catalog << " " << r.n;
    }
    speak("");
}

}  // namespace

int main(int argc, char **argv) {
    testing::InitGoogleTest(&argc, argv);
    setenv("LC_ALL", "C.UTF-8",
           1);  // English names and the C formats, whatever the caller's locale
    gtk_ready = gtk_init_check(&argc, &argv);
    // Any GTK or GLib critical is a fault of the view.
    g_log_set_always_fatal(static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_ERROR));
    return RUN_ALL_TESTS();
}
