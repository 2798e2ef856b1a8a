// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// A throw-away HOME and the settings fields of app_state reset between tests.
#pragma once

#include <string>

struct temp_home {
    std::string dir;
    std::string settings;  // dir + "/.dayspinnerrc"
    temp_home();
    ~temp_home();
    temp_home(const temp_home &) = delete;
    temp_home &operator=(const temp_home &) = delete;
};

void reset_settings_state();
std::string read_file(const std::string &path);
void write_file(const std::string &path, const std::string &text);
bool file_exists(const std::string &path);
int count_entries(const std::string &dir);  // directory entries other than . and ..
