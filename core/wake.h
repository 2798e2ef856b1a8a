// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// What wakes the main loop besides X events: local midnight and changes of
// the calendar.
#pragma once

#include "sources/sources.h"

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

// A calendar change is taken up this long after the first change of a quiet
// spell, so that a client's steps (a file written, then renamed into place; a
// folder moved away, another moved in) are read as one; and no sooner than
// this long after the last refresh ended, so that a file rewritten many times
// a second is read a few times a second.
constexpr int64_t calendar_settle_ms = 100;
constexpr int64_t calendar_gap_ms = 400;

struct wake_sources {
    int midnight_fd = -1;               // timerfd on the real-time clock; -1 without one
    time_t midnight = 0;                // the next local midnight, seconds since the epoch
    int inotify_fd = -1;                // -1 without inotify: the periodic refresh remains
    std::vector<watch_target> watched;  // as watch_directories gave them
    std::vector<int> watch_ids;         // their watch descriptors, in the same order; -1: none
    int rewatch = 0;                    // 1: watch again, even if the directories look the same
    int64_t changed_at = -1;            // monotonic ms of the first change not yet read; -1: none
    int alarm_fd = -1;                  // timerfd on the real-time clock for the next alarm
    int alarm_due = 0;                  // 1: the alarm timer expired or the clock was set
};

wake_sources open_wake_sources();
// Sets the midnight deadline to the first local midnight after now and arms
// the timer for it; a step of the real-time clock (set by hand, resume from
// suspend) cancels the timer early.
void arm_midnight(wake_sources &w, time_t now);
// Watches what watch_directories names for the calendar at path, by
// identity: a directory replaced under the same path is watched again.
// Called right before the calendar is read, so that no change made while it
// is read goes unseen: the changes seen so far count as read. What cannot be
// watched now is tried again at the next call.
void watch_calendar(wake_sources &w, const std::string &path);
// Arms the alarm timer for at (seconds since 1970; 0: disarmed). A step of
// the real-time clock ends it early, so that what fell due meanwhile is seen.
void arm_alarm(wake_sources &w, int64_t at);
// Reads the alarm timer and notes in alarm_due that alarms may be due; 0.
int take_alarm(wake_sources &w);
// 1 when the timer expired or the clock was stepped: the face is due. A timer
// that expires before the process's own clock reaches the deadline disagrees
// with it and is given up; the loop's time-out still finds midnight.
int take_midnight(wake_sources &w);
// 1 when a change to the entry name (inotify mask; "" for the directory
// itself) of the watched directory t can change the calendar.
int entry_matters(const watch_target &t, const char *name, uint32_t mask);
// Reads every pending change; 1 when one can change the calendar, which is
// then due at calendar_due_ms. Lost events (a queue overflow) and a watched
// directory that was moved or removed count as a change of everything, and
// the directories are watched again.
int take_calendar_change(wake_sources &w, int64_t now_ms);
// When the calendar should be read again, in monotonic ms, given when the
// last refresh ended; -1 when no change is waiting.
int64_t calendar_due_ms(const wake_sources &w, int64_t refreshed_at_ms);
