// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The program's language: which catalog the face's language and the
// environment choose, and that gettext then speaks it.
#include "core/language.h"

#include <gtest/gtest.h>

#include <glib/gi18n-lib.h>

#include <clocale>
#include <cstdlib>
#include <string>

namespace {

struct choice_row {
    int face;
    const char *language, *lc_all, *lc_messages, *lang;
    program_language expected;
};

const choice_row choices[] = {
    // A face language of its own decides, whatever the environment.
    {1, nullptr, nullptr, nullptr, nullptr, program_farsi},
    {2, "ar", "ar_EG.UTF-8", nullptr, nullptr, program_farsi},  // dari
    {3, nullptr, "fa_IR.UTF-8", nullptr, nullptr, program_arabic},
    {3, "de", "C", nullptr, nullptr, program_arabic},
    // The default face: the locale, first of LC_ALL, LC_MESSAGES, LANG.
    {0, nullptr, nullptr, nullptr, "fa_IR.UTF-8", program_farsi},
    {0, nullptr, nullptr, nullptr, "ar_SA.UTF-8@latn", program_arabic},
    {0, nullptr, nullptr, nullptr, "fa", program_farsi},
    {0, nullptr, nullptr, nullptr, "en_US.UTF-8", program_english},
    {0, nullptr, nullptr, nullptr, "far_XX", program_english},
    {0, nullptr, nullptr, "de_DE.UTF-8", "fa_IR.UTF-8", program_english},
    {0, nullptr, "en_GB.UTF-8", "fa_IR.UTF-8", "ar_EG.UTF-8", program_english},
    {0, nullptr, "", "", "fa_IR.UTF-8", program_farsi},             // empty counts as unset
    {7, nullptr, nullptr, nullptr, "ar_EG.UTF-8", program_arabic},  // acts as default
    // LANGUAGE replaces the locale, but not the C locale.
    {0, "ar:fa", nullptr, nullptr, "en_US.UTF-8", program_arabic},
    {0, "de:fa_IR", nullptr, nullptr, "en_US.UTF-8", program_farsi},
    {0, "en:fa", nullptr, nullptr, "en_US.UTF-8", program_farsi},  // there is no en catalog
    {0, "de", nullptr, nullptr, "fa_IR.UTF-8", program_english},
    {0, "C:fa", nullptr, nullptr, "en_US.UTF-8", program_english},
    {0, "", nullptr, nullptr, "ar_EG.UTF-8", program_arabic},
    {0, "fa", nullptr, nullptr, nullptr, program_english},
    {0, "fa", "POSIX", nullptr, "en_US.UTF-8", program_english},
    {0, "fa", nullptr, nullptr, "C", program_english},
    {0, "fa", nullptr, nullptr, "C.UTF-8", program_farsi},
};

TEST(program_language, choice_of_face_and_environment) {
    for (const choice_row &row : choices) {
        language_environment env;
        env.language = row.language;
        env.lc_all = row.lc_all;
        env.lc_messages = row.lc_messages;
        env.lang = row.lang;
        EXPECT_EQ(choose_program_language(row.face, env), row.expected)
            << row.face << " " << (row.language ? row.language : "-") << " "
            << (row.lc_all ? row.lc_all : "-") << " " << (row.lang ? row.lang : "-");
    }
    EXPECT_FALSE(is_right_to_left(program_english));
    EXPECT_TRUE(is_right_to_left(program_farsi) && is_right_to_left(program_arabic));
}

// The test runs under the C locale, where gettext ignores LANGUAGE, with a
// LANGUAGE of the user's that has no catalog: a forced language is still
// spoken, and the user's LANGUAGE is what a started command sees.
TEST(program_language, applied_under_the_c_locale) {
    ASSERT_NE(std::getenv("DAYSPINNER_LOCALEDIR"), nullptr);
    std::setlocale(LC_ALL, "C");
    setenv("LANGUAGE", "de", 1);
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    setenv("LANG", "C", 1);
    const struct {
        int face;
        program_language language;
        const char *text;
    } steps[] = {
        {1, program_farsi, "زبان"}, {0, program_english, "Language"}, {3, program_arabic, "اللغة"},
        {2, program_farsi, "زبان"}, {0, program_english, "Language"},
    };
    for (const auto &step : steps) {
        apply_program_language(step.face);
        EXPECT_EQ(current_program_language(), step.language) << step.face;
        EXPECT_EQ(program_is_right_to_left(), step.language != program_english);
        EXPECT_STREQ(_("Language"), step.text) << step.face;
        EXPECT_STREQ(C_("week start", "Monday"), step.language == program_english ? "Monday"
                                                 : step.language == program_farsi ? "دوشنبه"
                                                                                  : "الاثنين");
        EXPECT_EQ(system_with_user_language("test \"$LANGUAGE\" = de"), 0) << step.face;
    }
    EXPECT_STREQ(std::getenv("LANGUAGE"), "de");
    EXPECT_STREQ(std::setlocale(LC_MESSAGES, nullptr), "C");
    // Without the catalogs a forced language would be English words right
    // to left: the program stays English.
    bindtextdomain(GETTEXT_PACKAGE, "/nonexistent");
    apply_program_language(3);
    EXPECT_EQ(current_program_language(), program_english);
    EXPECT_FALSE(program_is_right_to_left());
    EXPECT_STREQ(std::getenv("LANGUAGE"), "de");
    bindtextdomain(GETTEXT_PACKAGE, std::getenv("DAYSPINNER_LOCALEDIR"));
}

}  // namespace
