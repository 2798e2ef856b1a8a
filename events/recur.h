// Recurrence answers for one event: does an occurrence produced by its first
// RRULE, not removed by an EXDATE, fall on a day?
//
// Answers equal those of a walk of the library's iterator from the first
// instance up to the day, but the work does not grow with that distance:
// rules without COUNT are started again shortly before the day and a window
// of days after it is remembered; COUNT rules are walked from the first
// instance only as far as asked, and not at all past the day by which their
// periods must have held every occurrence.
// Every single call into the iterator is bounded beforehand by rule_in_bound.
#pragma once

#include "events/events.h"

#include <cstdint>
#include <vector>

// Day numbers of a component's EXDATE properties that name real dates, sorted.
std::vector<int64_t> exdate_days_of(icalcomponent *component);

// 1 when a rule occurrence falls on day (a valid Gregorian date on or after
// the event's start). Builds node->recur on the first call.
int rule_occurs_on(const event_node *node, icaltimetype day);

// 1 when the library's iterator can walk from one occurrence of rule to the
// next within a bounded number of its internal steps; 0 for rules that never
// match again or match so rarely that one call would hold the tile.
int rule_in_bound(const icalrecurrencetype &rule, icaltimetype dtstart);

// Most iterator steps a COUNT rule is walked, and most iterator steps per
// window of days asked about a rule without COUNT.
constexpr int max_count_expansion = 20000;
constexpr int max_window_steps = 400;
// Days remembered after the day asked for: a month shown on the face fits.
constexpr int window_days = 42;
