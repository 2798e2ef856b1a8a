// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The settings dialog: a GTK+ 2 window of the tile's main loop, one at a
// time, opened by the tile's settings button. It edits a copy of the settings
// record and hands each change to the caller's `applied`: the icon, the
// language and the command at once, the week start, the Islamic calendar, the
// holidays and the reminders on "save", the calendar file or folder when it
// is chosen.
#include "settings/settings_dialog.h"

#include "settings/settings.h"
#include "version.h"

#include <glib/gi18n-lib.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>

GtkWidget *ics_file_selection = nullptr;

namespace {

GtkWidget *settings_window;  // the open dialog, or null

// The entry shows everything the settings file holds; typing stops at what
// the launch line, the command and " &" in the command's 250 bytes, can run.
constexpr int entry_max_chars = sizeof settings_record::app_command - 1;
constexpr size_t command_max_bytes = sizeof settings_record::app_command - sizeof " &";

// What one open dialog works on. The dialog's window and its file selection
// each hold it: the window may be closed under the selection.
struct dialog_state {
    settings_record settings;
    settings_applied_fn applied = nullptr;
    GtkWidget *option_menu = nullptr;
    GtkWidget *hijri = nullptr;             // the spin button of the Hijri adjustment
    GtkWidget *reminders = nullptr;         // the check button
    GtkWidget *default_reminder = nullptr;  // its spin button of minutes
    int holders = 0;
    void apply(unsigned parts) const {
        if (applied) applied(settings, parts);
    }
};

void hold_state(GtkWidget *holder, dialog_state *state) {
    ++state->holders;
    g_object_set_data_full(G_OBJECT(holder), "dialog", state, [](gpointer p) {
        auto *s = static_cast<dialog_state *>(p);
        if (--s->holders == 0) delete s;
    });
}

struct g_free_deleter {
    void operator()(gchar *p) const { g_free(p); }
};
using g_text = std::unique_ptr<gchar, g_free_deleter>;

// The charset of a locale whose bytes are not UTF-8, or null. The C locale
// counts as UTF-8: its commands are bytes the shell passes on unchanged, and
// those are UTF-8 nearly always.
const char *legacy_charset() {
    const char *charset = nullptr;
    if (g_get_charset(&charset) || !charset) return nullptr;
    for (const char *ascii : {"ANSI_X3.4-1968", "ASCII", "US-ASCII"})
        if (g_ascii_strcasecmp(charset, ascii) == 0) return nullptr;
    return charset;
}

// Bytes the command would store for UTF-8 text typed into the entry.
size_t stored_size(const char *utf8, gssize length) {
    if (length < 0) length = static_cast<gssize>(strlen(utf8));
    if (!legacy_charset()) return static_cast<size_t>(length);
    return command_from_entry(std::string(utf8, static_cast<size_t>(length)).c_str()).size();
}

// Cuts an insertion to the whole characters that still fit the command;
// connected to "insert-text" only after the entry has been filled, so the
// text from the file is shown whole.
void on_command_insert(GtkEditable *editable, gchar *text, gint length, gint *position, gpointer) {
    if (length < 0) length = static_cast<gint>(strlen(text));
    size_t used = stored_size(gtk_entry_get_text(GTK_ENTRY(editable)), -1);
    if (used + stored_size(text, length) <= command_max_bytes) return;
    gint keep = 0;
    for (const gchar *p = text; p < text + length; p = g_utf8_next_char(p)) {
        used += stored_size(p, g_utf8_next_char(p) - p);
        if (used > command_max_bytes) break;
        keep = static_cast<gint>(g_utf8_next_char(p) - text);
    }
    g_signal_stop_emission_by_name(editable, "insert-text");
    if (keep == 0) return;
    g_signal_handlers_block_by_func(editable, reinterpret_cast<gpointer>(on_command_insert),
                                    nullptr);
    gtk_editable_insert_text(editable, text, keep, position);
    g_signal_handlers_unblock_by_func(editable, reinterpret_cast<gpointer>(on_command_insert),
                                      nullptr);
}

void pack(GtkWidget *box, GtkWidget *child, gboolean expand, gboolean fill, guint padding) {
    gtk_box_pack_start(GTK_BOX(box), child, expand, fill, padding);
    gtk_widget_show(child);
}

// text is a message of the catalogs.
void pack_heading(GtkWidget *box, const char *text) {
    GtkWidget *label = gtk_label_new(_(text));
    gtk_misc_set_alignment(GTK_MISC(label), 0, 0);
    pack(box, label, TRUE, TRUE, 3);
}

// The week menu's name of entry k (1 Sunday ... 7 Monday): the catalog's
// where it has one, so that the names go with the dialog's language, else
// the locale's, which the record carries.
std::string weekday_label(const settings_record &s, int k) {
    static const char *const english[7] = {
        NC_("week start", "Sunday"),   NC_("week start", "Saturday"),  NC_("week start", "Friday"),
        NC_("week start", "Thursday"), NC_("week start", "Wednesday"), NC_("week start", "Tuesday"),
        NC_("week start", "Monday")};
    const char *name = english[k - 1];
    const char *translated = g_dpgettext2(GETTEXT_PACKAGE, "week start", name);
    return strcmp(translated, name) != 0 ? translated : s.weekday_names[k - 1];
}

void pack_separator(GtkWidget *box) { pack(box, gtk_hseparator_new(), FALSE, TRUE, 5); }

// Each radio button carries its value; its "clicked" sets the field and
// applies it at once.
int button_value(GtkButton *button) {
    return GPOINTER_TO_INT(g_object_get_data(G_OBJECT(button), "value"));
}

void on_icon_clicked(GtkButton *button, dialog_state *state) {
    state->settings.icon_kind = button_value(button);
    state->apply(settings_icon);
}

void on_language_clicked(GtkButton *button, dialog_state *state) {
    state->settings.language = button_value(button);
    state->apply(settings_language);
}

// Taken on "save", with the week start and the adjustment.
void on_hijri_clicked(GtkButton *button, dialog_state *state) {
    state->settings.hijri = button_value(button);
}

void on_holidays_clicked(GtkButton *button, dialog_state *state) {
    state->settings.holidays = button_value(button);
}

// One radio group in a row of its own, its labels messages of the catalogs
// in the context "settings" (NC_). The handlers are connected before the
// current button is made active: activating it emits "clicked" on the button
// it replaces and then on itself, which leaves the field as it was.
void pack_radio_row(GtkWidget *box, const char *const *labels, int count, GCallback on_clicked,
                    dialog_state *state, int current) {
    GtkWidget *row = gtk_hbox_new(FALSE, 10);
    gtk_container_set_border_width(GTK_CONTAINER(row), 0);
    GSList *group = nullptr;
    for (int value = 0; value < count; ++value) {
        GtkWidget *button = gtk_radio_button_new_with_label(
            group, g_dpgettext2(GETTEXT_PACKAGE, "settings", labels[value]));
        group = gtk_radio_button_get_group(GTK_RADIO_BUTTON(button));
        g_object_set_data(G_OBJECT(button), "value", GINT_TO_POINTER(value));
        g_signal_connect(button, "clicked", on_clicked, state);
        if (current == value) gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(button), TRUE);
        pack(row, button, TRUE, TRUE, 0);
    }
    pack(box, row, TRUE, TRUE, 3);
}

GtkWidget *make_button(GtkWidget *box, const char *label, gboolean fill) {
    GtkWidget *button = gtk_button_new_with_label(_(label));
    pack(box, button, TRUE, fill, 2);
    return button;
}

}  // namespace

std::string command_for_entry(const char *command) {
    if (const char *charset = legacy_charset()) {
        g_text converted(g_convert(command, -1, "UTF-8", charset, nullptr, nullptr, nullptr));
        if (converted) return converted.get();
    }
    g_text valid(g_utf8_make_valid(command, -1));
    return valid.get();
}

std::string command_from_entry(const char *text) {
    const char *charset = legacy_charset();
    if (!charset) return text;
    g_text converted(
        g_convert_with_fallback(text, -1, charset, "UTF-8", "?", nullptr, nullptr, nullptr));
    return converted ? converted.get() : text;
}

// Runs only when the user edits: the command keeps its bytes until then.
// The insert handler keeps the text within the command, so the cut is only
// a last guard.
void on_app_command_changed(GtkEntry *entry, gpointer data) {
    auto *state = static_cast<dialog_state *>(data);
    std::string command = command_from_entry(gtk_entry_get_text(entry));
    copy_utf8_cut(state->settings.app_command, sizeof state->settings.app_command, command.data(),
                  command.size());
    state->apply(settings_command);
}

// Item i of the week menu is the week_start entry 7 - i.
void on_save_clicked(GtkButton *, gpointer data) {
    auto *state = static_cast<dialog_state *>(data);
    settings_record &s = state->settings;
    int item = gtk_option_menu_get_history(GTK_OPTION_MENU(state->option_menu));
    if (item >= 0 && item < 7) s.week_start = 7 - item;
    s.hijri_adjust = gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(state->hijri));
    s.reminders = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(state->reminders)) ? 1 : 0;
    s.default_reminder = gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(state->default_reminder));
    state->apply(settings_week_start | settings_hijri | settings_holidays | settings_reminders);
    save_settings(&s);
}

void forget_window(GtkWidget *widget, gpointer) {
    if (widget == ics_file_selection) ics_file_selection = nullptr;
    if (widget == settings_window) settings_window = nullptr;
}

// A name that does not fit ics_path is refused rather than cut: a cut path
// names another file. The old path and the settings file stay as they were.
// A name ending in '/' (a folder opened and OK pressed with no file name, or
// the folder selection) names that folder, kept without the slash.
void on_ics_chosen(GtkButton *, GtkFileSelection *file_selection) {
    auto *state =
        static_cast<dialog_state *>(g_object_get_data(G_OBJECT(file_selection), "dialog"));
    settings_record &s = state->settings;
    const gchar *chosen = gtk_file_selection_get_filename(file_selection);
    std::string name = chosen ? chosen : "";
    while (name.size() > 1 && name.back() == '/') name.pop_back();
    int fits = !name.empty() && name.size() < sizeof s.ics_path;
    if (fits)
        snprintf(s.ics_path, sizeof s.ics_path, "%s", name.c_str());
    else
        fprintf(stderr, "%s: calendar file name longer than %zu bytes refused\n", program_name,
                sizeof s.ics_path - 1);
    gtk_widget_destroy(GTK_WIDGET(file_selection));
    if (!fits) return;
    state->apply(settings_calendar);
    save_settings(&s);
}

namespace {

int is_directory(const char *path) {
    struct stat st {};
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

// The nearest existing folder at or above the one that holds path, with a
// trailing slash; empty when there is none.
std::string nearest_folder(std::string path) {
    for (;;) {
        size_t slash = path.rfind('/');
        if (slash == std::string::npos) return std::string();
        path.resize(slash + 1);
        if (is_directory(path.c_str())) return path;
        path.resize(slash);
    }
}

// Where the selection starts: inside the calendar folder, at the calendar
// file, or (choosing a folder, or when the file's folder is gone) in the
// nearest folder that holds it.
std::string selection_start(const char *ics_path, bool folder) {
    std::string path = ics_path;
    if (is_directory(path.c_str())) return path + "/";
    std::string holder = nearest_folder(path);
    size_t slash = path.rfind('/');
    bool in_its_folder = slash != std::string::npos && holder.size() == slash + 1;
    if ((!folder && in_its_folder) || holder.empty()) return path;
    return holder;
}

// The file selection belongs to the dialog: kept above it, and closed with
// it. To choose a folder it shows only the folder list: OK takes the folder
// it shows.
void run_ics_selection(dialog_state *state, bool folder) {
    // A second click while a selection is open brings it forward.
    if (ics_file_selection) {
        gtk_window_present(GTK_WINDOW(ics_file_selection));
        return;
    }
    ics_file_selection =
        gtk_file_selection_new(folder ? _("iCalendar folder") : _("iCalendar file"));
    GtkFileSelection *selection = GTK_FILE_SELECTION(ics_file_selection);
    hold_state(ics_file_selection, state);
    gtk_file_selection_set_filename(selection,
                                    selection_start(state->settings.ics_path, folder).c_str());
    if (folder) gtk_widget_hide(gtk_widget_get_parent(selection->file_list));
    g_signal_connect(selection->ok_button, "clicked", G_CALLBACK(on_ics_chosen), selection);
    g_signal_connect(ics_file_selection, "destroy", G_CALLBACK(forget_window), nullptr);
    g_signal_connect_swapped(selection->cancel_button, "clicked", G_CALLBACK(gtk_widget_destroy),
                             ics_file_selection);
    if (settings_window) {
        gtk_window_set_transient_for(GTK_WINDOW(ics_file_selection), GTK_WINDOW(settings_window));
        gtk_window_set_destroy_with_parent(GTK_WINDOW(ics_file_selection), TRUE);
    }
    gtk_window_set_position(GTK_WINDOW(ics_file_selection), GTK_WIN_POS_MOUSE);
    gtk_widget_show(ics_file_selection);
}

}  // namespace

void on_change_ics_clicked(GtkButton *, gpointer data) {
    run_ics_selection(static_cast<dialog_state *>(data), false);
}

void on_change_ics_folder_clicked(GtkButton *, gpointer data) {
    run_ics_selection(static_cast<dialog_state *>(data), true);
}

void open_settings_dialog(const settings_record &current, settings_applied_fn applied) {
    // One dialog at a time: another click brings the open one forward.
    if (settings_window) {
        gtk_window_present(GTK_WINDOW(settings_window));
        return;
    }
    GtkWidget *window = settings_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    auto *state = new dialog_state{current, applied};
    hold_state(window, state);
    const settings_record &s = state->settings;
    gtk_window_set_policy(GTK_WINDOW(window), FALSE, FALSE, FALSE);
    g_signal_connect(window, "destroy", G_CALLBACK(forget_window), nullptr);
    char title[64];
    snprintf(title, sizeof title, "%s %s", program_name, dayspinner_version);
    gtk_window_set_title(GTK_WINDOW(window), title);
    gtk_container_set_border_width(GTK_CONTAINER(window), 0);
    GtkWidget *box = gtk_vbox_new(FALSE, 0);
    gtk_container_add(GTK_CONTAINER(window), box);
    gtk_widget_show(box);

    static const char *const icon_labels[] = {NC_("settings", "Evolution"),
                                              NC_("settings", "Mozilla"), NC_("settings", "Other")};
    // The settings file's words, shown as labels.
    static const char *const language_labels[language_count] = {
        NC_("settings", "default"), NC_("settings", "farsi"), NC_("settings", "dari"),
        NC_("settings", "arabic")};
    static_assert(std::size(language_labels) == std::size(language_words));

    pack_heading(box, N_("Application icon"));
    pack_radio_row(box, icon_labels, 3, G_CALLBACK(on_icon_clicked), state, s.icon_kind);
    pack_separator(box);

    pack_heading(box, N_("Application command"));
    GtkWidget *entry = gtk_entry_new_with_max_length(entry_max_chars);
    gtk_entry_set_text(GTK_ENTRY(entry), command_for_entry(s.app_command).c_str());
    g_signal_connect(entry, "insert-text", G_CALLBACK(on_command_insert), nullptr);
    g_signal_connect(entry, "changed", G_CALLBACK(on_app_command_changed), state);
    pack(box, entry, TRUE, TRUE, 3);
    pack_separator(box);

    pack_heading(box, N_("Language"));
    pack_radio_row(box, language_labels, language_count, G_CALLBACK(on_language_clicked), state,
                   s.language);
    pack_separator(box);

    // Items Monday first, Sunday last: entries 7 down to 1, so item i is
    // entry 7 - i. A week_start outside 1..7 (0 acts as Monday) leaves the
    // menu on its first item.
    pack_heading(box, N_("Week starts"));
    GtkWidget *option_menu = gtk_option_menu_new();
    GtkWidget *menu = gtk_menu_new();
    for (int k = 7; k >= 1; --k) {
        GtkWidget *item = gtk_menu_item_new_with_label(weekday_label(s, k).c_str());
        gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
        gtk_widget_show(item);
    }
    if (s.week_start >= 1 && s.week_start <= 7)
        gtk_menu_set_active(GTK_MENU(menu), static_cast<guint>(7 - s.week_start));
    gtk_option_menu_set_menu(GTK_OPTION_MENU(option_menu), menu);
    pack(box, option_menu, TRUE, TRUE, 5);
    state->option_menu = option_menu;
    pack_separator(box);

    // Days every Islamic date moves later, where the month begins with the
    // local sighting of the crescent rather than the computed calendar.
    pack_heading(box, N_("Hijri adjustment"));
    state->hijri = gtk_spin_button_new_with_range(-2, 2, 1);
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(state->hijri), s.hijri_adjust);
    pack(box, state->hijri, TRUE, TRUE, 5);
    pack_separator(box);

    static const char *const hijri_labels[] = {NC_("settings", "Umm al-Qura"),
                                               NC_("settings", "Iran")};
    static const char *const holiday_labels[] = {NC_("settings", "none"), NC_("settings", "Iran")};
    pack_heading(box, N_("Hijri calendar"));
    pack_radio_row(box, hijri_labels, 2, G_CALLBACK(on_hijri_clicked), state, s.hijri);
    pack_separator(box);
    pack_heading(box, N_("Holidays"));
    pack_radio_row(box, holiday_labels, 2, G_CALLBACK(on_holidays_clicked), state, s.holidays);
    pack_separator(box);

    // The desktop notifications of the events' alarms, and the minutes before
    // the start for events without one (0: none; a value out of range shows 0).
    state->reminders = gtk_check_button_new_with_label(_("Reminders"));
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(state->reminders), s.reminders != 0);
    pack(box, state->reminders, TRUE, TRUE, 3);
    pack_heading(box, N_("Default reminder, minutes before the start (0: none)"));
    state->default_reminder = gtk_spin_button_new_with_range(0, default_reminder_max, 1);
    bool in_range = s.default_reminder >= 1 && s.default_reminder <= default_reminder_max;
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(state->default_reminder),
                              in_range ? s.default_reminder : 0);
    pack(box, state->default_reminder, TRUE, TRUE, 5);
    pack_separator(box);

    GtkWidget *change = make_button(box, N_("change iCalendar file"), TRUE);
    GtkWidget *change_folder = make_button(box, N_("change iCalendar folder"), TRUE);
    GtkWidget *save = make_button(box, N_("save"), FALSE);
    GtkWidget *close = make_button(box, N_("close"), TRUE);
    g_signal_connect(change, "clicked", G_CALLBACK(on_change_ics_clicked), state);
    g_signal_connect(change_folder, "clicked", G_CALLBACK(on_change_ics_folder_clicked), state);
    g_signal_connect(save, "clicked", G_CALLBACK(on_save_clicked), state);
    g_signal_connect_swapped(close, "clicked", G_CALLBACK(gtk_widget_destroy), window);

    gtk_widget_show(window);
}
