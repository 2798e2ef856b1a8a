// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
#include "core/language.h"

#include <gtk/gtk.h>
#include <libintl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

// glibc's count of catalog changes: a new value makes gettext forget the
// translations it found, which it does not do when only LANGUAGE changes.
extern "C" int _nl_msg_cat_cntr;

namespace {

bool is_set(const char *value) { return value && value[0] != '\0'; }

bool is_c_locale(const char *name) {
    return std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0;
}

// The catalog of one locale name ("ll_TT.codeset@modifier"), by its language.
program_language catalog_of(const char *name, std::size_t length) {
    std::size_t ll = std::strcspn(name, "_.@:");
    if (ll > length) ll = length;
    if (ll == 2 && std::strncmp(name, "fa", 2) == 0) return program_farsi;
    if (ll == 2 && std::strncmp(name, "ar", 2) == 0) return program_arabic;
    return program_english;
}

const char *const catalog_names[] = {"", "fa", "ar"};

struct user_setting {
    bool known = false;
    bool language_set = false;
    std::string language;  // LANGUAGE as the user started the program
    std::string messages;  // the messages locale gtk_init set
};
user_setting user;
program_language current = program_english;

language_environment environment_now() {
    language_environment env;
    env.language = user.language_set ? user.language.c_str() : nullptr;
    env.lc_all = std::getenv("LC_ALL");
    env.lc_messages = std::getenv("LC_MESSAGES");
    env.lang = std::getenv("LANG");
    return env;
}

// The catalogs beside the installed program (the folder its own prefix
// gives), else where the build's prefix puts them.
std::string installed_catalogs() {
    char program[4096];
    ssize_t n = readlink("/proc/self/exe", program, sizeof program - 1);
    if (n > 0) {
        std::string path(program, static_cast<std::size_t>(n));
        std::string dir = path.substr(0, path.rfind('/') + 1) + PROGRAM_TO_LOCALEDIR;
        struct stat st {};
        if (stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return dir;
    }
    return LOCALEDIR;
}

void restore_user_language() {
    if (user.language_set)
        setenv("LANGUAGE", user.language.c_str(), 1);
    else
        unsetenv("LANGUAGE");
}

}  // namespace

program_language choose_program_language(int face_language, const language_environment &env) {
    if (face_language == 1 || face_language == 2) return program_farsi;
    if (face_language == 3) return program_arabic;
    const char *locale = nullptr;
    for (const char *value : {env.lc_all, env.lc_messages, env.lang})
        if (!locale && is_set(value)) locale = value;
    if (!locale || is_c_locale(locale)) return program_english;
    if (!is_set(env.language)) return catalog_of(locale, std::strlen(locale));
    for (const char *entry = env.language; *entry;) {
        std::size_t length = std::strcspn(entry, ":");
        std::string name(entry, length);
        if (is_c_locale(name.c_str())) break;
        if (program_language found = catalog_of(entry, length)) return found;
        entry += length;
        if (*entry == ':') ++entry;
    }
    return program_english;
}

bool is_right_to_left(program_language language) {
    return language == program_farsi || language == program_arabic;
}

void apply_program_language(int face_language) {
    if (!user.known) {
        user.known = true;
        const char *language = std::getenv("LANGUAGE");
        user.language_set = language != nullptr;
        if (language) user.language = language;
        user.messages = std::setlocale(LC_MESSAGES, nullptr);
        const char *dir = std::getenv("DAYSPINNER_LOCALEDIR");
        bindtextdomain(GETTEXT_PACKAGE, is_set(dir) ? dir : installed_catalogs().c_str());
        bind_textdomain_codeset(GETTEXT_PACKAGE, "UTF-8");
    }
    current = choose_program_language(face_language, environment_now());
    if (current == program_english) {
        restore_user_language();
        std::setlocale(LC_MESSAGES, user.messages.c_str());
    } else {
        setenv("LANGUAGE", catalog_names[current], 1);
        if (is_c_locale(user.messages.c_str())) std::setlocale(LC_MESSAGES, "C.UTF-8");
    }
    ++_nl_msg_cat_cntr;
    // A catalog that cannot be found (an uninstalled tile, a package without
    // its translations) would leave English words in a right-to-left window
    // with Farsi or Arabic digits: speak English throughout instead. A
    // catalog found answers the empty msgid with its header.
    if (current != program_english && *dgettext(GETTEXT_PACKAGE, "") == '\0') {
        current = program_english;
        restore_user_language();
        std::setlocale(LC_MESSAGES, user.messages.c_str());
        ++_nl_msg_cat_cntr;
    }
}

program_language current_program_language() { return current; }
bool program_is_right_to_left() { return is_right_to_left(current); }

void set_window_direction() {
    gtk_widget_set_default_direction(program_is_right_to_left() ? GTK_TEXT_DIR_RTL
                                                                : GTK_TEXT_DIR_LTR);
}

int system_with_user_language(const char *line) {
    if (!user.known || current == program_english) return std::system(line);
    restore_user_language();
    int status = std::system(line);
    setenv("LANGUAGE", catalog_names[current], 1);
    return status;
}
