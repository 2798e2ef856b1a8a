// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The settings dialog with real GTK+ widgets on the test X server. Each test
// opens the dialog, inspects and clicks its widgets, and finally destroys
// the window.
// gtest comes before Xlib, whose None macro would clash with its own.
#include <gtest/gtest.h>

#include "core/language.h"
#include "settings/settings.h"
#include "settings/settings_dialog.h"
#include "tests/settings/settings_test_util.h"

#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>

#include <sys/stat.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

bool gtk_ready = false;
constexpr const char *dialog_title = "Dayspinner 0.5.1";

GtkWidget *find_toplevel(const char *title) {
    GList *windows = gtk_window_list_toplevels();
    GtkWidget *found = nullptr;
    for (GList *w = windows; w; w = w->next) {
        const char *t = gtk_window_get_title(GTK_WINDOW(w->data));
        if (t && strcmp(t, title) == 0) found = GTK_WIDGET(w->data);
    }
    g_list_free(windows);
    return found;
}

std::vector<GtkWidget *> children_of(GtkWidget *container) {
    std::vector<GtkWidget *> result;
    GList *list = gtk_container_get_children(GTK_CONTAINER(container));
    for (GList *c = list; c; c = c->next) result.push_back(GTK_WIDGET(c->data));
    g_list_free(list);
    return result;
}

std::vector<GtkWidget *> dialog_rows(GtkWidget *window) {
    return children_of(gtk_bin_get_child(GTK_BIN(window)));
}

const char *button_label(GtkWidget *button) { return gtk_button_get_label(GTK_BUTTON(button)); }

std::string option_menu_text(GtkWidget *option_menu) {
    GtkWidget *label = gtk_bin_get_child(GTK_BIN(option_menu));
    return label && GTK_IS_LABEL(label) ? gtk_label_get_text(GTK_LABEL(label)) : "";
}

// Rows of the table, counted from 0.
enum row {
    icon_row = 1,
    command_row = 4,
    language_row = 7,
    week_row = 10,
    hijri_row = 13,
    hijri_months_row = 16,
    holidays_row = 19,
    reminders_row = 21,
    default_reminder_row = 23,
    change_row = 25,
    change_folder_row = 26,
    save_row = 27,
    close_row = 28
};

GtkWidget *radio(GtkWidget *window, int row_index, int button) {
    return children_of(dialog_rows(window)[row_index])[button];
}

bool is_active(GtkWidget *toggle) {
    return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(toggle));
}

// A key press delivered the way the X server's would be: to the toplevel,
// which hands it to its focus widget.
void type_key(GtkWidget *window, guint keyval) {
    GdkEvent *event = gdk_event_new(GDK_KEY_PRESS);
    event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
    event->key.send_event = TRUE;
    event->key.time = GDK_CURRENT_TIME;
    event->key.keyval = keyval;
    GdkKeymapKey *keys = nullptr;
    gint n_keys = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_default(), keyval, &keys, &n_keys)) {
        event->key.hardware_keycode = static_cast<guint16>(keys[0].keycode);
        g_free(keys);
    }
    gtk_main_do_event(event);
    gdk_event_free(event);
}

void pump() {
    while (gtk_events_pending()) gtk_main_iteration();
}

// Opens the dialog, runs step on it, and closes it if step left it open.
void run_dialog(const std::function<void(GtkWidget *)> &step) {
    open_settings_dialog(settings, copy_applied);
    GtkWidget *window = find_toplevel(dialog_title);
    ASSERT_NE(window, nullptr);
    step(window);
    if ((window = find_toplevel(dialog_title))) gtk_widget_destroy(window);
    pump();
    EXPECT_EQ(find_toplevel(dialog_title), nullptr);
}

std::function<void(GtkFileSelection *)> selection_step;

// step runs on the file selection that the next click_change opens.
void on_file_selection(std::function<void(GtkFileSelection *)> step) {
    selection_step = std::move(step);
}

// Clicks "change iCalendar file" or "folder", then runs the pending step.
void click_change(GtkWidget *button) {
    gtk_button_clicked(GTK_BUTTON(button));
    auto step = std::move(selection_step);
    selection_step = nullptr;
    EXPECT_NE(ics_file_selection, nullptr);
    if (step && ics_file_selection) step(GTK_FILE_SELECTION(ics_file_selection));
    pump();
}

class settings_dialog : public testing::Test {
  protected:
    void SetUp() override {
        if (!gtk_ready) GTEST_SKIP() << "no X display";
        reset_settings_state();
        testing::internal::CaptureStdout();
        load_settings(&settings);
        testing::internal::GetCapturedStdout();
        saved = read_file(home.settings);
    }
    temp_home home;
    std::string saved;  // the settings file before the dialog
};

TEST_F(settings_dialog, widget_tree_and_order) {
    run_dialog([](GtkWidget *window) {
        EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), "Dayspinner 0.5.1");
        EXPECT_FALSE(gtk_window_get_resizable(GTK_WINDOW(window)));
        EXPECT_EQ(gtk_container_get_border_width(GTK_CONTAINER(window)), 0u);
        GtkWidget *box = gtk_bin_get_child(GTK_BIN(window));
        ASSERT_TRUE(GTK_IS_VBOX(box));
        EXPECT_FALSE(gtk_box_get_homogeneous(GTK_BOX(box)));
        EXPECT_EQ(gtk_box_get_spacing(GTK_BOX(box)), 0);

        struct expected_row {
            GType type;
            const char *text;  // label or button text, or null
            gboolean expand, fill;
            guint padding;
        };
        const expected_row rows[] = {
            {GTK_TYPE_LABEL, "Application icon", TRUE, TRUE, 3},
            {GTK_TYPE_HBOX, nullptr, TRUE, TRUE, 3},
            {GTK_TYPE_HSEPARATOR, nullptr, FALSE, TRUE, 5},
            {GTK_TYPE_LABEL, "Application command", TRUE, TRUE, 3},
            {GTK_TYPE_ENTRY, nullptr, TRUE, TRUE, 3},
            {GTK_TYPE_HSEPARATOR, nullptr, FALSE, TRUE, 5},
            {GTK_TYPE_LABEL, "Language", TRUE, TRUE, 3},
            {GTK_TYPE_HBOX, nullptr, TRUE, TRUE, 3},
            {GTK_TYPE_HSEPARATOR, nullptr, FALSE, TRUE, 5},
            {GTK_TYPE_LABEL, "Week starts", TRUE, TRUE, 3},
            {GTK_TYPE_OPTION_MENU, nullptr, TRUE, TRUE, 5},
            {GTK_TYPE_HSEPARATOR, nullptr, FALSE, TRUE, 5},
            {GTK_TYPE_LABEL, "Hijri adjustment", TRUE, TRUE, 3},
            {GTK_TYPE_SPIN_BUTTON, nullptr, TRUE, TRUE, 5},
            {GTK_TYPE_HSEPARATOR, nullptr, FALSE, TRUE, 5},
            {GTK_TYPE_LABEL, "Hijri calendar", TRUE, TRUE, 3},
            {GTK_TYPE_HBOX, nullptr, TRUE, TRUE, 3},
            {GTK_TYPE_HSEPARATOR, nullptr, FALSE, TRUE, 5},
            {GTK_TYPE_LABEL, "Holidays", TRUE, TRUE, 3},
            {GTK_TYPE_HBOX, nullptr, TRUE, TRUE, 3},
            {GTK_TYPE_HSEPARATOR, nullptr, FALSE, TRUE, 5},
            {GTK_TYPE_CHECK_BUTTON, "Reminders", TRUE, TRUE, 3},
            {GTK_TYPE_LABEL, "Default reminder, minutes before the start (0: none)", TRUE, TRUE, 3},
            {GTK_TYPE_SPIN_BUTTON, nullptr, TRUE, TRUE, 5},
            {GTK_TYPE_HSEPARATOR, nullptr, FALSE, TRUE, 5},
            {GTK_TYPE_BUTTON, "change iCalendar file", TRUE, TRUE, 2},
            {GTK_TYPE_BUTTON, "change iCalendar folder", TRUE, TRUE, 2},
            {GTK_TYPE_BUTTON, "save", TRUE, FALSE, 2},
            {GTK_TYPE_BUTTON, "close", TRUE, TRUE, 2},
        };
        std::vector<GtkWidget *> children = children_of(box);
        ASSERT_EQ(children.size(), std::size(rows));
        for (size_t i = 0; i < std::size(rows); ++i) {
            GtkWidget *child = children[i];
            EXPECT_EQ(G_OBJECT_TYPE(child), rows[i].type) << "row " << i;
            EXPECT_TRUE(gtk_widget_get_visible(child)) << "row " << i;
            gboolean expand, fill;
            guint padding;
            GtkPackType pack_type;
            gtk_box_query_child_packing(GTK_BOX(box), child, &expand, &fill, &padding, &pack_type);
            EXPECT_EQ(expand, rows[i].expand) << "row " << i;
            EXPECT_EQ(fill, rows[i].fill) << "row " << i;
            EXPECT_EQ(padding, rows[i].padding) << "row " << i;
            EXPECT_EQ(pack_type, GTK_PACK_START) << "row " << i;
            if (rows[i].type == GTK_TYPE_LABEL) {
                EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(child)), rows[i].text);
                gfloat x, y;
                gtk_misc_get_alignment(GTK_MISC(child), &x, &y);
                EXPECT_EQ(x, 0.0f);
                EXPECT_EQ(y, 0.0f);
            } else if (g_type_is_a(rows[i].type, GTK_TYPE_BUTTON)) {
                EXPECT_STREQ(button_label(child), rows[i].text);
            }
        }

        const std::vector<std::vector<const char *>> groups = {
            {"Evolution", "Mozilla", "Other"},
            {"default", "farsi", "dari", "arabic"},
            {"Umm al-Qura", "Iran"},
            {"none", "Iran"}};
        const int group_rows[] = {icon_row, language_row, hijri_months_row, holidays_row};
        for (int g = 0; g < 4; ++g) {
            GtkWidget *row_box = children[group_rows[g]];
            EXPECT_EQ(gtk_box_get_spacing(GTK_BOX(row_box)), 10);
            EXPECT_FALSE(gtk_box_get_homogeneous(GTK_BOX(row_box)));
            std::vector<GtkWidget *> buttons = children_of(row_box);
            ASSERT_EQ(buttons.size(), groups[g].size());
            GSList *group = gtk_radio_button_get_group(GTK_RADIO_BUTTON(buttons[0]));
            for (size_t b = 0; b < buttons.size(); ++b) {
                ASSERT_TRUE(GTK_IS_RADIO_BUTTON(buttons[b]));
                EXPECT_STREQ(button_label(buttons[b]), groups[g][b]);
                EXPECT_EQ(gtk_radio_button_get_group(GTK_RADIO_BUTTON(buttons[b])), group);
                gboolean expand, fill;
                guint padding;
                GtkPackType pack_type;
                gtk_box_query_child_packing(GTK_BOX(row_box), buttons[b], &expand, &fill, &padding,
                                            &pack_type);
                EXPECT_TRUE(expand && fill && padding == 0);
            }
        }

        double low, high;
        gtk_spin_button_get_range(GTK_SPIN_BUTTON(children[default_reminder_row]), &low, &high);
        EXPECT_TRUE(low == 0 && high == 1440) << low << " " << high;
        EXPECT_EQ(gtk_entry_get_max_length(GTK_ENTRY(children[command_row])), 249);
        EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(children[command_row])), "evolution");

        GtkWidget *menu = gtk_option_menu_get_menu(GTK_OPTION_MENU(children[week_row]));
        std::vector<std::string> items;
        for (GtkWidget *item : children_of(menu)) {
            GtkWidget *label = gtk_bin_get_child(GTK_BIN(item));
            // The shown item lends its label to the option menu meanwhile.
            items.push_back(label ? gtk_label_get_text(GTK_LABEL(label))
                                  : option_menu_text(children[week_row]));
        }
        const std::vector<std::string> week = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                               "Friday", "Saturday", "Sunday"};
        EXPECT_EQ(items, week);
    });
}

TEST_F(settings_dialog, radio_groups_show_the_fields_and_leave_them_as_they_were) {
    for (int icon = 0; icon < 3; ++icon) {
        for (int language = 0; language < 4; ++language) {
            settings.icon_kind = icon;
            settings.language = language;
            run_dialog([&](GtkWidget *window) {
                for (int b = 0; b < 3; ++b)
                    EXPECT_EQ(is_active(radio(window, icon_row, b)), b == icon) << icon << b;
                for (int b = 0; b < 4; ++b)
                    EXPECT_EQ(is_active(radio(window, language_row, b)), b == language)
                        << language << b;
                EXPECT_EQ(settings.icon_kind, icon);
                EXPECT_EQ(settings.language, language);
            });
            EXPECT_EQ(settings.icon_kind, icon);
            EXPECT_EQ(settings.language, language);
        }
    }
    EXPECT_EQ(read_file(home.settings), saved);
}

TEST_F(settings_dialog, radio_clicks_apply_at_once_but_are_saved_only_on_save) {
    run_dialog([&](GtkWidget *window) {
        gtk_button_clicked(GTK_BUTTON(radio(window, language_row, 1)));
        gtk_button_clicked(GTK_BUTTON(radio(window, icon_row, 2)));
        EXPECT_EQ(settings.language, 1);
        EXPECT_EQ(settings.icon_kind, 2);
        gtk_button_clicked(GTK_BUTTON(radio(window, icon_row, 1)));
        EXPECT_EQ(settings.icon_kind, 1);
        gtk_button_clicked(GTK_BUTTON(dialog_rows(window)[close_row]));
    });
    EXPECT_EQ(settings.language, 1);
    EXPECT_EQ(read_file(home.settings), saved);  // still LANG=default
}

// The launch line holds the command and " &" in 250 bytes: typing stops at
// 247 bytes, whatever the characters.
TEST_F(settings_dialog, typing_changes_the_command_at_every_key_up_to_what_can_run) {
    settings.app_command[0] = '\0';
    run_dialog([](GtkWidget *window) {
        GtkWidget *entry = dialog_rows(window)[command_row];
        gtk_widget_grab_focus(entry);
        for (size_t typed = 1; typed <= 250; ++typed) {
            type_key(window, GDK_KEY_a + static_cast<guint>(typed % 26));
            size_t expected = typed <= 247 ? typed : 247;
            ASSERT_EQ(strlen(settings.app_command), expected) << "after key " << typed;
            EXPECT_EQ(g_utf8_strlen(gtk_entry_get_text(GTK_ENTRY(entry)), -1),
                      static_cast<glong>(expected));
        }
        EXPECT_EQ(settings.app_command[0], 'b');
        EXPECT_EQ(settings.app_command[246], 'n');  // key 247, 'a' + 247 % 26

        // Three bytes a sign: 82 signs (246 bytes) fit, the 83rd would not.
        std::string euros;
        for (int i = 0; i < 100; ++i) euros += "\xe2\x82\xac";
        gtk_entry_set_text(GTK_ENTRY(entry), euros.c_str());
        EXPECT_EQ(std::string(settings.app_command), euros.substr(0, 246));
        EXPECT_EQ(std::string(gtk_entry_get_text(GTK_ENTRY(entry))), euros.substr(0, 246));
        // Pasting into the middle keeps what fits and the text around it.
        gtk_entry_set_text(GTK_ENTRY(entry), "ab");
        gint position = 1;
        gtk_editable_insert_text(GTK_EDITABLE(entry), std::string(300, 'x').c_str(), 300,
                                 &position);
        EXPECT_EQ(std::string(settings.app_command), "a" + std::string(245, 'x') + "b");
    });
}

// Commands from the file of every length it holds are shown whole, and
// neither opening, closing nor saving the dialog changes them.
TEST_F(settings_dialog, a_long_command_survives_opening_closing_and_saving) {
    for (size_t length : {240u, 247u, 249u}) {
        std::string command = "sh -c 'touch \"" + home.dir + "/ran\"'; :";
        command += std::string(length - command.size(), 'x');
        write_file(home.settings, "APP=" + command + "\nVERSION=0.5.1\n");
        reset_settings_state();
        testing::internal::CaptureStdout();
        load_settings(&settings);
        testing::internal::GetCapturedStdout();
        ASSERT_EQ(std::string(settings.app_command), command);
        run_dialog([&](GtkWidget *window) {
            EXPECT_EQ(std::string(gtk_entry_get_text(GTK_ENTRY(dialog_rows(window)[command_row]))),
                      command);
            gtk_button_clicked(GTK_BUTTON(dialog_rows(window)[close_row]));
        });
        EXPECT_EQ(std::string(settings.app_command), command) << length;
        run_dialog([](GtkWidget *window) {
            gtk_button_clicked(GTK_BUTTON(dialog_rows(window)[save_row]));
        });
        EXPECT_NE(read_file(home.settings).find("\nAPP=" + command + "\n"), std::string::npos)
            << length;
    }
}

// Under a legacy 8-bit locale the command is shown converted, kept byte for
// byte when not edited, and an edit is stored in the locale's charset.
TEST_F(settings_dialog, koi8_r_command_round_trip) {
    std::string old_locale = setlocale(LC_ALL, nullptr);
    if (!setlocale(LC_ALL, "ru_RU.KOI8-R")) GTEST_SKIP() << "no ru_RU.KOI8-R locale";
    const std::string koi8 = "echo \xf0\xd2\xc9\xd7\xc5\xd4";  // echo Привет
    const std::string utf8 = "echo Привет";

    // Every byte and back: KOI8-R gives each of the 256 a character.
    for (int b = 1; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        std::string shown = command_for_entry(one.c_str());
        EXPECT_TRUE(g_utf8_validate(shown.c_str(), -1, nullptr)) << b;
        EXPECT_EQ(command_from_entry(shown.c_str()), one) << b;
    }
    EXPECT_EQ(command_for_entry(koi8.c_str()), utf8);
    EXPECT_EQ(command_from_entry("echo €"), "echo ?");  // no euro sign in KOI8-R

    snprintf(settings.app_command, sizeof settings.app_command, "%s", koi8.c_str());
    run_dialog([&](GtkWidget *window) {
        EXPECT_EQ(gtk_entry_get_text(GTK_ENTRY(dialog_rows(window)[command_row])), utf8);
        gtk_button_clicked(GTK_BUTTON(dialog_rows(window)[save_row]));
    });
    EXPECT_EQ(std::string(settings.app_command), koi8);
    EXPECT_NE(read_file(home.settings).find("\nAPP=" + koi8 + "\n"), std::string::npos);

    // One byte a letter: 247 Cyrillic letters fit, as many as Latin ones.
    run_dialog([&](GtkWidget *window) {
        GtkWidget *entry = dialog_rows(window)[command_row];
        gtk_entry_set_text(GTK_ENTRY(entry), "echo мир");
        EXPECT_EQ(std::string(settings.app_command), "echo \xcd\xc9\xd2");
        std::string letters;
        for (int i = 0; i < 250; ++i) letters += "ж";
        gtk_entry_set_text(GTK_ENTRY(entry), letters.c_str());
        EXPECT_EQ(std::string(settings.app_command), std::string(247, '\xd6'));
    });

    // Bytes that are not UTF-8 under a UTF-8 locale: shown replaced, kept.
    setlocale(LC_ALL, "C.UTF-8");
    snprintf(settings.app_command, sizeof settings.app_command, "%s", koi8.c_str());
    run_dialog([&](GtkWidget *window) {
        std::string shown = gtk_entry_get_text(GTK_ENTRY(dialog_rows(window)[command_row]));
        EXPECT_TRUE(g_utf8_validate(shown.c_str(), -1, nullptr));
        EXPECT_EQ(shown.rfind("echo ", 0), 0u);
    });
    EXPECT_EQ(std::string(settings.app_command), koi8);
    setlocale(LC_ALL, old_locale.c_str());
}

TEST_F(settings_dialog, save_maps_the_shown_weekday_back_and_writes_the_file) {
    settings.week_start = 1;
    run_dialog([&](GtkWidget *window) {
        GtkWidget *option_menu = dialog_rows(window)[week_row];
        EXPECT_EQ(option_menu_text(option_menu), "Sunday");
        EXPECT_EQ(gtk_option_menu_get_history(GTK_OPTION_MENU(option_menu)), 6);
        gtk_option_menu_set_history(GTK_OPTION_MENU(option_menu), 0);
        EXPECT_EQ(settings.week_start, 1);  // nothing applies before "save"
        gtk_button_clicked(GTK_BUTTON(radio(window, icon_row, 1)));
        gtk_button_clicked(GTK_BUTTON(dialog_rows(window)[save_row]));
        EXPECT_EQ(settings.week_start, 7);
        std::string written = read_file(home.settings);
        EXPECT_EQ(written, "ICS=" + home.dir +
                               "/evolution/local/Calendar/calendar.ics\n"
                               "APP=evolution\nICON=mozilla\nLANG=default\nVERSION=0.5.1\n"
                               "STARTOFWEEK=7\n");
        // The Hijri adjustment too applies at "save", and is written when not 0.
        gtk_spin_button_set_value(GTK_SPIN_BUTTON(dialog_rows(window)[hijri_row]), -2);
        EXPECT_EQ(settings.hijri_adjust, 0);
        gtk_option_menu_set_history(GTK_OPTION_MENU(option_menu), 3);
        gtk_button_clicked(GTK_BUTTON(dialog_rows(window)[save_row]));
        EXPECT_EQ(settings.week_start, 4);  // Thursday
        EXPECT_EQ(settings.hijri_adjust, -2);
        EXPECT_NE(read_file(home.settings).find("STARTOFWEEK=4\nHIJRIADJUST=-2\n"),
                  std::string::npos);
        // So do the Islamic months and the holidays.
        gtk_button_clicked(GTK_BUTTON(radio(window, hijri_months_row, 1)));
        gtk_button_clicked(GTK_BUTTON(radio(window, holidays_row, 1)));
        EXPECT_EQ(settings.hijri + settings.holidays, 0);
        gtk_button_clicked(GTK_BUTTON(dialog_rows(window)[save_row]));
        EXPECT_EQ(settings.hijri, 1);
        EXPECT_EQ(settings.holidays, 1);
        EXPECT_NE(read_file(home.settings).find("HIJRIADJUST=-2\nHIJRI=iran\nHOLIDAYS=iran\n"),
                  std::string::npos);
        // And the reminders.
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(dialog_rows(window)[reminders_row]), FALSE);
        gtk_spin_button_set_value(GTK_SPIN_BUTTON(dialog_rows(window)[default_reminder_row]), 30);
        EXPECT_TRUE(settings.reminders == 1 && settings.default_reminder == 0);
        gtk_button_clicked(GTK_BUTTON(dialog_rows(window)[save_row]));
        EXPECT_EQ(settings.reminders, 0);
        EXPECT_EQ(settings.default_reminder, 30);
        EXPECT_NE(
            read_file(home.settings).find("HOLIDAYS=iran\nREMINDERS=off\nDEFAULTREMINDER=30\n"),
            std::string::npos);
        EXPECT_NE(find_toplevel(dialog_title), nullptr);  // the dialog stays open
    });
}

// A default reminder out of range shows as none; opening and closing keeps both.
TEST_F(settings_dialog, reminders_show_the_fields) {
    const struct {
        int reminders, minutes, shown;
    } cases[] = {{1, 0, 0}, {0, 1440, 1440}, {1, 1441, 0}};
    for (const auto &c : cases) {
        settings.reminders = c.reminders;
        settings.default_reminder = c.minutes;
        run_dialog([&](GtkWidget *window) {
            EXPECT_EQ(is_active(dialog_rows(window)[reminders_row]), c.reminders != 0);
            EXPECT_EQ(gtk_spin_button_get_value_as_int(
                          GTK_SPIN_BUTTON(dialog_rows(window)[default_reminder_row])),
                      c.shown);
        });
        EXPECT_EQ(settings.reminders, c.reminders);
        EXPECT_EQ(settings.default_reminder, c.minutes);
    }
    EXPECT_EQ(read_file(home.settings), saved);
}

TEST_F(settings_dialog, week_start_outside_the_menu_shows_monday_and_stays) {
    for (int week_start : {0, 8, -1}) {
        settings.week_start = week_start;
        run_dialog([](GtkWidget *window) {
            EXPECT_EQ(option_menu_text(dialog_rows(window)[week_row]), "Monday");
        });
        EXPECT_EQ(settings.week_start, week_start);
    }
    EXPECT_EQ(read_file(home.settings), saved);
}

TEST_F(settings_dialog, choosing_a_calendar_file_saves_at_once_and_cancel_changes_nothing) {
    const std::string chosen = home.dir + "/chosen.ics";
    write_file(chosen, "");
    // The selection opens in the directory of the current file, which exists.
    for (const char *dir : {"/evolution", "/evolution/local", "/evolution/local/Calendar"})
        ASSERT_EQ(mkdir((home.dir + dir).c_str(), 0755), 0);
    const std::string old_ics = settings.ics_path;

    // Cancel, and a name that ics_path cannot hold: both keep the old path.
    std::string deep = home.dir + "/" + std::string(200, 'd');
    ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
    const std::string too_long = deep + "/" + std::string(100, 'f') + ".ics";
    write_file(too_long, "");
    testing::internal::CaptureStderr();
    run_dialog([&](GtkWidget *window) {
        on_file_selection([&](GtkFileSelection *selection) {
            EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(selection)), "iCalendar file");
            EXPECT_EQ(std::string(gtk_file_selection_get_filename(selection)), old_ics);
            gtk_file_selection_set_filename(selection, chosen.c_str());
            gtk_button_clicked(GTK_BUTTON(selection->cancel_button));
        });
        click_change(dialog_rows(window)[change_row]);
        EXPECT_EQ(ics_file_selection, nullptr);
        EXPECT_EQ(std::string(settings.ics_path), old_ics);

        on_file_selection([&](GtkFileSelection *selection) {
            gtk_file_selection_set_filename(selection, too_long.c_str());
            gtk_button_clicked(GTK_BUTTON(selection->ok_button));
        });
        click_change(dialog_rows(window)[change_row]);
        EXPECT_EQ(std::string(settings.ics_path), old_ics);
    });
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("refused"), std::string::npos) << err;
    EXPECT_EQ(read_file(home.settings), saved);

    // OK writes the file without "save"; a second click on the button while
    // the selection is open only brings it forward.
    run_dialog([&](GtkWidget *window) {
        GtkWidget *change = dialog_rows(window)[change_row];
        on_file_selection([&](GtkFileSelection *selection) {
            gtk_button_clicked(GTK_BUTTON(change));
            EXPECT_EQ(ics_file_selection, GTK_WIDGET(selection));
            gtk_file_selection_set_filename(selection, chosen.c_str());
            gtk_button_clicked(GTK_BUTTON(selection->ok_button));
        });
        click_change(change);
        EXPECT_EQ(ics_file_selection, nullptr);
        EXPECT_EQ(std::string(settings.ics_path), chosen);
        EXPECT_EQ(read_file(home.settings).rfind("ICS=" + chosen + "\n", 0), 0u);
    });
}

// A folder is chosen by the folder selection, which shows only folders and
// takes the one it shows, or by OK in the file selection with no file name.
TEST_F(settings_dialog, choosing_a_calendar_folder) {
    const std::string calendars = home.dir + "/calendars";
    const std::string work = calendars + "/work";
    ASSERT_EQ(mkdir(calendars.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(work.c_str(), 0755), 0);
    write_file(calendars + "/home.ics", "");
    snprintf(settings.ics_path, sizeof settings.ics_path, "%s/home.ics", calendars.c_str());

    run_dialog([&](GtkWidget *window) {
        // Folder selection, starting in the folder of the current file.
        on_file_selection([&](GtkFileSelection *selection) {
            EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(selection)), "iCalendar folder");
            EXPECT_FALSE(gtk_widget_get_visible(gtk_widget_get_parent(selection->file_list)));
            EXPECT_EQ(std::string(gtk_file_selection_get_filename(selection)), calendars);
            gtk_button_clicked(GTK_BUTTON(selection->ok_button));
        });
        click_change(dialog_rows(window)[change_folder_row]);
        EXPECT_EQ(std::string(settings.ics_path), calendars);
        EXPECT_EQ(read_file(home.settings).rfind("ICS=" + calendars + "\n", 0), 0u);

        // With a folder set the file selection starts inside it; OK with no
        // file name takes a folder.
        on_file_selection([&](GtkFileSelection *selection) {
            EXPECT_EQ(std::string(gtk_file_selection_get_filename(selection)), calendars);
            gtk_file_selection_set_filename(selection, (work + "/").c_str());
            gtk_button_clicked(GTK_BUTTON(selection->ok_button));
        });
        click_change(dialog_rows(window)[change_row]);
        EXPECT_EQ(std::string(settings.ics_path), work);
    });

    // A path whose folders are gone starts both in the nearest one left.
    snprintf(settings.ics_path, sizeof settings.ics_path, "%s/gone/away/x.ics", calendars.c_str());
    for (int row : {change_row, change_folder_row}) {
        run_dialog([&](GtkWidget *window) {
            on_file_selection([&](GtkFileSelection *selection) {
                EXPECT_EQ(std::string(gtk_file_selection_get_filename(selection)), calendars);
                gtk_button_clicked(GTK_BUTTON(selection->cancel_button));
            });
            click_change(dialog_rows(window)[row]);
        });
    }
}

// The file selection belongs to the dialog: kept above it, and closed with it.
TEST_F(settings_dialog, the_file_selection_goes_with_the_dialog) {
    const std::string old_ics = settings.ics_path;
    run_dialog([&](GtkWidget *window) {
        on_file_selection([&](GtkFileSelection *selection) {
            EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(selection)), GTK_WINDOW(window));
            gtk_widget_destroy(window);
            EXPECT_EQ(ics_file_selection, nullptr);
        });
        click_change(dialog_rows(window)[change_row]);
    });
    EXPECT_EQ(std::string(settings.ics_path), old_ics);
}

// One dialog at a time: opening it again brings the open one forward.
TEST_F(settings_dialog, close_closes_it_and_a_second_opening_brings_it_forward) {
    run_dialog([&](GtkWidget *window) {
        open_settings_dialog(settings, copy_applied);
        int dialogs = 0;
        GList *toplevels = gtk_window_list_toplevels();
        for (GList *w = toplevels; w; w = w->next)
            dialogs += w->data != window && gtk_window_get_title(GTK_WINDOW(w->data)) &&
                       strcmp(gtk_window_get_title(GTK_WINDOW(w->data)), dialog_title) == 0;
        g_list_free(toplevels);
        EXPECT_EQ(dialogs, 0);
        gtk_button_clicked(GTK_BUTTON(dialog_rows(window)[close_row]));
        EXPECT_EQ(find_toplevel(dialog_title), nullptr);
    });
    // A second dialog opens and closes the same way after the first.
    run_dialog(
        [](GtkWidget *window) { gtk_button_clicked(GTK_BUTTON(dialog_rows(window)[close_row])); });
}

// What a row shows: its label, button or week menu item, or the buttons of a radio row.
std::vector<std::string> row_texts(GtkWidget *row) {
    if (GTK_IS_LABEL(row)) return {gtk_label_get_text(GTK_LABEL(row))};
    if (GTK_IS_OPTION_MENU(row)) return {option_menu_text(row)};
    if (GTK_IS_BUTTON(row)) return {button_label(row)};
    std::vector<std::string> texts;
    if (GTK_IS_HBOX(row))
        for (GtkWidget *button : children_of(row)) texts.push_back(button_label(button));
    return texts;
}

// Under Farsi and Arabic every text of the dialog is the catalog's, and the
// dialog is laid out right to left; back in English it is as before.
TEST_F(settings_dialog, farsi_and_arabic_texts_right_to_left) {
    struct shown_text {
        int row, button;  // button -1: the row's own label or button
        const char *farsi, *arabic;
    };
    const shown_text texts[] = {
        {icon_row - 1, -1, "نقشک برنامه", "أيقونة التطبيق"},
        {icon_row, 2, "دیگر", "أخرى"},
        {language_row - 1, -1, "زبان", "اللغة"},
        {language_row, 0, "پیش‌فرض", "المبدئية"},
        {language_row, 3, "عربی", "العربية"},
        {hijri_months_row, 0, "ام‌القری", "أم القرى"},
        {holidays_row, 0, "هیچ‌کدام", "لا شيء"},
        {change_row, -1, "تغییر پروندهٔ iCalendar", "تغيير ملف iCalendar"},
        {save_row, -1, "ذخیره", "حفظ"},
        {close_row, -1, "بستن", "إغلاق"},
    };
    for (int face : {1, 3}) {
        apply_program_language(face);
        set_window_direction();
        run_dialog([&](GtkWidget *window) {
            EXPECT_EQ(gtk_widget_get_direction(window), GTK_TEXT_DIR_RTL);
            EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), dialog_title);
            for (const shown_text &t : texts) {
                GtkWidget *w =
                    t.button < 0 ? dialog_rows(window)[t.row] : radio(window, t.row, t.button);
                const char *text =
                    GTK_IS_LABEL(w) ? gtk_label_get_text(GTK_LABEL(w)) : button_label(w);
                EXPECT_STREQ(text, face == 1 ? t.farsi : t.arabic) << face << " " << t.row;
            }
            // Nothing is left in English: every text has letters outside ASCII.
            for (GtkWidget *row : dialog_rows(window)) {
                EXPECT_EQ(gtk_widget_get_direction(row), GTK_TEXT_DIR_RTL);
                for (const std::string &t : row_texts(row))
                    EXPECT_FALSE(g_str_is_ascii(t.c_str())) << face << " " << t;
            }
            on_file_selection([&](GtkFileSelection *selection) {
                EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(selection)),
                             face == 1 ? "پوشهٔ iCalendar" : "مجلد iCalendar");
                EXPECT_EQ(gtk_widget_get_direction(GTK_WIDGET(selection)), GTK_TEXT_DIR_RTL);
                gtk_button_clicked(GTK_BUTTON(selection->cancel_button));
            });
            click_change(dialog_rows(window)[change_folder_row]);
            // The week menu maps its translated names back as before.
            gtk_option_menu_set_history(GTK_OPTION_MENU(dialog_rows(window)[week_row]), 3);
            gtk_button_clicked(GTK_BUTTON(dialog_rows(window)[save_row]));
            EXPECT_EQ(settings.week_start, 4);
        });
        EXPECT_NE(read_file(home.settings).find("\nLANG=default\n"), std::string::npos);
    }
    apply_program_language(0);
    set_window_direction();
    run_dialog([](GtkWidget *window) {
        EXPECT_EQ(gtk_widget_get_direction(window), GTK_TEXT_DIR_LTR);
        EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(dialog_rows(window)[language_row - 1])),
                     "Language");
        EXPECT_EQ(option_menu_text(dialog_rows(window)[week_row]), "Thursday");
    });
}

}  // namespace

int main(int argc, char **argv) {
    testing::InitGoogleTest(&argc, argv);
    setenv("LC_ALL", "C.UTF-8", 1);  // English weekday names whatever the caller's locale
    gtk_ready = gtk_init_check(&argc, &argv);
    // Any GTK or GLib critical is a fault of the dialog.
    g_log_set_always_fatal(static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_ERROR));
    return RUN_ALL_TESTS();
}
