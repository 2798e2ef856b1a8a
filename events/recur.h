// Expansion of one event's recurrence rule over a range of days. Runs only in
// the worker process (events/worker.cpp): the library's iterator can crash or
// loop on some rules, and the tile's own process must survive both.
//
// The answers equal those of a walk of the library's iterator from the first
// instance, but the work does not grow with the distance from the first
// instance: a rule without COUNT is started at or shortly before the range.
#pragma once

#include "events/events.h"

#include <cstdint>
#include <vector>

// Day numbers of a component's EXDATE properties that name real dates, sorted.
std::vector<int64_t> exdate_days_of(icalcomponent *component);

// 1 when the node has a rule for the worker to expand.
int has_rule(const event_node *node);

// Calls emit(context, o) for every occurrence o of the node's first RRULE
// whose day lies in first_day..last_day (Julian day numbers), in the order of
// the iterator, except the first instance itself, occurrences on an excluded
// day, and occurrences that go back behind an earlier day of the walk.
using occurrence_sink = void (*)(void *context, icaltimetype o);
void expand_rule(const event_node *node, int64_t first_day, int64_t last_day, occurrence_sink emit,
                 void *context);

// The first instance and the days it marks: its whole span, the end
// exclusive, or its start day when it starts and ends on one day.
occurrence first_instance(icaltimetype start, icaltimetype end);
// A later occurrence starting at start, as long as the first instance; it
// marks only the day on which it starts.
occurrence later_occurrence(const event_node *node, icaltimetype start);

// Computes the occurrences of the days in range for every event of the list
// through worker processes, replacing what the nodes held; answered_days
// becomes range. Blocks at most about 1.5 s, whatever the rules.
void answer_days(day_range range);
