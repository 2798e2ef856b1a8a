// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Zone names that Outlook and Exchange write without defining them: Windows
// zone IDs ("Tokyo Standard Time") and Windows display names ("(UTC+01:00)
// Amsterdam, Berlin, Bern, Rome, Stockholm, Vienna", also "(GMT+01.00) ...").
#pragma once

#include <string>

// The zoneinfo name that name stands for, or "" when nothing matches. An ID
// maps through CLDR's table (ICU); a display name gives its offset and its
// names, which are matched against the exemplar cities ("Vienna") of the
// zones whose standard offset it is, then against their generic and
// standard names ("Pacific Time").
std::string zone_of_windows_name(const char *name);
