// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Loading against the library's bare parse, month marks of old rules against
// new ones, and resident size over reloads. With --write-calendars and --walk
// (see main), the calendars of bench/engine_figures.py and the in-process walk
// its docked tile is compared with.
#include "engine/engine.h"
#include "engine/recur.h"
#include "tests/events/ics_files.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

temp_dir dir;
uint64_t reads = 0;  // calendars read

// The bare parse's line reader: fgets on a FILE *.
char *read_ics_line(char *buffer, std::size_t size, void *file) {
    if (size > INT32_MAX) size = INT32_MAX;
    return fgets(buffer, static_cast<int>(size), static_cast<FILE *>(file));
}

// Two copies of each file, asked for in turn: a new inode at every switch, so
// every load really parses (a touch within one clock tick of the file system
// would keep the modification time, and the list).
struct file_pair {
    std::string paths[2];
    int next = 0;
    const std::string &load() {
        const std::string &p = paths[next];
        next ^= 1;
        end_worker();  // as the engine does before a load
        read_calendar(p.c_str(), read_options{});
        ++reads;
        return p;
    }
};

file_pair make_pair_of(const std::string &name, const std::string &text) {
    file_pair f;
    for (int i = 0; i < 2; ++i) {
        f.paths[i] = dir.file((name + std::to_string(i) + ".ics").c_str());
        write_file(f.paths[i], text);
    }
    return f;
}

file_pair &calendar_file(int n) {
    static std::map<int, file_pair> files;
    auto it = files.find(n);
    if (it == files.end())
        it =
            files
                .emplace(n, make_pair_of("gen" + std::to_string(n) + "-", generated_calendar(n, 7)))
                .first;
    return it->second;
}

void bm_load_events(benchmark::State &state) {
    file_pair &file = calendar_file(static_cast<int>(state.range(0)));
    uint64_t parses = reads;
    for (auto _ : state) file.load();
    state.counters["parses"] = static_cast<double>(reads - parses);
    free_events();
}

void bm_bare_parse(benchmark::State &state) {
    const std::string &path = calendar_file(static_cast<int>(state.range(0))).paths[0];
    for (auto _ : state) {
        FILE *f = fopen(path.c_str(), "r");
        icalparser *parser = icalparser_new();
        icalparser_set_gen_data(parser, f);
        icalcomponent *c = icalparser_parse(parser, read_ics_line);
        benchmark::DoNotOptimize(c);
        if (c) icalcomponent_free(c);
        icalparser_free(parser);
        fclose(f);
    }
}

// 500 recurring events, a third with COUNT, first instances in month of
// base_year, and an EXDATE on the 14th of that month in shown_year. The
// benchmarks ask for January 2026, from first instances in January 2026
// (near) or in January 1996 (far).
std::string recurring_file(int base_year, int shown_year = 2026, int month = 1) {
    std::string out;
    const char *rules[] = {"FREQ=DAILY", "FREQ=WEEKLY;BYDAY=MO,TH", "FREQ=MONTHLY;BYMONTHDAY=%d"};
    for (int i = 0; i < 500; ++i) {
        char rule[64];
        snprintf(rule, sizeof rule, rules[i % 3], i % 28 + 1);
        std::string r = std::string("RRULE:") + rule +
                        (i % 3 == 1 ? ";COUNT=" + std::to_string(20 + i % 50) : "");
        out += vevent({"DTSTART:" + ymd(base_year, month, i % 28 + 1) + "T090000",
                       "DTEND:" + ymd(base_year, month, i % 28 + 1) + "T100000",
                       "SUMMARY:r" + std::to_string(i), r,
                       "EXDATE:" + ymd(shown_year, month, 14) + "T090000"});
    }
    return calendar(out);
}

// CPU time of the reaped worker processes so far, ms.
double workers_cpu_ms() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

void bm_month_marks(benchmark::State &state) {
    int far = static_cast<int>(state.range(0));
    file_pair file = make_pair_of(far ? "far" : "near", recurring_file(far ? 1996 : 2026));
    double cpu = workers_cpu_ms();
    for (auto _ : state) {
        state.PauseTiming();
        file.load();
        state.ResumeTiming();
        answer_days({2461042 - 15, 2461042 + 45}, 0, 1500, engine_fault{}, 1, 0);
        for (int d = 1; d <= 31; ++d) {
            icaltimetype day = icaltime_null_date();
            day.year = 2026;
            day.month = 1;
            day.day = d;
            benchmark::DoNotOptimize(day);
        }
    }
    end_worker();
    state.counters["worker_cpu_ms"] =
        benchmark::Counter(workers_cpu_ms() - cpu, benchmark::Counter::kAvgIterations);
    free_events();
}

void ask_month() { answer_days({2461042 - 15, 2461042 + 45}, 0, 1500, engine_fault{}, 1, 0); }

// The worker's own cost with n events loaded: an answer for no day (range 0:
// each rule reported done at once), or the answers of a month (range 1),
// read back by the engine. The worker is forked at the first iteration and
// kept, as the engine keeps it over the ranges of one load.
void bm_worker_answer(benchmark::State &state) {
    calendar_file(static_cast<int>(state.range(0))).load();
    int64_t first = 2461042;  // 1 January 2026
    day_range range = state.range(1) ? day_range{first - 15, first + 45} : day_range{};
    double cpu = workers_cpu_ms();
    for (auto _ : state) answer_days(range, 0, 1500, engine_fault{}, 1, 0);
    end_worker();  // its CPU time is counted once it is reaped
    state.counters["worker_cpu_ms"] =
        benchmark::Counter(workers_cpu_ms() - cpu, benchmark::Counter::kAvgIterations);
    free_events();
}

// 1,000 rules that each hold the worker: the time until a month's marks are
// all known, which is when the face is drawn.
void bm_all_faulty_month(benchmark::State &state) {
    std::string out;
    const char *rules[] = {"FREQ=HOURLY;BYMONTH=2;BYMONTHDAY=30",
                           "FREQ=MINUTELY;BYHOUR=3;BYMINUTE=7;BYMONTH=2;BYMONTHDAY=30"};
    for (int i = 0; i < 1000; ++i)
        out += vevent({"DTSTART:" + ymd(2026, 1, 1 + i % 28) + "T100000",
                       "SUMMARY:f" + std::to_string(i), std::string("RRULE:") + rules[i % 2]});
    file_pair file = make_pair_of("faulty", calendar(out));
    for (auto _ : state) {
        state.PauseTiming();
        file.load();
        state.ResumeTiming();
        ask_month();
    }
    free_events();
}

long resident_kb() {
    long pages = 0, resident = 0;
    FILE *f = fopen("/proc/self/statm", "r");
    if (f) {
        if (fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        fclose(f);
    }
    return resident * 4;
}

// Resident size after loading the 50,000-event file, and its growth over
// reloads: 50 of that file (a minute or so), then 1,000 of the 1,000-event
// file. Each growth is measured from a reference taken after a few reloads,
// when the allocator's arenas have settled; the marks of a month are asked
// after every load, so the recurrence state is built and dropped too.
void bm_resident_over_reloads(benchmark::State &state) {
    for (auto _ : state) {
        file_pair &large = calendar_file(50000);
        file_pair &small = calendar_file(1000);
        calendar_file(10000).load();
        ask_month();
        state.counters["rss_10k_MB"] = resident_kb() / 1024.0;
        large.load();
        ask_month();
        state.counters["rss_50k_MB"] = resident_kb() / 1024.0;
        long reference = 0;
        for (int i = 0; i < 50; ++i) {
            large.load();
            ask_month();
            if (i == 4) reference = resident_kb();
        }
        state.counters["growth_45_reloads_50k_MB"] = (resident_kb() - reference) / 1024.0;
        free_events();
        for (int i = 0; i < 1000; ++i) {
            small.load();
            ask_month();
            if (i == 9) reference = resident_kb();
        }
        state.counters["growth_990_reloads_1k_MB"] = (resident_kb() - reference) / 1024.0;
    }
    free_events();
}

// A synchronised folder: 10,000 files of one event each in four subfolders,
// two copies so that switching between them re-reads everything; and the same
// calendars joined into one file, as the reference.
struct event_folder {
    std::string roots[2];
    std::string joined[2];
    std::string one_file;  // a file of the first copy, rewritten for a change
};

event_folder &ten_thousand_files() {
    static event_folder f;
    if (!f.one_file.empty()) return f;
    std::string all;
    for (int copy = 0; copy < 2; ++copy) {
        f.roots[copy] = dir.file(("folder" + std::to_string(copy)).c_str());
        mkdir(f.roots[copy].c_str(), 0755);
        for (int sub = 0; sub < 4; ++sub)
            mkdir((f.roots[copy] + "/cal" + std::to_string(sub)).c_str(), 0755);
        for (int i = 0; i < 10000; ++i) {
            std::string text = generated_calendar(1, static_cast<unsigned>(i));
            std::string name = f.roots[copy] + "/cal" + std::to_string(i % 4) + "/event-" +
                               std::to_string(i) + ".ics";
            write_file(name, text);
            if (copy == 0) all += text;
        }
    }
    f.one_file = f.roots[0] + "/cal1/event-5.ics";
    for (int copy = 0; copy < 2; ++copy) {
        f.joined[copy] = dir.file(("joined" + std::to_string(copy) + ".ics").c_str());
        write_file(f.joined[copy], all);
    }
    return f;
}

// The engine's reader, in this process: a folder is read whole each time.
std::string used_path;
void use_path(const std::string &path) { used_path = path; }
void load_events() {
    read_calendar(used_path.c_str(), read_options{});
    ++reads;
}

// 0: the whole folder read (the other copy at every iteration); 1: one file
// changed; 2: nothing changed, the folder listed only; 3: the same events
// from one file.
void bm_folder(benchmark::State &state) {
    event_folder &f = ten_thousand_files();
    int kind = static_cast<int>(state.range(0));
    int copy = 0;
    unsigned flip = 0;
    use_path(kind == 3 ? f.joined[0] : f.roots[0]);
    load_events();
    uint64_t parses = reads;
    for (auto _ : state) {
        if (kind == 0) use_path(f.roots[copy ^= 1]);
        if (kind == 1) {
            state.PauseTiming();
            write_file(f.one_file, generated_calendar(1, 5 + (flip ^= 1u)));
            state.ResumeTiming();
        }
        if (kind == 3) use_path(f.joined[copy ^= 1]);
        load_events();
    }
    std::size_t events = 0;
    for (const event_node *n = event_list; n; n = n->next) ++events;
    state.counters["events"] = static_cast<double>(events);
    state.counters["parses"] =
        benchmark::Counter(static_cast<double>(reads - parses), benchmark::Counter::kAvgIterations);
    free_events();
}

}  // namespace

// A web calendar's export of 5,000 events (some 1.6 MB): its load, and the
// marks of one month after it (the first month asked runs the worker).
file_pair &export_file() {
    static file_pair f = make_pair_of("export-", client_export(5000, 11));
    return f;
}

void bm_export_load(benchmark::State &state) {
    file_pair &file = export_file();
    struct stat st {};
    stat(file.paths[0].c_str(), &st);
    for (auto _ : state) file.load();
    state.counters["MB"] = static_cast<double>(st.st_size) / 1e6;
    free_events();
}

void bm_export_month(benchmark::State &state) {
    file_pair &file = export_file();
    for (auto _ : state) {
        state.PauseTiming();
        file.load();
        state.ResumeTiming();
        ask_month();
    }
    free_events();
}

BENCHMARK(bm_load_events)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(bm_bare_parse)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(bm_folder)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(bm_month_marks)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(bm_worker_answer)
    ->ArgsProduct({{1000, 10000, 50000}, {0, 1}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(bm_all_faulty_month)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(bm_export_load)->Unit(benchmark::kMillisecond);
BENCHMARK(bm_export_month)->Unit(benchmark::kMillisecond);
BENCHMARK(bm_resident_over_reloads)->Iterations(1)->Unit(benchmark::kSecond);

namespace {

// The calendars of bench/engine_figures.py, around the month it shows (year,
// month): the generated ones span year - 4 to year + 2, the export year - 2 to
// year + 2. The second 10,000-event file differs from the first, for reloads.
int write_calendars(const std::string &to, int year, int month) {
    const std::pair<const char *, std::string> files[] = {
        {"rules-30-years-old.ics", recurring_file(year - 30, year, month)},
        {"rules-new.ics", recurring_file(year, year, month)},
        {"export-5000.ics", client_export(5000, 11, year + 2)},
        {"events-10000.ics", generated_calendar(10000, 7, year - 4)},
        {"events-10000-b.ics", generated_calendar(10000, 8, year - 4)},
        {"events-50000.ics", generated_calendar(50000, 7, year - 4)},
    };
    for (const auto &[name, text] : files) write_file(to + "/" + name, text);
    return 0;
}

void count_occurrence(void *count, const occurrence &) { ++*static_cast<std::size_t *>(count); }

// Every event of the calendar at path given its occurrences in first..last
// (Julian day numbers) in this process, as the engine's workers do it but
// without the engine: the first instance, and the recurrence set of a rule.
// Prints the load's time, the first walk's, the best and the median of the
// three walks that follow, in ms, and the occurrences found.
int walk(const char *path, int64_t first, int64_t last) {
    auto ms_since = [](std::chrono::steady_clock::time_point t) {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t)
            .count();
    };
    auto t0 = std::chrono::steady_clock::now();
    read_calendar(path, read_options{});
    double load = ms_since(t0);
    std::size_t found = 0;
    std::vector<double> walks;
    for (int i = 0; i < 4; ++i) {
        found = 0;
        t0 = std::chrono::steady_clock::now();
        for (const event_node *n = event_list; n; n = n->next) {
            found += n->first.first_day <= last && n->first.last_day >= first;
            if (has_rule(n) != 0) expand_rule(n, first, last, count_occurrence, &found);
        }
        walks.push_back(ms_since(t0));
    }
    std::sort(walks.begin() + 1, walks.end());
    // The engine's own answer of the same days' marks, through its worker,
    // without the tile: the first forks the worker.
    std::vector<double> answers;
    for (int i = 0; i < 4; ++i) {
        t0 = std::chrono::steady_clock::now();
        answer_days({first, last}, 0, 1500, engine_fault{}, 1, 0, 0);
        answers.push_back(ms_since(t0));
    }
    end_worker();
    std::sort(answers.begin() + 1, answers.end());
    printf("load_ms %.3f first_walk_ms %.3f best_walk_ms %.3f median_walk_ms %.3f found %zu "
           "median_answer_ms %.3f\n",
           load, walks[0], walks[1], walks[2], found, answers[2]);
    free_events();
    return 0;
}

}  // namespace

//   bench_events [benchmark options]
//   bench_events --write-calendars DIR YEAR MONTH
//   bench_events --walk FILE FIRST_DAY LAST_DAY
int main(int argc, char **argv) {
    if (argc == 5 && strcmp(argv[1], "--write-calendars") == 0)
        return write_calendars(argv[2], atoi(argv[3]), atoi(argv[4]));
    if (argc == 5 && strcmp(argv[1], "--walk") == 0)
        return walk(argv[2], atoll(argv[3]), atoll(argv[4]));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
