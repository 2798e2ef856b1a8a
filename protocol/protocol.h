// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The one wire between the tile and its calendar engine, and between the
// engine and its workers. Everything that crosses is listed here.
//
// A message is a frame: its type (u32), the length of its payload in bytes
// (u32) and the payload. Every integer is little-endian and of the width
// given; a text is its length (u32) and that many bytes of UTF-8, never
// longer than its cap; a list is its count (u32), never more than its cap,
// and its items. Nothing else is sent: no pointers, no records copied whole.
// A frame whose length passes frame_cap, of a type the receiver does not take,
// or whose payload does not decode to exactly its fields, is a protocol fault:
// the tile replaces the engine, the engine ends.
//
// The tile speaks first with hello, and the engine answers with its own
// hello before anything else. Every request carries an id (u32, counting
// up from 1 in each engine); every reply names the request it answers, and
// the tile drops replies to a request it no longer waits for. At most one
// load is in flight: a load asked for meanwhile waits and is sent when the
// first is answered, the latest only.
//
//   tile -> engine
//     hello      u32 version, u32 flags (debug_flags), u32 time_scale
//                (1..1000), i32 fault stage, i32 fault index, i32 fault
//                signal, text name (name_cap), list of text read trees
//                (tree_cap of path_cap)
//     load       u32 request, text path (path_cap), list of skipped file
//                (culprit_cap), list of text bad zones (culprit_cap of
//                name_cap); a skipped file is text path (path_cap) and an
//                identity, and is skipped only while its identity is that
//     range      u32 request, u32 load, i64 first day, i64 last day (at
//                most range_day_cap days from the first on), u32 first event,
//                u8 rows (1: the days' rows too; 0: their marks and counts)
//     alarms     u32 request, u32 load, i64 since, i64 now (seconds since
//                1970; since <= now, at most alarm_back_s before it), u32
//                default minutes (0 none, at most default_minutes_cap), u32
//                first event
//     cut        u32 range: the range in flight is to end early, what it
//                answered so far holding (its range done says how far it
//                got); a cut of a range already answered changes nothing
//   engine -> tile
//     hello      u32 version
//     progress   u32 load, u32 kind (progress_kind), text name (path_cap),
//                identity (of the file begun; zeros for the other kinds)
//     event      u32 load, u32 index, u8 transparency (1 or 2), u8 cancelled,
//                u8 has rule, occurrence first, text summary (text_cap),
//                text location (text_cap)
//     loaded     u32 load, u32 events, u8 unchanged (1: the engine listed
//                the calendar's files and found them as at its last read,
//                or found no calendar: nothing was read, no event was sent)
//     day        u32 range, i64 day, u8 status (0 none, 1 busy, 2 free
//                only), u32 rows in all, list of row (day_row_cap)
//     faulty     u32 range, u32 event
//     range done u32 range, u32 next event
//     alarms     u32 request, u32 more (alarms due by now left out beyond
//                the cap), list of alarm (alarm_cap)
//   worker -> engine
//     day        as the engine's (range 0): what the events reported done
//                next give the day, since the worker's last done record
//     alarms     as the engine's (request 0): the alarms of the events
//                reported done next
//     done       u32 event: every event up to this one is done
//
// A time is i16 year, u8 month, u8 day, u8 hour, u8 minute, u8 second and
// u8 is_date (8 bytes): a local wall-clock time, without a zone. An identity
// is i64 device, i64 inode, i64 size, i64 modification and i64 status-change
// time (ns since 1970): 40 bytes. An
// occurrence is its start, its end and i64 first and last day (Julian day
// numbers): 32 bytes. A row is u32 event and an occurrence: 36 bytes. An
// alarm is u32 event, u32 alarm (its index among the event's VALARMs, or
// default_alarm), i64 last, i64 next and i64 ends (seconds since 1970), an
// occurrence, a time (the instance) and text uid (uid_cap).
//
// A day's answer covers the further occurrences of the events asked for
// (never an event's first instance, which the tile has from its event
// reply): what they mark, how many rows they give the day view (one per
// event), and the first day_row_cap of those rows in the view's order, so
// that what the tile holds for a day is bounded whatever the calendar.
#pragma once

#include <libical/ical.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

constexpr uint32_t protocol_version = 4;

// Bytes of one frame's payload, at most.
constexpr std::size_t frame_cap = std::size_t(1) << 20;
constexpr std::size_t text_cap = 4096;    // a summary or a location
constexpr std::size_t path_cap = 4096;    // a path (PATH_MAX)
constexpr std::size_t name_cap = 256;     // a TZID, the program's name
constexpr std::size_t culprit_cap = 256;  // files or zones left out
constexpr std::size_t tree_cap = 64;      // directories the engine may read
constexpr std::size_t day_row_cap = 200;  // rows of one day's answer
constexpr int64_t range_day_cap = 366;    // days of one range
constexpr uint32_t time_scale_cap = 1000;
// Alarms: how far back (since) and ahead of now one answer reaches, in
// seconds; the alarms one answer carries at most; the longest UID kept.
constexpr int64_t alarm_back_s = 24 * 3600;
constexpr int64_t alarm_ahead_s = 36 * 3600;
constexpr std::size_t alarm_cap = 64;
constexpr std::size_t uid_cap = 1024;
constexpr uint32_t default_minutes_cap = 1440;
// The alarm index of the reminder the settings give events without an alarm.
constexpr uint32_t default_alarm = 0xffffffff;

// One occurrence of an event and the local days it covers. Times are the
// user's wall clock, without a zone.
struct occurrence {
    icaltimetype start{};  // local start; floating times and dates as written
    icaltimetype end{};    // local end, exclusive
    // Julian day numbers of the first and last day the occurrence covers;
    // first_day > last_day when it covers none.
    int64_t first_day = 1, last_day = 0;
};

// A file as the file system reported it when the engine listed it: a
// rewrite, a rename over it or a change of its mode changes it.
struct file_identity {
    int64_t device = 0, inode = 0, size = 0, mtime_ns = 0, ctime_ns = 0;
    bool operator==(const file_identity &o) const {
        return device == o.device && inode == o.inode && size == o.size && mtime_ns == o.mtime_ns &&
               ctime_ns == o.ctime_ns;
    }
};
struct skipped_file {
    std::string path;
    file_identity identity;
};

// An occurrence of the event at index event of the load's list.
struct day_row {
    uint32_t event = 0;
    occurrence item;
};

// The order in which the day view lists a day's rows: all-day and many-day
// occurrences first, then the timed ones by their start, in list order
// among equals.
bool row_before(const day_row &a, const day_row &b);
// Adds r to rows, which is in that order and at most day_row_cap long, and
// drops the last row beyond the cap.
void keep_row(std::vector<day_row> &rows, const day_row &r);

// What the further occurrences of some events give one day (a day_reply's
// fields): its mark, its rows in all, and the first of them in the view's order.
struct day_answer {
    uint8_t status = 0;  // 0 none, 1 busy, 2 free only
    uint32_t count = 0;
    std::vector<day_row> rows;  // at most day_row_cap
};
// Adds what other events give the day (status, count and rows, as a
// day_answer holds them) to what d holds: busy wins over free.
void merge_day(day_answer &d, uint8_t status, uint32_t count, const std::vector<day_row> &rows);

// Days as Julian day numbers, first to last; empty when first > last.
struct day_range {
    int64_t first = 1, last = 0;
};

// A fault the engine brings on itself, for tests: on beginning to read file
// index (stage 1, in the order read) or to expand event index (stage 2, list
// order) it raises signal, or holds on the CPU when signal is 0. Stage 3 has it try,
// once its rights are closed, what it may not do, and print what happened.
constexpr int fault_probe_sandbox = 3;
struct engine_fault {
    int stage = 0;
    int index = -1;
    int signal = 0;
};

// What the engine reports while it works, so that the tile can name what
// the library crashed or held on.
enum progress_kind : uint32_t {
    progress_file = 1,     // a file is being read (name: its path)
    progress_zone = 2,     // a zone definition is being expanded (name: its TZID)
    progress_done = 3,     // the zone or file last begun is done
    progress_reading = 4,  // the file begun is still coming in from its disk
};

// The flags of the tile's hello.
enum debug_flags : uint32_t {
    debug_lines = 1,         // the engine's debugging lines on stdout
    debug_sandbox_gaps = 2,  // one line on what the kernel's sandbox lacks
};

enum message_type : uint32_t {
    msg_hello = 1,
    msg_load = 2,
    msg_range = 3,
    msg_progress = 4,
    msg_event = 5,
    msg_loaded = 6,
    msg_day = 7,
    msg_faulty = 8,
    msg_range_done = 9,
    msg_done = 11,  // 10, a record per occurrence, is no longer sent
    msg_alarms = 12,
    msg_cut = 13,
};

// ---- The messages as records ----

struct tile_hello {
    uint32_t version = protocol_version;
    uint32_t debug = 0;
    uint32_t time_scale = 1;
    engine_fault fault;
    std::string name;
    std::vector<std::string> read_trees;
};
struct load_request {
    uint32_t request = 0;
    std::string path;
    std::vector<skipped_file> skipped_files;
    std::vector<std::string> bad_zones;
};
struct range_request {
    uint32_t request = 0, load = 0;
    day_range days;
    uint32_t from = 0;
    uint8_t rows = 1;
};
// The alarms due after since up to now + alarm_ahead_s.
struct alarm_request {
    uint32_t request = 0, load = 0;
    int64_t since = 0, now = 0;
    uint32_t default_minutes = 0;
    uint32_t from = 0;
};
struct cut_request {
    uint32_t range = 0;
};
using tile_message =
    std::variant<tile_hello, load_request, range_request, alarm_request, cut_request>;

struct engine_hello {
    uint32_t version = protocol_version;
};
struct progress_reply {
    uint32_t load = 0, kind = 0;
    std::string name;
    file_identity identity;
};
struct event_reply {
    uint32_t load = 0, index = 0;
    uint8_t transparency = 1, cancelled = 0, has_rule = 0;
    occurrence first;
    std::string summary, location;
};
struct loaded_reply {
    uint32_t load = 0, events = 0;
    uint8_t unchanged = 0;
};
struct day_reply {
    uint32_t range = 0;
    int64_t day = 0;
    uint8_t status = 0;
    uint32_t count = 0;  // rows in all, rows.size() at least
    std::vector<day_row> rows;
};
struct faulty_reply {
    uint32_t range = 0, event = 0;
};
struct range_done_reply {
    uint32_t range = 0, next = 0;
};
// One alarm of one occurrence. Its identity, kept across reads and
// rewrites of the file, is uid, instance and alarm; its times are instants.
struct alarm_item {
    uint32_t event = 0;
    uint32_t alarm = 0;       // the VALARM's index in the event, or default_alarm
    int64_t last = 0;         // its latest due time after since, up to now; 0: none
    int64_t next = 0;         // its first after now, up to now + alarm_ahead_s; 0: none
    int64_t ends = 0;         // when the occurrence ends
    occurrence item;          // the occurrence, in local time
    icaltimetype instance{};  // the occurrence's RECURRENCE-ID, or its start, local
    std::string uid;          // the event's UID, or its summary without one
};
// Which of two alarms an answer keeps when it must leave some out: those
// due by now first, then the sooner.
bool alarm_before(const alarm_item &a, const alarm_item &b);
struct alarms_reply {
    uint32_t request = 0;
    uint32_t more = 0;
    std::vector<alarm_item> items;  // at most alarm_cap, in alarm_before order
};
// Adds the alarms of r into kept, which is in alarm_before order and at most
// alarm_cap long; what the cap leaves out that is due counts in kept.more.
void keep_alarms(alarms_reply &kept, const alarms_reply &r);
using engine_message = std::variant<engine_hello, progress_reply, event_reply, loaded_reply,
                                    day_reply, faulty_reply, range_done_reply, alarms_reply>;

struct done_record {
    uint32_t event = 0;
};
using worker_message = std::variant<day_reply, done_record, alarms_reply>;

// ---- Encoding ----

// Appends one frame of m to out. Texts over their cap are cut (whole UTF-8
// sequences) and lists over theirs are shortened, so that what is sent
// always decodes.
void encode(std::string &out, const tile_hello &m);
void encode(std::string &out, const load_request &m);
void encode(std::string &out, const range_request &m);
void encode(std::string &out, const alarm_request &m);
void encode(std::string &out, const cut_request &m);
void encode(std::string &out, const alarms_reply &m);  // items: at most alarm_cap
void encode(std::string &out, const engine_hello &m);
void encode(std::string &out, const progress_reply &m);
void encode(std::string &out, const event_reply &m);
void encode(std::string &out, const loaded_reply &m);
void encode(std::string &out, const day_reply &m);  // rows: at most day_row_cap
void encode(std::string &out, const faulty_reply &m);
void encode(std::string &out, const range_done_reply &m);
void encode(std::string &out, const done_record &m);

// ---- Decoding ----

// What take_frame found at the front of a buffer.
enum frame_state {
    frame_partial = 0,  // not whole yet: read more
    frame_whole = 1,    // type and payload set, the frame taken off the buffer
    frame_fault = -1,   // the length passes frame_cap: a protocol fault
};
// The frame at offset at of buffer; at moves past a whole frame, and payload
// views its bytes in buffer. The caller erases what it has taken, so that a
// burst costs one move.
frame_state take_frame(const std::string &buffer, std::size_t &at, uint32_t &type,
                       std::string_view &payload);

// 1 when payload is exactly a message of type that this side takes, decoded
// into out; 0 for a protocol fault.
int decode_tile_message(uint32_t type, std::string_view payload, tile_message &out);
int decode_engine_message(uint32_t type, std::string_view payload, engine_message &out);
int decode_worker_message(uint32_t type, std::string_view payload, worker_message &out);
