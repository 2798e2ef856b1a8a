// Which events fall on a day, and the mark the day gets on the face.
#include "events/events.h"

#include "calendar/calendar.h"
#include "events/recur.h"

day_status_slot day_status_cache[day_status_cache_size];
uint64_t day_status_evaluations = 0;

int event_on_day(const event_node *node, icaltimetype day) {
    // Only the first instance marks every day of its span; the end is
    // exclusive, except that an event starting and ending on one day counts.
    if (date_on_or_after(day, node->start) && date_before(day, node->end)) return 1;
    if (date_equal(day, node->start) && date_equal(day, node->end)) return 1;
    if (date_before(day, node->start)) return 0;
    return rule_occurs_on(node, day);
}

int day_status(icaltimetype day) {
    int32_t n = gregorian_to_jdn(day);
    int index = static_cast<int>(n % day_status_cache_size);
    if (index < 0) index += day_status_cache_size;
    day_status_slot &slot = day_status_cache[index];
    if (slot.day == n && n != 0) return slot.status;
    ++day_status_evaluations;
    slot.day = n;
    slot.status = 0;
    for (const event_node *node = event_list; node; node = node->next)
        if (slot.status != 1 && event_on_day(node, day)) slot.status = node->transparency;
    return slot.status;
}
