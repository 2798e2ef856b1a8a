// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The settings file and the settings dialog, over a plain settings record.
#pragma once

#include <cstddef>

// The face's languages, as LANG writes them: index 0 default (Latin letters),
// 1 farsi, 2 dari, 3 arabic.
constexpr int language_count = 4;
constexpr const char *language_words[language_count] = {"default", "farsi", "dari", "arabic"};

struct settings_record {
    int language = 0;                // LANG: 0 default (Latin), 1 farsi, 2 dari, 3 arabic
    int icon_kind = 0;               // 0 mail-and-calendar, 1 browser, 2 other
    int week_start = 0;              // STARTOFWEEK: 1 Sunday ... 7 Monday, 0 acts as 7
    int hijri_adjust = 0;            // HIJRIADJUST: -2 to 2 days the Islamic dates move later
    int hijri = 0;                   // HIJRI: 0 ummalqura, 1 iran (the Islamic months)
    int holidays = 0;                // HOLIDAYS: 0 none, 1 iran
    int reminders = 1;               // REMINDERS: 1 on, 0 off (the alarms' notifications)
    int default_reminder = 0;        // DEFAULTREMINDER: minutes before the start, 0 none
    int debug_level = 0;             // 1: a save says so on standard output
    char app_command[250] = {};      // command of the application button
    char ics_path[256] = {};         // the iCalendar file or folder
    char settings_path[256] = {};    // the settings file; empty when HOME is unusable
    char weekday_names[7][15] = {};  // entry k (1 Sunday ... 7 Monday) at index k - 1
};

// The groups of fields that the dialog applies, each at its own moment.
enum settings_part : unsigned {
    settings_icon = 1,
    settings_language = 2,
    settings_command = 4,
    settings_week_start = 8,
    settings_calendar = 16,
    settings_hijri = 32,  // the adjustment and the Islamic months
    settings_holidays = 64,
    settings_reminders = 128,  // reminders on or off and the default reminder
};

// A default reminder, for the events without an alarm of their own, is 1 to
// this many minutes (a day) before the start; any other value means none.
constexpr int default_reminder_max = 1440;

// Copies the fields of the named parts from `from` into `to`.
void copy_settings_parts(settings_record &to, const settings_record &from, unsigned parts);

// Fills settings_path and weekday_names, then reads the file into s, creating
// or rewriting it when it is missing or out of date. A file created under a
// locale of Iran's (territory IR in LC_ALL, LC_MESSAGES or LANG, the first one
// set) starts with Iran's Islamic months and holidays.
void load_settings(settings_record *s);
void save_settings(settings_record *s);

// The dialog works on a copy of `current` and hands every change to
// `applied` with the parts it applies: the icon, the language and the command
// at once, the week start, the Islamic calendar, the holidays and the reminders
// on "save", the calendar when it is chosen. Shows the dialog and returns; while one is open,
// brings that one forward instead.
using settings_applied_fn = void (*)(const settings_record &s, unsigned parts);
void open_settings_dialog(const settings_record &current, settings_applied_fn applied);

// Applies the key=value text of a settings file to s; returns 1 when it
// carries the current VERSION, 0 when the file is out of date.
int apply_settings_text(const char *text, settings_record *s);

// Writes the lines of the settings file from s (filling the defaults of an
// empty path or command into s first); 1 on success. On failure the old file
// is left as it was and one line has gone to standard error.
int write_settings_file(settings_record *s);

// 1 when the locale the environment names (LC_ALL, else LC_MESSAGES, else
// LANG, as "ll_TT.codeset@modifier") has the territory IR.
int locale_is_iranian(const char *lc_all, const char *lc_messages, const char *lang);

// Copies src into dst of dst_size bytes, cut so that no UTF-8 sequence is
// split; dst is always terminated.
void copy_utf8_cut(char *dst, size_t dst_size, const char *src, size_t src_len);
