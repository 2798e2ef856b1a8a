// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
#include "tests/settings/settings_test_util.h"

#include "settings/settings.h"

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

settings_record settings;

void reset_settings_state() { settings = settings_record(); }

void copy_applied(const settings_record &s, unsigned parts) {
    copy_settings_parts(settings, s, parts);
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
