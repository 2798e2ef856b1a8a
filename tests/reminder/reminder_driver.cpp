// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Drives reminder/ under GTK's main loop for test_reminder.py. Commands on
// standard input, one a line:
//   show ID ACTIONS TITLE<tab>BODY    show_reminder, the tile at TILE below
//   withdraw ID                       withdraw_reminder
//   windows                           prints "windows N", reminder_windows()
//   ping                              prints "pong": the loop is not held
//   where NAME [TITLE]                prints "at X Y WIDTH HEIGHT" on the
//                                     screen for each widget of that name
//                                     (in the windows of that title), "done"
// Each answer is printed as "answer ID snooze|dismiss|gone". The tile is at
// the x, y of the arguments (default 960 0), 64 x 64; the end of input ends it.
#include "reminder/reminder.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

screen_rect tile{960, 0, 64, 64};

void print_answer(uint64_t id, reminder_answer answer) {
    const char *names[] = {"", "snooze", "dismiss", "gone"};
    printf("answer %llu %s\n", static_cast<unsigned long long>(id), names[answer]);
    fflush(stdout);
}

struct search {
    std::string name;
    std::vector<GtkWidget *> found;
};

void find_named(GtkWidget *widget, gpointer data) {
    search *s = static_cast<search *>(data);
    if (s->name == gtk_widget_get_name(widget)) s->found.push_back(widget);
    if (GTK_IS_CONTAINER(widget)) gtk_container_forall(GTK_CONTAINER(widget), find_named, s);
}

void print_where(const std::string &name, const std::string &title) {
    search s{name, {}};
    GList *toplevels = gtk_window_list_toplevels();
    for (GList *t = toplevels; t; t = t->next) {
        const char *its = gtk_window_get_title(GTK_WINDOW(t->data));
        if (title.empty() || (its && title == its)) find_named(GTK_WIDGET(t->data), &s);
    }
    g_list_free(toplevels);
    for (GtkWidget *w : s.found) {
        if (!gtk_widget_get_mapped(w)) continue;
        int x = 0, y = 0;
        gdk_window_get_origin(gtk_widget_get_window(w), &x, &y);
        GtkAllocation at{};
        gtk_widget_get_allocation(w, &at);
        // A widget without a window of its own sits in its parent's.
        if (!gtk_widget_get_has_window(w)) {
            x += at.x;
            y += at.y;
        }
        printf("at %d %d %d %d\n", x, y, at.width, at.height);
    }
    printf("done\n");
}

void run(const std::string &line) {
    std::istringstream in(line);
    std::string command;
    in >> command;
    if (command == "show") {
        reminder_note note;
        in >> note.id >> note.actions;
        in.ignore(1);
        std::string rest;
        std::getline(in, rest);
        std::size_t tab = rest.find('\t');
        note.title = rest.substr(0, tab);
        if (tab != std::string::npos) note.body = rest.substr(tab + 1);
        show_reminder(note, tile, print_answer);
    } else if (command == "withdraw") {
        uint64_t id = 0;
        in >> id;
        withdraw_reminder(id);
    } else if (command == "windows") {
        printf("windows %d\n", reminder_windows());
    } else if (command == "where") {
        std::string name, title;
        in >> name;
        in.ignore(1);
        std::getline(in, title);
        print_where(name, title);
    } else if (command == "ping") {
        printf("pong\n");
    }
    fflush(stdout);
}

gboolean on_input(GIOChannel *channel, GIOCondition, gpointer) {
    gchar *text = nullptr;
    gsize length = 0;
    GIOStatus status = g_io_channel_read_line(channel, &text, &length, nullptr, nullptr);
    if (status == G_IO_STATUS_NORMAL && text) {
        std::string line(text, length);
        while (!line.empty() && line.back() == '\n') line.pop_back();
        run(line);
    }
    g_free(text);
    if (status == G_IO_STATUS_EOF || status == G_IO_STATUS_ERROR) {
        gtk_main_quit();
        return FALSE;
    }
    return TRUE;
}

}  // namespace

int main(int argc, char **argv) {
    gtk_init(&argc, &argv);
    if (argc == 3) {
        tile.x = atoi(argv[1]);
        tile.y = atoi(argv[2]);
    }
    GIOChannel *input = g_io_channel_unix_new(0);
    g_io_add_watch(input, GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR), on_input, nullptr);
    printf("ready\n");
    fflush(stdout);
    gtk_main();
    g_io_channel_unref(input);
    return 0;
}
