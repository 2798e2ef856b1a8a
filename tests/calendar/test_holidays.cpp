// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
#include "calendar/calendar.h"

#include "tests/calendar/dates.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

struct holiday_row {
    int year, month, day;
    std::vector<holiday_value> names;
};

// Every holiday of the Persian years 1384 and 1385, with its Persian and
// Iran's lunar date. Both years hold a Safar of 29 days, whose last day is
// a holiday of its own; 1385 opens with Arbaeen on the first day of Nowruz
// and ends with two holidays on one day.
const holiday_row rows[] = {
    {2005, 3, 21, {holiday_nowruz}},                                    // 1384/1/1, 1426/2/10
    {2005, 3, 22, {holiday_nowruz}},                                    // 1384/1/2, 1426/2/11
    {2005, 3, 23, {holiday_nowruz}},                                    // 1384/1/3, 1426/2/12
    {2005, 3, 24, {holiday_nowruz}},                                    // 1384/1/4, 1426/2/13
    {2005, 3, 31, {holiday_arbaeen}},                                   // 1384/1/11, 1426/2/20
    {2005, 4, 1, {holiday_republic_day}},                               // 1384/1/12, 1426/2/21
    {2005, 4, 2, {holiday_nature_day}},                                 // 1384/1/13, 1426/2/22
    {2005, 4, 8, {holiday_prophet_death}},                              // 1384/1/19, 1426/2/28
    {2005, 4, 9, {holiday_reza_martyrdom}},                             // 1384/1/20, 1426/2/29
    {2005, 4, 17, {holiday_askari_martyrdom}},                          // 1384/1/28, 1426/3/8
    {2005, 4, 26, {holiday_prophet_birth}},                             // 1384/2/6, 1426/3/17
    {2005, 6, 4, {holiday_khomeini_death}},                             // 1384/3/14, 1426/4/26
    {2005, 6, 5, {holiday_khordad_uprising}},                           // 1384/3/15, 1426/4/27
    {2005, 7, 10, {holiday_fatima_martyrdom}},                          // 1384/4/19, 1426/6/3
    {2005, 8, 19, {holiday_ali_birth}},                                 // 1384/5/28, 1426/7/13
    {2005, 9, 2, {holiday_mabath}},                                     // 1384/6/11, 1426/7/27
    {2005, 9, 20, {holiday_mahdi_birth}},                               // 1384/6/29, 1426/8/15
    {2005, 10, 25, {holiday_ali_martyrdom}},                            // 1384/8/3, 1426/9/21
    {2005, 11, 4, {holiday_fitr}},                                      // 1384/8/13, 1426/10/1
    {2005, 11, 5, {holiday_fitr_second}},                               // 1384/8/14, 1426/10/2
    {2005, 11, 28, {holiday_sadiq_martyrdom}},                          // 1384/9/7, 1426/10/25
    {2006, 1, 11, {holiday_adha}},                                      // 1384/10/21, 1426/12/10
    {2006, 1, 19, {holiday_ghadir}},                                    // 1384/10/29, 1426/12/18
    {2006, 2, 8, {holiday_tasua}},                                      // 1384/11/19, 1427/1/9
    {2006, 2, 9, {holiday_ashura}},                                     // 1384/11/20, 1427/1/10
    {2006, 2, 11, {holiday_revolution}},                                // 1384/11/22, 1427/1/12
    {2006, 3, 20, {holiday_oil_nationalised}},                          // 1384/12/29, 1427/2/19
    {2006, 3, 21, {holiday_nowruz, holiday_arbaeen}},                   // 1385/1/1, 1427/2/20
    {2006, 3, 22, {holiday_nowruz}},                                    // 1385/1/2, 1427/2/21
    {2006, 3, 23, {holiday_nowruz}},                                    // 1385/1/3, 1427/2/22
    {2006, 3, 24, {holiday_nowruz}},                                    // 1385/1/4, 1427/2/23
    {2006, 3, 29, {holiday_prophet_death}},                             // 1385/1/9, 1427/2/28
    {2006, 3, 30, {holiday_reza_martyrdom}},                            // 1385/1/10, 1427/2/29
    {2006, 4, 1, {holiday_republic_day}},                               // 1385/1/12, 1427/3/2
    {2006, 4, 2, {holiday_nature_day}},                                 // 1385/1/13, 1427/3/3
    {2006, 4, 7, {holiday_askari_martyrdom}},                           // 1385/1/18, 1427/3/8
    {2006, 4, 16, {holiday_prophet_birth}},                             // 1385/1/27, 1427/3/17
    {2006, 6, 4, {holiday_khomeini_death}},                             // 1385/3/14, 1427/5/7
    {2006, 6, 5, {holiday_khordad_uprising}},                           // 1385/3/15, 1427/5/8
    {2006, 6, 29, {holiday_fatima_martyrdom}},                          // 1385/4/8, 1427/6/3
    {2006, 8, 8, {holiday_ali_birth}},                                  // 1385/5/17, 1427/7/13
    {2006, 8, 22, {holiday_mabath}},                                    // 1385/5/31, 1427/7/27
    {2006, 9, 9, {holiday_mahdi_birth}},                                // 1385/6/18, 1427/8/15
    {2006, 10, 15, {holiday_ali_martyrdom}},                            // 1385/7/23, 1427/9/21
    {2006, 10, 24, {holiday_fitr}},                                     // 1385/8/2, 1427/10/1
    {2006, 10, 25, {holiday_fitr_second}},                              // 1385/8/3, 1427/10/2
    {2006, 11, 17, {holiday_sadiq_martyrdom}},                          // 1385/8/26, 1427/10/25
    {2006, 12, 31, {holiday_adha}},                                     // 1385/10/10, 1427/12/10
    {2007, 1, 8, {holiday_ghadir}},                                     // 1385/10/18, 1427/12/18
    {2007, 1, 29, {holiday_tasua}},                                     // 1385/11/9, 1428/1/9
    {2007, 1, 30, {holiday_ashura}},                                    // 1385/11/10, 1428/1/10
    {2007, 2, 11, {holiday_revolution}},                                // 1385/11/22, 1428/1/22
    {2007, 3, 10, {holiday_arbaeen}},                                   // 1385/12/19, 1428/2/20
    {2007, 3, 18, {holiday_prophet_death}},                             // 1385/12/27, 1428/2/28
    {2007, 3, 20, {holiday_oil_nationalised, holiday_reza_martyrdom}},  // 1385/12/29, 1428/2/30
};

}  // namespace

// Every day of the two years: the named holidays, solar first, and Fridays.
TEST(holidays, two_persian_years) {
    size_t next = 0;
    int fridays = 0;
    for (int32_t jdn = gregorian_to_jdn(ymd(2005, 3, 21));
         jdn <= gregorian_to_jdn(ymd(2007, 3, 20)); ++jdn) {
        icaltimetype day = icaltime_null_time();
        jdn_to_gregorian(jdn, &day);
        day_holidays h = iran_holidays(day, 0);
        std::vector<holiday_value> got(h.names, h.names + h.count);
        bool listed = next < std::size(rows) &&
                      date_equal(day, ymd(rows[next].year, rows[next].month, rows[next].day));
        EXPECT_EQ(got, listed ? rows[next].names : std::vector<holiday_value>{})
            << day.year << "-" << day.month << "-" << day.day;
        next += listed;
        fridays += h.friday;
        EXPECT_EQ(h.rest_day(), h.count > 0 || h.friday);
    }
    EXPECT_EQ(next, std::size(rows));
    EXPECT_EQ(fridays, 104);
    EXPECT_TRUE(iran_holidays(ymd(2006, 3, 24), 0).friday);  // the last day of Nowruz 1385
}

// The adjustment moves the lunar holidays with the Islamic dates the face
// shows, and leaves the solar ones where they are.
TEST(holidays, adjustment_moves_only_lunar_holidays) {
    EXPECT_EQ(iran_holidays(ymd(2006, 2, 8), 1).names[0], holiday_ashura);
    EXPECT_EQ(iran_holidays(ymd(2006, 2, 10), -1).names[0], holiday_ashura);
    EXPECT_EQ(iran_holidays(ymd(2006, 2, 9), 1).names[0], holiday_none);
    EXPECT_EQ(iran_holidays(ymd(2006, 2, 11), 2).names[0], holiday_revolution);
    EXPECT_EQ(iran_holidays(ymd(2006, 2, 9), 7).names[0], holiday_ashura);  // acts as 0
}

// Each name is a message of its own: two holidays that shared one would
// share its translations too.
TEST(holidays, every_name_distinct) {
    std::set<std::string> seen;
    for (int h = holiday_none + 1; h < holiday_count; ++h) {
        std::string name = holiday_name(static_cast<holiday_value>(h));
        EXPECT_FALSE(name.empty()) << h;
        EXPECT_TRUE(seen.insert(name).second) << name;
    }
    EXPECT_STREQ(holiday_name(holiday_none), "");
    EXPECT_STREQ(holiday_name(holiday_count), "");
}
