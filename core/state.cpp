// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
#include "core/state.h"

#include "core/language.h"
#include "settings/settings.h"
#include "version.h"

#include <cstring>

app_state_record app_state;

const char *get_version() { return dayspinner_version; }
int get_debug_level() { return app_state.debug_level; }
void set_debug_level(int level) { app_state.debug_level = level; }
void set_language(int value) { app_state.language = value; }
void set_icon_kind(int value) { app_state.icon_kind = value; }
char *get_app_command() { return app_state.app_command; }
char *get_ics_path() { return app_state.ics_path; }

settings_record settings_of_state() {
    settings_record s;
    s.language = app_state.language;
    s.icon_kind = app_state.icon_kind;
    s.week_start = app_state.week_start;
    s.hijri_adjust = app_state.hijri_adjust;
    s.hijri = app_state.hijri;
    s.holidays = app_state.holidays;
    s.reminders = app_state.reminders;
    s.default_reminder = app_state.default_reminder;
    s.debug_level = app_state.debug_level;
    std::memcpy(s.app_command, app_state.app_command, sizeof s.app_command);
    std::memcpy(s.ics_path, app_state.ics_path, sizeof s.ics_path);
    std::memcpy(s.settings_path, app_state.settings_path, sizeof s.settings_path);
    std::memcpy(s.weekday_names, app_state.weekday_names, sizeof s.weekday_names);
    return s;
}

static void store_settings(const settings_record &s) {
    set_language(s.language);
    set_icon_kind(s.icon_kind);
    app_state.week_start = s.week_start;
    app_state.hijri_adjust = s.hijri_adjust;
    app_state.hijri = s.hijri;
    app_state.holidays = s.holidays;
    app_state.reminders = s.reminders;
    app_state.default_reminder = s.default_reminder;
    std::memcpy(app_state.app_command, s.app_command, sizeof s.app_command);
    std::memcpy(app_state.ics_path, s.ics_path, sizeof s.ics_path);
    std::memcpy(app_state.settings_path, s.settings_path, sizeof s.settings_path);
    std::memcpy(app_state.weekday_names, s.weekday_names, sizeof s.weekday_names);
}

void apply_settings(const settings_record &s, unsigned parts) {
    settings_record now = settings_of_state();
    copy_settings_parts(now, s, parts);
    store_settings(now);
    if (parts & settings_language) apply_program_language(app_state.language);
}

void load_state_settings() {
    settings_record s = settings_of_state();
    load_settings(&s);
    store_settings(s);
}
