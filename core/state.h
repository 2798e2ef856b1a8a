// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Process-wide state of the tile: one record, owned by core, which hands
// the other subsystems the values they need and takes back their results.
#pragma once

#include <X11/Xlib.h>
#include <libical/ical.h>

#include <cstdint>

#include "version.h"

struct app_state_record {
    // Face and navigation.
    int calendar_kind = 0;           // 0 Gregorian, 1 Persian, 2 Islamic
    int month_offset = 0;            // months from the current month to the displayed one
    int moon_view = 0;               // 1: the grid shows moon phases
    int buttons_shown = 1;           // 1: the button bar is shown and reacts
    icaltimetype today{};            // displayed month in the active calendar, today's day kept
    icaltimetype today_gregorian{};  // the real date at the last refresh
    icaltimetype highlight_date{};   // highlighted Gregorian day, or the null time
    icaltimetype last_face_date{};   // `today` at the last whole repaint
    int launch_armed = 0;            // 1: first click of a double click seen
    uint64_t launch_time = 0;        // X server time of that click, ms

    // Settings.
    int language = 0;                // LANG: 0 default (Latin), 1 farsi, 2 dari, 3 arabic
    int icon_kind = 0;               // 0 mail-and-calendar, 1 browser, 2 other
    int week_start = 0;              // STARTOFWEEK: 1 Sunday ... 7 Monday, 0 acts as 7
    int hijri_adjust = 0;            // HIJRIADJUST: days every Islamic date moves later
    int hijri = 0;                   // HIJRI: the Islamic months, 0 Umm al-Qura, 1 Iran
    int holidays = 0;                // HOLIDAYS: 0 none, 1 Iran's holidays and Fridays
    int debug_level = 0;             // 1: debugging output
    int reminders = 1;               // REMINDERS: 1 the events' alarms remind
    int default_reminder = 0;        // DEFAULTREMINDER: minutes before a timed start, 0 none
    char app_command[250] = {};      // command of the application button
    char ics_path[256] = {};         // the iCalendar file
    char settings_path[256] = {};    // the settings file
    char weekday_names[7][15] = {};  // entry k (1 Sunday ... 7 Monday) at index k - 1
};

extern app_state_record app_state;

const char *get_version();
int get_debug_level();
void set_debug_level(int level);
void set_language(int value);
void set_icon_kind(int value);
char *get_app_command();  // the 250-byte storage itself
char *get_ics_path();     // the 256-byte storage itself

struct settings_record;
// The settings fields of app_state as a settings record, and back: every
// field, or only the parts (settings_part) that the dialog applies.
settings_record settings_of_state();
void apply_settings(const settings_record &s, unsigned parts);
void load_state_settings();  // at start: load_settings into app_state
