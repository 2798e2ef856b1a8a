// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Reading the calendar's files into the engine's event list.
#include "engine/engine.h"
#include "engine/alarms.h"
#include "engine/bounds.h"
#include "engine/recur.h"
#include "sources/sources.h"
#include "protocol/text.h"
#include "engine/zones.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <set>
#include <string>
#include <unordered_map>

event_node *event_list = nullptr;
uint64_t event_list_generation = 0;

namespace {

// The text being parsed: the whole file, read before parsing.
struct text_cursor {
    const char *at, *end;
};

struct parser_free {
    void operator()(icalparser *p) const { icalparser_free(p); }
};
struct fd_close {
    void operator()(const int *fd) const { close(*fd); }
};

const char *property_text(icalcomponent *c, icalproperty_kind kind) {
    icalproperty *p = icalcomponent_get_first_property(c, kind);
    return p ? icalproperty_get_value_as_string(p) : nullptr;
}

// t plus a duration: its weeks and days on the calendar, its hours, minutes
// and seconds in real time, so that PT2H from 01:30 on the night of a change
// forward ends two hours later, at 04:30.
icaltimetype plus_duration(icaltimetype t, icaldurationtype d) {
    icaltimetype wall = icaltime_add(t, d);
    int64_t seconds = int64_t(d.hours) * 3600 + d.minutes * 60 + d.seconds;
    if (t.is_date || !t.zone || !seconds) return wall;
    icaldurationtype days = d;
    days.hours = days.minutes = days.seconds = 0;
    icaltimetype exact = moved(icaltime_add(t, days), d.is_neg ? -seconds : seconds);
    return instant_of(exact) == instant_of(wall) ? wall : exact;
}

// The exclusive end: DTEND, else DTSTART plus DURATION, else a date's
// next day or, for a time, the start itself.
icaltimetype end_of(icalcomponent *c, icaltimetype start) {
    if (icalproperty *p = icalcomponent_get_first_property(c, ICAL_DTEND_PROPERTY)) {
        icaltimetype end = value_of(p);
        if (!icaltime_is_null_time(end)) return with_zone(p, end, start.zone);
    }
    if (icalproperty *p = icalcomponent_get_first_property(c, ICAL_DURATION_PROPERTY))
        return plus_duration(start, icalproperty_get_duration(p));
    icaltimetype end = start;
    if (start.is_date) icaltime_adjust(&end, 1, 0, 0, 0);
    return end;
}

// Seconds from start to end, 0 at least; a zoned time and a floating one
// (or a date) are both read as written.
int64_t length_of(icaltimetype start, icaltimetype end) {
    if ((!start.is_date && start.zone) != (!end.is_date && end.zone))
        start.zone = end.zone = nullptr;
    return std::max<int64_t>(0, instant_of(end) - instant_of(start));
}

// Takes c, a component already removed from its calendar: it becomes the
// node's own, or is released when the event is dropped.
void add_component(icalcomponent *c, int debug) {
    std::unique_ptr<icalcomponent, component_free> owned(c);
    icalproperty *dtstart = icalcomponent_get_first_property(c, ICAL_DTSTART_PROPERTY);
    icaltimetype start = value_of(dtstart);
    // A start the library cannot read (a quoted parameter that swallowed the
    // value, text where a date belongs) places the event on no day.
    if (!real_day(start)) {
        if (debug) printf("skipped: a component without a readable start\n");
        return;
    }
    // An event marks its days untitled (the parser drops an empty SUMMARY);
    // a to-do or journal entry needs a summary.
    const char *summary = text_of(c, ICAL_SUMMARY_PROPERTY);
    if (!summary && icalcomponent_isa(c) != ICAL_VEVENT_COMPONENT) return;
    start = with_zone(dtstart, start, nullptr);
    icaltimetype end = end_of(c, start);
    const char *transp = property_text(c, ICAL_TRANSP_PROPERTY);

    auto node = new event_node;
    node->start = start;
    node->end = end;
    node->length = length_of(start, end);
    node->transparency = transp && strcmp(transp, "TRANSPARENT") == 0 ? 2 : 1;
    node->cancelled = icalcomponent_get_status(c) == ICAL_STATUS_CANCELLED;
    node->summary = summary ? summary : "";
    node->component = std::move(owned);
    read_recurrence(node);
    read_alarms(node);
    // A rule may run on into the years the face shows, around today.
    if (has_rule(node) && start.zone) {
        time_t now = time(nullptr);
        struct tm utc {};
        if (gmtime_r(&now, &utc)) extend_zone_years(start.zone, utc.tm_year + 1900 + 1);
    }
    // An EXDATE on the start takes out the first instance too.
    if (!excluded(node, start)) node->first = occurrence_between(start, end);
    node->next = event_list;
    event_list = node;
    ++event_list_generation;
    if (debug)
        printf("read: %d.%d.%d - %d.%d.%d %s\n", start.day, start.month, start.year, end.day,
               end.month, end.year, on_one_line(node->summary).c_str());
}

// A component with a RECURRENCE-ID replaces the occurrence of its UID's
// event that starts at that instant; with RANGE=THISANDFUTURE too, only that
// one. The replaced occurrence leaves the event's recurrence set.
void take_out_replaced() {
    std::unordered_map<std::string, event_node *> events;
    for (event_node *n = event_list; n; n = n->next) {
        icalcomponent *c = n->component.get();
        const char *uid = icalcomponent_get_uid(c);
        if (uid && !icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY))
            events.emplace(uid, n);
    }
    for (event_node *n = event_list; n; n = n->next) {
        icalcomponent *c = n->component.get();
        icalproperty *p = icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY);
        const char *uid = p ? icalcomponent_get_uid(c) : nullptr;
        auto found = uid ? events.find(uid) : events.end();
        if (found == events.end()) continue;
        event_node *event = found->second;
        icaltimetype replaced = with_zone(p, value_of(p), event->start.zone);
        // Exchange names a moved all-day occurrence by midnight in a zone,
        // often a Windows one: the date as written is the day replaced.
        if (event->start.is_date && !replaced.is_date) {
            replaced.is_date = 1;
            replaced.hour = replaced.minute = replaced.second = 0;
            replaced.zone = nullptr;
        }
        exclude(event, replaced);
        set_instance(n, replaced);
    }
    for (auto &entry : events) {
        event_node *event = entry.second;
        sort_exclusions(event);
        if (excluded(event, event->start)) event->first = occurrence{};
    }
}

// Moves the events with rules of hours, minutes or seconds behind all
// others, each part in its order. Workers answer the events in list order
// and each rule that holds one costs its whole deadline: the other events'
// marks need not wait behind a file full of such rules.
void put_sub_daily_rules_last() {
    event_node *others = nullptr, *sub_daily = nullptr;
    event_node **others_end = &others, **sub_daily_end = &sub_daily;
    for (event_node *n = event_list; n; n = n->next) {
        event_node ***end = has_sub_daily_rule(n) ? &sub_daily_end : &others_end;
        **end = n;
        *end = &n->next;
    }
    *sub_daily_end = nullptr;
    *others_end = sub_daily;
    event_list = others;
    ++event_list_generation;
}

// Like fgets on the text: a line with its line end, cut to size - 1 bytes.
char *read_text_line(char *buffer, std::size_t size, void *data) {
    auto *text = static_cast<text_cursor *>(data);
    if (text->at == text->end || size < 2) return nullptr;
    std::size_t n = std::min(size - 1, static_cast<std::size_t>(text->end - text->at));
    if (const void *line_end = memchr(text->at, '\n', n))
        n = static_cast<std::size_t>(static_cast<const char *>(line_end) - text->at) + 1;
    memcpy(buffer, text->at, n);
    buffer[n] = '\0';
    text->at += n;
    return buffer;
}

// At most limit + 1 bytes of the file, so that a larger one is known as such
// whatever its size said when it was opened. Each chunk in is reported, so
// that a slow disk is told from an engine that holds.
std::string read_at_most(int fd, std::size_t limit, const read_options &options) {
    std::string text;
    char chunk[65536];
    while (text.size() <= limit) {
        ssize_t n = read(fd, chunk, std::min(sizeof chunk, limit + 1 - text.size()));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(chunk, static_cast<std::size_t>(n));
        if (options.progress) options.progress(options.context, progress_reading, "", nullptr);
    }
    return text;
}

// Parses one file's text. Each zone definition is expanded as soon as it is
// read, with progress reported around it, so that one on which the library
// crashes or holds can be named and left out the next time.
void parse_text(const std::string &text, const read_options &options) {
    text_cursor cursor{text.data(), text.data() + text.size()};
    std::unique_ptr<icalparser, parser_free> parser(icalparser_new());
    icalparser_set_gen_data(parser.get(), &cursor);
    char *line;
    do {
        line = icalparser_get_line(parser.get(), read_text_line);
        std::unique_ptr<icalcomponent, component_free> top(icalparser_add_line(parser.get(), line));
        if (line) icalmemory_free_buffer(line);
        if (!top) continue;
        // Each direct sub-component, of every kind, is taken out of the
        // calendar rather than copied; the calendar is released without them.
        // Its time zones come first: the events' times name them.
        while (icalcomponent *z =
                   icalcomponent_get_first_component(top.get(), ICAL_VTIMEZONE_COMPONENT)) {
            icalcomponent_remove_component(top.get(), z);
            icalproperty *p = icalcomponent_get_first_property(z, ICAL_TZID_PROPERTY);
            std::string tzid = p && icalproperty_get_tzid(p) ? icalproperty_get_tzid(p) : "";
            if (options.bad_zones.count(tzid)) {
                icalcomponent_free(z);  // its events' times read as floating
                continue;
            }
            if (options.progress)
                options.progress(options.context, progress_zone, tzid.c_str(), nullptr);
            if (add_file_zone(z)) expand_file_zone(tzid.c_str());
            if (options.progress) options.progress(options.context, progress_done, "", nullptr);
        }
        while (icalcomponent *c =
                   icalcomponent_get_first_component(top.get(), ICAL_ANY_COMPONENT)) {
            icalcomponent_remove_component(top.get(), c);
            add_component(c, options.debug);
        }
    } while (line);
}

}  // namespace

// The parser reads a text value without its escapes; the value's string
// form would write them again.
const char *text_of(icalcomponent *c, icalproperty_kind kind) {
    icalproperty *p = icalcomponent_get_first_property(c, kind);
    icalvalue *v = p ? icalproperty_get_value(p) : nullptr;
    return v && icalvalue_isa(v) == ICAL_TEXT_VALUE ? icalvalue_get_text(v) : nullptr;
}

namespace {

// Non-blocking, so that a FIFO put in place of a listed file cannot hold the
// open; only regular files are read. -1 when the file cannot be read; size is
// its size in bytes when opened.
int open_source(const std::string &path, off_t &size) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        size = st.st_size;
        return fd;
    }
    close(fd);
    return -1;
}

// printf's formatting, appended to out.
__attribute__((format(printf, 2, 3))) void append_format(std::string &out, const char *format,
                                                         ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int n = vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (n > 0) {
        std::string text(static_cast<std::size_t>(n) + 1, '\0');
        vsnprintf(&text[0], text.size(), format, again);
        text.pop_back();
        out += text;
    }
    va_end(again);
}

// Prints a load's reports on stderr, each line once in a burst of loads (each
// within two seconds of the one before): a file rewritten again and again is
// reported once, not at every read, even where a read caught it half written.
void print_reports(const std::string &reports) {
    static std::set<std::string> said;
    static std::chrono::steady_clock::time_point last_load;
    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now();
    if (now - last_load > std::chrono::seconds(2)) said.clear();
    last_load = now;
    for (std::size_t at = 0; at < reports.size();) {
        std::size_t end = std::min(reports.find('\n', at), reports.size() - 1) + 1;
        std::string line = reports.substr(at, end - at);
        if (said.insert(line).second) fputs(line.c_str(), stderr);
        at = end;
    }
}

// Parses one file's text, unless the file (size bytes when opened) holds
// more than max_ics_size bytes. What was left out is said in reports.
void read_text(std::string text, off_t size, const std::string &path, const read_options &options,
               std::string &reports) {
    if (size > max_ics_size || text.size() > static_cast<std::size_t>(max_ics_size)) {
        // The old marks would be stale: none are shown until the file shrinks.
        append_format(reports, "%s: %s is larger than %lld MiB and is not read\n",
                      options.name.c_str(), path.c_str(),
                      static_cast<long long>(max_ics_size >> 20));
        return;
    }
    // The parser is handed only what stays within the bounds of events/bounds.h.
    bounded_text bounded = bound_calendar_text(text);
    std::string().swap(text);
    if (bounded.components_dropped || bounded.zones_dropped)
        append_format(reports,
                      "%s: %s: left out: %zu components nested too deep, %zu time zones (beyond "
                      "%zu or too large)\n",
                      options.name.c_str(), path.c_str(), bounded.components_dropped,
                      bounded.zones_dropped, text_bounds{}.max_zones);
    parse_text(bounded.text, options);
}

// Reads and parses the file open on fd, whose size was size bytes when opened.
void read_source(int fd, off_t size, const std::string &path, const read_options &options,
                 std::string &reports) {
    std::unique_ptr<const int, fd_close> closer(&fd);
    std::string text;
    if (size <= max_ics_size)
        text = read_at_most(fd, static_cast<std::size_t>(max_ics_size), options);
    read_text(std::move(text), size, path, options, reports);
}

void report_left_out(const char *path, const source_list &sources, const std::string &name,
                     std::string &reports) {
    if (sources.left_out)
        append_format(reports,
                      "%s: %s: calendar files not read: %zu (a folder gives at most %zu files "
                      "and %lld MiB)\n",
                      name.c_str(), path, sources.left_out, calendar_bounds.max_files,
                      static_cast<long long>(calendar_bounds.max_total_bytes >> 20));
    if (sources.scan_cut)
        append_format(reports, "%s: %s: too many entries; only part of the folder is read\n",
                      name.c_str(), path);
}

// A fault brought on for tests.
void bring_fault(const engine_fault &fault) {
    if (fault.signal) raise(fault.signal);
    for (volatile unsigned spin = 0;; spin = spin + 1) {  // holds on the CPU, as a parse would
    }
}

// What a read does once its files are parsed.
void end_read(const std::string &reports) {
    take_out_replaced();  // a replacing component may come from another file of a folder
    put_sub_daily_rules_last();
    report_zone_differences();
    print_reports(reports);
}

}  // namespace

file_identity identity_of(const source_file &f) {
    auto ns = [](timespec t) { return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec; };
    return {static_cast<int64_t>(f.device), static_cast<int64_t>(f.inode), f.size, ns(f.mtime),
            ns(f.ctime)};
}

void read_calendar(const char *path, const read_options &options) {
    read_sources(path, list_sources(path, calendar_bounds), options);
}

void read_sources(const char *path, const source_list &sources, const read_options &options) {
    free_events();
    set_zone_debug(options.debug);
    std::string reports;
    report_left_out(path, sources, options.name, reports);
    for (std::size_t i = 0; i < sources.files.size(); ++i) {
        const source_file &f = sources.files[i];
        file_identity identity = identity_of(f);
        if (std::any_of(
                options.skipped_files.begin(), options.skipped_files.end(),
                [&](const skipped_file &s) { return s.path == f.path && s.identity == identity; }))
            continue;
        off_t size = 0;
        int fd = open_source(f.path, size);
        if (fd < 0) continue;
        if (options.progress)
            options.progress(options.context, progress_file, f.path.c_str(), &identity);
        if (options.fault.stage == 1 && options.fault.index == static_cast<int>(i))
            bring_fault(options.fault);
        read_source(fd, size, f.path, options, reports);
        if (options.progress) options.progress(options.context, progress_done, "", nullptr);
    }
    end_read(reports);
}

void read_calendar_text(std::string text, const char *path, const read_options &options) {
    free_events();
    set_zone_debug(options.debug);
    std::string reports;
    auto size = static_cast<off_t>(text.size());
    if (options.progress) options.progress(options.context, progress_file, path, nullptr);
    read_text(std::move(text), size, path, options, reports);
    if (options.progress) options.progress(options.context, progress_done, "", nullptr);
    end_read(reports);
}

void free_events() {
    while (event_list) {
        event_node *node = event_list;
        event_list = node->next;
        delete node;
    }
    ++event_list_generation;
    free_file_zones();
}
