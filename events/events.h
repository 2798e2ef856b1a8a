// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Calendar events: the event list, day marks and the day view.
#pragma once

#include <libical/ical.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

typedef struct _GtkWidget GtkWidget;  // the day view's widgets; face/ needs no GTK

struct component_free {
    void operator()(icalcomponent *c) const { icalcomponent_free(c); }
};

// The text of c's first property of kind (SUMMARY, LOCATION) as it reads,
// without the file's escapes: "\,", "\;", "\\" and "\n" or "\N" stand for a
// comma, a semicolon, a backslash and a line break. Null without one.
const char *text_of(icalcomponent *c, icalproperty_kind kind);

// One occurrence of an event and the local days it covers. Times are the
// user's wall clock, without a zone (they cross the pipe from the worker).
struct occurrence {
    icaltimetype start{};  // local start; floating times and dates as written
    icaltimetype end{};    // local end, exclusive
    // Julian day numbers of the first and last day the occurrence covers;
    // first_day > last_day when it covers none.
    int64_t first_day = 1, last_day = 0;
};

// One loaded event. Allocated by load_events, owned by event_list.
struct event_node {
    // DTSTART and the exclusive end (DTEND, or DTSTART plus DURATION; without
    // either, a date lasts its day and a time no time), with the zone their
    // TZID names (events/zones.h).
    icaltimetype start{};
    icaltimetype end{};
    int64_t length = 0;  // seconds from start to end, 0 at least
    std::unique_ptr<icalcomponent, component_free>
        component;         // the whole component, taken out of the parsed file
    int transparency = 1;  // 1 opaque (busy), 2 transparent (free)
    std::string summary;   // copy of the SUMMARY text, without its escapes
    int cancelled = 0;     // 1: STATUS:CANCELLED; listed, but marks no day
    // Occurrences left out of the recurrence set, sorted: the instants
    // (events/zones.h instant_of) of the time EXDATEs and of the occurrences
    // that components with a RECURRENCE-ID replace, and the day numbers of
    // the date EXDATEs, on which no occurrence starts.
    std::vector<int64_t> excluded_instants;
    std::vector<int64_t> exdate_days;
    occurrence first;  // the first instance, known at load without the worker
    // The rule's further occurrences in the answered days (answered_days),
    // as the worker reported them.
    std::vector<occurrence> occurrences;
    // 1: a worker died or overran its deadline on this event; its rule is not
    // expanded again until the file is read again.
    int faulty = 0;
    event_node *next = nullptr;
};

extern event_node *event_list;  // newest node first: the reverse of the file order

// One slot per day number modulo 31, so every day of a month has its own.
struct day_status_slot {
    int status;  // 0 none, 1 busy, 2 free only
    int day;     // Julian day number the slot describes; 0 describes nothing
};
constexpr int day_status_cache_size = 31;
extern day_status_slot day_status_cache[day_status_cache_size];

// The days whose occurrences the nodes hold, Julian day numbers; empty
// (first > last) after a load.
struct day_range {
    int64_t first = 1, last = 0;
};
extern day_range answered_days;

void load_events();  // re-reads the calendar file when it changed
void free_events();  // empties event_list and invalidates day_status_cache
char *read_ics_line(char *buffer, std::size_t size, void *file);  // fgets on a FILE *
// Makes the nodes hold the occurrences of the days around day's month: the
// month with 15 days on either side, so that a month of any of the three
// calendars that begins in it is covered. Runs the worker (events/worker.cpp)
// unless those days are answered already.
void answer_days_around(icaltimetype day);
// The occurrence of node that marks day, or null. Answers the days first.
const occurrence *occurrence_on_day(const event_node *node, icaltimetype day);
int event_on_day(const event_node *node, icaltimetype day);  // 1 when the event falls on day
int day_status(icaltimetype day);                            // 0 none, 1 busy, 2 free only
// Where the press that asks for a day view was: on the screen (root) and on
// the tile (window), and its server time.
struct press_place {
    int root_x, root_y, x, y;
    uint64_t time;
};
// Shows the day's events beside the tile and returns; an open view shows the
// new day instead, unless nothing falls on it.
void open_day_view(icaltimetype day, const press_place &press);
int fill_day_view(GtkWidget *table, icaltimetype day);  // 1 when a row was added

// Counters for tests and benchmarks: how often the file was parsed, and how
// often day_status evaluated the list rather than answering from the cache.
extern uint64_t events_parse_count;
extern uint64_t day_status_evaluations;
extern uint64_t worker_runs;  // worker processes started
// For tests: a worker raises fault_signal when it reaches the event at list
// position fault_event (counted from the head); -1 never.
extern int worker_fault_event, worker_fault_signal;
// For tests that compare answers rather than bounds: the per-event deadline
// and the budget of a range are multiplied by it, so that a slow machine
// cannot turn a sound rule into a faulty one. 1 in the tile.
extern int worker_time_scale;
