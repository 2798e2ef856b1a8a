// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The tile's side of the calendar engine: it starts the engine, asks it to
// read the calendar and to answer days, keeps the answers, and replaces an
// engine that dies or passes a deadline, leaving out what it died on.
//
// Answers are held by blocks of 32 days. A block holds, for each of its
// days, what the further occurrences of the events from the head of the
// list up to `upto` give it: a mark, a count of rows and the day view's
// first rows (protocol/protocol.h day_reply), so that a block is bounded
// whatever the calendar. The engine answers a range for at most half a
// second at a time, and the rest is asked for next.
#include "events/events.h"

#include "calendar/calendar.h"
#include "protocol/protocol.h"
#include "sources/sources.h"

#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string_view>

uint64_t engine_starts = 0;
uint64_t engine_loads = 0;

namespace {

constexpr int64_t block_days = 32;
constexpr std::size_t max_blocks = 24;
// How long the engine may stay silent, in ms: while reading one file (whose
// CPU time the engine limits itself), while expanding one zone definition,
// and on one range of days (its half-second budget, a held event's 200 ms
// and the forks of its workers). Passing one restarts the engine without
// blame: it may wait on a slow or hung disk.
constexpr int64_t file_deadline_ms = 30000;
constexpr int64_t zone_deadline_ms = 30000;
constexpr int64_t range_deadline_ms = 3000;
// The alarms of every event: a worker may be replaced three times on them.
constexpr int64_t alarms_deadline_ms = 10000;
// Ends of the engine in a row that name no culprit, before the tile says it
// gave up; it goes on trying after a growing wait, and at once when the
// calendar changes.
constexpr int max_failures = 3;
constexpr int64_t longest_retry_ms = 300000;

// A shown block is answered first without its rows, for the shown days
// only (`shown_only`: marks and counts come at once), then again whole with
// them into `fresh`, which replaces days once complete; other blocks are
// answered whole with their rows at once.
struct held_block {
    int64_t index = 0;                        // days index * 32 to index * 32 + 31
    std::size_t upto = 0;                     // the events before this one are answered
    std::array<day_answer, block_days> days;  // of the further occurrences
    std::array<int8_t, block_days> status{};  // with the first instances
    int dirty = 1;                            // status is to be computed again
    int begun = 0;                            // a range of it was asked for
    int rows = 1;                             // 0: days hold no rows
    day_range shown_only;                     // while rows is 0: the days answered; empty: all
    std::size_t rows_upto = 0;                // of the answers with rows, into fresh
    std::array<day_answer, block_days> fresh;
};

// What the engine died or held on: a file, or a zone definition of it.
struct culprit {
    skipped_file file;  // its path and its identity when the engine began it
    std::string zone;   // empty: the file itself
};

enum engine_stage {
    stage_idle,
    stage_hello,
    stage_load,
    stage_file,
    stage_zone,
    stage_range,
    stage_alarms
};

// What an engine may read: its sandbox is closed at its start, so another
// set needs another engine. Each path with the identity it had.
struct read_tree {
    std::string path;
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const read_tree &o) const {
        return path == o.path && device == o.device && inode == o.inode;
    }
};

struct engine_client {
    events_config config;
    pid_t pid = -1;
    int fd = -1;
    int poll_fd = -1;  // epoll over fd and timer_fd: the loop's one descriptor
    int timer_fd = -1;
    std::string in, out;
    engine_stage stage = stage_idle;
    std::string file, zone;     // begun and not done
    int64_t deadline = 0;       // monotonic ms; 0 none
    int failures = 0;           // ends in a row without a culprit
    int64_t retry_at = 0;       // monotonic ms of the next start after one; 0 none
    uint32_t last_request = 0;  // ids count up from 1 in each engine
    uint32_t load_id = 0;       // of the last load sent
    uint32_t range_id = 0;      // of the range in flight
    int load_pending = 0;
    int load_wanted = 0;              // another load is due once the one in flight is answered
    std::vector<read_tree> trees;     // of the running engine
    uint64_t generation = 0;          // counts the engines ended
    int calendar_asked = 0;           // a load of config.path was asked for
    file_identity file_identity_now;  // of the file begun
    std::vector<culprit> culprits;
    std::vector<event_record> events, incoming;
    std::vector<int32_t> rules_from;  // events to expand from index i on
    std::vector<held_block> blocks;
    day_range shown;
    int range_pending = 0;
    std::vector<int64_t> range_blocks;
    int range_refill = 0;  // the range in flight answers blocks' rows into fresh
    int range_cut = 0;     // a cut of it was sent
    // Its days' answers, taken into the blocks with its range done: a range
    // dropped meanwhile (by a load) leaves nothing half taken.
    std::vector<day_reply> range_days;
    int changed = 0;
    int ask_later = 0;  // the next request waits for the face to show what came in
    // Alarms: asked for after every load once the tile asks at all.
    int alarms_asked = 0, alarms_wanted = 0, alarms_pending = 0;
    uint32_t alarms_id = 0;
    int64_t alarms_since = 0;
    uint32_t alarms_default = 0;
    alarms_reply alarms;
    uint64_t alarms_taken = 0;
};
engine_client client;

int64_t monotonic_ms() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

int covers(const occurrence &o, int64_t day) { return o.first_day <= day && day <= o.last_day; }

int64_t block_of(int64_t day) {
    return day >= 0 ? day / block_days : -((-day - 1) / block_days) - 1;
}

held_block *find_block(int64_t index) {
    for (held_block &b : client.blocks)
        if (b.index == index) return &b;
    return nullptr;
}

void count_rules() {
    std::size_t n = client.events.size();
    client.rules_from.assign(n + 1, 0);
    for (std::size_t i = n; i-- > 0;)
        client.rules_from[i] =
            client.rules_from[i + 1] + (client.events[i].has_rule && !client.events[i].faulty);
}

int answered_upto(std::size_t upto) {
    return upto >= client.events.size() || client.rules_from[upto] == 0;
}
int complete(const held_block &b) { return answered_upto(b.upto); }

void arm_timer() {
    if (client.timer_fd < 0) return;
    itimerspec t{};
    if (client.ask_later) {  // at once, once the loop is back
        t.it_value.tv_nsec = 1;
        timerfd_settime(client.timer_fd, 0, &t, nullptr);
        return;
    }
    int64_t due = client.deadline && client.retry_at ? std::min(client.deadline, client.retry_at)
                                                     : std::max(client.deadline, client.retry_at);
    if (due) {
        int64_t ms = std::max<int64_t>(1, due - monotonic_ms());
        t.it_value.tv_sec = ms / 1000;
        t.it_value.tv_nsec = ms % 1000 * 1000000;
    }
    timerfd_settime(client.timer_fd, 0, &t, nullptr);
}

void set_stage(engine_stage stage, int64_t deadline_ms) {
    client.stage = stage;
    client.deadline = deadline_ms ? monotonic_ms() + deadline_ms * client.config.time_scale : 0;
}

void flush_out() {
    while (!client.out.empty() && client.fd >= 0) {
        ssize_t n = send(client.fd, client.out.data(), client.out.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // full, or the engine is gone: its end is read next
        client.out.erase(0, static_cast<std::size_t>(n));
    }
}

void end_engine() {
    ++client.generation;
    if (client.pid > 0) {
        kill(client.pid, SIGKILL);
        while (waitpid(client.pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    if (client.fd >= 0) {
        epoll_ctl(client.poll_fd, EPOLL_CTL_DEL, client.fd, nullptr);
        close(client.fd);
    }
    client.pid = -1;
    client.fd = -1;
    client.in.clear();
    client.out.clear();
    client.load_pending = client.range_pending = client.load_wanted = client.alarms_pending = 0;
    client.range_days.clear();
    client.last_request = client.load_id = client.range_id = client.alarms_id = 0;
    client.alarms_wanted = client.alarms_asked;
    client.file.clear();
    client.zone.clear();
    client.trees.clear();
    set_stage(stage_idle, 0);
}

// The engine's program: the one the configuration names, else
// dayspinner-engine beside this program (a build tree), else where the
// installed program's prefix puts it.
std::string engine_program() {
    if (!client.config.engine.empty()) return client.config.engine;
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string dir = n > 0 ? std::string(self, static_cast<std::size_t>(n)) : std::string();
    dir.resize(dir.rfind('/') + 1);
    std::string beside = dir + "dayspinner-engine";
    if (access(beside.c_str(), X_OK) == 0) return beside;
    return dir + PROGRAM_TO_ENGINE;
}

// The engine's environment: its zone and locale, and the sanitizers'
// options in a test build; nothing of the user's session (no DISPLAY, no
// HOME).
std::vector<std::string> engine_environment() {
    std::vector<std::string> out;
    for (char **e = environ; e && *e; ++e) {
        std::string_view v(*e);
        for (std::string_view keep :
             {"TZ=", "TZDIR=", "LANG=", "LC_", "ASAN_OPTIONS=", "UBSAN_OPTIONS=", "LSAN_OPTIONS="})
            if (v.substr(0, keep.size()) == keep) out.emplace_back(v);
    }
    return out;
}

// Starts the program with fd as its descriptor 3, the standard output and
// error, /dev/null as input and nothing else. Everything the child needs
// is made before the fork: between fork and exec it only calls the kernel.
pid_t spawn_engine(int fd, const std::string &program) {
    std::vector<std::string> env = engine_environment();
    std::vector<char *> envp;
    envp.reserve(env.size() + 1);
    for (std::string &e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string name = "dayspinner-engine";
    char *argv[] = {name.data(), nullptr};
    int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
    pid_t tile = getpid();
    fflush(stdout);  // what the tile's buffers hold is written once, by the tile
    fflush(stderr);
    pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);  // kept across the exec
        if (getppid() != tile) _exit(1);
        if (null >= 0) dup2(null, 0);
        if (fd == 3)
            fcntl(fd, F_SETFD, 0);
        else
            dup2(fd, 3);
        close_range(4, ~0U, 0);
        execve(program.c_str(), argv, envp.data());
        _exit(127);
    }
    if (null >= 0) close(null);
    return pid;
}

void start_engine() {
    if (client.poll_fd < 0) {
        client.poll_fd = epoll_create1(EPOLL_CLOEXEC);
        client.timer_fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        epoll_event e{};
        e.events = EPOLLIN;
        e.data.fd = client.timer_fd;
        epoll_ctl(client.poll_fd, EPOLL_CTL_ADD, client.timer_fd, &e);
    }
    std::string program = engine_program();
    if (access(program.c_str(), X_OK) != 0) {
        static std::string said;
        if (said != program)
            fprintf(stderr, "%s: cannot start the calendar engine %s: %s\n",
                    client.config.name.c_str(), program.c_str(), strerror(errno));
        said = program;
        return;
    }
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return;
    pid_t pid = spawn_engine(ends[1], program);
    close(ends[1]);
    if (pid < 0) {
        close(ends[0]);
        return;
    }
    ++engine_starts;
    client.pid = pid;
    client.fd = ends[0];
    fcntl(client.fd, F_SETFL, fcntl(client.fd, F_GETFL) | O_NONBLOCK);
    epoll_event e{};
    e.events = EPOLLIN;
    e.data.fd = client.fd;
    epoll_ctl(client.poll_fd, EPOLL_CTL_ADD, client.fd, &e);
    tile_hello hello;
    // What the kernel's sandbox lacks is said once, by the first engine.
    hello.debug = client.config.debug ? uint32_t{debug_lines} : 0;
    if (client.config.debug && engine_starts == 1) hello.debug |= debug_sandbox_gaps;
    hello.time_scale = static_cast<uint32_t>(
        std::clamp<int>(client.config.time_scale, 1, static_cast<int>(time_scale_cap)));
    hello.fault = client.config.fault;
    hello.name = client.config.name;
    for (const read_tree &t : client.trees) hello.read_trees.push_back(t.path);
    encode(client.out, hello);
    flush_out();
    set_stage(stage_hello, file_deadline_ms);
}

// What the engine for the calendar may read: the directories that are
// watched, those that hold the calendar, a folder calendar's subfolders and
// the targets of its links. Directories rather than the files themselves,
// whose rules would bind to inodes that every rewrite by rename replaces.
std::vector<read_tree> trees_of() {
    std::vector<std::string> paths;
    for (const watch_target &w : watch_directories(client.config.path.c_str()))
        paths.push_back(w.directory);
    std::vector<read_tree> out;
    for (const std::string &p : paths) {
        char *real = realpath(p.c_str(), nullptr);
        if (!real) continue;
        read_tree t{real};
        free(real);
        struct stat st {};
        if (stat(t.path.c_str(), &st) != 0) continue;
        t.device = st.st_dev;
        t.inode = st.st_ino;
        out.push_back(t);
    }
    std::sort(out.begin(), out.end(),
              [](const read_tree &a, const read_tree &b) { return a.path < b.path; });
    out.erase(std::unique(out.begin(), out.end()), out.end());
    // What lies beneath a folder already listed needs no rule of its own.
    std::vector<read_tree> kept;
    for (const read_tree &t : out)
        if (std::none_of(kept.begin(), kept.end(), [&t](const read_tree &k) {
                return t.path.compare(0, k.path.size() + 1, k.path + "/") == 0;
            }))
            kept.push_back(t);
    if (kept.size() > tree_cap) kept.resize(tree_cap);
    return kept;
}

uint32_t new_request() { return ++client.last_request; }

void send_load() {
    // An engine that may not read the calendar as it is now is of no more
    // use, also in the middle of a read: its answers would be of files gone.
    std::vector<read_tree> trees = trees_of();
    if (client.pid > 0 && trees != client.trees) end_engine();
    if (client.load_pending) {  // the latest is sent when the one in flight is answered
        client.load_wanted = 1;
        return;
    }
    client.load_wanted = 0;
    if (client.pid < 0) {
        client.trees = trees;
        start_engine();
    }
    if (client.pid < 0) return;
    load_request m;
    m.request = client.load_id = new_request();
    m.path = client.config.path;
    for (const culprit &c : client.culprits)
        if (c.zone.empty())
            m.skipped_files.push_back(c.file);
        else
            m.bad_zones.push_back(c.zone);
    encode(client.out, m);
    flush_out();
    client.load_pending = 1;
    client.range_pending = 0;
    client.range_days.clear();
    // An answer of alarms of the list replaced is not taken: asked again.
    if (client.alarms_pending) client.alarms_wanted = 1;
    client.alarms_pending = 0;
    client.incoming.clear();
    if (client.stage != stage_hello) set_stage(stage_load, file_deadline_ms);
}

// The blocks of the shown days, then of the month's worth of days after
// and before them.
std::vector<int64_t> wanted_blocks() {
    std::vector<int64_t> out;
    day_range s = client.shown;
    if (s.first > s.last) return out;
    for (int64_t b = block_of(s.first); b <= block_of(s.last); ++b) out.push_back(b);
    for (int64_t b = block_of(s.last + 1); b <= block_of(s.last + 31); ++b)
        if (std::find(out.begin(), out.end(), b) == out.end()) out.push_back(b);
    for (int64_t b = block_of(s.first - 1); b >= block_of(s.first - 31); --b)
        if (std::find(out.begin(), out.end(), b) == out.end()) out.push_back(b);
    return out;
}

// Makes the wanted blocks exist, dropping the ones farthest from the shown
// days beyond max_blocks.
void keep_blocks() {
    for (int64_t b : wanted_blocks())
        if (!find_block(b)) {
            client.blocks.emplace_back();
            client.blocks.back().index = b;
        }
    if (client.blocks.size() <= max_blocks) return;
    int64_t middle = block_of((client.shown.first + client.shown.last) / 2);
    std::stable_sort(client.blocks.begin(), client.blocks.end(),
                     [middle](const held_block &a, const held_block &b) {
                         return std::llabs(a.index - middle) < std::llabs(b.index - middle);
                     });
    client.blocks.resize(max_blocks);
}

// The alarms due after since, up to an alarm_ahead_s from now.
void send_alarms() {
    if (client.load_id == 0) return;  // asked again once a load is answered
    int64_t now = time(nullptr);
    alarm_request m;
    m.request = client.alarms_id = new_request();
    m.load = client.load_id;
    m.now = now;
    m.since = std::clamp(client.alarms_since, now - alarm_back_s, now);
    m.default_minutes = std::min(client.alarms_default, default_minutes_cap);
    encode(client.out, m);
    flush_out();
    client.alarms_wanted = 0;
    client.alarms_pending = 1;
    set_stage(stage_alarms, alarms_deadline_ms);
}

// The shown days of block index; empty when none is shown.
day_range shown_in(int64_t index) {
    return {std::max(client.shown.first, index * block_days),
            std::min(client.shown.last, index * block_days + block_days - 1)};
}
int is_shown(int64_t index) {
    day_range d = shown_in(index);
    return d.first <= d.last;
}

// A range in flight for blocks none of which is shown any more, while a
// shown one waits for its marks, is cut short: the engine ends it at its
// next event, and what it answered holds.
void cut_stale_range() {
    if (!client.range_pending || client.range_cut) return;
    if (std::any_of(client.range_blocks.begin(), client.range_blocks.end(), is_shown)) return;
    const day_range s = client.shown;
    if (s.first > s.last) return;
    for (int64_t b = block_of(s.first); b <= block_of(s.last); ++b) {
        const held_block *h = find_block(b);
        if (h && !complete(*h)) {
            encode(client.out, cut_request{client.range_id});
            flush_out();
            client.range_cut = 1;
            return;
        }
    }
}

// Asks for the alarms when they are wanted, else for the first wanted block
// not complete, with the next one when it needs the same events.
void ask_next() {
    if (client.pid < 0 || client.load_pending || client.alarms_pending) return;
    cut_stale_range();
    if (client.range_pending) return;
    if (client.alarms_wanted) {
        send_alarms();
        if (client.alarms_pending) return;
    }
    std::vector<int64_t> wanted = wanted_blocks();
    // A block not begun is answered without its rows first when it is shown;
    // one begun goes on as it began.
    auto begin = [](held_block &b) {
        if (b.begun) return;
        b.rows = is_shown(b.index) ? 0 : 1;
        b.shown_only = b.rows ? day_range{} : shown_in(b.index);
    };
    auto wants = [](const held_block &b, int refill) {
        return refill ? !b.rows && complete(b) : !complete(b);
    };
    auto from = [](const held_block &b, int refill) { return refill ? b.rows_upto : b.upto; };
    // Two blocks go in one range when they need the same events and, without
    // rows, their days follow one another.
    auto joins = [&](const held_block &b, const held_block &n, int refill) {
        return wants(n, refill) && from(n, refill) == from(b, refill) && n.rows == b.rows &&
               (refill || b.rows || n.shown_only.first == b.shown_only.last + 1);
    };
    // The shown blocks' marks, their rows, then the other blocks' alike.
    for (int phase = 0; phase < 4; ++phase)
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            const int refill = phase % 2;
            held_block *b = find_block(wanted[i]);
            if (!b || (phase < 2 && !is_shown(b->index))) continue;
            if (!refill) begin(*b);
            if (!wants(*b, refill)) continue;
            client.range_blocks = {b->index};
            if (i + 1 < wanted.size() && wanted[i + 1] == b->index + 1) {
                held_block *n = find_block(wanted[i + 1]);
                if (n && !refill) begin(*n);
                if (n && joins(*b, *n, refill)) client.range_blocks.push_back(n->index);
            }
            const held_block &last = *find_block(client.range_blocks.back());
            range_request m;
            m.request = client.range_id = new_request();
            m.load = client.load_id;
            m.days = {b->index * block_days, last.index * block_days + block_days - 1};
            m.from = static_cast<uint32_t>(from(*b, refill));
            m.rows = refill || b->rows ? 1 : 0;
            if (!m.rows) m.days = {b->shown_only.first, last.shown_only.last};
            for (int64_t index : client.range_blocks) find_block(index)->begun = 1;
            encode(client.out, m);
            flush_out();
            client.range_pending = 1;
            client.range_refill = refill;
            client.range_cut = 0;
            client.range_days.clear();
            set_stage(stage_range, range_deadline_ms);
            return;
        }
}

// A day's answer for some events, merged into what the events before them gave it.
void take_day(const day_reply &m) {
    int64_t index = block_of(m.day);
    held_block *b = std::find(client.range_blocks.begin(), client.range_blocks.end(), index) !=
                            client.range_blocks.end()
                        ? find_block(index)
                        : nullptr;
    if (!b) return;
    std::vector<day_row> rows;
    for (const day_row &r : m.rows)
        if (r.event < client.events.size()) rows.push_back(r);
    auto &days = client.range_refill ? b->fresh : b->days;
    merge_day(days[static_cast<std::size_t>(m.day - index * block_days)], m.status, m.count, rows);
}

void take_progress(const progress_reply &m) {
    if (m.kind == progress_reading) {
        set_stage(client.stage, client.stage == stage_zone ? zone_deadline_ms : file_deadline_ms);
    } else if (m.kind == progress_file) {
        client.file = m.name;
        client.file_identity_now = m.identity;
        // A culprit whose file changed is forgiven: the engine reads it now,
        // and a zone of it left out is used again at the next read.
        auto changed = [&m](const culprit &c) {
            return c.file.path == m.name && !(c.file.identity == m.identity);
        };
        auto gone = std::remove_if(client.culprits.begin(), client.culprits.end(), changed);
        if (std::any_of(gone, client.culprits.end(),
                        [](const culprit &c) { return !c.zone.empty(); }))
            client.load_wanted = 1;
        client.culprits.erase(gone, client.culprits.end());
        set_stage(stage_file, file_deadline_ms);
    } else if (m.kind == progress_zone) {
        client.zone = m.name;
        set_stage(stage_zone, zone_deadline_ms);
    } else if (client.stage == stage_zone) {
        client.zone.clear();
        set_stage(stage_file, file_deadline_ms);
    } else {
        client.file.clear();
        set_stage(stage_load, file_deadline_ms);
    }
}

void take_loaded(int unchanged) {
    client.load_pending = 0;
    client.alarms_wanted = client.alarms_asked;
    client.failures = 0;
    set_stage(stage_idle, 0);
    if (unchanged) {  // the calendar as it was: what is held stays
        client.incoming = {};
        client.changed = 1;  // nothing is pending any more
        if (client.load_wanted) send_load();
        return;
    }
    ++engine_loads;
    client.alarms.items.clear();  // of the list replaced: asked again
    client.events = std::move(client.incoming);
    client.incoming = {};
    client.blocks.clear();
    // Both calendars were held while the new one came in: give the freed
    // pages back, or every reload keeps that high-water mark.
    malloc_trim(0);
    count_rules();
    keep_blocks();
    client.changed = 1;
    if (client.load_wanted) send_load();
}

// Takes one reply; 0 when it breaks the protocol: a hello out of turn or of
// another version, or an event out of order.
int handle_message(const engine_message &reply) {
    if (client.stage == stage_hello) {
        const auto *hello = std::get_if<engine_hello>(&reply);
        if (!hello || hello->version != protocol_version) return 0;
        set_stage(client.load_pending ? stage_load : stage_idle,
                  client.load_pending ? file_deadline_ms : 0);
        return 1;
    }
    int64_t deadline = client.stage == stage_range  ? range_deadline_ms
                       : client.stage == stage_zone ? zone_deadline_ms
                                                    : file_deadline_ms;
    int load = client.load_pending;  // the replies of a load are taken only while it is in flight
    if (const auto *m = std::get_if<progress_reply>(&reply)) {
        if (load && m->load == client.load_id) take_progress(*m);
    } else if (const auto *m = std::get_if<event_reply>(&reply)) {
        if (!load || m->load != client.load_id) return 1;
        if (m->index != client.incoming.size()) return 0;
        event_record e;
        e.transparency = m->transparency;
        e.cancelled = m->cancelled;
        e.has_rule = m->has_rule;
        e.first = m->first;
        e.summary = m->summary;
        e.location = m->location;
        client.incoming.push_back(std::move(e));
        set_stage(client.stage, deadline);
    } else if (const auto *m = std::get_if<loaded_reply>(&reply)) {
        if (!load || m->load != client.load_id) return 1;
        if (m->unchanged ? !client.incoming.empty() || m->events != 0
                         : m->events != client.incoming.size())
            return 0;
        take_loaded(m->unchanged);
    } else if (std::holds_alternative<engine_hello>(reply)) {
        return 0;
    } else if (const auto *m = std::get_if<alarms_reply>(&reply)) {
        if (!client.alarms_pending || m->request != client.alarms_id) return 1;
        client.alarms = *m;
        auto gone = [](const alarm_item &a) { return a.event >= client.events.size(); };
        client.alarms.items.erase(
            std::remove_if(client.alarms.items.begin(), client.alarms.items.end(), gone),
            client.alarms.items.end());
        ++client.alarms_taken;
        client.alarms_pending = 0;
        client.changed = 1;
        set_stage(stage_idle, 0);
    } else if (!client.range_pending) {
        return 1;  // of a range asked before a load
    } else if (const auto *m = std::get_if<day_reply>(&reply)) {
        if (m->range != client.range_id) return 1;
        client.range_days.push_back(*m);
        set_stage(stage_range, range_deadline_ms);
    } else if (const auto *m = std::get_if<faulty_reply>(&reply)) {
        if (m->range != client.range_id) return 1;
        if (m->event < client.events.size()) client.events[m->event].faulty = 1;
        count_rules();
    } else if (const auto *m = std::get_if<range_done_reply>(&reply)) {
        if (m->range != client.range_id) return 1;
        for (const day_reply &d : client.range_days) take_day(d);
        client.range_days.clear();
        auto next = static_cast<std::size_t>(m->next);
        for (int64_t index : client.range_blocks)
            if (held_block *b = find_block(index)) {
                if (!client.range_refill) {
                    b->upto = std::max(b->upto, next);
                } else if (answered_upto(b->rows_upto = std::max(b->rows_upto, next))) {
                    b->days = b->fresh;  // the same marks, now with their rows, of every day
                    b->fresh = {};
                    b->rows = 1;
                    b->shown_only = {};
                }
                b->dirty = 1;
            }
        client.range_pending = 0;
        client.changed = 1;
        set_stage(stage_idle, 0);
    }
    return 1;
}

enum read_end { read_more, read_closed, read_fault };

// Reads what the engine sent and takes each whole reply.
read_end read_engine() {
    const uint64_t generation = client.generation;
    char chunk[65536];
    for (;;) {
        ssize_t n = read(client.fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return read_more;  // nothing more for now
        if (n == 0) return read_closed;
        client.in.append(chunk, static_cast<std::size_t>(n));
        std::size_t at = 0;
        uint32_t type = 0;
        std::string_view payload;
        engine_message reply;
        for (;;) {
            frame_state f = take_frame(client.in, at, type, payload);
            if (f == frame_partial) break;
            if (f == frame_fault || !decode_engine_message(type, payload, reply) ||
                !handle_message(reply))
                return read_fault;
            // A load answered may start an engine for other trees: what is
            // left was the old one's.
            if (client.generation != generation) return read_more;
        }
        client.in.erase(0, at);
    }
}

// The engine died, overran its deadline or broke the protocol. What it was
// on is left out only when that was the file's doing: a fault signal, more
// than its CPU time (the kernel's SIGXCPU) or a malformed message. Any other
// end (killed from outside or for memory, a wait on a disk) starts a new
// engine on the same files, after a wait that grows with each such end.
enum engine_end { end_died, end_held, end_fault };

int file_did_it(engine_end why, int status) {
    if (why == end_fault) return 1;
    if (why != end_died || !WIFSIGNALED(status)) return 0;
    for (int sig : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGXCPU})
        if (WTERMSIG(status) == sig) return 1;
    return 0;
}

int64_t retry_wait_ms(int failures) {
    if (failures <= 1) return 0;
    return std::min<int64_t>(longest_retry_ms, int64_t(500) << std::min(failures - 1, 20));
}

void replace_engine(engine_end why) {
    int status = 0;
    if (client.pid > 0 && why == end_died) {
        while (waitpid(client.pid, &status, 0) < 0 && errno == EINTR) {
        }
        client.pid = -1;
    }
    engine_stage stage = client.stage;
    std::string file = client.file, zone = client.zone;
    end_engine();
    std::string how = why == end_held    ? "held past its deadline"
                      : why == end_fault ? "sent a malformed message"
                      : WIFSIGNALED(status) && WTERMSIG(status) == SIGXCPU
                          ? "spent more than its CPU time"
                      : WIFSIGNALED(status) ? "ended by signal " + std::to_string(WTERMSIG(status))
                                            : "ended";
    const char *name = client.config.name.c_str();
    if (file_did_it(why, status) && (stage == stage_file || stage == stage_zone) && !file.empty() &&
        client.culprits.size() < culprit_cap) {
        client.culprits.push_back(
            {{file, client.file_identity_now}, stage == stage_zone ? zone : std::string()});
        if (stage == stage_zone)
            fprintf(stderr,
                    "%s: %s: the calendar engine %s on the time zone \"%s\"; its times are "
                    "read as floating\n",
                    name, file.c_str(), how.c_str(), zone.c_str());
        else
            fprintf(stderr,
                    "%s: %s: the calendar engine %s on this file; it is not read until it "
                    "changes\n",
                    name, file.c_str(), how.c_str());
        client.failures = 0;
        client.changed = 1;
        if (client.calendar_asked) send_load();
        return;
    }
    ++client.failures;
    int64_t wait = retry_wait_ms(client.failures);
    if (client.config.debug)
        printf("calendar engine %s; started again in %lld ms\n", how.c_str(),
               static_cast<long long>(wait));
    if (client.failures == max_failures)
        fprintf(stderr,
                "%s: the calendar engine %s, %d times in a row; the calendar's events are not "
                "shown until it is read again, in %lld s or when it changes\n",
                name, how.c_str(), client.failures, static_cast<long long>(wait / 1000));
    client.changed = 1;  // the face's mark of a calendar not read
    if (!client.calendar_asked) return;
    if (wait == 0)
        send_load();
    else
        client.retry_at = monotonic_ms() + wait;
}

void compute_status(held_block &b) {
    int64_t first = b.index * block_days, last = first + block_days - 1;
    for (std::size_t i = 0; i < b.status.size(); ++i)
        b.status[i] = static_cast<int8_t>(b.days[i].status);
    for (const event_record &e : client.events)
        if (!e.cancelled)
            for (int64_t d = std::max(first, e.first.first_day);
                 d <= std::min(last, e.first.last_day); ++d) {
                int8_t &s = b.status[static_cast<std::size_t>(d - first)];
                if (s != 1) s = static_cast<int8_t>(e.transparency);
            }
    b.dirty = 0;
}

const day_answer *day_answer_of(int64_t day) {
    const held_block *b = find_block(block_of(day));
    return b ? &b->days[static_cast<std::size_t>(day - b->index * block_days)] : nullptr;
}

}  // namespace

void load_events(const events_config &config) {
    if (config.path != client.config.path) {
        client.calendar_asked = 0;
        client.culprits.clear();
    }
    // An engine runs with the settings it was started with.
    if (config.debug != client.config.debug || config.time_scale != client.config.time_scale ||
        memcmp(&config.fault, &client.config.fault, sizeof config.fault) != 0 ||
        config.engine != client.config.engine) {
        end_engine();
        client.calendar_asked = 0;
    }
    client.config = config;
    if (config.debug) {
        printf("check for new calendar data\n");
        fflush(stdout);  // before the engine's own lines
    }
    // The engine lists the files and reads them only if they changed. A
    // start that waits after an end without culprit is made now: the files
    // may have changed.
    client.retry_at = 0;
    client.calendar_asked = 1;
    send_load();
    arm_timer();
}

void ask_days(day_range shown) {
    client.shown = shown;
    if (client.events.empty() && !client.load_pending) return;
    keep_blocks();
    ask_next();
    arm_timer();
}

void ask_alarms(int64_t since, uint32_t default_minutes) {
    if (!client.alarms_asked || since != client.alarms_since ||
        default_minutes != client.alarms_default)
        client.alarms_wanted = 1;
    client.alarms_asked = 1;
    client.alarms_since = since;
    client.alarms_default = default_minutes;
    ask_next();
    arm_timer();
}

void forget_alarms() {
    client.alarms_asked = client.alarms_wanted = 0;
    client.alarms = {};
}

const alarms_reply &held_alarms() { return client.alarms; }
uint64_t alarm_answers() { return client.alarms_taken; }

int engine_descriptor() { return client.poll_fd; }

int take_engine_replies() {
    if (client.timer_fd >= 0) {
        uint64_t expirations;
        while (read(client.timer_fd, &expirations, sizeof expirations) > 0) {
        }
    }
    read_end r = client.fd >= 0 ? read_engine() : read_more;
    if (r != read_more)
        replace_engine(r == read_fault ? end_fault : end_died);
    else if (client.deadline && monotonic_ms() >= client.deadline)
        replace_engine(end_held);
    if (client.retry_at && monotonic_ms() >= client.retry_at) {
        client.retry_at = 0;
        if (client.pid < 0 && client.calendar_asked) send_load();
    }
    flush_out();
    // What came in is drawn before the next request is sent: the engine's
    // work on it would compete with the drawing for the processor. The
    // timer brings the loop back for it at once.
    client.ask_later = client.changed;
    if (!client.ask_later) ask_next();
    arm_timer();
    int changed = client.changed;
    client.changed = 0;
    return changed;
}

int settle_events(int timeout_ms) {
    int64_t end = monotonic_ms() + timeout_ms;
    for (;;) {
        take_engine_replies();
        if (!client.load_pending && !client.range_pending && !client.alarms_pending &&
            !client.ask_later)
            return 1;
        int64_t left = end - monotonic_ms();
        if (left <= 0) return 0;
        pollfd p{client.poll_fd, POLLIN, 0};
        poll(&p, 1, static_cast<int>(std::min<int64_t>(left, 100)));
    }
}

void stop_events() {
    end_engine();
    client.calendar_asked = 0;
    client.culprits.clear();
    client.events.clear();
    client.incoming.clear();
    client.rules_from.clear();
    client.blocks.clear();
    client.shown = {};
    client.alarms = {};
    client.alarms_asked = client.alarms_wanted = 0;
    client.failures = 0;
    client.retry_at = 0;
    arm_timer();
}

const std::vector<event_record> &held_events() { return client.events; }
int calendar_given_up() { return client.failures >= max_failures; }
int events_debug() { return client.config.debug; }

const occurrence *occurrence_on_day(std::size_t event, icaltimetype day) {
    if (event >= client.events.size()) return nullptr;
    int64_t n = gregorian_to_jdn(day);
    if (covers(client.events[event].first, n)) return &client.events[event].first;
    if (const day_answer *d = day_answer_of(n))
        for (const day_row &r : d->rows)
            if (r.event == event) return &r.item;
    return nullptr;
}

day_rows rows_on_day(icaltimetype day) {
    int64_t n = gregorian_to_jdn(day);
    day_rows out;
    for (std::size_t i = 0; i < client.events.size(); ++i)
        if (covers(client.events[i].first, n))
            out.rows.push_back({static_cast<uint32_t>(i), client.events[i].first});
    out.count = out.rows.size();
    // Only the first are sorted, so that a day of any number of events is listed at once.
    auto kept = static_cast<std::ptrdiff_t>(std::min(day_row_cap, out.rows.size()));
    std::partial_sort(out.rows.begin(), out.rows.begin() + kept, out.rows.end(), row_before);
    out.rows.resize(static_cast<std::size_t>(kept));
    if (const day_answer *d = day_answer_of(n)) {
        out.count += d->count;
        for (const day_row &r : d->rows) keep_row(out.rows, r);
    }
    return out;
}

int day_status(icaltimetype day) {
    int64_t n = gregorian_to_jdn(day);
    held_block *b = find_block(block_of(n));
    if (b) {
        if (b->dirty) compute_status(*b);
        return b->status[static_cast<std::size_t>(n - b->index * block_days)];
    }
    int status = 0;
    for (const event_record &e : client.events)
        if (status != 1 && !e.cancelled && covers(e.first, n)) status = e.transparency;
    return status;
}

int events_pending(day_range days) {
    // While the calendar is read, what it holds is not known yet.
    if (client.load_pending)
        return std::max<int>(1, client.rules_from.empty() ? 0 : client.rules_from[0]);
    std::size_t upto = client.events.size();
    for (int64_t index = block_of(days.first); index <= block_of(days.last); ++index) {
        const held_block *b = find_block(index);
        // A block answered for other days than these has not answered them.
        day_range only = b ? b->shown_only : day_range{};
        int64_t first = std::max(days.first, index * block_days);
        int64_t last = std::min(days.last, index * block_days + block_days - 1);
        int outside =
            b && !b->rows && only.first <= only.last && (first < only.first || last > only.last);
        upto = std::min(upto, b && !outside ? b->upto : 0);
    }
    return client.rules_from.empty() ? 0 : client.rules_from[upto];
}
