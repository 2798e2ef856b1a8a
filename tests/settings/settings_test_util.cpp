// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
#include "tests/settings/settings_test_util.h"

#include "core/state.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

temp_home::temp_home() {
    char pattern[] = "/tmp/settings-home-XXXXXX";
    dir = mkdtemp(pattern);
    settings = dir + "/.dayspinnerrc";
    setenv("HOME", dir.c_str(), 1);
}

temp_home::~temp_home() {
    std::string command = "rm -rf '" + dir + "'";
    if (system(command.c_str()) != 0) {
        // Leftovers in /tmp are harmless.
    }
}

void reset_settings_state() {
    app_state.farsi = 0;
    app_state.icon_kind = 0;
    app_state.week_start = 0;
    app_state.debug_level = 0;
    memset(app_state.app_command, 0, sizeof app_state.app_command);
    memset(app_state.ics_path, 0, sizeof app_state.ics_path);
    memset(app_state.settings_path, 0, sizeof app_state.settings_path);
    memset(app_state.weekday_names, 0, sizeof app_state.weekday_names);
}

std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void write_file(const std::string &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

bool file_exists(const std::string &path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

int count_entries(const std::string &dir) {
    DIR *d = opendir(dir.c_str());
    if (!d) return -1;
    int n = 0;
    while (dirent *e = readdir(d))
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) ++n;
    closedir(d);
    return n;
}
