// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// A throw-away HOME and the settings record the tests load, save and open
// the dialog on.
#pragma once

#include "settings/settings.h"

#include <string>

struct temp_home {
    std::string dir;
    std::string settings;  // dir + "/.dayspinnerrc"
    temp_home();
    ~temp_home();
    temp_home(const temp_home &) = delete;
    temp_home &operator=(const temp_home &) = delete;
};

extern settings_record settings;
void reset_settings_state();
// The dialog's `applied`: takes the parts it applies into settings.
void copy_applied(const settings_record &s, unsigned parts);
std::string read_file(const std::string &path);
void write_file(const std::string &path, const std::string &text);
bool file_exists(const std::string &path);
int count_entries(const std::string &dir);  // directory entries other than . and ..
