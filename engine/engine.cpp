// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The engine process: started by the tile, it reads the calendar, keeps the
// parsed events and answers the tile's requests; see engine/engine.h.
#include "engine/engine.h"

#include "engine/recur.h"
#include "engine/sanitizer.h"
#include "engine/sandbox.h"

#include <fcntl.h>
#include <locale.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

// What one range request may take before its answers so far are sent; the
// tile asks again for the rest.
constexpr int64_t range_budget_ms = 500;
// CPU seconds the engine may spend on one request before the kernel ends it,
// whoever watches it; and address space beyond what it inherited.
constexpr rlim_t request_cpu_seconds = 60;
// CPU seconds of one file's read and parse, and of one zone definition's
// expansion, times the tile's time scale: past them the kernel's SIGXCPU
// ends the engine, and the tile leaves that file or zone out. CPU time, not
// time waiting for the disk.
constexpr rlim_t file_cpu_seconds = 8;
constexpr rlim_t zone_cpu_seconds = 1;
constexpr uint64_t engine_extra_bytes = uint64_t(3) << 30;
// Bytes of replies held before they are written.
constexpr std::size_t send_batch = 65536;

// The process's own /proc/self/statm, opened before the sandbox closes /proc;
// a worker forked later reads its parent's size through it, which is its own
// at the fork.
int statm_fd = -1;

struct engine_session {
    int fd = -1;
    tile_hello hello;
    uint32_t load = 0;  // the load request last served
    std::string out;
    rlim_t file_limit = 0;  // the CPU limit of the file begun, or 0
    int in_zone = 0;
    // What the last read was of: its request without the id, and the files
    // it listed; a load that finds both the same reads nothing.
    int read_once = 0;
    load_request last_asked;
    source_list last_listed;
};

int same_request(const load_request &a, const load_request &b) {
    if (a.path != b.path || a.bad_zones != b.bad_zones ||
        a.skipped_files.size() != b.skipped_files.size())
        return 0;
    for (std::size_t i = 0; i < a.skipped_files.size(); ++i)
        if (a.skipped_files[i].path != b.skipped_files[i].path ||
            !(a.skipped_files[i].identity == b.skipped_files[i].identity))
            return 0;
    return 1;
}

rlim_t cpu_seconds_used() {
    rusage used{};
    getrusage(RUSAGE_SELF, &used);
    return static_cast<rlim_t>(used.ru_utime.tv_sec + used.ru_stime.tv_sec);
}

// The soft limit at a whole second of CPU time: a budget of n seconds is n to n + 1.
void limit_cpu(rlim_t seconds) {
    rlimit cpu{seconds, RLIM_INFINITY};
    setrlimit(RLIMIT_CPU, &cpu);
}

void send(engine_session &s) {
    const char *p = s.out.data();
    std::size_t left = s.out.size();
    while (left > 0) {
        ssize_t n = write(s.fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) _exit(0);  // the tile is gone
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    s.out.clear();
}

// Progress goes out at once: it names the culprit if the engine dies next.
// Each file and zone begun gets its CPU time.
void report_progress(void *context, int kind, const char *name, const file_identity *identity) {
    auto &s = *static_cast<engine_session *>(context);
    rlim_t scale = s.hello.time_scale;
    if (kind == progress_file) {
        s.file_limit = cpu_seconds_used() + file_cpu_seconds * scale + 1;
        limit_cpu(s.file_limit);
    } else if (kind == progress_zone) {
        s.in_zone = 1;
        limit_cpu(std::min(s.file_limit, cpu_seconds_used() + zone_cpu_seconds * scale + 1));
    } else if (kind == progress_done && s.in_zone) {
        s.in_zone = 0;
        limit_cpu(s.file_limit);
    } else if (kind == progress_done) {
        s.file_limit = 0;
        limit_cpu(cpu_seconds_used() + request_cpu_seconds);
    }
    encode(s.out, progress_reply{s.load, static_cast<uint32_t>(kind), name,
                                 identity ? *identity : file_identity{}});
    send(s);
}

std::string location_of(const event_node *node) {
    const char *location = text_of(node->component.get(), ICAL_LOCATION_PROPERTY);
    return location ? location : std::string();
}

void grant_cpu() { limit_cpu(cpu_seconds_used() + request_cpu_seconds); }

// Lists the calendar's files and reads them, unless they are as at the last
// read or there is no calendar to read (gone, or a single file that cannot
// be read): then what the tile holds stays.
void serve_load(engine_session &s, const load_request &m) {
    s.load = m.request;
    source_list listed = list_sources(m.path.c_str(), calendar_bounds);
    int readable = listed.found && listed.folder;
    if (listed.found && !listed.folder) {
        int fd = open(listed.files[0].path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        readable = fd >= 0;
        if (fd >= 0) close(fd);
    }
    if (!readable ||
        (s.read_once && same_request(m, s.last_asked) && same_sources(listed, s.last_listed))) {
        encode(s.out, loaded_reply{s.load, 0, 1});
        send(s);
        return;
    }
    s.read_once = 1;
    s.last_asked = m;
    s.last_listed = std::move(listed);
    if (s.hello.debug & debug_lines) printf("read calendar data\n");
    read_options options;
    options.debug = static_cast<int>(s.hello.debug & debug_lines);
    options.name = s.hello.name;
    options.fault = s.hello.fault;
    options.skipped_files = m.skipped_files;
    options.bad_zones.insert(m.bad_zones.begin(), m.bad_zones.end());
    options.progress = report_progress;
    options.context = &s;
    end_worker();  // it holds the list that is replaced
    read_sources(m.path.c_str(), s.last_listed, options);
    uint32_t index = 0;
    for (const event_node *node = event_list; node; node = node->next, ++index) {
        event_reply e;
        e.load = s.load;
        e.index = index;
        e.transparency = node->transparency == 2 ? 2 : 1;
        e.cancelled = node->cancelled ? 1 : 0;
        e.has_rule = has_rule(node) ? 1 : 0;
        e.first = node->first;
        e.summary = node->summary;
        e.location = location_of(node);
        encode(s.out, e);
        if (s.out.size() >= send_batch) send(s);
    }
    encode(s.out, loaded_reply{s.load, index, 0});
    send(s);
}

// 0 when the range names another load than the one served: the tile asks
// only of the calendar it holds, so that is a fault of the wire. Whatever the
// tile sends meanwhile (a cut, a load) ends the range early; when it has sent
// more already, the range is answered with nothing.
int serve_range(engine_session &s, const range_request &m, int more_waiting) {
    if (m.load != s.load) return 0;
    answer_result answer;
    answer.next = m.from;
    if (!more_waiting)
        answer = answer_days(m.days, m.from, range_budget_ms, s.hello.fault,
                             static_cast<int>(s.hello.time_scale),
                             static_cast<int>(s.hello.debug & debug_lines), m.rows, s.fd);
    for (std::size_t i = 0; i < answer.days.size(); ++i) {
        day_answer &a = answer.days[i];
        if (!a.status && !a.count) continue;
        encode(s.out, day_reply{m.request, m.days.first + static_cast<int64_t>(i), a.status,
                                a.count, std::move(a.rows)});
        if (s.out.size() >= send_batch) send(s);
    }
    for (int32_t event : answer.faulty)
        encode(s.out, faulty_reply{m.request, static_cast<uint32_t>(event)});
    encode(s.out, range_done_reply{m.request, static_cast<uint32_t>(answer.next)});
    send(s);
    return 1;
}

// 0 when the alarms name another load than the one served.
int serve_alarms(engine_session &s, const alarm_request &m) {
    if (m.load != s.load) return 0;
    encode(s.out, answer_alarms(m, s.hello.fault, static_cast<int>(s.hello.time_scale),
                                static_cast<int>(s.hello.debug & debug_lines)));
    send(s);
    return 1;
}

// Reads until a whole frame from the tile is at taken in `in`, its payload
// viewed there; 0 when the tile closed its end or sent a frame over its cap.
int next_frame(int fd, std::string &in, std::size_t &taken, uint32_t &type,
               std::string_view &payload) {
    char chunk[65536];
    for (;;) {
        frame_state f = take_frame(in, taken, type, payload);
        if (f == frame_whole) return 1;
        if (f == frame_fault) return 0;
        in.erase(0, taken);
        taken = 0;
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return 0;
        in.append(chunk, static_cast<std::size_t>(n));
    }
}

// For tests: what the engine can still do once its rights are closed, one
// line on stdout ("sandbox probe: " and each attempt with its errno name).
void probe_sandbox() {
    auto result = [](int ok) { return ok ? "allowed" : strerrorname_np(errno); };
    int f = open("/etc/passwd", O_RDONLY | O_CLOEXEC);
    std::string line = std::string("sandbox probe: read ") + result(f >= 0);
    if (f >= 0) close(f);
    int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    line += std::string(" socket ") + result(s >= 0);
    if (s >= 0) close(s);
    char *const argv[] = {nullptr};
    execve("/bin/true", argv, argv);
    line += std::string(" exec ") + result(0);
    printf("%s\n", line.c_str());
}

void close_rights(const tile_hello &hello) {
    statm_fd = open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
    limit_growth(engine_extra_bytes);
    sandbox_paths paths;
    paths.read_trees = hello.read_trees;
    sandbox_result r = enter_sandbox(paths);
    if ((hello.debug & debug_sandbox_gaps) && !r.missing.empty())
        printf("engine sandbox: %s\n", r.missing.c_str());
    if (hello.fault.stage == fault_probe_sandbox) probe_sandbox();
}

}  // namespace

void limit_growth(uint64_t extra_bytes) {
#ifndef DS_ADDRESS_SANITIZER
    char text[64] = {};
    int fd = statm_fd >= 0 ? statm_fd : open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    ssize_t n = fd >= 0 ? pread(fd, text, sizeof text - 1, 0) : -1;
    if (fd != statm_fd && fd >= 0) close(fd);
    unsigned long pages = n > 0 ? strtoul(text, nullptr, 10) : 0;
    if (pages > 0) {
        rlim_t bytes = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + extra_bytes;
        rlimit as{bytes, bytes};
        setrlimit(RLIMIT_AS, &as);
    }
#else
    (void)extra_bytes;
#endif
}

int serve_engine(int fd) {
    // A fault ends the engine at once, without the handlers of a sanitizer.
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGXCPU, SIGCHLD, SIGPIPE})
        signal(sig, SIG_DFL);
    // Names in the file are compared without regard to case, which must not
    // follow the user's locale (a Turkish dotless i would not match).
    setlocale(LC_ALL, "C");
    setvbuf(stdout, nullptr, _IOLBF, 0);  // its lines are not lost when it is killed
    std::string in;
    std::size_t taken = 0;
    uint32_t type = 0;
    std::string_view payload;
    tile_message m;
    if (!next_frame(fd, in, taken, type, payload) || !decode_tile_message(type, payload, m) ||
        !std::holds_alternative<tile_hello>(m))
        return 1;
    engine_session s;
    s.fd = fd;
    s.hello = std::get<tile_hello>(m);
    if (s.hello.version != protocol_version) return 1;
    encode(s.out, engine_hello{});
    send(s);
    close_rights(s.hello);
    for (;;) {
        if (!next_frame(fd, in, taken, type, payload)) return in.size() > taken ? 1 : 0;
        if (!decode_tile_message(type, payload, m)) return 1;
        grant_cpu();
        if (auto *load = std::get_if<load_request>(&m)) {
            serve_load(s, *load);
        } else if (auto *range = std::get_if<range_request>(&m)) {
            if (!serve_range(s, *range, in.size() > taken)) return 1;
        } else if (auto *alarms = std::get_if<alarm_request>(&m)) {
            if (!serve_alarms(s, *alarms)) return 1;
        } else if (std::holds_alternative<cut_request>(m)) {
            // Of a range answered already: it came in after its end.
        } else {
            return 1;  // a second hello
        }
    }
}
