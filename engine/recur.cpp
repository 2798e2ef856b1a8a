// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Expansion of one rule over a range of days; see events/recur.h.
#include "engine/recur.h"

#include "calendar/calendar.h"
#include "engine/zones.h"

#include <algorithm>
#include <climits>
#include <numeric>
#include <vector>

namespace {

struct iterator_free {
    void operator()(icalrecur_iterator *i) const { icalrecur_iterator_free(i); }
};
using iterator_ptr = std::unique_ptr<icalrecur_iterator, iterator_free>;

int64_t day_key(icaltimetype t) { return gregorian_to_jdn(t); }

// Seconds in one step of a rule of hours, minutes or seconds; 0 for others.
int64_t step_unit(icalrecurrencetype_frequency freq) {
    switch (freq) {
    case ICAL_HOURLY_RECURRENCE: return 3600;
    case ICAL_MINUTELY_RECURRENCE: return 60;
    case ICAL_SECONDLY_RECURRENCE: return 1;
    default: return 0;
    }
}

int has(const short *list) { return list[0] != ICAL_RECURRENCE_ARRAY_MAX; }

template <std::size_t n> std::vector<int> values(const short (&list)[n]) {
    std::vector<int> out;
    for (std::size_t i = 0; i < n && list[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i)
        out.push_back(list[i]);
    return out;
}

// Day after which a COUNT rule has no occurrence, when its periods are sure
// to hold one each: the rule has no parts but weekdays in a weekly rule, and
// a monthly or yearly start falls on a day every month or year has. The
// first period may hold none (occurrences before the start are dropped), so
// count + 1 periods hold them all; one period more covers a start late in
// its week. INT64_MAX when no such bound is known.
int64_t count_rule_last_day(const icalrecurrencetype &r, icaltimetype start) {
    int by_day_only = !has(r.by_second) && !has(r.by_minute) && !has(r.by_hour) &&
                      !has(r.by_month_day) && !has(r.by_year_day) && !has(r.by_week_no) &&
                      !has(r.by_month) && !has(r.by_set_pos);
    if (!by_day_only || r.count <= 0) return INT64_MAX;
    int64_t interval = r.interval > 0 ? r.interval : 1, periods = int64_t(r.count) + 2, days = 0;
    switch (r.freq) {
    case ICAL_DAILY_RECURRENCE: days = has(r.by_day) ? -1 : interval; break;
    case ICAL_WEEKLY_RECURRENCE:
        for (int d : values(r.by_day))
            if (icalrecurrencetype_day_position(static_cast<short>(d)) != 0) return INT64_MAX;
        days = 7 * interval;
        break;
    case ICAL_MONTHLY_RECURRENCE:
        days = has(r.by_day) || start.day > 28 ? -1 : 31 * interval;
        break;
    case ICAL_YEARLY_RECURRENCE:
        days = has(r.by_day) || (start.month == 2 && start.day == 29) ? -1 : 366 * interval;
        break;
    default: days = -1;
    }
    if (days < 0) return INT64_MAX;
    return day_key(start) + periods * days;  // under 2^31 * 2^31 * 366: no overflow
}

// A copy of the first instance moved forward by whole periods of the rule,
// so that its occurrences from there on are those of the rule itself, and
// every occurrence of day key still lies after it. The copy itself lies on a
// day before key: the library returns its start as the first occurrence
// whether the rule matches it or not. Daily, weekly and
// sub-daily rules repeat with a period of whole days, monthly ones whose day
// every month has with a period of months. 0 when no such copy is known.
int shifted_start(const icalrecurrencetype &rule, icaltimetype start, int64_t key,
                  icaltimetype *out) {
    int64_t interval = rule.interval > 0 ? rule.interval : 1;
    int64_t first = day_key(start);
    int64_t period = 0, latest = key - 1;  // days; the shifted day must not pass latest
    int start_time = start.is_date ? 0 : start.hour * 3600 + start.minute * 60 + start.second;
    *out = start;
    switch (rule.freq) {
    case ICAL_DAILY_RECURRENCE: period = interval; break;
    case ICAL_WEEKLY_RECURRENCE:
        period = 7 * interval;
        latest = key - 7;  // the week of the shifted start ends before the day's week
        break;
    case ICAL_HOURLY_RECURRENCE:
    case ICAL_MINUTELY_RECURRENCE:
    case ICAL_SECONDLY_RECURRENCE: {
        int64_t step = step_unit(rule.freq) * interval;
        if (86400 % step == 0) {
            // The steps fall at the same times every day: start at the last
            // step of the day before.
            if (key - 1 <= first) return 1;
            int t = start_time % static_cast<int>(step);
            t += (86399 - t) / static_cast<int>(step) * static_cast<int>(step);
            icaltime_adjust(out, static_cast<int>(key - 1 - first), 0, 0, t - start_time);
            return 1;
        }
        period = step / std::gcd(step, static_cast<int64_t>(86400));  // lcm(step, day) in days
        break;
    }
    case ICAL_MONTHLY_RECURRENCE: {
        // Months repeat too, when the start's day exists in every month.
        if (start.day > 28 || start.is_daylight) return 0;
        icaltimetype target = icaltime_null_date();
        jdn_to_gregorian(key, &target);
        int64_t months = (int64_t(target.year) - start.year) * 12 + target.month - start.month - 1;
        if (months < interval) return 1;
        int64_t shift = months / interval * interval + (start.month - 1);
        out->year = static_cast<int>(start.year + shift / 12);
        out->month = static_cast<int>(shift % 12 + 1);
        return 1;
    }
    default: return 0;
    }
    if (latest - first < period) return 1;
    int64_t shift = (latest - first) / period * period;
    if (shift > INT32_MAX) return 0;
    icaltime_adjust(out, static_cast<int>(shift), 0, 0, 0);
    return 1;
}

// An iterator whose occurrences from some point on are the rule's, every one
// on or after day first_day among them. A rule without COUNT starts near the
// range; a COUNT rule must be walked from its first instance.
iterator_ptr start_iterator(const event_node *node, const icalrecurrencetype &rule,
                            int64_t first_day) {
    icaltimetype from = node->start;
    if (rule.count > 0) return iterator_ptr(icalrecur_iterator_new(rule, from));
    if (shifted_start(rule, node->start, first_day, &from))
        return iterator_ptr(icalrecur_iterator_new(rule, from));
    // Monthly and yearly rules: the library jumps them itself when it can,
    // else they are walked from the first instance.
    iterator_ptr it(icalrecur_iterator_new(rule, node->start));
    if (!it || first_day <= day_key(node->start)) return it;
    icaltimetype jump = node->start;
    jdn_to_gregorian(first_day, &jump);
    jump.hour = jump.minute = jump.second = 0;
    if (!icalrecur_iterator_set_start(it.get(), jump))
        it.reset(icalrecur_iterator_new(rule, node->start));
    return it;
}

// Longest reach of an occurrence before the days asked for, in days: an
// occurrence longer than that which starts earlier is not found.
constexpr int64_t max_reach_days = 3653;

// Occurrences found for the days asked, with their instants for ordering.
struct expansion {
    const event_node *node;
    int64_t first_day, last_day;  // local days asked for
    std::vector<std::pair<int64_t, occurrence>> &found;

    // 1 when the occurrence from start to end is kept: not the first
    // instance, not left out, and covering a day asked for.
    int consider(icaltimetype start, icaltimetype end) {
        int64_t at = instant_of(start);
        if (at == instant_of(node->start) || excluded(node, start)) return 0;
        occurrence o = occurrence_between(start, end);
        if (o.last_day < first_day || o.first_day > last_day) return 0;
        found.emplace_back(at, o);
        return 1;
    }
};

// Julian day numbers of 1 January 1900 and 2200: the years in which
// plain_walk answers in place of the library's iterator.
constexpr int64_t plain_first_day = 2415021, plain_end_day = 2524594;

// The library's weekday (ICAL_SUNDAY_WEEKDAY 1 ... ICAL_SATURDAY_WEEKDAY 7) of day key.
int weekday_of_key(int64_t key) { return static_cast<int>((key + 1) % 7) + 1; }

// The rules whose starts are plain arithmetic on days, walked without the
// library's iterator, whose every step is a calendar computation of its own:
// DAILY rules with at most BYDAY of weekdays without a position, WEEKLY ones
// with such a BYDAY every week or without BYDAY every INTERVAL weeks, and
// MONTHLY ones on one day (BYMONTHDAY, else the start's) that every month
// has. Their occurrences start at the first instance's time of day on the
// days the rule names, from the first instance's day on, as the iterator
// gives them. Only floating, UTC and date starts, of rules without COUNT
// whose UNTIL (if any) lies well after the days walked, within
// plain_first_day..plain_end_day. 0 for the others: the library walks them.
int plain_walk(expansion &e, const icalrecurrencetype &r, int64_t first, int64_t last) {
    const icaltimetype start = e.node->start;
    if (r.count > 0 || r.interval < 1 || r.rscale || has(r.by_second) || has(r.by_minute) ||
        has(r.by_hour) || has(r.by_year_day) || has(r.by_week_no) || has(r.by_month) ||
        has(r.by_set_pos) || !real_day(start))
        return 0;
    // In a zone with changes of offset the iterator moves a time it finds in
    // a gap, and its later occurrences with it.
    if (start.zone && start.zone != icaltimezone_get_utc_timezone()) return 0;
    int64_t start_day = day_key(start), interval = r.interval;
    if (start_day < plain_first_day || last >= plain_end_day) return 0;
    if (!icaltime_is_null_time(r.until) && (!real_day(r.until) || day_key(r.until) <= last + 2))
        return 0;
    int weekdays = 0;  // bit d: the library's weekday d is named by BYDAY
    for (std::size_t i = 0; i < ICAL_BY_DAY_SIZE && r.by_day[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i) {
        if (icalrecurrencetype_day_position(r.by_day[i]) != 0) return 0;
        weekdays |= 1 << icalrecurrencetype_day_day_of_week(r.by_day[i]);
    }
    int64_t from = std::max(first, start_day);
    auto take = [&e, start](int64_t key) {
        icaltimetype t = start;
        jdn_to_gregorian(key, &t);
        e.consider(t, moved(t, e.node->length));
    };
    switch (r.freq) {
    case ICAL_DAILY_RECURRENCE:
    case ICAL_WEEKLY_RECURRENCE: {
        if (has(r.by_month_day)) return 0;
        int weekly = r.freq == ICAL_WEEKLY_RECURRENCE;
        if (weekly && weekdays && interval > 1) return 0;  // its weeks begin on WKST
        int64_t step = weekly && !weekdays ? 7 * interval : weekly ? 1 : interval;
        int64_t key =
            from <= start_day ? start_day : start_day + (from - start_day + step - 1) / step * step;
        for (; key <= last; key += step)
            if (!weekdays || (weekdays >> weekday_of_key(key) & 1)) take(key);
        return 1;
    }
    case ICAL_MONTHLY_RECURRENCE: {
        int day = !has(r.by_month_day) ? start.day
                  : ICAL_BY_MONTHDAY_SIZE < 2 || r.by_month_day[1] == ICAL_RECURRENCE_ARRAY_MAX
                      ? r.by_month_day[0]
                      : 0;
        if (weekdays || day < 1 || day > 28 || start.is_daylight) return 0;
        icaltimetype t = icaltime_null_date();
        jdn_to_gregorian(from, &t);
        int64_t month0 = int64_t(start.year) * 12 + start.month - 1;
        int64_t month = int64_t(t.year) * 12 + t.month - 1;
        month = month <= month0 ? month0
                                : month0 + (month - month0 + interval - 1) / interval * interval;
        for (;; month += interval) {
            icaltimetype at = start;
            at.year = static_cast<int>(month / 12);
            at.month = static_cast<int>(month % 12 + 1);
            at.day = day;
            int64_t key = day_key(at);
            if (key > last) return 1;
            if (key >= from) e.consider(at, moved(at, e.node->length));
        }
    }
    default: return 0;
    }
}

// The occurrences of one RRULE that start within the walk's days, written
// in the event's own zone: back by the event's length and a day more either
// way for the user's offset from that zone.
void walk_rule(expansion &e, const icalrecurrencetype &rule) {
    const event_node *node = e.node;
    int64_t first = e.first_day - std::min(node->length / 86400, max_reach_days) - 2;
    int64_t last = e.last_day + 2;
    if (rule.count > 0 && count_rule_last_day(rule, node->start) < first) return;
    // No occurrence starts after UNTIL (UTC or local: two days cover the offsets).
    if (real_day(rule.until) && day_key(rule.until) < first - 2) return;
    if (plain_walk(e, rule, first, last)) return;
    iterator_ptr it = start_iterator(node, rule, first);
    if (!it) return;
    // A day with a kept occurrence needs no more of them: a rule of minutes or
    // seconds whose steps repeat every day starts again on the next day.
    int64_t unit = step_unit(rule.freq);
    int day_jumps =
        unit && rule.count <= 0 && rule.interval > 0 && 86400 % (unit * rule.interval) == 0;
    // Occurrences that go back behind an earlier day are dropped: the walk
    // from the first instance stops at the first occurrence after the day
    // asked for, so it never reaches them. Days before floor are not asked.
    int64_t highest = INT64_MIN, floor = first;
    for (;;) {
        icaltimetype o = icalrecur_iterator_next(it.get());
        if (icaltime_is_null_time(o)) return;
        int64_t k = day_key(o);
        if (k > last) return;
        if (k < highest) continue;
        highest = k;
        if (k < floor || !e.consider(o, moved(o, node->length))) continue;
        if (day_jumps && k < last) {
            floor = k + 1;
            it = start_iterator(node, rule, floor);
            if (!it) return;
        }
    }
}

// RDATE values: dates and times last as long as the event, periods bring
// their own end.
void add_rdates(expansion &e) {
    const icaltimezone *zone = e.node->start.zone;
    for (icalproperty *p : e.node->rules) {
        if (icalproperty_isa(p) != ICAL_RDATE_PROPERTY) continue;
        icaldatetimeperiodtype d = icalproperty_get_rdate(p);
        if (!icaltime_is_null_time(d.time)) {
            icaltimetype start = with_zone(p, d.time, zone);
            e.consider(start, moved(start, e.node->length));
        } else if (!icaltime_is_null_time(d.period.start)) {
            icaltimetype start = with_zone(p, d.period.start, zone);
            icaltimetype end = icaltime_is_null_time(d.period.end)
                                   ? icaltime_add(start, d.period.duration)
                                   : with_zone(p, d.period.end, zone);
            e.consider(start, end);
        }
    }
}

}  // namespace

occurrence occurrence_between(icaltimetype start, icaltimetype end) {
    occurrence o;
    o.start = local_time(start);
    o.end = local_time(end);
    o.first_day = day_key(o.start);
    o.last_day = o.first_day;
    if (instant_of(o.end) > instant_of(o.start)) {
        int64_t last = day_key(o.end);
        if (o.end.is_date || (o.end.hour == 0 && o.end.minute == 0 && o.end.second == 0)) --last;
        o.last_day = std::max(o.first_day, last);
    }
    return o;
}

int real_day(icaltimetype t) {
    return !icaltime_is_null_time(t) && t.year >= 1 && t.month >= 1 && t.month <= 12 &&
           t.day >= 1 && t.day <= gregorian_month_length(t.month, t.year);
}

void exclude(event_node *node, icaltimetype t) {
    if (!real_day(t)) return;
    // A date leaves out the occurrences of a timed event that start on its day.
    if (t.is_date && !node->start.is_date)
        node->exdate_days.push_back(day_key(t));
    else
        node->excluded_instants.push_back(instant_of(t));
}

void sort_exclusions(event_node *node) {
    std::sort(node->exdate_days.begin(), node->exdate_days.end());
    std::sort(node->excluded_instants.begin(), node->excluded_instants.end());
}

void read_recurrence(event_node *node) {
    icalcomponent *c = node->component.get();
    for (icalproperty *p = icalcomponent_get_first_property(c, ICAL_ANY_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_ANY_PROPERTY)) {
        icalproperty_kind kind = icalproperty_isa(p);
        if (kind == ICAL_RRULE_PROPERTY || kind == ICAL_RDATE_PROPERTY) node->rules.push_back(p);
        // The rule as a record is some kilobytes, copied at each reading:
        // read once here, not for every range.
        if (kind == ICAL_RRULE_PROPERTY && step_unit(icalproperty_get_rrule(p).freq))
            node->sub_daily = 1;
    }
    for (icalproperty *p = icalcomponent_get_first_property(c, ICAL_EXDATE_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_EXDATE_PROPERTY))
        exclude(node, with_zone(p, value_of(p), node->start.zone));
    sort_exclusions(node);
}

int excluded(const event_node *node, icaltimetype start) {
    return std::binary_search(node->excluded_instants.begin(), node->excluded_instants.end(),
                              instant_of(start)) ||
           std::binary_search(node->exdate_days.begin(), node->exdate_days.end(), day_key(start));
}

int has_rule(const event_node *node) { return !node->rules.empty(); }

int has_sub_daily_rule(const event_node *node) { return node->sub_daily; }

void expand_rule(const event_node *node, int64_t first_day, int64_t last_day, occurrence_sink emit,
                 void *context) {
    if (first_day > last_day || !has_rule(node)) return;
    // Kept from one event to the next: a worker that allocated it for each
    // would write into pages it shares with the engine.
    static std::vector<std::pair<int64_t, occurrence>> found;
    found.clear();
    expansion e{node, first_day, last_day, found};
    for (icalproperty *p : node->rules)
        if (icalproperty_isa(p) == ICAL_RRULE_PROPERTY) walk_rule(e, icalproperty_get_rrule(p));
    add_rdates(e);
    auto earlier = [](const auto &a, const auto &b) { return a.first < b.first; };
    if (!std::is_sorted(found.begin(), found.end(), earlier))
        std::stable_sort(found.begin(), found.end(), earlier);
    for (std::size_t i = 0; i < e.found.size(); ++i)
        if (i == 0 || e.found[i].first != e.found[i - 1].first) emit(context, e.found[i].second);
}
