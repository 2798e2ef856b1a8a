// The event list and its loading from the calendar file.
#include "events/events.h"
#include "events/recur.h"

#include "core/state.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

event_node *event_list = nullptr;
uint64_t events_parse_count = 0;

namespace {

// Identity of the file behind the list. A second write within one second
// keeps the whole-second time but changes the nanoseconds or the size; a file
// replaced by rename has a new inode. seen is 0 until the first parse.
struct file_identity {
    int seen = 0;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec mtime{};
};
file_identity ics_identity;

// Larger files are not read: a calendar of 50,000 events is some 20 MB, and
// parsing a file of several hundred megabytes would hold the tile for minutes.
constexpr off_t max_ics_size = 256L * 1024 * 1024;

struct parser_free {
    void operator()(icalparser *p) const { icalparser_free(p); }
};
struct file_close {
    void operator()(FILE *f) const { fclose(f); }
};

int same_identity(const file_identity &a, const struct stat &st) {
    return a.seen && a.device == st.st_dev && a.inode == st.st_ino && a.size == st.st_size &&
           a.mtime.tv_sec == st.st_mtim.tv_sec && a.mtime.tv_nsec == st.st_mtim.tv_nsec;
}

const char *property_text(icalcomponent *c, icalproperty_kind kind) {
    icalproperty *p = icalcomponent_get_first_property(c, kind);
    return p ? icalproperty_get_value_as_string(p) : nullptr;
}

// Takes c, a component already removed from its calendar: it becomes the
// node's own, or is released when the event is dropped.
void add_component(icalcomponent *c) {
    std::unique_ptr<icalcomponent, component_free> owned(c);
    icaltimetype start = icalcomponent_get_dtstart(c);
    icaltimetype end = icalcomponent_get_dtend(c);
    if (icaltime_is_null_time(end)) {
        end = start;
        icaltime_adjust(&end, 1, 0, 0, 0);
    }
    const char *transp = property_text(c, ICAL_TRANSP_PROPERTY);
    int transparency = transp && strcmp(transp, "TRANSPARENT") == 0 ? 2 : 1;
    if (!icalcomponent_get_first_property(c, ICAL_SUMMARY_PROPERTY)) return;
    const char *summary = property_text(c, ICAL_SUMMARY_PROPERTY);

    auto node = new event_node;
    node->start = start;
    node->end = end;
    node->transparency = transparency;
    node->summary = summary ? summary : "";  // the value text lives in libical's ring buffer
    node->component = std::move(owned);
    node->exdate_days = exdate_days_of(node->component.get());
    node->next = event_list;
    event_list = node;
    if (app_state.debug_level)
        printf("read: %d.%d.%d - %d.%d.%d %s\n", start.day, start.month, start.year, end.day,
               end.month, end.year, node->summary.c_str());
}

void parse_file(FILE *file) {
    std::unique_ptr<icalparser, parser_free> parser(icalparser_new());
    icalparser_set_gen_data(parser.get(), file);
    char *line;
    do {
        line = icalparser_get_line(parser.get(), read_ics_line);
        std::unique_ptr<icalcomponent, component_free> top(icalparser_add_line(parser.get(), line));
        if (line) icalmemory_free_buffer(line);
        if (!top) continue;
        // Each direct sub-component, of every kind, is taken out of the
        // calendar rather than copied; the calendar is released without them.
        while (icalcomponent *c =
                   icalcomponent_get_first_component(top.get(), ICAL_ANY_COMPONENT)) {
            icalcomponent_remove_component(top.get(), c);
            add_component(c);
        }
    } while (line);
}

}  // namespace

char *read_ics_line(char *buffer, std::size_t size, void *file) {
    if (size > INT32_MAX) size = INT32_MAX;
    return fgets(buffer, static_cast<int>(size), static_cast<FILE *>(file));
}

void load_events() {
    if (app_state.debug_level) printf("check for new calendar data\n");
    // Non-blocking, so that a FIFO named as the calendar file cannot hold the
    // open; only regular files are read.
    int fd = open(app_state.ics_path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > max_ics_size ||
        same_identity(ics_identity, st)) {
        close(fd);
        return;
    }
    std::unique_ptr<FILE, file_close> file(fdopen(fd, "r"));
    if (!file) {
        close(fd);
        return;
    }
    if (app_state.debug_level) printf("read calendar data\n");
    free_events();
    ics_identity = {1, st.st_dev, st.st_ino, st.st_size, st.st_mtim};
    ++events_parse_count;
    parse_file(file.get());
}

void free_events() {
    while (event_list) {
        event_node *node = event_list;
        event_list = node->next;
        delete node;
    }
    for (auto &slot : day_status_cache) slot.day = 0;
}
