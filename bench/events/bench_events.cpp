// Loading against the library's bare parse, month marks of old rules against
// new ones, and resident size over reloads.
#include "core/state.h"
#include "events/events.h"
#include "tests/events/ics_files.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

temp_dir dir;

const std::string &calendar_file(int n) {
    static std::map<int, std::string> paths;
    auto &p = paths[n];
    if (p.empty()) {
        p = dir.file(("gen" + std::to_string(n) + ".ics").c_str());
        write_file(p, generated_calendar(n, 7));
    }
    return p;
}

void force_reload(const std::string &path) {
    snprintf(app_state.ics_path, sizeof app_state.ics_path, "%s", path.c_str());
    timespec now[2] = {{0, UTIME_NOW}, {0, UTIME_NOW}};
    utimensat(AT_FDCWD, path.c_str(), now, 0);
}

void bm_load_events(benchmark::State &state) {
    const std::string &path = calendar_file(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        force_reload(path);
        load_events();
    }
    free_events();
}

void bm_bare_parse(benchmark::State &state) {
    const std::string &path = calendar_file(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        FILE *f = fopen(path.c_str(), "r");
        icalparser *parser = icalparser_new();
        icalparser_set_gen_data(parser, f);
        icalcomponent *c = icalparser_parse(parser, read_ics_line);
        benchmark::DoNotOptimize(c);
        if (c)
            icalcomponent_free(c);
        icalparser_free(parser);
        fclose(f);
    }
}

// 500 recurring events, a third with COUNT, first instances in January 2026
// (near) or in January 1996 (far); the month asked is January 2026.
std::string recurring_file(int base_year) {
    std::string out;
    const char *rules[] = {"FREQ=DAILY", "FREQ=WEEKLY;BYDAY=MO,TH", "FREQ=MONTHLY;BYMONTHDAY=%d"};
    for (int i = 0; i < 500; ++i) {
        char rule[64];
        snprintf(rule, sizeof rule, rules[i % 3], i % 28 + 1);
        std::string r = std::string("RRULE:") + rule + (i % 3 == 1 ? ";COUNT=" + std::to_string(20 + i % 50) : "");
        out += vevent({"DTSTART:" + ymd(base_year, 1, i % 28 + 1) + "T090000",
                       "DTEND:" + ymd(base_year, 1, i % 28 + 1) + "T100000", "SUMMARY:r" + std::to_string(i),
                       r, "EXDATE:" + ymd(2026, 1, 14) + "T090000"});
    }
    return calendar(out);
}

void bm_month_marks(benchmark::State &state) {
    std::string path = dir.file(state.range(0) ? "far.ics" : "near.ics");
    write_file(path, recurring_file(state.range(0) ? 1996 : 2026));
    for (auto _ : state) {
        state.PauseTiming();
        force_reload(path);
        load_events();
        state.ResumeTiming();
        for (int d = 1; d <= 31; ++d) {
            icaltimetype day = icaltime_null_date();
            day.year = 2026;
            day.month = 1;
            day.day = d;
            benchmark::DoNotOptimize(day_status(day));
        }
    }
    free_events();
}

long resident_kb() {
    long pages = 0, resident = 0;
    FILE *f = fopen("/proc/self/statm", "r");
    if (f) {
        if (fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        fclose(f);
    }
    return resident * 4;
}

void bm_resident_over_reloads(benchmark::State &state) {
    const std::string &path = calendar_file(50000);
    for (auto _ : state) {
        force_reload(path);
        load_events();
        long after_first = resident_kb();
        for (int i = 0; i < 1000; ++i) {
            force_reload(path);
            load_events();
            if (i == 9)
                after_first = resident_kb();  // allocator arenas settle in the first reloads
        }
        state.counters["rss_after_load_MB"] = resident_kb() / 1024.0;
        state.counters["growth_1000_reloads_MB"] = (resident_kb() - after_first) / 1024.0;
    }
    free_events();
}

}  // namespace

BENCHMARK(bm_load_events)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(bm_bare_parse)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(bm_month_marks)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(bm_resident_over_reloads)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_MAIN();
