// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Expansion of one event's recurrence set over a range of days. Runs only in
// the engine's worker processes (events/worker.cpp): the library's iterator
// can crash or loop on some rules, and the engine must survive both.
//
// The answers equal those of a walk of the library's iterator from the first
// instance, but the work does not grow with the distance from the first
// instance: a rule without COUNT is started at or shortly before the range.
#pragma once

#include "engine/engine.h"

#include <cstdint>
#include <vector>

// 1 when t, a start or end, names a real day of the Gregorian calendar.
int real_day(icaltimetype t);

// Leaves the occurrence that starts at t (in the event's own zone) out of
// the node's recurrence set: a date on a timed event every occurrence that
// starts on that day, else the one at that instant. Nothing for a t that
// names no real day. sort_exclusions makes them ready for excluded.
void exclude(event_node *node, icaltimetype t);
void sort_exclusions(event_node *node);
// Reads the node's RRULE and RDATE properties into its rules, and its
// EXDATEs into its exclusions (values without a zone take the start's),
// sorted.
void read_recurrence(event_node *node);
// 1 when the occurrence starting at start (in the event's own zone) is left
// out of the recurrence set: by an EXDATE, or replaced by another component.
int excluded(const event_node *node, icaltimetype start);

// 1 when the node has occurrences beyond its first instance for the worker
// to find: an RRULE or an RDATE.
int has_rule(const event_node *node);

// 1 when the node has an RRULE of hours, minutes or seconds: the rules on
// which the library's iterator can walk for seconds without an occurrence.
int has_sub_daily_rule(const event_node *node);

// Calls emit(context, o) for every occurrence o of the node's recurrence set
// (every RRULE and RDATE, less what excluded leaves out) other than its first
// instance that covers a local day in first_day..last_day (Julian day
// numbers), in the order of their starts, each start once. An occurrence is
// found when it starts at most ten years before the days asked for.
using occurrence_sink = void (*)(void *context, const occurrence &o);
void expand_rule(const event_node *node, int64_t first_day, int64_t last_day, occurrence_sink emit,
                 void *context);

// The occurrence from start to end (exclusive) in local time, and the local
// days it covers: from its start's day up to its end, but not the end's day
// when the end is a date or exactly 00:00. One of zero length, or ending
// before it starts, covers its start day.
occurrence occurrence_between(icaltimetype start, icaltimetype end);
