// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Reminders on the screen; see reminder/reminder.h. Every bus call is
// asynchronous: GDBus does the I/O in its worker thread and runs the
// callbacks here, in GTK's main loop.
#include "reminder/reminder.h"

#include "dayview/day_view.h"

#include <gio/gio.h>
#include <glib/gi18n-lib.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <vector>

namespace {

constexpr const char *service = "org.freedesktop.Notifications";
constexpr const char *service_path = "/org/freedesktop/Notifications";
// A server that takes longer to answer than this is taken for a hung one:
// the note opens in a window of our own.
constexpr guint server_wait_ms = 5000;
// NotificationClosed's reasons besides 1, expired, and 4, undefined.
constexpr guint32 closed_by_user = 2, closed_by_call = 3;

enum class shown_by { asking, server, window };

struct note_record {
    reminder_note note;
    screen_rect tile{};
    reminder_answered_fn answered = nullptr;
    shown_by by = shown_by::asking;
    guint deadline = 0;     // the timer of server_wait_ms while asking
    guint32 server_id = 0;  // the server's number for it
    std::string server;     // the unique bus name that answered Notify
    GtkWidget *window = nullptr;
};

enum class bus_state { none, connecting, ready };
enum class capabilities { unknown, asking, known };

// The module's state: the bus, what the server offers, the notes shown.
struct {
    GDBusConnection *bus = nullptr;
    bus_state state = bus_state::none;
    capabilities caps = capabilities::unknown;
    bool actions = false, markup = false;  // the server's "actions" and "body-markup"
    guint subscription = 0;
    std::vector<note_record> notes;  // in the order shown
} reminders;

// The callbacks of timers and calls carry the note's id on the heap, since
// a pointer may be narrower than it.
gpointer id_data(uint64_t id) { return g_memdup2(&id, sizeof id); }
uint64_t id_of(gpointer data) { return *static_cast<uint64_t *>(data); }
void free_id(gpointer data, GClosure *) { g_free(data); }

note_record *find_note(uint64_t id) {
    for (note_record &n : reminders.notes)
        if (n.note.id == id) return &n;
    return nullptr;
}

// Takes the note out of the list before the caller hears of it, so that the
// caller may show or withdraw notes from its callback.
void answer_note(uint64_t id, reminder_answer what) {
    auto at = std::find_if(reminders.notes.begin(), reminders.notes.end(),
                           [id](const note_record &n) { return n.note.id == id; });
    if (at == reminders.notes.end()) return;
    note_record done = std::move(*at);
    reminders.notes.erase(at);
    if (done.deadline) g_source_remove(done.deadline);
    if (done.window) gtk_widget_destroy(done.window);
    if (done.answered) done.answered(id, what);
}

void close_on_server(guint32 server_id) {
    if (!reminders.bus || !server_id) return;
    g_dbus_connection_call(reminders.bus, service, service_path, service, "CloseNotification",
                           g_variant_new("(u)", server_id), nullptr, G_DBUS_CALL_FLAGS_NONE, -1,
                           nullptr, nullptr, nullptr);
}

// -- the window of our own ---------------------------------------------------

void on_snooze(GtkWidget *, gpointer data) { answer_note(id_of(data), reminder_snooze); }
void on_dismiss(GtkWidget *, gpointer data) { answer_note(id_of(data), reminder_dismiss); }
// The window manager's close counts as Dismiss.
gboolean on_delete(GtkWidget *, GdkEvent *, gpointer data) {
    answer_note(id_of(data), reminder_dismiss);
    return TRUE;
}

// The lowest bottom edge of the other windows of ours beside this tile,
// frames included, or the tile's top where there are none.
int stack_top(const note_record &self) {
    int top = self.tile.y;
    for (const note_record &n : reminders.notes) {
        if (&n == &self || !n.window || !gtk_widget_get_realized(n.window)) continue;
        GdkRectangle frame{};
        gdk_window_get_frame_extents(gtk_widget_get_window(n.window), &frame);
        top = std::max(top, frame.y + frame.height);
    }
    return top;
}

void add_button(GtkWidget *box, const char *label, const char *name, GCallback clicked,
                uint64_t id) {
    GtkWidget *button = gtk_button_new_with_label(label);
    gtk_widget_set_name(button, name);
    gtk_widget_set_can_focus(button, FALSE);
    g_signal_connect_data(button, "clicked", clicked, id_data(id), free_id, GConnectFlags(0));
    gtk_box_pack_end(GTK_BOX(box), button, FALSE, FALSE, 0);
}

// Beside the tile like the day view, below the windows already open; it
// never takes the focus from what the user is typing into, stays above
// other windows and asks for attention.
void open_window(note_record &n) {
    n.by = shown_by::window;
    GtkWidget *window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    n.window = window;
    gtk_widget_set_name(window, "reminder");
    gtk_window_set_title(GTK_WINDOW(window), n.note.title.c_str());
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_accept_focus(GTK_WINDOW(window), FALSE);
    gtk_window_set_focus_on_map(GTK_WINDOW(window), FALSE);
    gtk_window_set_keep_above(GTK_WINDOW(window), TRUE);
    gtk_window_set_urgency_hint(GTK_WINDOW(window), TRUE);
    g_signal_connect_data(window, "delete_event", G_CALLBACK(on_delete), id_data(n.note.id),
                          free_id, GConnectFlags(0));

    GtkWidget *box = gtk_vbox_new(FALSE, 6);
    gtk_container_set_border_width(GTK_CONTAINER(box), 10);
    gtk_container_add(GTK_CONTAINER(window), box);
    GtkWidget *title = gtk_label_new(nullptr);
    gchar *markup = g_markup_printf_escaped("<b>%s</b>", n.note.title.c_str());
    gtk_label_set_markup(GTK_LABEL(title), markup);
    g_free(markup);
    gtk_box_pack_start(GTK_BOX(box), title, FALSE, FALSE, 0);
    if (!n.note.body.empty())
        gtk_box_pack_start(GTK_BOX(box), gtk_label_new(n.note.body.c_str()), FALSE, FALSE, 0);
    if (n.note.actions == 1) {
        GtkWidget *buttons = gtk_hbox_new(FALSE, 6);
        add_button(buttons, _("Dismiss"), "reminder-dismiss", G_CALLBACK(on_dismiss), n.note.id);
        add_button(buttons, _("Snooze"), "reminder-snooze", G_CALLBACK(on_snooze), n.note.id);
        gtk_box_pack_start(GTK_BOX(box), buttons, FALSE, FALSE, 0);
    }
    gtk_widget_show_all(box);

    GtkRequisition size{};
    gtk_widget_size_request(window, &size);
    const screen_rect &tile = n.tile;
    screen_rect area =
        work_area(gtk_widget_get_screen(window), tile.x + tile.width / 2, tile.y + tile.height / 2);
    // place_day_view puts the middle at the height given: the top at top.
    int top = stack_top(n);
    screen_rect at = place_day_view(tile, size.width, size.height, area, top + size.height / 2);
    gtk_window_move(GTK_WINDOW(window), at.x, at.y);
    gtk_widget_show(window);
}

// The note cannot go to a server: a window of our own. The server's answer,
// should it come later, is closed again (on_notified).
void to_window(uint64_t id) {
    note_record *n = find_note(id);
    if (!n || n->by != shown_by::asking) return;
    if (n->deadline) g_source_remove(n->deadline);
    n->deadline = 0;
    open_window(*n);
}

void all_asking_to_windows() {
    std::vector<uint64_t> ids;
    for (const note_record &n : reminders.notes)
        if (n.by == shown_by::asking) ids.push_back(n.note.id);
    for (uint64_t id : ids) to_window(id);
}

gboolean on_deadline(gpointer data) {
    if (note_record *n = find_note(id_of(data))) n->deadline = 0;
    to_window(id_of(data));
    return G_SOURCE_REMOVE;
}

// -- the notification server --------------------------------------------------

void on_notified(GObject *bus, GAsyncResult *result, gpointer data) {
    uint64_t id = id_of(data);
    g_free(data);
    GError *error = nullptr;
    GDBusMessage *reply =
        g_dbus_connection_send_message_with_reply_finish(G_DBUS_CONNECTION(bus), result, &error);
    guint32 server_id = 0;
    if (reply && !g_dbus_message_to_gerror(reply, &error)) {
        GVariant *body = g_dbus_message_get_body(reply);
        if (body && g_variant_is_of_type(body, G_VARIANT_TYPE("(u)")))
            g_variant_get(body, "(u)", &server_id);
    }
    note_record *n = find_note(id);
    if (server_id && n && n->by == shown_by::asking) {
        if (n->deadline) g_source_remove(n->deadline);
        n->deadline = 0;
        n->by = shown_by::server;
        n->server_id = server_id;
        const char *sender = g_dbus_message_get_sender(reply);
        n->server = sender ? sender : "";
    } else if (server_id) {
        // Withdrawn meanwhile, or shown in a window since.
        close_on_server(server_id);
    } else {
        to_window(id);
    }
    if (error) g_error_free(error);
    if (reply) g_object_unref(reply);
}

void send_notify(const note_record &n) {
    GVariantBuilder actions;
    g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
    if (n.note.actions == 1 && reminders.actions) {
        const char *const pairs[] = {"snooze", _("Snooze"), "dismiss", _("Dismiss")};
        for (const char *s : pairs) g_variant_builder_add(&actions, "s", s);
    }
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    // Critical: the server keeps it until the user acts.
    g_variant_builder_add(&hints, "{sv}", "urgency", g_variant_new_byte(2));
    gchar *body = reminders.markup ? g_markup_escape_text(n.note.body.c_str(), -1)
                                   : g_strdup(n.note.body.c_str());
    GDBusMessage *call = g_dbus_message_new_method_call(service, service_path, service, "Notify");
    g_dbus_message_set_body(call, g_variant_new("(susssasa{sv}i)", "Dayspinner", 0u, "",
                                                n.note.title.c_str(), body, &actions, &hints, 0));
    g_free(body);
    g_dbus_connection_send_message_with_reply(reminders.bus, call, G_DBUS_SEND_MESSAGE_FLAGS_NONE,
                                              static_cast<int>(server_wait_ms), nullptr, nullptr,
                                              on_notified, id_data(n.note.id));
    g_object_unref(call);
}

void send_all_asking() {
    for (const note_record &n : reminders.notes)
        if (n.by == shown_by::asking) send_notify(n);
}

void on_capabilities(GObject *bus, GAsyncResult *result, gpointer) {
    GError *error = nullptr;
    GVariant *reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &error);
    if (!reply) {
        // No server, or none that answers: asked again with the next note.
        g_error_free(error);
        reminders.caps = capabilities::unknown;
        all_asking_to_windows();
        return;
    }
    GVariantIter *names = nullptr;
    g_variant_get(reply, "(as)", &names);
    const gchar *name = nullptr;
    reminders.actions = reminders.markup = false;
    while (g_variant_iter_next(names, "&s", &name)) {
        if (g_str_equal(name, "actions")) reminders.actions = true;
        if (g_str_equal(name, "body-markup")) reminders.markup = true;
    }
    g_variant_iter_free(names);
    g_variant_unref(reply);
    reminders.caps = capabilities::known;
    send_all_asking();
}

void ask_capabilities() {
    reminders.caps = capabilities::asking;
    g_dbus_connection_call(reminders.bus, service, service_path, service, "GetCapabilities",
                           nullptr, G_VARIANT_TYPE("(as)"), G_DBUS_CALL_FLAGS_NONE,
                           static_cast<int>(server_wait_ms), nullptr, on_capabilities, nullptr);
}

// The notification of the server's number from that server, if shown there.
note_record *shown_on(const gchar *sender, guint32 server_id) {
    for (note_record &n : reminders.notes)
        if (n.by == shown_by::server && n.server_id == server_id && n.server == sender) return &n;
    return nullptr;
}

void on_signal(GDBusConnection *, const gchar *sender, const gchar *, const gchar *,
               const gchar *member, GVariant *parameters, gpointer) {
    if (!sender) return;
    guint32 server_id = 0;
    if (g_str_equal(member, "ActionInvoked") &&
        g_variant_is_of_type(parameters, G_VARIANT_TYPE("(us)"))) {
        const gchar *action = nullptr;
        g_variant_get(parameters, "(u&s)", &server_id, &action);
        note_record *n = shown_on(sender, server_id);
        if (!n) return;
        bool snooze = g_str_equal(action, "snooze");
        if (!snooze && !g_str_equal(action, "dismiss") && !g_str_equal(action, "default")) return;
        // Some servers leave a notification up after its action.
        close_on_server(server_id);
        answer_note(n->note.id, snooze ? reminder_snooze : reminder_dismiss);
    } else if (g_str_equal(member, "NotificationClosed") &&
               g_variant_is_of_type(parameters, G_VARIANT_TYPE("(uu)"))) {
        guint32 reason = 0;
        g_variant_get(parameters, "(uu)", &server_id, &reason);
        note_record *n = shown_on(sender, server_id);
        if (!n) return;
        // Closed by a call: ours come after the note is gone; another's
        // takes it off the screen without the user's answer.
        if (reason == closed_by_call) n->answered = nullptr;
        answer_note(n->note.id, reason == closed_by_user ? reminder_dismiss : reminder_gone);
    }
}

void on_bus(GObject *, GAsyncResult *result, gpointer) {
    GError *error = nullptr;
    GDBusConnection *bus = g_bus_get_finish(result, &error);
    if (!bus) {
        // No session bus: tried again with the next note.
        g_error_free(error);
        reminders.state = bus_state::none;
        all_asking_to_windows();
        return;
    }
    // A bus that goes away must not end the tile.
    g_dbus_connection_set_exit_on_close(bus, FALSE);
    reminders.bus = bus;
    reminders.state = bus_state::ready;
    // Every signal of the interface; on_signal takes only the server's.
    reminders.subscription =
        g_dbus_connection_signal_subscribe(bus, nullptr, service, nullptr, service_path, nullptr,
                                           G_DBUS_SIGNAL_FLAGS_NONE, on_signal, nullptr, nullptr);
    ask_capabilities();
}

}  // namespace

void show_reminder(const reminder_note &note, screen_rect tile, reminder_answered_fn answered) {
    note_record n;
    n.note = note;
    n.tile = tile;
    n.answered = answered;
    n.deadline = g_timeout_add_full(G_PRIORITY_DEFAULT, server_wait_ms, on_deadline,
                                    id_data(note.id), g_free);
    reminders.notes.push_back(std::move(n));
    if (reminders.state == bus_state::none) {
        reminders.state = bus_state::connecting;
        g_bus_get(G_BUS_TYPE_SESSION, nullptr, on_bus, nullptr);
    } else if (reminders.state == bus_state::ready) {
        if (reminders.caps == capabilities::known)
            send_notify(reminders.notes.back());
        else if (reminders.caps == capabilities::unknown)
            ask_capabilities();
    }
}

void withdraw_reminder(uint64_t id) {
    note_record *n = find_note(id);
    if (!n) return;
    if (n->by == shown_by::server) close_on_server(n->server_id);
    n->answered = nullptr;
    answer_note(id, reminder_gone);
}

int reminder_windows() {
    return static_cast<int>(std::count_if(reminders.notes.begin(), reminders.notes.end(),
                                          [](const note_record &n) { return n.window; }));
}
