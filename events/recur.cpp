// Recurrence answers with bounded work; see events/recur.h.
#include "events/recur.h"

#include "calendar/calendar.h"
#include "core/state.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <numeric>
#include <vector>

namespace {

struct iterator_free {
    void operator()(icalrecur_iterator *i) const { icalrecur_iterator_free(i); }
};
using iterator_ptr = std::unique_ptr<icalrecur_iterator, iterator_free>;

// The Gregorian calendar repeats, weekdays included, every 400 years:
// 146097 days, a multiple of 7.
constexpr int cycle_days = 146097;

// Most internal steps of the library's iterator we let one call take. A step
// of an hourly rule costs about 5 us on a small machine, so one call stays
// near 50 ms; rules that need more are treated as never matching again.
constexpr int64_t max_gap_steps = 10000;

int64_t day_key(icaltimetype t) { return gregorian_to_jdn(t); }

int valid_date(icaltimetype t) {
    return t.month >= 1 && t.month <= 12 && t.day >= 1 &&
           t.day <= gregorian_month_length(t.month, t.year);
}

int has(const short *list) { return list[0] != ICAL_RECURRENCE_ARRAY_MAX; }

template <std::size_t n> std::vector<int> values(const short (&list)[n]) {
    std::vector<int> out;
    for (std::size_t i = 0; i < n && list[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i)
        out.push_back(list[i]);
    return out;
}

// The day-level parts of a rule. Every occurrence lies on a day that passes
// all of them, whichever of them expand and which limit for the frequency.
struct day_filter {
    int month[13] = {};  // 1: month allowed
    int any_month = 1;
    std::vector<int> month_days, year_days;  // negative counts from the end
    int weekday[8] = {};                     // libical numbering, 1 Sunday ... 7 Saturday
    int any_weekday = 1;
    int ordinal_weekday = 0;  // a BYDAY entry with a position, such as 2MO
};

day_filter make_filter(const icalrecurrencetype &r) {
    day_filter f;
    for (int m : values(r.by_month)) {
        f.any_month = 0;
        int month = icalrecurrencetype_month_month(static_cast<short>(m));
        if (month >= 1 && month <= 12) f.month[month] = 1;
    }
    f.month_days = values(r.by_month_day);
    f.year_days = values(r.by_year_day);
    for (int d : values(r.by_day)) {
        f.any_weekday = 0;
        int w = icalrecurrencetype_day_day_of_week(static_cast<short>(d));
        if (w >= 1 && w <= 7) f.weekday[w] = 1;
        if (icalrecurrencetype_day_position(static_cast<short>(d)) != 0) f.ordinal_weekday = 1;
    }
    return f;
}

int filter_empty(const day_filter &f) {
    return f.any_month && f.month_days.empty() && f.year_days.empty() && f.any_weekday;
}

int in_list(const std::vector<int> &list, int value, int length) {
    for (int v : list)
        if (v == value || v == value - length - 1) return 1;
    return 0;
}

// Pass flags for the days of one 400-year cycle, from 2000-01-01 (a
// Saturday) on, and the count of passing days.
int scan_cycle(const day_filter &f, std::vector<char> &pass) {
    pass.assign(cycle_days, 0);
    int index = 0, count = 0, weekday = 7;  // 2000-01-01 is a Saturday
    for (int year = 2000; year < 2400; ++year) {
        int year_length = gregorian_month_length(2, year) == 29 ? 366 : 365;
        int year_day = 0;
        for (int month = 1; month <= 12; ++month) {
            int length = gregorian_month_length(month, year);
            for (int day = 1; day <= length; ++day, ++index) {
                ++year_day;
                int ok = (f.any_month || f.month[month]) &&
                         (f.month_days.empty() || in_list(f.month_days, day, length)) &&
                         (f.year_days.empty() || in_list(f.year_days, year_day, year_length)) &&
                         (f.any_weekday || f.weekday[weekday]);
                pass[index] = static_cast<char>(ok);
                count += ok;
                weekday = weekday % 7 + 1;
            }
        }
    }
    return count;
}

// Longest run of failing candidates among the days first + k * stride of the
// cycle, taken circularly; -1 when no candidate passes.
int64_t longest_failing_run(const std::vector<char> &pass, int64_t first, int64_t stride) {
    int64_t period = cycle_days / std::gcd(stride % cycle_days ? stride % cycle_days : cycle_days,
                                           static_cast<int64_t>(cycle_days));
    int64_t run = 0, longest = 0, leading = -1;
    for (int64_t k = 0; k < period; ++k) {
        if (pass[(first + k * stride) % cycle_days]) {
            if (leading < 0) leading = run;
            longest = std::max(longest, run);
            run = 0;
        } else {
            ++run;
        }
    }
    if (leading < 0) return -1;
    return std::max(longest, run + leading);
}

// A quick bound on the longest run of failing days, or -1 when the filter
// needs the scan (month days past the 28th, year days).
int64_t quick_day_gap(const day_filter &f) {
    if (!f.year_days.empty()) return -1;
    for (int d : f.month_days)
        if (d > 28 || d < -28) return -1;
    int64_t gap = 0;
    if (!f.any_month) {
        int months = 0;
        for (int m = 1; m <= 12; ++m) months += f.month[m];
        if (!months) return -1;
        gap += 31 * (13 - months);  // at most the days of the months left out
    }
    if (!f.month_days.empty()) gap += 31;
    if (!f.any_weekday) gap += 6;
    return gap;
}

// Day position of a date in the scanned cycle.
int64_t cycle_index(icaltimetype t) {
    int64_t n = (day_key(t) - 2451545) % cycle_days;
    return n < 0 ? n + cycle_days : n;
}

int time_allowed(const icalrecurrencetype &r, int seconds_of_day) {
    icalrecurrencetype_frequency f = r.freq;
    int h = seconds_of_day / 3600, m = seconds_of_day / 60 % 60, s = seconds_of_day % 60;
    auto ok = [](const short *list, int n, int v) {
        if (list[0] == ICAL_RECURRENCE_ARRAY_MAX) return 1;
        for (int i = 0; i < n && list[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i)
            if (list[i] == v) return 1;
        return 0;
    };
    if (!ok(r.by_hour, ICAL_BY_HOUR_SIZE, h)) return 0;
    if (f != ICAL_HOURLY_RECURRENCE && !ok(r.by_minute, ICAL_BY_MINUTE_SIZE, m)) return 0;
    if (f == ICAL_SECONDLY_RECURRENCE && !ok(r.by_second, ICAL_BY_SECOND_SIZE, s)) return 0;
    return 1;
}

int has_time_limits(const icalrecurrencetype &r) {
    if (has(r.by_hour)) return 1;
    if (r.freq != ICAL_HOURLY_RECURRENCE && has(r.by_minute)) return 1;
    return r.freq == ICAL_SECONDLY_RECURRENCE && has(r.by_second);
}

}  // namespace

int rule_in_bound(const icalrecurrencetype &r, icaltimetype dtstart) {
    int64_t interval = r.interval > 0 ? r.interval : 1;
    day_filter f = make_filter(r);
    int sub_daily = r.freq == ICAL_SECONDLY_RECURRENCE || r.freq == ICAL_MINUTELY_RECURRENCE ||
                    r.freq == ICAL_HOURLY_RECURRENCE;
    int daily = r.freq == ICAL_DAILY_RECURRENCE;

    std::vector<char> pass;
    int64_t gap = filter_empty(f) ? 0 : quick_day_gap(f);
    if (gap < 0 && scan_cycle(f, pass) == 0)
        return 0;  // no day of any year passes: the rule never matches again
    if (!sub_daily && !daily) {
        // Weekly and coarser walks take few steps per year even when they
        // never match; only a month that no interval step reaches is caught.
        if (r.freq == ICAL_MONTHLY_RECURRENCE && !f.any_month) {
            for (int64_t k = 0; k < 12; ++k)
                if (f.month[(dtstart.month - 1 + k * interval) % 12 + 1]) return 1;
            return 0;
        }
        return 1;
    }
    if (has(r.by_week_no) || has(r.by_set_pos) || f.ordinal_weekday)
        return 0;  // not modelled for these frequencies; stay on the safe side

    int64_t unit = r.freq == ICAL_HOURLY_RECURRENCE     ? 3600
                   : r.freq == ICAL_MINUTELY_RECURRENCE ? 60
                                                        : 1;
    int64_t step = daily ? 86400 * interval : unit * interval;  // seconds per base step
    int start_time =
        dtstart.is_date ? 0 : dtstart.hour * 3600 + dtstart.minute * 60 + dtstart.second;
    int64_t steps_per_day = 1, day_stride = 1;
    if (step % 86400 == 0) {
        day_stride = step / 86400;
        if (sub_daily && has_time_limits(r) && !time_allowed(r, start_time))
            return 0;  // every step lands on the same time of day
    } else if (86400 % step == 0) {
        steps_per_day = 86400 / step;
        if (has_time_limits(r)) {
            int hit = 0;
            for (int64_t k = 0; k < steps_per_day && !hit; ++k)
                hit = time_allowed(r, static_cast<int>((start_time + k * step) % 86400));
            if (!hit) return 0;
        }
    } else {
        return filter_empty(f) && !has_time_limits(r);
    }

    if (filter_empty(f)) return 1;
    if (day_stride > 1 || gap < 0) {
        if (pass.empty()) scan_cycle(f, pass);
        gap = longest_failing_run(pass, cycle_index(dtstart), day_stride);
        if (gap < 0) return 0;
    }
    // A call walks at most the failing days plus the steps of one day that
    // passes the day parts but not the time parts.
    return (gap + 2) * steps_per_day <= max_gap_steps;
}

struct recur_state {
    int usable = 0;   // 0: no rule, no iterator, or a rule over the bound
    int counted = 0;  // 1: COUNT rule, walked from its first instance as far as asked
    icalrecurrencetype rule{};
    // A COUNT rule's walk from the first instance; a rule without COUNT is
    // jumped near each day asked about.
    iterator_ptr iterator;
    std::vector<int64_t> days;  // occurrence days: a COUNT rule's so far, or the window's
    int64_t window_from = 1, window_to = 0;  // days known for a rule without COUNT
    int64_t none_from = INT64_MAX;           // no occurrence on or after this day
    // A COUNT rule: every occurrence up to walked_to is in days; walk_steps
    // counts the iterator steps taken, bounded by max_count_expansion.
    int64_t walked_to = INT64_MIN;
    int64_t highest = INT64_MIN;
    int walk_steps = 0;
};

void recur_state_free::operator()(recur_state *r) const { delete r; }

namespace {

void report_over_bound(const event_node *node, const char *why) {
    if (app_state.debug_level)
        printf("recurrence of \"%s\" %s; only its first instance is shown\n", node->summary.c_str(),
               why);
}

// Adds an occurrence day, keeping only days that do not go back: the walk
// from the first instance stops at the first occurrence after the day asked
// for, so an occurrence behind an earlier one is never reached.
void push_day(std::vector<int64_t> &days, int64_t key, int64_t &highest) {
    if (key < highest) return;
    if (days.empty() || days.back() != key) days.push_back(key);
    highest = key;
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

// Walks a COUNT rule on from where it stopped until it passes day key plus
// the window, or ends.
void walk_count_rule(const event_node *node, recur_state &s, int64_t key) {
    if (s.walk_steps == 0 && !s.iterator) {
        s.iterator.reset(icalrecur_iterator_new(s.rule, node->start));
        if (!s.iterator) {
            s.usable = 0;
            return;
        }
    }
    while (s.usable && s.walked_to < key + window_days) {
        if (s.walk_steps++ >= max_count_expansion) {
            s.days.clear();
            s.iterator.reset();
            s.usable = 0;
            report_over_bound(node, "has too many occurrences");
            return;
        }
        icaltimetype o = icalrecur_iterator_next(s.iterator.get());
        if (icaltime_is_null_time(o)) {
            s.none_from = std::min(s.none_from, s.days.empty() ? INT64_MIN + 1 : s.days.back() + 1);
            s.walked_to = INT64_MAX;
            s.iterator.reset();
            return;
        }
        int64_t k = day_key(o);
        push_day(s.days, k, s.highest);
        s.walked_to = std::max(s.walked_to, k);
    }
}

recur_state *build_state(const event_node *node) {
    auto s = new recur_state;
    node->recur.reset(s);
    icalcomponent *c = node->component.get();
    icalproperty *rrule = c ? icalcomponent_get_first_property(c, ICAL_RRULE_PROPERTY) : nullptr;
    if (!rrule || icaltime_is_null_time(node->start)) return s;
    s->rule = icalproperty_get_rrule(rrule);
    if (!rule_in_bound(s->rule, node->start)) {
        report_over_bound(node, "needs too much work");
        return s;
    }
    s->usable = 1;
    // The iterator is made when a day first needs it: many questions are
    // answered by an exception date or by the end of a COUNT rule alone.
    if (s->rule.count > 0) {
        s->counted = 1;
        int64_t last = count_rule_last_day(s->rule, node->start);
        if (last < INT64_MAX) s->none_from = last + 1;
    }
    return s;
}

// A copy of the first instance moved forward by whole periods of the rule,
// so that its occurrences from there on are those of the rule itself, and
// every occurrence of the day asked for still lies after it. Daily, weekly
// and sub-daily rules repeat with a period of whole days; a rule with BYSETPOS
// or COUNT does not take part (COUNT is expanded, BYSETPOS is out of bound
// below weekly).
int shifted_start(const recur_state &s, icaltimetype start, int64_t key, icaltimetype *out) {
    int64_t interval = s.rule.interval > 0 ? s.rule.interval : 1;
    int64_t first = day_key(start);
    int64_t period = 0, latest = key - 1;  // days; the shifted day must not pass latest
    int start_time = start.is_date ? 0 : start.hour * 3600 + start.minute * 60 + start.second;
    *out = start;
    switch (s.rule.freq) {
    case ICAL_DAILY_RECURRENCE: period = interval; break;
    case ICAL_WEEKLY_RECURRENCE:
        period = 7 * interval;
        latest = key - 7;  // the week of the shifted start ends before the day's week
        break;
    case ICAL_HOURLY_RECURRENCE:
    case ICAL_MINUTELY_RECURRENCE:
    case ICAL_SECONDLY_RECURRENCE: {
        int64_t unit = s.rule.freq == ICAL_HOURLY_RECURRENCE     ? 3600
                       : s.rule.freq == ICAL_MINUTELY_RECURRENCE ? 60
                                                                 : 1;
        int64_t step = unit * interval;
        if (86400 % step == 0) {
            // The steps fall at the same times every day: start at the day's first.
            if (key <= first) return 1;
            int t = start_time % static_cast<int>(step);
            icaltime_adjust(out, static_cast<int>(key - first), 0, 0, t - start_time);
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

// Starts the rule at or shortly before the day and remembers which of the
// days from there on carry an occurrence, up to window_days later or
// max_window_steps occurrences.
void fill_window(const event_node *node, recur_state &s, icaltimetype day, int64_t key) {
    s.days.clear();
    s.window_from = key;
    s.window_to = key;
    icaltimetype from;
    if (shifted_start(s, node->start, key, &from)) {
        s.iterator.reset(icalrecur_iterator_new(s.rule, from));
    } else {
        // Monthly and yearly rules: the library jumps them itself.
        from = node->start;
        from.year = day.year;
        from.month = day.month;
        from.day = day.day;
        from.hour = from.minute = from.second = 0;
        if (!s.iterator) s.iterator.reset(icalrecur_iterator_new(s.rule, node->start));
        if (!s.iterator || !icalrecur_iterator_set_start(s.iterator.get(), from))
            s.iterator.reset();
    }
    if (!s.iterator) {
        s.usable = 0;
        report_over_bound(node, "cannot be started on a later day");
        return;
    }
    int64_t highest = INT64_MIN;
    for (int n = 0, steps = 0; n < max_window_steps; ++steps) {
        icaltimetype o = icalrecur_iterator_next(s.iterator.get());
        if (icaltime_is_null_time(o)) {
            s.none_from = std::min(s.none_from, s.days.empty() ? key : s.days.back() + 1);
            s.window_to = s.days.empty() ? key : s.days.back();
            return;
        }
        int64_t k = day_key(o);
        if (k < key) {
            if (steps > 100 * max_window_steps) {
                s.usable = 0;
                report_over_bound(node, "needs too many steps to reach a day");
                return;
            }
            continue;
        }
        ++n;
        push_day(s.days, k, highest);
        s.window_to = std::max(s.window_to, k);
        if (k > key + window_days) return;
    }
}

}  // namespace

std::vector<int64_t> exdate_days_of(icalcomponent *component) {
    std::vector<int64_t> days;
    for (icalproperty *p = icalcomponent_get_first_property(component, ICAL_EXDATE_PROPERTY); p;
         p = icalcomponent_get_next_property(component, ICAL_EXDATE_PROPERTY)) {
        icaltimetype t = icalproperty_get_exdate(p);
        if (valid_date(t)) days.push_back(day_key(t));
    }
    std::sort(days.begin(), days.end());
    return days;
}

int rule_occurs_on(const event_node *node, icaltimetype day) {
    if (!valid_date(day)) return 0;
    int64_t key = day_key(day);
    // Every occurrence on an excluded day is removed, whatever the rule.
    if (std::binary_search(node->exdate_days.begin(), node->exdate_days.end(), key)) return 0;
    recur_state *s = node->recur ? node->recur.get() : build_state(node);
    if (!s->usable) return 0;
    if (key >= s->none_from) return 0;
    if (s->counted) {
        if (key > s->walked_to) walk_count_rule(node, *s, key);
        if (!s->usable) return 0;
    } else {
        if (key < s->window_from || key > s->window_to) fill_window(node, *s, day, key);
        if (!s->usable) return 0;
    }
    return std::binary_search(s->days.begin(), s->days.end(), key) ? 1 : 0;
}
