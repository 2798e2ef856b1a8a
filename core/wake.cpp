// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Local midnight through a timerfd and calendar changes through inotify.
#include "core/wake.h"

#include "events/sources.h"

#include <sys/inotify.h>
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

static std::string base_name(const std::string &path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    std::string::size_type slash = trimmed.rfind('/');
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

int names_calendar(const std::string &calendar_name, const char *name, uint32_t mask) {
    if ((mask & IN_ISDIR) != 0) return 1;
    std::string entry = name;
    constexpr std::size_t suffix = 4;  // ".ics"
    bool ics = entry.size() > suffix && entry.compare(entry.size() - suffix, suffix, ".ics") == 0;
    return entry == calendar_name || ics ? 1 : 0;
}

wake_sources open_wake_sources() {
    wake_sources w;
    w.midnight_fd = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    w.inotify_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    return w;
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

void watch_calendar(wake_sources &w, const std::string &path) {
    if (w.inotify_fd < 0) return;
    std::vector<std::string> wanted = watch_directories(path.c_str());
    w.calendar_name = base_name(path);
    if (wanted == w.watched) return;
    for (int id : w.watch_ids) inotify_rm_watch(w.inotify_fd, id);
    w.watched.clear();
    w.watch_ids.clear();
    // A file is seen once whole: closed after writing, or renamed into place.
    // Removals matter to a folder (its events go); a created file is seen
    // at its close, a created subfolder at once.
    constexpr uint32_t mask =
        IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_CREATE | IN_ONLYDIR;
    for (const std::string &directory : wanted) {
        int id = inotify_add_watch(w.inotify_fd, directory.c_str(), mask);
        if (id < 0) continue;
        w.watched.push_back(directory);
        w.watch_ids.push_back(id);
    }
}

int take_calendar_change(wake_sources &w) {
    if (w.inotify_fd < 0) return 0;
    int changed = 0;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        ssize_t n = read(w.inotify_fd, buffer, sizeof buffer);
        if (n <= 0) break;
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
            inotify_event event{};
            std::memcpy(&event, buffer + at, sizeof event);
            const char *name = buffer + at + sizeof event;
            if (event.mask & IN_IGNORED) {
                // The directory went away: watch again at the next refresh.
                w.watched.clear();
                w.watch_ids.clear();
                changed = 1;
            } else if (event.len > 0 &&
                       ((event.mask & IN_CREATE) == 0 || (event.mask & IN_ISDIR))) {
                changed |= names_calendar(w.calendar_name, name, event.mask);
            }
            at += static_cast<ssize_t>(sizeof event + event.len);
        }
    }
    return changed;
}
