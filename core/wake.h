// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// What wakes the main loop besides X events: local midnight and changes of
// the calendar file.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

// A whole refresh at least this often, in milliseconds, whatever else happens.
constexpr int64_t refresh_period_ms = 5 * 60 * 1000;

// The first local midnight after t: 00:00:00 of the next local day, or the
// first second of that day where the zone skips midnight.
time_t next_local_midnight(time_t t);

// How long the loop may block: until the periodic refresh is due or the
// midnight deadline passes, whichever comes first; never negative.
int64_t next_wait_ms(int64_t ms_since_refresh, int64_t ms_until_midnight);

struct wake_sources {
    int midnight_fd = -1;              // timerfd on the real-time clock; -1 without one
    time_t midnight = 0;               // the next local midnight, seconds since the epoch
    int inotify_fd = -1;               // -1 without inotify: the periodic refresh remains
    std::vector<std::string> watched;  // directories under watch, in watch order
    std::vector<int> watch_ids;        // their watch descriptors
    std::string calendar_name;         // base name of the calendar path
};

wake_sources open_wake_sources();
// Sets the midnight deadline to the first local midnight after now and arms
// the timer for it; a step of the real-time clock (set by hand, resume from
// suspend) cancels the timer early.
void arm_midnight(wake_sources &w, time_t now);
// Watches the directories whose changes can change the calendar at path (a
// file's directory; a folder and its immediate subfolders); nothing when they
// are already watched. One that cannot be watched now is tried again at the
// next call.
void watch_calendar(wake_sources &w, const std::string &path);
// 1 when the timer expired or the clock was stepped: the face is due. A timer
// that expires before the process's own clock reaches the deadline disagrees
// with it and is given up; the loop's time-out still finds midnight.
int take_midnight(wake_sources &w);
// 1 when a change to the entry name (inotify mask) of a watched directory
// can change the calendar whose path ends in calendar_name: that entry
// itself, any .ics file, or a subfolder that came or went.
int names_calendar(const std::string &calendar_name, const char *name, uint32_t mask);
// Reads every pending change; 1 when one can change the calendar.
int take_calendar_change(wake_sources &w);
