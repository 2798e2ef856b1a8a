// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Time zones of the calendar file and the user's local time; see engine/zones.h.
#include "engine/zones.h"

#include "calendar/calendar.h"
#include "engine/windows_zones.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

struct zone_free {
    void operator()(icaltimezone *z) const { icaltimezone_free(z, 1); }
};

using zone_ptr = std::unique_ptr<icaltimezone, zone_free>;

// The files' own zones by name, owned here until the files are read again
// (the first definition of a name wins); and the unknown names already
// reported, so that each is reported once a read.
std::map<std::string, zone_ptr> file_zones;
std::set<std::string> unknown_names;
// With debugging, the files' definitions of names the system knows, which
// are not used but compared with the system's over the years of the times
// read in them.
struct shadowed_zone {
    zone_ptr file;
    const icaltimezone *system;
    int first_year = INT_MAX, last_year = INT_MIN;
};
std::map<std::string, shadowed_zone> shadowed_zones;
// Windows names read in the files, with the zone each stands for, or null.
std::map<std::string, const icaltimezone *> windows_names;
int zone_debug = 0;

constexpr int64_t unix_epoch_day = 2440588;  // Julian day number of 1970-01-01

// The offsets of a zone of the system's database from 1900 to 2100, as the
// C library reads the database: the library's own translation of a
// database zone into observances loses whole years of some (Tehran's
// daylight saving time of 2018 and 2019, Jerusalem's of 2013 to 2016).
// offsets[i] holds from starts[i] on. An offset that lasts less than a
// week is not met.
struct system_offsets {
    std::vector<int64_t> starts;
    std::vector<int> offsets;
};
constexpr int64_t table_first = -2208988800, table_end = 4102444800;  // 1900, 2100 UTC
// The system's zones met, with the name the database gives each and its
// offsets once read; kept for the process, as the library keeps its zones.
struct database_entry {
    std::string name;
    int read = 0;
    system_offsets table;
};
std::map<const icaltimezone *, database_entry> database_zones;

int library_offset(const icaltimezone *zone, int64_t s) {
    icaltimetype utc =
        icaltime_from_timet_with_zone(static_cast<time_t>(s), 0, icaltimezone_get_utc_timezone());
    int is_daylight = 0;
    return icaltimezone_get_utc_offset_of_utc_time(const_cast<icaltimezone *>(zone), &utc,
                                                   &is_daylight);
}

// Reads the zone through TZ, which is set back (and read again) after: the
// user's local time is the C library's zone. Empty when the two disagree
// about this year or the next.
system_offsets read_system_offsets(const icaltimezone *zone, const std::string &name) {
    std::string saved;
    const char *tz = getenv("TZ");
    if (tz) saved = tz;
    int64_t now = static_cast<int64_t>(time(nullptr));
    setenv("TZ", (":" + name).c_str(), 1);
    tzset();
    auto offset = [](int64_t s) {
        time_t t = static_cast<time_t>(s);
        struct tm tm {};
        return localtime_r(&t, &tm) ? static_cast<int>(tm.tm_gmtoff) : 0;
    };
    system_offsets out;
    const int64_t week = 7 * 86400;
    int64_t s = table_first;
    out.starts.push_back(s);
    out.offsets.push_back(offset(s));
    while (s < table_end) {
        int64_t next = std::min(s + week, table_end);
        if (offset(next) == out.offsets.back()) {
            s = next;
            continue;
        }
        while (next - s > 1) {  // the first second of another offset
            int64_t mid = s + (next - s) / 2;
            (offset(mid) == out.offsets.back() ? s : next) = mid;
        }
        s = next;
        out.starts.push_back(s);
        out.offsets.push_back(offset(s));
    }
    // This year's and next year's offsets must be the library's: where the
    // C library could not read the zone's file, it reads UTC.
    std::vector<int> recent;
    for (int64_t i = 0; i < 48; ++i) recent.push_back(offset(now + i * 15 * 86400));
    if (tz)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
    for (int64_t i = 0; i < 48; ++i)
        if (recent[static_cast<std::size_t>(i)] != library_offset(zone, now + i * 15 * 86400))
            return {};
    return out;
}

// The offset east of UTC of zone's clock at the instant s, in seconds.
int offset_at(const icaltimezone *zone, int64_t s) {
    auto found = database_zones.find(zone);
    if (found != database_zones.end() && s >= table_first && s < table_end) {
        database_entry &entry = found->second;
        if (!entry.read) {
            entry.table = read_system_offsets(zone, entry.name);
            entry.read = 1;
        }
        const std::vector<int64_t> &starts = entry.table.starts;
        auto after = std::upper_bound(starts.begin(), starts.end(), s);
        if (after != starts.begin())
            return entry.table.offsets[static_cast<std::size_t>(after - starts.begin()) - 1];
    }
    return library_offset(zone, s);
}

// The system's zone of a database name, noted as such.
const icaltimezone *database_zone(const char *name) {
    const icaltimezone *zone = icaltimezone_get_builtin_timezone(name);
    if (zone && zone != icaltimezone_get_utc_timezone()) database_zones[zone].name = name;
    return zone;
}

// A name that can only be a zoneinfo zone: letters, digits and "_+-", in
// parts joined by "/". The library opens the file of that name under the
// zoneinfo directory, so a "..", a leading "/" or another character (which
// could reach a FIFO or a device) is never passed to it.
int zoneinfo_name(const char *name) {
    if (!*name || *name == '/' || strstr(name, "..") || strstr(name, "//")) return 0;
    for (const char *c = name; *c; ++c)
        if (!isalnum(static_cast<unsigned char>(*c)) && !strchr("_+-/", *c)) return 0;
    return 1;
}

// A Windows zone ID or display name, as Outlook and Exchange write them
// without a definition.
const icaltimezone *windows_zone(const char *tzid) {
    auto found = windows_names.find(tzid);
    if (found != windows_names.end()) return found->second;
    std::string name = zone_of_windows_name(tzid);
    const icaltimezone *zone =
        !name.empty() && zoneinfo_name(name.c_str()) ? database_zone(name.c_str()) : nullptr;
    if (zone && zone_debug) printf("time zone \"%s\" is read as %s\n", tzid, name.c_str());
    windows_names.emplace(tzid, zone);
    return zone;
}

// The system's zone of that name: a zone of the system's database, else a
// Windows name mapped to one.
const icaltimezone *system_zone(const char *tzid) {
    // The library's own names carry this prefix before the zoneinfo name.
    const char prefix[] = "/freeassociation.sourceforge.net/";
    const char *location =
        strncmp(tzid, prefix, sizeof prefix - 1) ? tzid : tzid + sizeof prefix - 1;
    if (strncmp(location, "Tzfile/", 7) == 0) location += 7;
    const icaltimezone *zone = zoneinfo_name(location) ? database_zone(location) : nullptr;
    return zone ? zone : windows_zone(tzid);
}

// The system's zone wins over a file's definition of its name: files keep
// definitions their writer's zone data had, such as Iran's daylight saving
// time after it ended in 2022, and calendar programs read a name the
// database knows by the database's rules.
const icaltimezone *zone_named(const char *tzid) {
    if (const icaltimezone *zone = system_zone(tzid)) return zone;
    auto found = file_zones.find(tzid);
    return found != file_zones.end() ? found->second.get() : nullptr;
}

}  // namespace

icaltimetype value_of(icalproperty *p) {
    icalvalue *v = p ? icalproperty_get_value(p) : nullptr;
    icalvalue_kind kind = v ? icalvalue_isa(v) : ICAL_NO_VALUE;
    if (kind != ICAL_DATETIME_VALUE && kind != ICAL_DATE_VALUE) return icaltime_null_time();
    icaltimetype t = icalvalue_get_datetimedate(v);
    t.zone = icaltime_is_utc(t) ? icaltimezone_get_utc_timezone() : nullptr;
    return t;
}

namespace {

int has_offset(icalcomponent *observance, icalproperty_kind kind) {
    icalproperty *p = icalcomponent_get_first_property(observance, kind);
    icalvalue *v = p ? icalproperty_get_value(p) : nullptr;
    return v && icalvalue_isa(v) == ICAL_UTCOFFSET_VALUE;
}

// A definition the library can read: observances, each with a start and both
// offsets. Without them it would read UTC; Apple iCal 1.5 wrote observances
// without DTSTART.
int usable_zone(icalcomponent *vtimezone) {
    int observances = 0;
    for (icalcomponent *o = icalcomponent_get_first_component(vtimezone, ICAL_ANY_COMPONENT); o;
         o = icalcomponent_get_next_component(vtimezone, ICAL_ANY_COMPONENT)) {
        icalcomponent_kind kind = icalcomponent_isa(o);
        if (kind != ICAL_XSTANDARD_COMPONENT && kind != ICAL_XDAYLIGHT_COMPONENT) continue;
        ++observances;
        icalproperty *start = icalcomponent_get_first_property(o, ICAL_DTSTART_PROPERTY);
        if (icaltime_is_null_time(value_of(start)) || !has_offset(o, ICAL_TZOFFSETFROM_PROPERTY) ||
            !has_offset(o, ICAL_TZOFFSETTO_PROPERTY))
            return 0;
    }
    return observances > 0;
}

}  // namespace

int add_file_zone(icalcomponent *vtimezone) {
    icalproperty *p = icalcomponent_get_first_property(vtimezone, ICAL_TZID_PROPERTY);
    const char *name = p ? icalproperty_get_tzid(p) : nullptr;
    std::string key = name ? name : "";
    if (!name || file_zones.count(key) || shadowed_zones.count(key)) {
        icalcomponent_free(vtimezone);
        return 0;
    }
    const icaltimezone *system = system_zone(name);
    // A definition that cannot be used is as if the file had none.
    if (!usable_zone(vtimezone)) {
        if (zone_debug) {
            printf("time zone \"%s\" of the file cannot be used: %s\n", name,
                   system ? "the system's zone is used" : "its times are read as floating");
            if (!system) unknown_names.insert(key);
        }
        icalcomponent_free(vtimezone);
        return 0;
    }
    // One of a name the system knows is read only to be compared, with -d.
    if (system && !zone_debug) {
        icalcomponent_free(vtimezone);
        return 0;
    }
    zone_ptr zone(icaltimezone_new());
    // On success the zone owns the component; otherwise it is released here.
    if (!zone || !icaltimezone_set_component(zone.get(), vtimezone)) {
        icalcomponent_free(vtimezone);
        return 0;
    }
    if (system)
        shadowed_zones.emplace(key, shadowed_zone{std::move(zone), system});
    else
        file_zones.emplace(key, std::move(zone));
    return 1;
}

void expand_file_zone(const char *tzid) {
    auto found = file_zones.find(tzid);
    auto shadowed = shadowed_zones.find(tzid);
    icaltimezone *zone = found != file_zones.end()          ? found->second.get()
                         : shadowed != shadowed_zones.end() ? shadowed->second.file.get()
                                                            : nullptr;
    if (!zone) return;
    icaltimetype t = icaltime_null_time();
    t.year = 2037;
    t.month = t.day = 1;
    int is_daylight = 0;
    icaltimezone_get_utc_offset(zone, &t, &is_daylight);
}

void extend_zone_years(const icaltimezone *zone, int year) {
    for (auto &entry : shadowed_zones)
        if (entry.second.system == zone && entry.second.first_year <= year)
            entry.second.last_year = std::max(entry.second.last_year, year);
}

void report_zone_differences() {
    for (const auto &[name, z] : shadowed_zones) {
        int differs = 0;
        // 00:00 UTC on the 1st and 15th of each month: a difference of
        // daylight saving time or of offset that lasts two weeks is met.
        for (int y = std::max(z.first_year, 1902); y <= std::min(z.last_year, 2037) && !differs;
             ++y)
            for (int m = 1; m <= 12 && !differs; ++m)
                for (int d : {1, 15}) {
                    icaltimetype t = icaltime_null_time();
                    t.year = y;
                    t.month = m;
                    t.day = d;
                    t.zone = icaltimezone_get_utc_timezone();
                    int64_t s = (int64_t(gregorian_to_jdn(t)) - unix_epoch_day) * 86400;
                    if (offset_at(z.system, s) != offset_at(z.file.get(), s)) differs = 1;
                }
        if (differs)
            printf("time zone \"%s\" of the file differs from the system's; the system's is "
                   "used\n",
                   name.c_str());
    }
}

void set_zone_debug(int debug) { zone_debug = debug; }

void free_file_zones() {
    file_zones.clear();
    shadowed_zones.clear();
    unknown_names.clear();
    windows_names.clear();
}

icaltimetype with_zone(icalproperty *p, icaltimetype t, const icaltimezone *fallback) {
    if (t.is_date || icaltime_is_utc(t)) return t;
    icalparameter *param = p ? icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER) : nullptr;
    const char *tzid = param ? icalparameter_get_tzid(param) : nullptr;
    if (!tzid) {
        t.zone = fallback;
        return t;
    }
    t.zone = zone_named(tzid);
    if (!t.zone && zone_debug && unknown_names.insert(tzid).second)
        printf("time zone \"%s\" is not defined: its times are read as floating\n", tzid);
    auto shadowed = shadowed_zones.empty() ? shadowed_zones.end() : shadowed_zones.find(tzid);
    if (shadowed != shadowed_zones.end()) {
        shadowed->second.first_year = std::min(shadowed->second.first_year, t.year);
        shadowed->second.last_year = std::max(shadowed->second.last_year, t.year);
    }
    return t;
}

// A local time of a zone is the instant at which its clock shows that time.
// One the clock skips, in the gap of a change forward, is read with the
// offset before the gap (02:30 in a gap from 02:00 to 03:00 is 03:30 after
// it); one it shows twice, in a change back, is the first of the two, with
// the offset before the change. The library's own conversion reads both
// with the offset after the change. A zone changes its offset at most once
// within a day of the time.
int64_t instant_of(icaltimetype t) {
    int64_t seconds = t.is_date ? 0 : int64_t(t.hour) * 3600 + t.minute * 60 + t.second;
    int64_t written = (int64_t(gregorian_to_jdn(t)) - unix_epoch_day) * 86400 + seconds;
    if (t.is_date || !t.zone || t.zone == icaltimezone_get_utc_timezone()) return written;
    int before = offset_at(t.zone, written - 86400);
    if (offset_at(t.zone, written - before) == before) return written - before;
    int after = offset_at(t.zone, written + 86400);
    if (offset_at(t.zone, written - after) == after) return written - after;
    return written - before;
}

icaltimetype local_time(icaltimetype t) {
    if (t.is_date || !t.zone) {
        t.zone = nullptr;
        return t;
    }
    time_t s = static_cast<time_t>(instant_of(t));
    struct tm tm {};
    t.zone = nullptr;
    if (!localtime_r(&s, &tm)) return t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    t.is_daylight = tm.tm_isdst > 0;
    return t;
}

icaltimetype moved(icaltimetype t, int64_t seconds) {
    if (t.is_date) {
        icaltime_adjust(&t, static_cast<int>(seconds / 86400), 0, 0, 0);
        return t;
    }
    if (!t.zone) {
        icaltime_adjust(&t, static_cast<int>(seconds / 86400), 0, 0,
                        static_cast<int>(seconds % 86400));
        return t;
    }
    return icaltime_from_timet_with_zone(static_cast<time_t>(instant_of(t) + seconds), 0,
                                         icaltimezone_get_utc_timezone());
}
