// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Calendar events as the tile sees them: the calendar engine's answers (day
// marks, the day view's rows) and the requests that bring them. The tile's
// own process never hands the calendar's bytes to the library: the engine
// (engine/engine.h), a process of its own, reads and expands them.
#pragma once

#include "protocol/protocol.h"

#include <libical/ical.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One event as the engine reported it at load.
struct event_record {
    std::string summary;   // the SUMMARY text, at most a few kilobytes
    std::string location;  // the LOCATION text, or empty
    int transparency = 1;  // 1 opaque (busy), 2 transparent (free)
    int cancelled = 0;     // 1: STATUS:CANCELLED; listed, but marks no day
    int has_rule = 0;      // 1: occurrences beyond the first come from the engine
    int faulty = 0;        // 1: the engine could not expand it; first instance only
    occurrence first;      // the first instance
};

struct events_config {
    std::string path;    // the calendar file or folder
    int debug = 0;       // 1: debugging lines on stdout
    std::string name;    // prefix of messages on stderr
    int time_scale = 1;  // deadlines multiplied by it (tests on slow machines)
    engine_fault fault;
    // The engine's program; empty: dayspinner-engine beside this program,
    // else where the installed program finds it.
    std::string engine;
};

// Asks the engine to read the calendar again when its files changed (or the
// path); starts the engine when there is none. Never waits for it.
void load_events(const events_config &config);
// The days on show: their answers are asked for first, then the month's
// worth of days on either side, in the background.
void ask_days(day_range shown);
// Asks for the alarms due after since (seconds since 1970; at most
// alarm_back_s ago), up to alarm_ahead_s from now, the events without an
// alarm reminding default_minutes before their start (0: not); asked again
// so after every read of the calendar, also one that finds it unchanged,
// with the clock of then. Never waits.
void ask_alarms(int64_t since, uint32_t default_minutes);
// Asks for no more alarms and forgets the answer held.
void forget_alarms();
// The engine's last answer of alarms, and how many answers came in so far.
const alarms_reply &held_alarms();
uint64_t alarm_answers();
// Readable when the engine has replied or a deadline has passed; the main
// loop watches it. -1 before the first load.
int engine_descriptor();
// Takes the engine's replies, replaces an engine that died or overran its
// deadline and asks for what is still missing. 1 when the answers held
// changed, so that the face is drawn again; then the next request waits for
// the next call, and the descriptor is readable at once for it.
int take_engine_replies();
// For tests and benchmarks: takes replies until nothing asked is missing or
// timeout_ms pass; 1 when nothing is missing.
int settle_events(int timeout_ms);
// Ends the engine and forgets everything held.
void stop_events();

// What the tile holds; no query below starts any work.
const std::vector<event_record> &held_events();  // in the engine's list order
int events_debug();                              // 1 when the last load asked for debugging lines
// 1 while the engine has ended several times in a row without reading the
// calendar, for no fault of a file; the tile goes on trying.
int calendar_given_up();
// The occurrence of event that covers day, or null (also when not answered
// yet, or when it is not among the day's first rows).
const occurrence *occurrence_on_day(std::size_t event, icaltimetype day);
int day_status(icaltimetype day);  // 0 none, 1 busy, 2 free only
// The occurrences on a day, one per event, in the day view's order
// (protocol/protocol.h row_before): the first day_row_cap of count.
struct day_rows {
    std::vector<day_row> rows;
    std::size_t count = 0;
};
day_rows rows_on_day(icaltimetype day);
// Events whose answers for some day of days are not in yet.
int events_pending(day_range days);

// Counters for tests and benchmarks.
extern uint64_t engine_starts;  // engine processes started
extern uint64_t engine_loads;   // reads answered (not loads that found the files unchanged)
