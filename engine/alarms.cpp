// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// When the events' alarms fall due. Times are seconds since 1970; a local
// wall-clock time becomes one through the C library's zone (the user's, as
// TZ names it), a date at its local midnight.
#include "engine/alarms.h"

#include "calendar/calendar.h"
#include "engine/recur.h"
#include "engine/zones.h"

#include <algorithm>
#include <cstring>
#include <ctime>

namespace {

int64_t seconds_of(icaldurationtype d) { return icaldurationtype_as_int(d); }

// The instant of a local wall-clock time; a time that a change forward skips
// is read with the offset before it, as mktime does.
int64_t epoch_of(icaltimetype local) {
    struct tm tm {};
    tm.tm_year = local.year - 1900;
    tm.tm_mon = local.month - 1;
    tm.tm_mday = local.day;
    if (!local.is_date) {
        tm.tm_hour = local.hour;
        tm.tm_min = local.minute;
        tm.tm_sec = local.second;
    }
    tm.tm_isdst = -1;
    return static_cast<int64_t>(mktime(&tm));
}

int64_t local_day_of(int64_t t) {
    auto s = static_cast<time_t>(t);
    struct tm tm {};
    if (!localtime_r(&s, &tm)) return 0;
    icaltimetype d = icaltime_null_date();
    d.year = tm.tm_year + 1900;
    d.month = tm.tm_mon + 1;
    d.day = tm.tm_mday;
    return gregorian_to_jdn(d);
}

// The latest of base, base + every, ... (repeat more) in (since, now] and
// the first in (now, until].
struct dues {
    int64_t last = 0, next = 0;
};
dues dues_of(int64_t base, const alarm_rule &a, int64_t since, int64_t now, int64_t until) {
    dues d;
    uint64_t more = a.every > 0 ? a.repeat : 0;
    if (base > now) {
        if (base <= until) d.next = base;
        return d;
    }
    uint64_t k = more ? std::min<uint64_t>(more, uint64_t(now - base) / uint64_t(a.every)) : 0;
    int64_t t = base + static_cast<int64_t>(k) * a.every;
    if (t > since) d.last = t;
    if (k < more && t + a.every <= until) d.next = t + a.every;
    return d;
}

struct occurrence_alarms {
    const event_node *node;
    uint32_t index;
    const alarm_request &m;
    alarms_reply &out;
    const alarm_rule *only = nullptr;  // the rule whose window is expanded
};

void add_alarm(occurrence_alarms &c, const alarm_rule &a, const occurrence &o,
               icaltimetype instance) {
    int64_t base = a.absolute ? a.at : epoch_of(a.related_end ? o.end : o.start) + a.offset;
    dues d = dues_of(base, a, c.m.since, c.m.now, c.m.now + alarm_ahead_s);
    if (!d.last && !d.next) return;
    alarm_item item;
    item.event = c.index;
    item.alarm = a.index;
    item.last = d.last;
    item.next = d.next;
    item.ends = epoch_of(o.end);
    item.item = o;
    item.instance = instance;
    item.uid = c.node->uid.empty() ? c.node->summary : c.node->uid;
    alarms_reply one;
    one.items.push_back(std::move(item));
    keep_alarms(c.out, one);
}

void add_occurrence(void *context, const occurrence &o) {
    auto &c = *static_cast<occurrence_alarms *>(context);
    add_alarm(c, *c.only, o, o.start);
}

// The local days on which an occurrence must start for rule a to fall due
// in the request's window: at most a year of them, the latest.
day_range start_days(const event_node *node, const alarm_rule &a, const alarm_request &m) {
    int64_t span = a.every > 0 ? int64_t(std::min<uint64_t>(a.repeat, 1u << 30)) * a.every : 0;
    int64_t from = m.since - std::min<int64_t>(span, int64_t(400) * 86400) - a.offset;
    int64_t to = m.now + alarm_ahead_s - a.offset;
    if (a.related_end) from -= node->length, to -= node->length;
    day_range r{local_day_of(from) - 1, local_day_of(to) + 1};
    r.first = std::max(r.first, r.last - (range_day_cap - 1));
    return r;
}

}  // namespace

void read_alarms(event_node *node) {
    icalcomponent *c = node->component.get();
    if (const char *uid = icalcomponent_get_uid(c)) node->uid = uid;
    uint32_t index = 0;
    for (icalcomponent *v = icalcomponent_get_first_component(c, ICAL_VALARM_COMPONENT);
         v && node->alarms.size() < alarm_rule_cap;
         v = icalcomponent_get_next_component(c, ICAL_VALARM_COMPONENT), ++index) {
        icalproperty *action = icalcomponent_get_first_property(v, ICAL_ACTION_PROPERTY);
        icalproperty *trigger = icalcomponent_get_first_property(v, ICAL_TRIGGER_PROPERTY);
        if (!action || !trigger) continue;
        icalproperty_action kind = icalproperty_get_action(action);
        if (kind != ICAL_ACTION_DISPLAY && kind != ICAL_ACTION_AUDIO) continue;
        icaltriggertype t = icalproperty_get_trigger(trigger);
        alarm_rule a;
        a.index = index;
        if (!icaltime_is_null_time(t.time)) {
            // An absolute trigger is in UTC; one written without a zone is
            // read as the user's local time.
            a.absolute = 1;
            a.at = t.time.zone || icaltime_is_utc(t.time)
                       ? static_cast<int64_t>(
                             icaltime_as_timet_with_zone(t.time, icaltimezone_get_utc_timezone()))
                       : epoch_of(t.time);
        } else {
            a.offset = seconds_of(t.duration);
            icalparameter *related =
                icalproperty_get_first_parameter(trigger, ICAL_RELATED_PARAMETER);
            a.related_end = related && icalparameter_get_related(related) == ICAL_RELATED_END;
        }
        icalproperty *repeat = icalcomponent_get_first_property(v, ICAL_REPEAT_PROPERTY);
        icalproperty *every = icalcomponent_get_first_property(v, ICAL_DURATION_PROPERTY);
        if (repeat && every && icalproperty_get_repeat(repeat) > 0) {
            int64_t step = seconds_of(icalproperty_get_duration(every));
            if (step > 0) {
                a.repeat = static_cast<uint32_t>(icalproperty_get_repeat(repeat));
                a.every = step;
            }
        }
        node->alarms.push_back(a);
    }
}

void set_instance(event_node *node, icaltimetype replaced) {
    node->instance = local_time(replaced);
}

int reminds(const event_node *node, uint32_t default_minutes) {
    if (node->cancelled) return 0;
    return !node->alarms.empty() || (default_minutes > 0 && !node->start.is_date);
}

void event_alarms(const event_node *node, uint32_t index, const alarm_request &m,
                  alarms_reply &out) {
    if (!reminds(node, m.default_minutes)) return;
    std::vector<alarm_rule> rules = node->alarms;
    if (rules.empty()) {
        alarm_rule a;
        a.index = default_alarm;
        a.offset = -int64_t(m.default_minutes) * 60;
        rules.push_back(a);
    }
    occurrence_alarms c{node, index, m, out};
    const occurrence &first = node->first;
    if (first.first_day <= first.last_day)
        for (const alarm_rule &a : rules)
            add_alarm(c, a, first,
                      icaltime_is_null_time(node->instance) ? first.start : node->instance);
    if (node->faulty || node->alarms_faulty || !has_rule(node)) return;
    for (const alarm_rule &a : rules) {
        if (a.absolute) continue;  // once, with the first instance
        day_range days = start_days(node, a, m);
        c.only = &a;
        expand_rule(node, days.first, days.last, add_occurrence, &c);
    }
}
