// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Iran's official holidays: the days of the Persian calendar and of Iran's
// lunar months on which the country rests, and their official names.
#include "calendar/calendar.h"

namespace {

struct fixed_holiday {
    int month;
    int day;  // 0: the month's last day
    holiday_value holiday;
};

constexpr fixed_holiday solar_holidays[] = {
    {1, 1, holiday_nowruz},          {1, 2, holiday_nowruz},
    {1, 3, holiday_nowruz},          {1, 4, holiday_nowruz},
    {1, 12, holiday_republic_day},   {1, 13, holiday_nature_day},
    {3, 14, holiday_khomeini_death}, {3, 15, holiday_khordad_uprising},
    {11, 22, holiday_revolution},    {12, 29, holiday_oil_nationalised},
};

constexpr fixed_holiday lunar_holidays[] = {
    {1, 9, holiday_tasua},
    {1, 10, holiday_ashura},
    {2, 20, holiday_arbaeen},
    {2, 28, holiday_prophet_death},
    {2, 0, holiday_reza_martyrdom},
    {3, 8, holiday_askari_martyrdom},
    {3, 17, holiday_prophet_birth},
    {6, 3, holiday_fatima_martyrdom},
    {7, 13, holiday_ali_birth},
    {7, 27, holiday_mabath},
    {8, 15, holiday_mahdi_birth},
    {9, 21, holiday_ali_martyrdom},
    {10, 1, holiday_fitr},
    {10, 2, holiday_fitr_second},
    {10, 25, holiday_sadiq_martyrdom},
    {12, 10, holiday_adha},
    {12, 18, holiday_ghadir},
};

// The names in English, in the order of holiday_value. They are messages of
// the program's catalogs, which the caller looks up; calendar/ itself stays
// free of gettext.
#ifndef N_
#define N_(text) text
#endif
constexpr const char *names[holiday_count] = {
    "",
    // TRANSLATORS: the official names of the holidays of Iran.
    N_("Nowruz"),
    N_("Islamic Republic Day"),
    N_("Nature Day"),
    N_("Demise of Imam Khomeini"),
    N_("Uprising of 15 Khordad"),
    N_("Victory of the Islamic Revolution"),
    N_("Nationalisation of the Oil Industry"),
    N_("Tasua"),
    N_("Ashura"),
    N_("Arbaeen"),
    N_("Demise of the Prophet and Martyrdom of Imam Hasan"),
    N_("Martyrdom of Imam Reza"),
    N_("Martyrdom of Imam Hasan al-Askari"),
    N_("Birth of the Prophet and of Imam Sadiq"),
    N_("Martyrdom of Fatima"),
    N_("Birth of Imam Ali"),
    N_("Mab'ath of the Prophet"),
    N_("Birth of Imam Mahdi"),
    N_("Martyrdom of Imam Ali"),
    N_("Eid al-Fitr"),
    N_("Holiday of Eid al-Fitr"),
    N_("Martyrdom of Imam Sadiq"),
    N_("Eid al-Adha"),
    N_("Eid al-Ghadir"),
};

template <int n>
holiday_value holiday_on(const fixed_holiday (&list)[n], icaltimetype date, int last_day) {
    for (const fixed_holiday &h : list)
        if (h.month == date.month && (h.day == date.day || (h.day == 0 && date.day == last_day)))
            return h.holiday;
    return holiday_none;
}

}  // namespace

day_holidays iran_holidays(icaltimetype gregorian, int hijri_adjust) {
    day_holidays out;
    int adjust = hijri_adjust >= -2 && hijri_adjust <= 2 ? hijri_adjust : 0;
    int32_t jdn = gregorian_to_jdn(gregorian);
    icaltimetype solar = icaltime_null_time();
    jdn_to_persian(jdn, &solar);
    icaltimetype lunar = icaltime_null_time();
    jdn_to_islamic(jdn + adjust, &lunar, hijri_iran);
    holiday_value found[2] = {
        holiday_on(solar_holidays, solar, 0),
        holiday_on(lunar_holidays, lunar,
                   islamic_month_length(lunar.month, lunar.year, hijri_iran)),
    };
    for (holiday_value h : found)
        if (h != holiday_none) out.names[out.count++] = h;
    out.friday = weekday_of(gregorian) == 3;  // 0 Tuesday ... 3 Friday
    return out;
}

const char *holiday_name(holiday_value holiday) {
    if (holiday <= holiday_none || holiday >= holiday_count) return "";
    return names[holiday];
}
