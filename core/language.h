// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The language of the program's windows (the settings dialog, the day view
// and the holiday names): English, or one of the catalogs of the text domain
// GETTEXT_PACKAGE.
#pragma once

// Values passed on as plain ints, e.g. to choose the digits of a window.
enum program_language : int { program_english = 0, program_farsi = 1, program_arabic = 2 };

// The environment variables that choose gettext's catalog; null or "" when unset.
struct language_environment {
    const char *language = nullptr;  // LANGUAGE, a colon-separated list
    const char *lc_all = nullptr;
    const char *lc_messages = nullptr;
    const char *lang = nullptr;
};

// The face's language decides where it names one: farsi (1) and dari (2)
// take the Farsi catalog, arabic (3) the Arabic one. The default face (0, or
// any other value) leaves it to the environment as gettext reads it: the
// locale is the first of LC_ALL, LC_MESSAGES and LANG that is set; under the
// C or POSIX locale, or none, the program is English; otherwise LANGUAGE,
// when set, replaces the locale with its list, whose first entry of a
// language with a catalog (fa, ar) wins, and English when none has one.
program_language choose_program_language(int face_language, const language_environment &env);

bool is_right_to_left(program_language language);

// Binds the text domain at the first call (to DAYSPINNER_LOCALEDIR when set,
// else the installed catalogs, read as UTF-8), then makes gettext speak the
// language chosen for the face's language and the user's environment. Call
// it after the locale is set (gtk_init) and whenever the face's language
// changes. A forced language sets LANGUAGE, and, under the C or POSIX locale
// (where gettext ignores LANGUAGE), the messages category to C.UTF-8; the
// user's own LANGUAGE and messages locale come back when the environment
// decides again.
void apply_program_language(int face_language);

// The language the last apply_program_language chose (English before any).
program_language current_program_language();
bool program_is_right_to_left();

// Makes the default direction of GTK+ widgets, which each takes when it is
// created, that of the program language: call it before building a window.
void set_window_direction();

// Runs a command line through the shell as std::system does, with the
// user's own LANGUAGE rather than the one the program set for itself.
int system_with_user_language(const char *line);
