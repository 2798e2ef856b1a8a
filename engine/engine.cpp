// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The engine process: started by the tile, it reads the calendar, keeps the
// parsed events and answers the tile's requests; see events/engine.h.
#include "engine/engine.h"

#include "engine/recur.h"

#include <fcntl.h>
#include <locale.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#if defined(__SANITIZE_ADDRESS__)
#define DS_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DS_ADDRESS_SANITIZER 1
#endif
#endif

void message_writer::begin(uint32_t type) {
    header = bytes.size();
    put(type);
    put(uint32_t{0});
}

void message_writer::end() {
    auto size = static_cast<uint32_t>(bytes.size() - header - 8);
    memcpy(&bytes[header + 4], &size, sizeof size);
}

std::string message_reader::text() {
    auto n = get<uint32_t>();
    if (!ok || static_cast<std::size_t>(end - at) < n) {
        ok = 0;
        return {};
    }
    std::string s(at, n);
    at += n;
    return s;
}

int take_message(std::string &buffer, uint32_t &type, std::string &payload) {
    if (buffer.size() < 8) return 0;
    uint32_t size = 0;
    memcpy(&type, buffer.data(), 4);
    memcpy(&size, buffer.data() + 4, 4);
    if (buffer.size() - 8 < size) return 0;
    payload.assign(buffer, 8, size);
    buffer.erase(0, 8 + std::size_t(size));
    return 1;
}

namespace {

// What one range request may take before its answers so far are sent; the
// tile asks again for the rest.
constexpr int64_t range_budget_ms = 500;
// CPU seconds the engine may spend on one request before the kernel ends it,
// whoever watches it; and address space beyond what it inherited.
constexpr rlim_t request_cpu_seconds = 60;
constexpr uint64_t engine_extra_bytes = uint64_t(3) << 30;

struct engine_session {
    int fd;
    const events_config &config;
    uint32_t load_id = 0;
    message_writer out;
};

void send(engine_session &s) {
    const char *p = s.out.bytes.data();
    std::size_t left = s.out.bytes.size();
    while (left > 0) {
        ssize_t n = write(s.fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) _exit(0);  // the tile is gone
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    s.out.bytes.clear();
}

// Progress goes out at once: it names the culprit if the engine dies next.
void report_progress(void *context, int kind, const char *name) {
    auto &s = *static_cast<engine_session *>(context);
    s.out.begin(msg_progress);
    s.out.put(int32_t{kind});
    s.out.text(name);
    s.out.end();
    send(s);
}

std::string cut(const std::string &text) {
    if (text.size() <= text_limit) return text;
    std::size_t n = text_limit;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xc0) == 0x80) --n;  // whole UTF-8
    return text.substr(0, n);
}

std::string location_of(const event_node *node) {
    const char *location = text_of(node->component.get(), ICAL_LOCATION_PROPERTY);
    return location ? cut(location) : std::string();
}

void grant_cpu() {
    rusage used{};
    getrusage(RUSAGE_SELF, &used);
    rlimit cpu{static_cast<rlim_t>(used.ru_utime.tv_sec + used.ru_stime.tv_sec) +
                   request_cpu_seconds,
               RLIM_INFINITY};
    setrlimit(RLIMIT_CPU, &cpu);
}

void serve_load(engine_session &s, message_reader &r) {
    s.load_id = r.get<uint32_t>();
    std::string path = r.text();
    read_options options;
    options.debug = s.config.debug;
    options.name = s.config.name;
    options.fault = s.config.fault;
    for (uint32_t n = r.get<uint32_t>(); r.ok && n > 0; --n)
        options.skipped_files.push_back(r.text());
    for (uint32_t n = r.get<uint32_t>(); r.ok && n > 0; --n) options.bad_zones.insert(r.text());
    options.progress = report_progress;
    options.context = &s;
    read_calendar(path.c_str(), options);
    int32_t index = 0;
    for (const event_node *node = event_list; node; node = node->next, ++index) {
        s.out.begin(msg_event);
        s.out.put(index);
        s.out.put(int32_t{node->transparency});
        s.out.put(int32_t{node->cancelled});
        s.out.put(int32_t{has_rule(node)});
        s.out.put(node->first);
        s.out.text(cut(node->summary));
        s.out.text(location_of(node));
        s.out.end();
        if (s.out.bytes.size() >= 65536) send(s);
    }
    s.out.begin(msg_loaded);
    s.out.put(s.load_id);
    s.out.put(index);
    s.out.end();
    send(s);
}

void serve_range(engine_session &s, message_reader &r) {
    auto load_id = r.get<uint32_t>();
    day_range range;
    range.first = r.get<int64_t>();
    range.last = r.get<int64_t>();
    auto from = static_cast<std::size_t>(std::max(0, r.get<int32_t>()));
    if (!r.ok || load_id != s.load_id) return;  // asked of a calendar read since
    answer_result answer = answer_days(range, from, range_budget_ms, s.config.fault,
                                       s.config.time_scale, s.config.debug);
    int32_t index = 0;
    for (const event_node *node = event_list; node; node = node->next, ++index) {
        if (static_cast<std::size_t>(index) < from || node->occurrences.empty()) continue;
        if (static_cast<std::size_t>(index) >= answer.next) break;
        s.out.begin(msg_occurrences);
        s.out.put(s.load_id);
        s.out.put(index);
        s.out.put(static_cast<uint32_t>(node->occurrences.size()));
        for (occurrence o : node->occurrences) s.out.put(o);
        s.out.end();
        if (s.out.bytes.size() >= 65536) send(s);
    }
    for (int32_t event : answer.faulty) {
        s.out.begin(msg_faulty);
        s.out.put(s.load_id);
        s.out.put(event);
        s.out.end();
    }
    s.out.begin(msg_range_done);
    s.out.put(s.load_id);
    s.out.put(range.first);
    s.out.put(range.last);
    s.out.put(static_cast<int32_t>(answer.next));
    s.out.end();
    send(s);
}

void limit_engine() {
    rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
    limit_growth(engine_extra_bytes);
}

[[noreturn]] void serve(int fd, pid_t tile, const events_config &config) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != tile) _exit(1);
    // Everything else the tile had open (its X connection among them) is
    // closed; its messages still reach the standard output and error.
    if (fd > 3) close_range(3, static_cast<unsigned>(fd - 1), 0);
    close_range(static_cast<unsigned>(fd + 1), ~0U, 0);
    limit_engine();
    // A fault ends the engine at once, without the handlers of a sanitizer;
    // the tile's handlers of other signals are not the engine's.
    for (int sig :
         {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGCHLD, SIGPIPE, SIGTERM, SIGINT, SIGHUP})
        signal(sig, SIG_DFL);
    // Names in the file are compared without regard to case, which must not
    // follow the user's locale (a Turkish dotless i would not match).
    setlocale(LC_ALL, "C");
    setvbuf(stdout, nullptr, _IOLBF, 0);  // its lines are not lost when it is killed
    engine_session s{fd, config, 0, {}};
    std::string in, payload;
    char chunk[65536];
    for (;;) {
        uint32_t type = 0;
        while (!take_message(in, type, payload)) {
            ssize_t n = read(fd, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) _exit(0);  // the tile closed its end
            in.append(chunk, static_cast<std::size_t>(n));
        }
        grant_cpu();
        message_reader r{payload.data(), payload.data() + payload.size()};
        if (type == msg_load) serve_load(s, r);
        if (type == msg_range) serve_range(s, r);
    }
}

}  // namespace

void limit_growth(uint64_t extra_bytes) {
#ifndef DS_ADDRESS_SANITIZER
    unsigned long pages = 0;
    if (FILE *f = fopen("/proc/self/statm", "r")) {
        if (fscanf(f, "%lu", &pages) != 1) pages = 0;
        fclose(f);
    }
    if (pages > 0) {
        rlim_t bytes = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + extra_bytes;
        rlimit as{bytes, bytes};
        setrlimit(RLIMIT_AS, &as);
    }
#else
    (void)extra_bytes;
#endif
}

pid_t fork_engine(int fd, const events_config &config) {
    pid_t tile = getpid();
    // What the tile's buffers hold is written once, by the tile.
    fflush(stdout);
    fflush(stderr);
    pid_t pid = fork();
    if (pid == 0) serve(fd, tile, config);
    return pid;
}
