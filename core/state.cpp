// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
#include "core/state.h"

#include "core/version.h"

app_state_record app_state;

const char *get_version() { return dayspinner_version; }
int get_debug_level() { return app_state.debug_level; }
void set_debug_level(int level) { app_state.debug_level = level; }
int get_farsi() { return app_state.farsi; }
void set_farsi(int value) { app_state.farsi = value; }
int get_icon_kind() { return app_state.icon_kind; }
void set_icon_kind(int value) { app_state.icon_kind = value; }
int get_week_start() { return app_state.week_start; }
char *get_app_command() { return app_state.app_command; }
char *get_ics_path() { return app_state.ics_path; }
