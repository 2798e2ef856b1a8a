// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Windows zone IDs and display names, as Outlook and Exchange write them,
// against the zone each stands for.
#include "engine/windows_zones.h"

#include <gtest/gtest.h>

TEST(windows_zones, ids_and_display_names_map_to_their_zones) {
    struct row {
        const char *name, *zone;
    };
    const row table[] = {
        {"Romance Standard Time", "Europe/Paris"},
        {"Tokyo Standard Time", "Asia/Tokyo"},
        {"Pacific Standard Time", "America/Los_Angeles"},
        {"AUS Eastern Standard Time", "Australia/Sydney"},
        // Display names: by exemplar city, first name first, whatever case.
        {"(UTC+01:00) Amsterdam, Berlin, Bern, Rome, Stockholm, Vienna", "Europe/Amsterdam"},
        {"(UTC+01:00) Brussels, copenhagen, Madrid, Paris", "Europe/Brussels"},
        {"(UTC+09:00) Osaka, Sapporo, Tokyo", "Asia/Tokyo"},
        {"(GMT+01.00) Amsterdam / Berlin / Bern / Rome / Stockholm / Vienna", "Europe/Amsterdam"},
        {"(GMT) Greenwich Mean Time : Dublin, Edinburgh, Lisbon, London", "Europe/Dublin"},
        {"(UTC+05:30) Chennai, Kolkata, Mumbai, New Delhi", "Asia/Calcutta"},
        // By generic zone name, where no city matches.
        {"(UTC-08:00) Pacific Time (US & Canada)", "America/Los_Angeles"},
        {"(GMT-05:00) Eastern Time (US & Canada)", "America/New_York"},
        {"(GMT-08:00) Pacific Time (US & Canada); Tijuana", "America/Tijuana"},  // a city first
        // Nothing: a city of another offset, unknown names, other forms.
        {"(UTC+02:00) Vienna", ""},
        {"(UTC+01:00) Atlantis", ""},
        {"Atlantis Standard Time", ""},
        {"(UTC+01:00", ""},
        {"(UTC+1x:00) Vienna", ""},
        {"", ""},
    };
    for (const row &r : table) EXPECT_EQ(zone_of_windows_name(r.name), r.zone) << r.name;
}
