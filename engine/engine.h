// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The calendar engine: the process that does all of the library's work on the
// calendar's files (reading, parsing, zones, local time, recurrence). The
// tile starts it from its own program (engine/main.cpp) and holds only its
// answers; what crosses between them is protocol/protocol.h.
//
//   tile --load/range--> engine: read_calendar (load.cpp, zones.cpp)
//                                answer_days (worker.cpp, recur.cpp)
//   tile <--events, days, progress-- engine
//
// read_calendar, read_calendar_text and answer_days also run in the calling
// process, for the fuzz target and benchmarks.
#pragma once

#include "protocol/protocol.h"
#include "sources/sources.h"

#include <libical/ical.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <sys/types.h>

struct component_free {
    void operator()(icalcomponent *c) const { icalcomponent_free(c); }
};

// The text of c's first property of kind (SUMMARY, LOCATION) as it reads,
// without the file's escapes: "\,", "\;", "\\" and "\n" or "\N" stand for a
// comma, a semicolon, a backslash and a line break. Null without one.
const char *text_of(icalcomponent *c, icalproperty_kind kind);

// One DISPLAY or AUDIO alarm of an event (engine/alarms.h).
struct alarm_rule {
    uint32_t index = 0;   // among the component's VALARMs, in file order
    int related_end = 0;  // 1: the trigger counts from the occurrence's end
    int absolute = 0;     // 1: due at `at`, once, whatever the occurrence
    int64_t offset = 0;   // seconds after the start or end (negative: before)
    int64_t at = 0;       // seconds since 1970
    uint32_t repeat = 0;  // further times it falls due after the first
    int64_t every = 0;    // seconds between them; > 0 when repeat > 0
};
// VALARMs read of one event, at most.
constexpr std::size_t alarm_rule_cap = 16;

// One event as the engine holds it, in event_list.
struct event_node {
    // DTSTART and the exclusive end (DTEND, or DTSTART plus DURATION; without
    // either, a date lasts its day and a time no time), with the zone their
    // TZID names (events/zones.h).
    icaltimetype start{};
    icaltimetype end{};
    int64_t length = 0;  // seconds from start to end, 0 at least
    std::unique_ptr<icalcomponent, component_free>
        component;         // the whole component, taken out of the parsed file
    int transparency = 1;  // 1 opaque (busy), 2 transparent (free)
    std::string summary;   // copy of the SUMMARY text, without its escapes
    int cancelled = 0;     // 1: STATUS:CANCELLED; listed, but marks no day
    // Occurrences left out of the recurrence set, sorted: the instants
    // (events/zones.h instant_of) of the time EXDATEs and of the occurrences
    // that components with a RECURRENCE-ID replace, and the day numbers of
    // the date EXDATEs, on which no occurrence starts.
    std::vector<int64_t> excluded_instants;
    std::vector<int64_t> exdate_days;
    // The component's RRULE and RDATE properties, in its order. Read once:
    // the library's iteration over a component writes into it, and a worker
    // that wrote into every component would copy every page of the list.
    std::vector<icalproperty *> rules;
    int sub_daily = 0;  // 1: one of them is an RRULE of hours, minutes or seconds
    occurrence first;   // the first instance
    // 1: a worker died or overran its deadline on this event; its rule is not
    // expanded again until the file is read again.
    int faulty = 0;
    std::vector<alarm_rule> alarms;
    std::string uid;          // the UID, or empty
    icaltimetype instance{};  // local RECURRENCE-ID of a replacing component, else null
    int alarms_faulty = 0;    // 1: as faulty, for the expansion of its alarms
    event_node *next = nullptr;
};

// The reverse of the file order, except that events with rules of hours,
// minutes or seconds come after all others (events/load.cpp).
extern event_node *event_list;
// Counts the changes of event_list (an event added, the list reordered or freed).
extern uint64_t event_list_generation;

// kind is a progress_kind; identity is that of the file begun, else null.
using progress_sink = void (*)(void *context, int kind, const char *name,
                               const file_identity *identity);

struct read_options {
    int debug = 0;                            // 1: a "read: " line per event on stdout
    std::string name;                         // prefix of messages on stderr
    std::vector<skipped_file> skipped_files;  // not read while their identity is the same
    std::set<std::string> bad_zones;          // TZIDs whose definitions are not used
    engine_fault fault;                       // stage 1: a fault on reading file fault.index
    progress_sink progress = nullptr;
    void *context = nullptr;
};

// The identity of a listed file as the wire carries it.
file_identity identity_of(const source_file &f);

// Reads the calendar at path (a file, or a folder of .ics files) into
// event_list, replacing what it held.
void read_calendar(const char *path, const read_options &options);
// The same for the files of path as listed already.
void read_sources(const char *path, const source_list &sources, const read_options &options);
// The same for text held in memory, read as the whole of the file at path
// (a name for messages; nothing is opened): the bounds, the zones, the
// replaced occurrences and the events are those read_calendar would give.
void read_calendar_text(std::string text, const char *path, const read_options &options);
void free_events();  // empties event_list and forgets the files' zones

// Answers the days of range for the events from index from on (list order),
// through a worker process, for at most about budget_ms: next is the index
// of the first event not answered (the list's length when all are), and days
// holds one answer per day of range for the events before it. Events on
// which a worker died or held are marked faulty and listed.
struct answer_result {
    std::size_t next = 0;
    std::vector<int32_t> faulty;
    std::vector<day_answer> days;
};
// With rows 0 the days' answers carry their marks and counts only. Once
// cut_fd (-1: none) is readable, the range ends at the worker's next event,
// next saying how far it got.
answer_result answer_days(day_range range, std::size_t from, int64_t budget_ms,
                          const engine_fault &fault, int time_scale, int debug, int rows = 1,
                          int cut_fd = -1);

// The alarms of m (its since, now and default reminder) of the events from
// m.from on, through the worker as answer_days; events on which a worker
// died or held lose their alarms until the next read.
alarms_reply answer_alarms(const alarm_request &m, const engine_fault &fault, int time_scale,
                           int debug);

// Ends the worker that answer_days keeps for the event list it was forked
// with; called before the list changes (a load), and by a process that is done.
void end_worker();

// Milliseconds on the monotonic clock.
int64_t monotonic_ms();

// Lets the calling process's address space grow by at most extra_bytes
// beyond its present size (RLIMIT_AS); nothing under the address sanitizer,
// whose shadow memory needs terabytes of it.
void limit_growth(uint64_t extra_bytes);

// Summaries and locations cross to the tile cut to this many bytes.
constexpr std::size_t text_limit = text_cap;

// The engine's program: serves the tile on descriptor fd until the tile
// closes it, then returns the exit status (0, or 1 after a protocol fault).
// It hears the tile's hello first, answers with its own, closes its rights
// (engine/sandbox.h) and only then reads a calendar.
int serve_engine(int fd);
