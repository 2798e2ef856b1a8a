// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Which of the engine's alarms are due, and the alarms file that keeps what
// the user did with them across reads and restarts. Times are seconds since
// 1970; nothing here reads the clock.
#pragma once

#include "protocol/protocol.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// An alarm's identity, the same across reads and rewrites of the calendar:
// its occurrence (RECURRENCE-ID or start, local, "20261211T093000" or
// "20261211"), its index in the event ("default" for the default reminder)
// and the event's UID.
std::string alarm_key(const alarm_item &a);

enum alarm_mark { alarm_dismissed = 1, alarm_snoozed = 2 };
struct alarm_entry {
    int mark = alarm_dismissed;
    int64_t until = 0;  // snoozed: when it is due again
    int64_t ends = 0;   // when its occurrence ends
};
using alarm_book = std::map<std::string, alarm_entry>;  // by alarm_key

// $XDG_STATE_HOME/dayspinner/alarms, else ~/.local/state/dayspinner/alarms;
// empty without either.
std::string alarm_book_path(const char *xdg_state_home, const char *home);
// The entries of the file's text; lines it cannot read are left out.
alarm_book parse_alarm_book(const std::string &text);
std::string alarm_book_text(const alarm_book &book);
alarm_book read_alarm_book(const std::string &path);
// Writes the book without the entries whose occurrence ended a day before
// now, into a new file renamed over the old one, making the directories;
// 1 on success, else the old file stays and errno says why.
int write_alarm_book(const std::string &path, alarm_book &book, int64_t now);

// An alarm that falls due: at `due`, missed when that was before the tile
// started.
struct due_alarm {
    alarm_item item;
    int64_t due = 0;
    int missed = 0;
};
// The alarms of held due after handled up to now, and the snoozes of book
// that are (snoozed: their alarm as held or as shown last, by key), in the
// order of their due times. Dismissed ones are left out, so are those
// snoozed past the due time, and missed ones whose occurrence has ended.
std::vector<due_alarm> due_alarms(const alarms_reply &held, const alarm_book &book,
                                  const std::map<std::string, alarm_item> &snoozed, int64_t handled,
                                  int64_t now, int64_t started);
// The first time after now that one of them falls due; 0: none.
int64_t next_alarm_time(const alarms_reply &held, const alarm_book &book, int64_t now);
