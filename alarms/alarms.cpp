// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The alarms file is text, one entry a line:
//   dismissed <until> <ends> <key>   or   snoozed <until> <ends> <key>
// with the key as alarm_key writes it (the UID last, so that it may hold
// spaces). A first line "# dayspinner alarms 1" names the format.
#include "alarms/alarms.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <set>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char *book_heading = "# dayspinner alarms 1\n";

std::string time_text(icaltimetype t) {
    char text[32];
    if (t.is_date)
        snprintf(text, sizeof text, "%04d%02d%02d", t.year % 10000, t.month % 100, t.day % 100);
    else
        snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d%02d", t.year % 10000, t.month % 100,
                 t.day % 100, t.hour % 100, t.minute % 100, t.second % 100);
    return text;
}

// A key fits on its line: line breaks in a UID become spaces.
std::string one_line(std::string s) {
    for (char &c : s)
        if (c == '\n' || c == '\r') c = ' ';
    return s;
}

int make_directories(const std::string &path) {
    for (std::size_t at = 1; (at = path.find('/', at)) != std::string::npos; ++at) {
        std::string dir = path.substr(0, at);
        if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return 0;
    }
    return 1;
}

// 1 when the entry still matters: a snooze not yet taken, or an occurrence
// that ended less than a day before now (a day: what is missed is shown up
// to a day late).
int still_matters(const alarm_entry &e, int64_t now) {
    return e.ends + alarm_back_s > now || (e.mark == alarm_snoozed && e.until > now);
}

// The time of the alarm's own due that is in (handled, now], or 0.
int64_t due_between(const alarm_item &a, int64_t handled, int64_t now) {
    if (a.last > handled && a.last <= now) return a.last;
    if (a.next > handled && a.next <= now) return a.next;
    return 0;
}

}  // namespace

std::string alarm_key(const alarm_item &a) {
    std::string index = a.alarm == default_alarm ? "default" : std::to_string(a.alarm);
    return time_text(a.instance) + " " + index + " " + one_line(a.uid);
}

std::string alarm_book_path(const char *xdg_state_home, const char *home) {
    if (xdg_state_home && xdg_state_home[0] == '/')
        return std::string(xdg_state_home) + "/dayspinner/alarms";
    if (home && home[0] == '/') return std::string(home) + "/.local/state/dayspinner/alarms";
    return {};
}

alarm_book parse_alarm_book(const std::string &text) {
    alarm_book book;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        char mark[16] = {};
        int64_t until = 0, ends = 0;
        int used = 0;
        if (sscanf(line.c_str(), "%15s %" SCNd64 " %" SCNd64 " %n", mark, &until, &ends, &used) <
                3 ||
            used <= 0 || static_cast<std::size_t>(used) >= line.size())
            continue;
        alarm_entry e{0, until, ends};
        if (strcmp(mark, "dismissed") == 0) e.mark = alarm_dismissed;
        if (strcmp(mark, "snoozed") == 0) e.mark = alarm_snoozed;
        if (e.mark) book[line.substr(static_cast<std::size_t>(used))] = e;
    }
    return book;
}

std::string alarm_book_text(const alarm_book &book) {
    std::string text = book_heading;
    for (const auto &[key, e] : book) {
        text += e.mark == alarm_snoozed ? "snoozed " : "dismissed ";
        text += std::to_string(e.until) + " " + std::to_string(e.ends) + " " + key + "\n";
    }
    return text;
}

alarm_book read_alarm_book(const std::string &path) {
    std::string text;
    if (FILE *f = path.empty() ? nullptr : fopen(path.c_str(), "re")) {
        char chunk[4096];
        std::size_t n;
        while ((n = fread(chunk, 1, sizeof chunk, f)) > 0 && text.size() < (std::size_t(1) << 24))
            text.append(chunk, n);
        fclose(f);
    }
    return parse_alarm_book(text);
}

int write_alarm_book(const std::string &path, alarm_book &book, int64_t now) {
    for (auto it = book.begin(); it != book.end();)
        it = still_matters(it->second, now) ? std::next(it) : book.erase(it);
    if (path.empty() || !make_directories(path)) return 0;
    std::string temp = path + ".XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0) return 0;
    std::string text = alarm_book_text(book);
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    int ok = done == text.size() && fsync(fd) == 0;
    int saved = errno;
    close(fd);
    if (ok && rename(temp.c_str(), path.c_str()) == 0) {
        std::string dir = path.substr(0, path.rfind('/'));
        int d = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (d >= 0) fsync(d), close(d);
        return 1;
    }
    if (ok) saved = errno;
    unlink(temp.c_str());
    errno = saved;
    return 0;
}

std::vector<due_alarm> due_alarms(const alarms_reply &held, const alarm_book &book,
                                  const std::map<std::string, alarm_item> &snoozed, int64_t handled,
                                  int64_t now, int64_t started) {
    std::vector<due_alarm> out;
    std::map<std::string, const alarm_item *> by_key;
    std::set<std::string> taken;
    for (const alarm_item &a : held.items) {
        std::string key = alarm_key(a);
        by_key.emplace(key, &a);
        int64_t due = due_between(a, handled, now);
        if (!due || taken.count(key)) continue;
        auto e = book.find(key);
        if (e != book.end() && (e->second.mark == alarm_dismissed || e->second.until > due))
            continue;
        int missed = due < started;
        if (missed && now >= a.ends) continue;  // nothing to remind of any more
        out.push_back({a, due, missed});
        taken.insert(key);
    }
    for (const auto &[key, e] : book) {
        if (e.mark != alarm_snoozed || e.until <= handled || e.until > now) continue;
        auto held_item = by_key.find(key);
        auto shown = snoozed.find(key);
        if (held_item == by_key.end() && shown == snoozed.end()) continue;
        const alarm_item &a = held_item != by_key.end() ? *held_item->second : shown->second;
        if (taken.insert(key).second) out.push_back({a, e.until, e.until < started});
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const due_alarm &a, const due_alarm &b) { return a.due < b.due; });
    return out;
}

int64_t next_alarm_time(const alarms_reply &held, const alarm_book &book, int64_t now) {
    int64_t next = 0;
    auto sooner = [&next](int64_t t) {
        if (t > 0 && (next == 0 || t < next)) next = t;
    };
    for (const alarm_item &a : held.items) {
        if (a.next <= now) continue;
        auto e = book.find(alarm_key(a));
        if (e != book.end() && (e->second.mark == alarm_dismissed || e->second.until > a.next))
            continue;
        sooner(a.next);
    }
    for (const auto &[key, e] : book)
        if (e.mark == alarm_snoozed && e.until > now) sooner(e.until);
    return next;
}
