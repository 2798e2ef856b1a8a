// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The engine's worker. Every call into the library's recurrence iterator
// runs in a child of the engine, forked with the parsed event list, so that a
// rule on which the library crashes or loops costs its own event, not the
// engine's parsed calendar.
//
// One worker serves every range of a load: it is forked at the first range
// after a load and lives until the next load (end_worker), a fault, or a
// range that runs out of its budget. A fork copies the page tables of the
// whole parsed calendar, and a new child writes its first records into
// pages it shares with the engine; a worker that stays pays both once.
//
// The engine asks with a range frame of protocol/protocol.h (its request and
// load are 0). The child expands the events from the one asked for, in list
// order. Before each it stores the event's index in a page shared with the
// engine. It adds each event's occurrences to the days they cover (mark,
// count, first rows: range_fold) and every 20 ms writes what the days got
// since its last write, and the last event done, to a pipe: one frame per
// day, not one per occurrence, and no system call per event (but before a
// rule of hours, minutes or seconds, which can hold it). The engine takes
// those days only with the done record after them. It reads with a
// deadline: when the child dies of a fault, or spends too long on one event,
// that event is the culprit. It keeps its first instance, is marked faulty,
// and a new child goes on from the first event not reported done, without
// it.
#include "calendar/calendar.h"
#include "engine/alarms.h"
#include "engine/engine.h"
#include "engine/recur.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

int64_t monotonic_ms() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

namespace {

// Milliseconds of CPU time one event may take of a worker before it is
// judged faulty; a worker that stays on one event this many times as long
// without using it (stopped, or starved of the CPU) is replaced, and the
// event asked again.
constexpr int64_t event_deadline_ms = 200;
constexpr int64_t stall_factor = 10;
// Ends of workers in one range that are no fault of the event they were on
// (killed from outside or for memory), before that event is judged faulty
// all the same.
constexpr int max_blameless_ends = 2;
// A worker's own limits, so that it ends even when nobody watches it: CPU
// seconds for one range, and bytes of address space beyond what it inherited.
constexpr rlim_t worker_cpu_seconds = 3;
constexpr uint64_t worker_extra_bytes = uint64_t(1) << 30;
// How long a worker holds back what its events give the days, at most (ms).
constexpr int64_t flush_ms = 20;
// How often the engine looks at the shared index while the pipe is quiet (ms).
constexpr int64_t watch_ms = 10;
// What one answer of alarms may take before a stalled worker is given up on.
constexpr int64_t alarms_budget_ms = 2000;

// The page the engine and its worker share: the event being expanded, -1
// between ranges; and a cut of the range: 1 when the engine asks the worker
// to end it at its next event, 2 once the worker has, with all it did written.
struct shared_progress {
    std::atomic<int32_t> current{-1};
    std::atomic<int32_t> cut{0};
};

// What a worker is asked: the days of a range, or the alarms of a window.
struct worker_job {
    const alarm_request *alarms = nullptr;  // null: the days of range
    day_range range;
    int rows = 1;  // 0: the days' marks and counts without their rows
};

int needs_worker(const event_node *node, const worker_job &job) {
    if (job.alarms) return !node->alarms_faulty && reminds(node, job.alarms->default_minutes);
    return !node->faulty && has_rule(node);
}

// 1 when the event's expansion calls the library's iterator.
int expands(const event_node *node, const worker_job &job) {
    return !node->faulty && !(job.alarms && node->alarms_faulty) && has_rule(node);
}

// The event list as a vector, with the indexes of its events that have
// rules, made again only when the list changed: a walk of a list of 50,000
// nodes at every range costs more than many a range's answer.
struct list_index {
    uint64_t generation = UINT64_MAX;
    std::vector<event_node *> nodes;
    std::vector<std::size_t> ruled;
};
list_index listed;

const std::vector<event_node *> &list_nodes() {
    if (listed.generation != event_list_generation) {
        listed.nodes.clear();
        listed.ruled.clear();
        for (event_node *node = event_list; node; node = node->next) {
            if (has_rule(node)) listed.ruled.push_back(listed.nodes.size());
            listed.nodes.push_back(node);
        }
        listed.generation = event_list_generation;
    }
    return listed.nodes;
}

std::size_t next_needing_worker(const std::vector<event_node *> &nodes, std::size_t from,
                                const worker_job &job) {
    if (!job.alarms && &nodes == &listed.nodes) {  // only the events with rules are looked at
        auto at = std::lower_bound(listed.ruled.begin(), listed.ruled.end(), from);
        while (at != listed.ruled.end() && !needs_worker(nodes[*at], job)) ++at;
        return at == listed.ruled.end() ? nodes.size() : *at;
    }
    while (from < nodes.size() && !needs_worker(nodes[from], job)) ++from;
    return from;
}

// One past the last event from `from` on that needs the worker, or `from`.
std::size_t last_needing_worker(const std::vector<event_node *> &nodes, std::size_t from,
                                const worker_job &job) {
    std::size_t last = nodes.size();
    if (!job.alarms && &nodes == &listed.nodes) {
        auto at = listed.ruled.end();
        while (at != listed.ruled.begin() && *(at - 1) >= from &&
               !needs_worker(nodes[*(at - 1)], job))
            --at;
        return at == listed.ruled.begin() || *(at - 1) < from ? from : *(at - 1) + 1;
    }
    while (last > from && !needs_worker(nodes[last - 1], job)) --last;
    return last;
}

// ---- The child ----

// What the events expanded so far give the days of one range. An event's
// occurrences count once it is done: until then they wait in pending, one
// per day at most (the first that covers it, in the order of their starts),
// so that what waits is bounded by the days asked.
struct range_fold {
    day_range range;
    std::vector<day_answer> days;  // one per day of range
    uint32_t event = UINT32_MAX;   // whose occurrences wait, or none
    int64_t covered = 0;           // the last day one of them covers
    int touched = 0;               // 1: days hold answers not sent yet
    int rows = 1;                  // 0: counted, not kept
    std::vector<std::pair<int64_t, occurrence>> pending;

    explicit range_fold(day_range r)
        : range(r), days(static_cast<std::size_t>(r.last - r.first + 1)) {}
    void forget() {
        event = UINT32_MAX;
        pending.clear();
    }
    // The days of o that the event's first instance does not cover (those
    // the tile marks and lists from its event reply).
    void add(const event_node *node, uint32_t e, const occurrence &o) {
        if (event != e) {
            forget();
            event = e;
            covered = range.first - 1;
        }
        int64_t last = std::min(o.last_day, range.last);
        for (int64_t d = std::max({o.first_day, covered + 1, range.first}); d <= last; ++d)
            if (d < node->first.first_day || d > node->first.last_day) pending.emplace_back(d, o);
        covered = std::max(covered, last);
    }
    void done(const event_node *node, uint32_t e) {
        if (event == e && !pending.empty()) touched = 1;
        if (event == e)
            for (const auto &[d, o] : pending) {
                day_answer &a = days[static_cast<std::size_t>(d - range.first)];
                if (!node->cancelled && a.status != 1) a.status = node->transparency == 2 ? 2 : 1;
                ++a.count;
                if (rows) keep_row(a.rows, {e, o});
            }
        forget();
    }
};

struct worker_output {
    int fd = -1;
    int32_t index = 0;
    const event_node *node = nullptr;
    range_fold *fold = nullptr;      // the range being answered, or
    alarms_reply *alarms = nullptr;  // the alarms of the events done since the last write
    int32_t done = -1;               // the last event done, not yet reported
    int64_t written_ms = 0;          // when the answers were last written
};

// Writes what the events done since the last write give each day, and that
// they are done.
void flush(worker_output &out) {
    std::string frames;
    if (out.alarms && (out.alarms->more || !out.alarms->items.empty())) {
        encode(frames, *out.alarms);
        *out.alarms = alarms_reply{};
    }
    if (out.fold && out.fold->touched)
        for (std::size_t i = 0; i < out.fold->days.size(); ++i) {
            day_answer &a = out.fold->days[i];
            if (!a.status && !a.count) continue;
            encode(frames, day_reply{0, out.fold->range.first + static_cast<int64_t>(i), a.status,
                                     a.count, std::move(a.rows)});
            a = day_answer{};
        }
    if (out.fold) out.fold->touched = 0;
    if (out.done >= 0) encode(frames, done_record{static_cast<uint32_t>(out.done)});
    out.done = -1;
    const char *p = frames.data();
    std::size_t left = frames.size();
    while (left > 0) {
        ssize_t n = write(out.fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) _exit(1);  // the engine is gone or stopped listening
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    out.written_ms = monotonic_ms();
}

void emit_occurrence(void *context, const occurrence &item) {
    auto &out = *static_cast<worker_output *>(context);
    out.fold->add(out.node, static_cast<uint32_t>(out.index), item);
}

// The CPU time of one range: the soft limit moves on from what the worker
// has used so far, and the kernel ends it when a range passes it.
void grant_range_cpu(int time_scale) {
    rusage used{};
    getrusage(RUSAGE_SELF, &used);
    rlim_t seconds = worker_cpu_seconds * static_cast<rlim_t>(time_scale);
    rlimit cpu{static_cast<rlim_t>(used.ru_utime.tv_sec + used.ru_stime.tv_sec) + seconds,
               RLIM_INFINITY};
    setrlimit(RLIMIT_CPU, &cpu);
}

// The next range or alarms the engine asks for; 0 when the engine closed the
// pipe or sent anything else.
int next_request(int fd, std::string &in, tile_message &out) {
    char chunk[256];
    for (;;) {
        std::size_t at = 0;
        uint32_t type = 0;
        std::string_view payload;
        frame_state f = take_frame(in, at, type, payload);
        if (f == frame_fault) return 0;
        if (f == frame_whole) {
            int ok = decode_tile_message(type, payload, out) &&
                     (std::holds_alternative<range_request>(out) ||
                      std::holds_alternative<alarm_request>(out));
            in.erase(0, at);
            return ok;
        }
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return 0;
        in.append(chunk, static_cast<std::size_t>(n));
    }
}

struct worker_setup {
    const std::vector<event_node *> &nodes;
    shared_progress *progress;
    const engine_fault &fault;
    int time_scale;
};

[[noreturn]] void run_worker(int requests, int answers, pid_t parent, const worker_setup &job) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(1);
    limit_growth(worker_extra_bytes);
    // A fault ends the worker at once, without the handlers of a sanitizer.
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) signal(sig, SIG_DFL);
    const std::vector<event_node *> &nodes = job.nodes;
    worker_output out;
    out.fd = answers;
    std::string in;
    tile_message asked;
    while (next_request(requests, in, asked)) {
        grant_range_cpu(job.time_scale);
        const auto *range = std::get_if<range_request>(&asked);
        const auto *alarms = std::get_if<alarm_request>(&asked);
        worker_job task{alarms, range ? range->days : day_range{}, range ? range->rows : 1};
        const uint32_t from = range ? range->from : alarms ? alarms->from : UINT32_MAX;
        range_fold fold(task.range);
        fold.rows = task.rows;
        alarms_reply found;
        out.fold = range ? &fold : nullptr;
        out.alarms = alarms ? &found : nullptr;
        out.written_ms = monotonic_ms();
        int cut = 0;
        for (std::size_t i = next_needing_worker(nodes, from, task); i < nodes.size();
             i = next_needing_worker(nodes, i + 1, task)) {
            if ((cut = job.progress->cut.load(std::memory_order_acquire)) != 0) break;
            out.index = static_cast<int32_t>(i);
            out.node = nodes[i];
            // The rules that can hold a worker for long: what is done before
            // one is written first, so that it is not lost when the worker is
            // killed.
            if (has_sub_daily_rule(nodes[i]) && out.done >= 0) flush(out);
            job.progress->current.store(out.index, std::memory_order_release);
            if (job.fault.stage == 2 && out.index == job.fault.index && expands(nodes[i], task)) {
                if (job.fault.signal) raise(job.fault.signal);
                for (volatile unsigned spin = 0;; spin = spin + 1) {  // holds on the CPU
                }
            }
            if (range) {
                expand_rule(nodes[i], range->days.first, range->days.last, emit_occurrence, &out);
                fold.done(nodes[i], static_cast<uint32_t>(out.index));
            } else {
                alarms_reply mine;
                event_alarms(nodes[i], static_cast<uint32_t>(i), *alarms, mine);
                keep_alarms(found, mine);
            }
            out.done = out.index;
            // Written soon, so that an event that ends its worker later keeps them.
            if (monotonic_ms() - out.written_ms >= flush_ms) flush(out);
        }
        job.progress->current.store(-1, std::memory_order_release);
        flush(out);
        if (cut) job.progress->cut.store(2, std::memory_order_release);
    }
    _exit(0);
}

// ---- The engine ----

// The one worker and what it was forked with.
struct worker_process {
    pid_t pid = -1;
    int requests = -1, answers = -1;  // the pipes' engine ends
    clockid_t cpu_clock{};            // the worker's CPU time
    shared_progress *progress = nullptr;
    const event_node *list = nullptr;  // event_list at the fork
    std::size_t events = 0;            // and its length
    std::string buffer;                // records not yet taken
};
worker_process worker;

enum run_end {
    run_finished,
    run_crashed,
    run_overran,  // more than its CPU time on one event
    run_stalled,  // long on one event without using the CPU
    run_out_of_budget,
    run_not_started,
    run_cut  // ended early when asked, the worker kept
};

int64_t worker_cpu_ms() {
    timespec t{};
    if (clock_gettime(worker.cpu_clock, &t) != 0) return 0;
    return int64_t(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// The signals that end a worker for what it ran into, rather than from outside.
int fault_signal(int signal) {
    for (int sig : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGXCPU})
        if (signal == sig) return 1;
    return 0;
}

struct run_result {
    run_end end = run_not_started;
    std::size_t next = 0;  // the first event the worker did not report done
    int32_t current = -1;  // the event it was on when it ended
    int signal = 0;        // the signal that ended a crashed worker, or 0
};

// What take_records found in a worker's output.
struct taken_records {
    std::size_t done;  // the index after the last event reported done
    int fault = 0;     // 1: a frame that is not a worker's message
};

// What a job has gathered of the events reported done, and what waits for
// their done record.
struct job_answers {
    worker_job job;
    std::vector<day_answer> days, waiting;  // one per day of the range
    alarms_reply alarms, waiting_alarms;
    explicit job_answers(const worker_job &j)
        : job(j), days(j.alarms ? 0 : static_cast<std::size_t>(j.range.last - j.range.first + 1)),
          waiting(days.size()) {}
};

// Takes the whole frames out of buffer: the days' answers and the alarms
// wait until a done record says their events are done, and then go into
// the answers. done is the index after the last event reported done so far.
taken_records take_records(std::string &buffer, const std::vector<event_node *> &nodes,
                           std::size_t from, std::size_t done, job_answers &a) {
    const day_range range = a.job.range;
    std::vector<day_answer> &waiting = a.waiting, &answers = a.days;
    taken_records out{done};
    std::size_t at = 0;
    uint32_t type = 0;
    std::string_view payload;
    worker_message m;
    for (;;) {
        frame_state f = take_frame(buffer, at, type, payload);
        if (f == frame_partial) break;
        if (f == frame_fault || !decode_worker_message(type, payload, m)) {
            out.fault = 1;
            break;
        }
        if (auto *d = std::get_if<done_record>(&m)) {
            if (d->event < from || d->event >= nodes.size()) continue;
            for (std::size_t i = 0; i < answers.size(); ++i) {
                day_answer &w = waiting[i];
                merge_day(answers[i], w.status, w.count, w.rows);
                w = day_answer{};
            }
            keep_alarms(a.alarms, a.waiting_alarms);
            a.waiting_alarms = alarms_reply{};
            out.done = std::size_t(d->event) + 1;
        } else if (auto *found = std::get_if<alarms_reply>(&m)) {
            if (!a.job.alarms) {
                out.fault = 1;
                break;
            }
            alarms_reply kept{0, found->more, {}};
            for (const alarm_item &item : found->items)
                if (item.event >= from && item.event < nodes.size()) kept.items.push_back(item);
            keep_alarms(a.waiting_alarms, kept);
        } else if (auto *day = std::get_if<day_reply>(&m)) {
            if (a.job.alarms) {
                out.fault = 1;
                break;
            }
            if (day->day < range.first || day->day > range.last) continue;
            std::vector<day_row> rows;
            for (const day_row &r : day->rows)
                if (r.event >= from && r.event < nodes.size()) rows.push_back(r);
            merge_day(waiting[static_cast<std::size_t>(day->day - range.first)], day->status,
                      day->count, rows);
        }
    }
    buffer.erase(0, at);
    return out;
}

// Ends the worker, if there is one; its status, or 0.
int stop_worker(int kill_it) {
    int status = 0;
    if (worker.pid > 0) {
        if (kill_it) kill(worker.pid, SIGKILL);
        close(worker.requests);
        close(worker.answers);
        while (waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    if (worker.progress) munmap(worker.progress, sizeof *worker.progress);
    worker = worker_process{};
    return status;
}

// Forks the worker for the event list as it is now; 0 when it cannot.
int start_worker(const std::vector<event_node *> &nodes, const engine_fault &fault,
                 int time_scale) {
    void *page = mmap(nullptr, sizeof(shared_progress), PROT_READ | PROT_WRITE,
                      MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (page == MAP_FAILED) return 0;
    int requests[2], answers[2];
    if (pipe2(requests, O_CLOEXEC) != 0) {
        munmap(page, sizeof(shared_progress));
        return 0;
    }
    if (pipe2(answers, O_CLOEXEC) != 0) {
        close(requests[0]);
        close(requests[1]);
        munmap(page, sizeof(shared_progress));
        return 0;
    }
    auto *progress = new (page) shared_progress;
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid == 0) {
        close(requests[1]);
        close(answers[0]);
        run_worker(requests[0], answers[1], parent, {nodes, progress, fault, time_scale});
    }
    close(requests[0]);
    close(answers[1]);
    if (pid < 0) {
        close(requests[1]);
        close(answers[0]);
        munmap(page, sizeof(shared_progress));
        return 0;
    }
    worker.pid = pid;
    if (clock_getcpuclockid(pid, &worker.cpu_clock) != 0) worker.cpu_clock = CLOCK_MONOTONIC;
    worker.requests = requests[1];
    worker.answers = answers[0];
    worker.progress = progress;
    worker.list = event_list;
    worker.events = nodes.size();
    return 1;
}

// 1 when fd has something to read now.
int readable_now(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 0) > 0;
}

// Asks the worker for the events from `from` on, up to `last` (the last one
// that needs it), and takes its records until it reports `last` done, dies,
// holds one event past its deadline, or the budget ends at budget_end.
// Records of events that were not reported done are dropped. Once cut_fd is
// readable, the worker is asked to end the range at its next event. The
// worker is ended by anything but a finished or cut range.
run_result run_range(const std::vector<event_node *> &nodes, std::size_t from, std::size_t last,
                     job_answers &answers, int time_scale, int64_t budget_end, int cut_fd) {
    run_result result;
    result.next = from;
    std::string request;
    if (answers.job.alarms) {
        alarm_request asked = *answers.job.alarms;
        asked.from = static_cast<uint32_t>(from);
        encode(request, asked);
    } else {
        encode(request, range_request{0, 0, answers.job.range, static_cast<uint32_t>(from),
                                      static_cast<uint8_t>(answers.job.rows)});
    }
    // The request is far smaller than a pipe's buffer and the worker reads
    // it whole before it writes: one write. A worker gone meanwhile fails it
    // (the signal of a closed pipe is ignored for it), and the range is asked
    // again of a new one.
    struct sigaction ignore {
    }, was{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &was);
    worker.progress->cut.store(0, std::memory_order_relaxed);  // the worker waits for this
    ssize_t sent = -1;
    while ((sent = write(worker.requests, request.data(), request.size())) < 0 && errno == EINTR) {
    }
    sigaction(SIGPIPE, &was, nullptr);
    if (sent != static_cast<ssize_t>(request.size())) {
        stop_worker(1);
        return result;
    }
    int64_t progress = monotonic_ms();  // when the worker last moved on to another event
    int64_t progress_cpu = worker_cpu_ms();
    int32_t current = -1;
    const int64_t event_cpu = event_deadline_ms * time_scale;
    int cut_asked = 0;
    for (;;) {
        // Cut, and everything it did read: the worker wrote before it said so.
        if (cut_asked && worker.progress->cut.load(std::memory_order_acquire) == 2 &&
            !readable_now(worker.answers))
            return result.end = run_cut, result;
        int64_t now = monotonic_ms();
        int32_t on = worker.progress->current.load(std::memory_order_acquire);
        if (on != current) current = on, progress = now, progress_cpu = worker_cpu_ms();
        int64_t stall_end = progress + event_cpu * stall_factor;
        if (worker_cpu_ms() - progress_cpu >= event_cpu || now >= stall_end || now >= budget_end) {
            result.end = worker_cpu_ms() - progress_cpu >= event_cpu ? run_overran
                         : now >= stall_end                          ? run_stalled
                                                                     : run_out_of_budget;
            break;
        }
        int64_t event_end = now + event_cpu - (worker_cpu_ms() - progress_cpu);
        // Until the worker has seen a cut, the engine looks every millisecond.
        pollfd p[2] = {{worker.answers, POLLIN, 0}, {cut_asked ? -1 : cut_fd, POLLIN, 0}};
        int64_t look = cut_asked ? 1 : watch_ms;
        int wait = static_cast<int>(std::min({event_end, budget_end, now + look}) - now);
        if (poll(p, 2, wait) <= 0) continue;  // a time-out or a signal: check the clock
        if (p[1].revents != 0) {
            worker.progress->cut.store(1, std::memory_order_release);
            cut_asked = 1;
        }
        if (p[0].revents == 0) continue;
        char chunk[65536];
        ssize_t n = read(worker.answers, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            result.end = run_crashed;
            break;
        }
        worker.buffer.append(chunk, static_cast<std::size_t>(n));
        taken_records taken = take_records(worker.buffer, nodes, from, result.next, answers);
        result.next = taken.done;
        if (taken.fault) {  // what it sends is not to be trusted: as if it crashed
            result.end = run_crashed;
            break;
        }
        if (result.next > last) return result.end = run_finished, result;
    }
    result.current = worker.progress->current.load(std::memory_order_acquire);
    int status = stop_worker(1);
    if (result.end == run_crashed && WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}

void report_fault(const event_node *node, const run_result &r) {
    if (r.end == run_overran)
        printf("recurrence of \"%s\" held its worker past %lld ms; only its first instance is "
               "shown\n",
               node->summary.c_str(), static_cast<long long>(event_deadline_ms));
    else
        printf("recurrence of \"%s\" ended its worker (signal %d); only its first instance is "
               "shown\n",
               node->summary.c_str(), r.signal);
}

}  // namespace

void end_worker() { stop_worker(1); }

namespace {

struct job_result {
    std::size_t next = 0;
    std::vector<int32_t> faulty;
};

// Runs the job over the events from `from` on, for at most about budget_ms
// or until cut_fd is readable: a new worker goes on after one that ended,
// without the event it was on when that is to blame.
job_result run_job(job_answers &answers, std::size_t from, int64_t budget_ms,
                   const engine_fault &fault, int time_scale, int debug, int cut_fd) {
    const std::vector<event_node *> &nodes = list_nodes();
    const worker_job &job = answers.job;
    job_result out;
    int blameless = 0;
    // A worker forked with another list is of no use (end_worker was not called).
    if (worker.pid > 0 && (worker.list != event_list || worker.events != nodes.size()))
        stop_worker(1);
    int64_t budget_end = monotonic_ms() + budget_ms * time_scale;
    std::size_t next = next_needing_worker(nodes, from, job);
    std::size_t last = last_needing_worker(nodes, next, job);
    while (next < nodes.size() && last > next) {
        if (worker.pid < 0 && !start_worker(nodes, fault, time_scale)) {
            out.next = next;  // nothing more answered: asked again later
            return out;
        }
        run_result r = run_range(nodes, next, last - 1, answers, time_scale, budget_end, cut_fd);
        if (r.end == run_finished) break;
        if (r.end == run_out_of_budget || r.end == run_not_started || r.end == run_stalled ||
            r.end == run_cut) {
            out.next = r.next;
            return out;
        }
        // A worker killed from outside: a new one goes on where it was.
        if (r.end == run_crashed && !fault_signal(r.signal) && ++blameless <= max_blameless_ends) {
            next = next_needing_worker(nodes, r.next, job);
            continue;
        }
        // The event it was on, unless that was reported done: then it died
        // between two events, and the next one is blamed.
        std::size_t culprit = r.current >= 0 && std::size_t(r.current) >= r.next
                                  ? std::size_t(r.current)
                                  : next_needing_worker(nodes, r.next, job);
        if (culprit >= nodes.size()) break;  // died after its last event
        (job.alarms ? nodes[culprit]->alarms_faulty : nodes[culprit]->faulty) = 1;
        out.faulty.push_back(static_cast<int32_t>(culprit));
        if (debug) report_fault(nodes[culprit], r);
        // Those before it whose records came without their end are done again.
        next = next_needing_worker(nodes, r.next, job);
        last = last_needing_worker(nodes, next, job);
    }
    out.next = nodes.size();
    return out;
}

}  // namespace

answer_result answer_days(day_range range, std::size_t from, int64_t budget_ms,
                          const engine_fault &fault, int time_scale, int debug, int rows,
                          int cut_fd) {
    answer_result out;
    if (range.first > range.last || range.last - range.first >= range_day_cap) {
        out.next = list_nodes().size();
        return out;  // no days to answer
    }
    job_answers answers(worker_job{nullptr, range, rows});
    job_result r = run_job(answers, from, budget_ms, fault, time_scale, debug, cut_fd);
    out.next = r.next;
    out.faulty = std::move(r.faulty);
    out.days = std::move(answers.days);
    return out;
}

alarms_reply answer_alarms(const alarm_request &m, const engine_fault &fault, int time_scale,
                           int debug) {
    job_answers answers(worker_job{&m, {}, 1});
    std::size_t count = list_nodes().size();
    // A worker that stalls returns early: asked again from where it was,
    // three times in a row without progress at most.
    for (std::size_t from = m.from, tries = 0; from < count && tries < 3;) {
        job_result r = run_job(answers, from, alarms_budget_ms, fault, time_scale, debug, -1);
        tries = r.next > from ? 0 : tries + 1;
        from = r.next;
    }
    answers.alarms.request = m.request;
    return std::move(answers.alarms);
}
