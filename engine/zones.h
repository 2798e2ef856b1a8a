// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Time zones: the ones the calendar file defines, the names libical and the
// system's zoneinfo know, and the user's local time as localtime sees it.
#pragma once

#include <libical/ical.h>

#include <cstdint>

// Takes a VTIMEZONE component of the file read: its TZID names a zone from
// now until free_file_zones, unless the system knows the name (below). 1 when
// it is a new zone kept.
int add_file_zone(icalcomponent *vtimezone);
// Has the library expand the file's zone of that name through 2037 (its
// last year), so that a definition it crashes or holds on is met here, where
// the engine reports it, rather than in the first event that uses it.
void expand_file_zone(const char *tzid);
void free_file_zones();
// 1: a TZID that nothing defines is reported on stdout, once a read, and the
// files' definitions of names the system knows are kept to be compared.
void set_zone_debug(int debug);
// With debugging: times in zone (an event's rule) reach on through year,
// for the years over which the file's definition of its name is compared.
void extend_zone_years(const icaltimezone *zone, int year);
// With debugging: one line on stdout for each name that the system knows
// and a file defines with other offsets in the years of the times read in
// it, compared at 00:00 UTC on the 1st and 15th of each month.
void report_zone_differences();

// The date or date-time value of p as written, without a zone: read without
// the library's own zone lookup, which opens any file a TZID names.
icaltimetype value_of(icalproperty *p);

// The value t of property p with the zone its TZID parameter names: a zone
// of the system's zoneinfo, else a Windows name's zone, else a zone of the
// file. A value with no TZID and no "Z" takes fallback (the event's own
// zone, or null). A TZID that nothing defines leaves t floating.
icaltimetype with_zone(icalproperty *p, icaltimetype t, const icaltimezone *fallback);

// The wall-clock time of t in the user's zone, without a zone: UTC and zoned
// times converted, floating times and dates as written.
icaltimetype local_time(icaltimetype t);

// Seconds that order and compare moments: zoned times as real instants,
// floating times and dates as written, read as if they were UTC. A zoned
// time that a change forward skips has the offset before the change; one
// that a change back repeats is the first of the two.
int64_t instant_of(icaltimetype t);

// t moved by seconds of real time (a zoned time: across any change of its
// offset) or of wall clock (floating times); dates by whole days.
icaltimetype moved(icaltimetype t, int64_t seconds);
