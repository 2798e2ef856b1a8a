// Calendar events: the event list, day marks and the day view.
#pragma once

#include <libical/ical.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

typedef struct _GtkWidget GtkWidget;  // the day view's widgets; face/ needs no GTK

struct recur_state;  // per-event recurrence bookkeeping, events/recur.h

struct component_free {
    void operator()(icalcomponent *c) const { icalcomponent_free(c); }
};
struct recur_state_free {
    void operator()(recur_state *r) const;
};

// One loaded event. Allocated by load_events, owned by event_list.
struct event_node {
    icaltimetype start{};  // DTSTART as the file gives it
    icaltimetype end{};    // exclusive end; start plus one day when missing
    std::unique_ptr<icalcomponent, component_free>
        component;         // the whole component, taken out of the parsed file
    int transparency = 1;  // 1 opaque (busy), 2 transparent (free)
    std::string summary;   // copy of the SUMMARY text, as the file gives it
    // Day numbers of the EXDATEs, sorted: no rule occurrence counts on them,
    // which settles such a day before any recurrence state is built.
    std::vector<int64_t> exdate_days;
    event_node *next = nullptr;
    // Built on the first question about the rule, dropped with the node.
    mutable std::unique_ptr<recur_state, recur_state_free> recur;
};

extern event_node *event_list;  // newest node first: the reverse of the file order

// One slot per day number modulo 31, so every day of a month has its own.
struct day_status_slot {
    int status;  // 0 none, 1 busy, 2 free only
    int day;     // Julian day number the slot describes; 0 describes nothing
};
constexpr int day_status_cache_size = 31;
extern day_status_slot day_status_cache[day_status_cache_size];

void load_events();  // re-reads the calendar file when it changed
void free_events();  // empties event_list and invalidates day_status_cache
char *read_ics_line(char *buffer, std::size_t size, void *file);  // fgets on a FILE *
int event_on_day(const event_node *node, icaltimetype day);       // 1 when the event falls on day
int day_status(icaltimetype day);                                 // 0 none, 1 busy, 2 free only
void open_day_view(icaltimetype day);                   // returns when the view has been closed
int fill_day_view(GtkWidget *table, icaltimetype day);  // 1 when a row was added

// Counters for tests and benchmarks: how often the file was parsed, and how
// often day_status evaluated the list rather than answering from the cache.
extern uint64_t events_parse_count;
extern uint64_t day_status_evaluations;
