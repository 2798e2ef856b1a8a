// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Cost of the calendar arithmetic: single calls, and the arithmetic of one
// displayed month as the grid does it.
#include "calendar/calendar.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

icaltimetype ymd(int year, int month, int day) {
    icaltimetype t = icaltime_null_time();
    t.year = year;
    t.month = month;
    t.day = day;
    return t;
}

// Day numbers spread over 1900 to 2100, stepped so that successive calls do
// not repeat one another.
constexpr int32_t jdn_base = 2415021;
constexpr int32_t jdn_span = 73414;
constexpr int32_t jdn_step = 7919;

void bm_gregorian_to_jdn(benchmark::State &state) {
    std::vector<icaltimetype> dates;
    for (int i = 0; i < 1024; ++i) dates.push_back(ymd(1900 + i % 200, 1 + i % 12, 1 + i % 28));
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(gregorian_to_jdn(dates[i]));
        i = (i + 1) % dates.size();
    }
}
BENCHMARK(bm_gregorian_to_jdn);

void bm_jdn_to_gregorian(benchmark::State &state) {
    icaltimetype d = icaltime_null_time();
    int32_t j = 0;
    for (auto _ : state) {
        jdn_to_gregorian(jdn_base + j, &d);
        benchmark::DoNotOptimize(d);
        j = (j + jdn_step) % jdn_span;
    }
}
BENCHMARK(bm_jdn_to_gregorian);

void bm_persian_to_jdn(benchmark::State &state) {
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(persian_to_jdn(1300 + i % 200, 1 + i % 12, 1 + i % 29));
        ++i;
    }
}
BENCHMARK(bm_persian_to_jdn);

void bm_jdn_to_persian(benchmark::State &state) {
    icaltimetype d = icaltime_null_time();
    int32_t j = 0;
    for (auto _ : state) {
        jdn_to_persian(jdn_base + j, &d);
        benchmark::DoNotOptimize(d);
        j = (j + jdn_step) % jdn_span;
    }
}
BENCHMARK(bm_jdn_to_persian);

void bm_jdn_to_islamic(benchmark::State &state) {
    icaltimetype d = icaltime_null_time();
    int32_t j = 0;
    for (auto _ : state) {
        jdn_to_islamic(jdn_base + j, &d);
        benchmark::DoNotOptimize(d);
        j = (j + jdn_step) % jdn_span;
    }
}
BENCHMARK(bm_jdn_to_islamic);

void bm_islamic_month_length(benchmark::State &state) {
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(islamic_month_length(1 + i % 12, 1320 + i % 200));
        ++i;
    }
}
BENCHMARK(bm_islamic_month_length);

void bm_moon_phase_jd(benchmark::State &state) {
    int64_t k = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(moon_phase_jd(k % 2480, static_cast<int>(k % 4)));
        ++k;
    }
}
BENCHMARK(bm_moon_phase_jd);

// One displayed month the way the grid draws it: the month length once, then
// for every day its Gregorian date and its moon phase. Months run from
// December 2026 (Azar 1405, Jumada II 1448) forward, one per iteration; the
// cold variant empties the moon cache first.
void displayed_month(benchmark::State &state, int kind, int year0, int month0, bool cold) {
    icaltimetype today = ymd(year0, month0, 9);
    int offset = 0;
    for (auto _ : state) {
        int months = month0 - 1 + offset % 240;
        int year = year0 + months / 12, month = months % 12 + 1;
        if (cold) std::memset(moon_phase_cache, 0, sizeof moon_phase_cache);
        int n = days_in_month(month, year, kind);
        int marks = 0;
        for (int day = 1; day <= n; ++day) {
            icaltimetype date = today;
            date.year = year;
            date.month = month;
            date.day = day;
            icaltimetype g = icaltime_null_time();
            to_gregorian(kind, date, &g);
            marks += moon_phase_of_day(g);
        }
        benchmark::DoNotOptimize(marks);
        if (cold) ++offset;
    }
}

void bm_month_gregorian_cold(benchmark::State &s) {
    displayed_month(s, calendar_gregorian, 2026, 12, true);
}
void bm_month_gregorian_warm(benchmark::State &s) {
    displayed_month(s, calendar_gregorian, 2026, 12, false);
}
void bm_month_persian_cold(benchmark::State &s) {
    displayed_month(s, calendar_persian, 1405, 9, true);
}
void bm_month_persian_warm(benchmark::State &s) {
    displayed_month(s, calendar_persian, 1405, 9, false);
}
void bm_month_islamic_cold(benchmark::State &s) {
    displayed_month(s, calendar_islamic, 1448, 6, true);
}
void bm_month_islamic_warm(benchmark::State &s) {
    displayed_month(s, calendar_islamic, 1448, 6, false);
}
BENCHMARK(bm_month_gregorian_cold)->Unit(benchmark::kMicrosecond);
BENCHMARK(bm_month_gregorian_warm)->Unit(benchmark::kMicrosecond);
BENCHMARK(bm_month_persian_cold)->Unit(benchmark::kMicrosecond);
BENCHMARK(bm_month_persian_warm)->Unit(benchmark::kMicrosecond);
BENCHMARK(bm_month_islamic_cold)->Unit(benchmark::kMicrosecond);
BENCHMARK(bm_month_islamic_warm)->Unit(benchmark::kMicrosecond);

}  // namespace
