// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Which events fall on a day, and the mark the day gets on the face.
#include "events/events.h"

#include "calendar/calendar.h"
#include "events/recur.h"

day_status_slot day_status_cache[day_status_cache_size];
uint64_t day_status_evaluations = 0;

namespace {

// Answered days around the first day asked: a month asked from its first day
// on fits, in any of the three calendars, with room for a day view before it.
constexpr int64_t days_before = 15, days_after = 45;

int covers(const occurrence &o, int64_t day) { return o.first_day <= day && day <= o.last_day; }

}  // namespace

void answer_days_around(icaltimetype day) {
    int64_t n = gregorian_to_jdn(day);
    if (answered_days.first <= n && n <= answered_days.last) return;
    answer_days({n - days_before, n + days_after});
}

const occurrence *occurrence_on_day(const event_node *node, icaltimetype day) {
    int64_t n = gregorian_to_jdn(day);
    if (covers(node->first, n)) return &node->first;
    answer_days_around(day);
    for (const occurrence &o : node->occurrences)
        if (covers(o, n)) return &o;
    return nullptr;
}

int event_on_day(const event_node *node, icaltimetype day) {
    return occurrence_on_day(node, day) != nullptr;
}

int day_status(icaltimetype day) {
    int32_t n = gregorian_to_jdn(day);
    int index = static_cast<int>(n % day_status_cache_size);
    if (index < 0) index += day_status_cache_size;
    day_status_slot &slot = day_status_cache[index];
    if (slot.day == n && n != 0) return slot.status;
    ++day_status_evaluations;
    answer_days_around(day);
    slot.day = n;
    slot.status = 0;
    for (const event_node *node = event_list; node; node = node->next)
        if (slot.status != 1 && !node->cancelled && event_on_day(node, day))
            slot.status = node->transparency;
    return slot.status;
}
