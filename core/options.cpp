// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The command line, the usage text and the start-up banners.
#include "core/core.h"
#include "core/state.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

void print_usage() {
    std::printf("%s %s\n", program_name, get_version());
    std::fputs("\nOptions:", stdout);
    std::fputs("\n -h  --help\n   Show summary of options.", stdout);
    std::fputs("\n -v  --version\n   Show version of program.", stdout);
    std::fputs("\n -d  --debug\n   Show debugging info.", stdout);
    std::fputs("\n -f  --farsi\n   Show months and numbers in farsi.", stdout);
    std::fputs("\n -p  --persian\n   Changes to persian calendar.", stdout);
    std::fputs("\n\nUsage: \nLeft and right arrow or mousewheel change month.\n", stdout);
    std::fputs("Middle mouseclick goes back to current month.\n", stdout);
    std::fputs("Right mouseclick opens dayview.\nClick on Moon to toggle moonphase-view on/off\n",
               stdout);
    std::fputs("Click on screwdriver to open settings menu\n"
               "Click on 'G' to toggle between Gregorian, Persian and Islamic calendar\n",
               stdout);
    std::fputs("Doubleclick evolution/mozilla icon to start application\n"
               "Click on blue arrow to show/hide buttons\n",
               stdout);
    std::fputs("Leftclick a day to highlight for converting between calendars\n", stdout);
}

// Whole-argument matches only: "-vx", "--farsi=1", "-" and "" match nothing.
static bool is_option(const char *arg, const char *long_form, const char *short_form) {
    return std::strcmp(arg, long_form) == 0 || std::strcmp(arg, short_form) == 0;
}

void parse_options(int argc, char **argv) {
    for (int i = 1; i < argc; i++) {
        const char *arg = argv[i];
        if (is_option(arg, "--version", "-v")) {
            std::printf("%s %s\n", program_name, get_version());
            std::exit(1);
        } else if (is_option(arg, "--help", "-h")) {
            print_usage();
            std::exit(1);
        } else if (is_option(arg, "--farsi", "-f")) {
            set_language(1);
        } else if (is_option(arg, "--persian", "-p")) {
            app_state.calendar_kind = 1;
        } else if (is_option(arg, "--debug", "-d")) {
            set_debug_level(1);
        } else {
            print_usage();
            std::exit(1);
        }
    }
}

void print_banners() {
    if (get_debug_level() != 0)
        std::printf("debugging mode:\nstarting %s version %s\n", program_name, get_version());
    if (get_debug_level() != 0) std::printf("using libical version %s\n", "3.0");
    // The tile may run for days; the banners should not wait in a pipe's buffer.
    std::fflush(stdout);
}
