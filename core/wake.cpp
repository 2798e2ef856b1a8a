// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Local midnight through a timerfd and calendar changes through inotify.
#include "core/wake.h"

#include "sources/sources.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

time_t next_local_midnight(time_t t) {
    tm local{};
    localtime_r(&t, &local);
    tm next{};
    next.tm_year = local.tm_year;
    next.tm_mon = local.tm_mon;
    next.tm_mday = local.tm_mday + 1;  // mktime carries into the month and year
    next.tm_isdst = -1;
    time_t midnight = mktime(&next);
    // Where midnight does not exist, mktime may answer the hour before it,
    // still on the old day: step forward until the day has changed.
    for (int hour = 1; hour <= 3 && midnight <= t; hour++) {
        next = tm{};
        next.tm_year = local.tm_year;
        next.tm_mon = local.tm_mon;
        next.tm_mday = local.tm_mday + 1;
        next.tm_hour = hour;
        next.tm_isdst = -1;
        midnight = mktime(&next);
    }
    return midnight;
}

int64_t next_wait_ms(int64_t ms_since_refresh, int64_t ms_until_midnight) {
    int64_t wait = std::min(refresh_period_ms - ms_since_refresh, ms_until_midnight);
    return std::max<int64_t>(wait, 0);
}

int entry_matters(const watch_target &t, const char *name, uint32_t mask) {
    if (!*name) return (mask & IN_ATTRIB) != 0;  // the directory's own permissions
    if (std::binary_search(t.names.begin(), t.names.end(), name)) return 1;
    if (!t.folder || name[0] == '.') return 0;
    // In a folder every .ics file counts, a subfolder, and any entry that
    // goes or comes as a link: it may be or have been a link to a subfolder.
    if (is_ics_name(name) || (mask & (IN_ISDIR | IN_DELETE | IN_MOVED_FROM)) != 0) return 1;
    if ((mask & (IN_CREATE | IN_MOVED_TO)) == 0) return 0;
    struct stat st;
    std::string entry = t.directory + "/" + name;
    return lstat(entry.c_str(), &st) != 0 || S_ISLNK(st.st_mode) ? 1 : 0;
}

wake_sources open_wake_sources() {
    wake_sources w;
    w.midnight_fd = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    w.inotify_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    w.alarm_fd = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    return w;
}

void arm_alarm(wake_sources &w, int64_t at) {
    if (w.alarm_fd < 0) return;
    itimerspec t{};
    t.it_value.tv_sec = static_cast<time_t>(at);
    timerfd_settime(w.alarm_fd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &t, nullptr);
}

int take_alarm(wake_sources &w) {
    uint64_t expirations = 0;
    ssize_t n = read(w.alarm_fd, &expirations, sizeof expirations);
    if (n > 0 || (n < 0 && errno == ECANCELED)) w.alarm_due = 1;
    return 0;
}

void arm_midnight(wake_sources &w, time_t now) {
    w.midnight = next_local_midnight(now);
    if (w.midnight_fd < 0) return;
    itimerspec at{};
    at.it_value.tv_sec = w.midnight;
    timerfd_settime(w.midnight_fd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &at, nullptr);
}

int take_midnight(wake_sources &w) {
    if (w.midnight_fd < 0) return 0;
    uint64_t expirations = 0;
    ssize_t n = read(w.midnight_fd, &expirations, sizeof expirations);
    if (n < 0) return errno == ECANCELED ? 1 : 0;
    if (time(nullptr) + 1 < w.midnight) {
        close(w.midnight_fd);
        w.midnight_fd = -1;
        return 0;
    }
    return 1;
}

// A file is seen once whole: closed after writing, or renamed into place.
// Names that come and go matter too: a removed file's events go, a link or a
// subfolder is made at once. A change of permissions can make a file
// readable or not. The watched directory itself moved or removed is watched
// again under its path.
constexpr uint32_t watch_mask = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE |
                                IN_CREATE | IN_ATTRIB | IN_MOVE_SELF | IN_DELETE_SELF | IN_ONLYDIR;

static void watch_all(wake_sources &w, std::vector<watch_target> wanted) {
    std::vector<int> ids;
    w.rewatch = 0;
    for (const watch_target &t : wanted) {
        ids.push_back(inotify_add_watch(w.inotify_fd, t.directory.c_str(), watch_mask));
        if (ids.back() < 0) w.rewatch = 1;
    }
    // Old watches go only now, so that nothing is missed in between; a
    // directory still wanted has kept its descriptor.
    for (int id : w.watch_ids)
        if (id >= 0 && std::find(ids.begin(), ids.end(), id) == ids.end())
            inotify_rm_watch(w.inotify_fd, id);
    w.watched = std::move(wanted);
    w.watch_ids = std::move(ids);
}

void watch_calendar(wake_sources &w, const std::string &path) {
    w.changed_at = -1;
    if (w.inotify_fd < 0) return;
    // A directory can come or go between listing and watching it: list
    // again until the list holds still.
    for (int round = 0; round < 4; ++round) {
        std::vector<watch_target> wanted = watch_directories(path.c_str());
        if (wanted == w.watched && (round > 0 || w.rewatch == 0)) return;
        watch_all(w, std::move(wanted));
    }
}

// 1 when event can change the calendar.
static int event_matters(wake_sources &w, const inotify_event &event, const char *name) {
    std::vector<int>::const_iterator held =
        std::find(w.watch_ids.begin(), w.watch_ids.end(), event.wd);
    // Lost events, or a watched directory moved or gone: anything may have
    // changed. The end of a watch given up here is no news.
    if ((event.mask & (IN_Q_OVERFLOW | IN_MOVE_SELF | IN_DELETE_SELF)) != 0 ||
        ((event.mask & IN_IGNORED) != 0 && held != w.watch_ids.end())) {
        w.rewatch = 1;
        return 1;
    }
    int matters = 0;
    for (std::size_t i = 0; i < w.watch_ids.size(); ++i)
        if (w.watch_ids[i] == event.wd) matters |= entry_matters(w.watched[i], name, event.mask);
    return matters;
}

int take_calendar_change(wake_sources &w, int64_t now_ms) {
    if (w.inotify_fd < 0) return 0;
    int changed = 0;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        ssize_t n = read(w.inotify_fd, buffer, sizeof buffer);
        if (n <= 0) break;
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
            inotify_event event{};
            std::memcpy(&event, buffer + at, sizeof event);
            const char *name = event.len > 0 ? buffer + at + sizeof event : "";
            changed |= event_matters(w, event, name);
            at += static_cast<ssize_t>(sizeof event + event.len);
        }
    }
    if (changed && w.changed_at < 0) w.changed_at = now_ms;
    return changed;
}

int64_t calendar_due_ms(const wake_sources &w, int64_t refreshed_at_ms) {
    if (w.changed_at < 0) return -1;
    return std::max(w.changed_at + calendar_settle_ms, refreshed_at_ms + calendar_gap_ms);
}
