// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Reminders: the engine's alarms (events/events.h) become notes on the
// screen (reminder/reminder.h), and what the user does with them goes into
// the alarms file (alarms/alarms.h), so that nothing is shown twice or lost.
//
// `handled` is the time up to which every alarm has been dealt with: at the
// start a day ago, so that the alarms that fell due while the tile was not
// running are shown, marked as missed. remind_due shows what fell due since
// and moves it on to now; the engine is then asked again from there.
#include "core/core.h"
#include "core/language.h"
#include "core/state.h"
#include "alarms/alarms.h"
#include "dayview/view_text.h"
#include "dock/dock.h"
#include "events/events.h"
#include "reminder/reminder.h"

#include <glib/gi18n.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>

namespace {

// Notes on the screen at one time, at most; what is due beyond them is
// counted in one more note, "and 12 more".
constexpr std::size_t waiting_cap = 3;
constexpr int64_t snooze_s = 10 * 60;

struct waiting_note {
    alarm_item item;
    std::string summary, location;
};

struct reminders_record {
    int started_up = 0;
    int64_t started = 0, handled = 0;
    std::string path;
    alarm_book book;
    // What a snooze shows again, by key: the event's index may have changed since.
    std::map<std::string, waiting_note> snoozed;
    std::map<uint64_t, waiting_note> waiting;  // shown, not answered
    uint64_t last_id = 0, more_id = 0;
};
reminders_record reminders;

void start_up() {
    if (reminders.started_up) return;
    reminders.started_up = 1;
    reminders.started = time(nullptr);
    reminders.handled = reminders.started - alarm_back_s;
    reminders.path = alarm_book_path(getenv("XDG_STATE_HOME"), getenv("HOME"));
    reminders.book = read_alarm_book(reminders.path);
}

void save_book() {
    if (!write_alarm_book(reminders.path, reminders.book, time(nullptr)))
        fprintf(stderr, "%s: the alarms were not saved to %s\n", program_name,
                reminders.path.c_str());
}

std::string clock_text(int64_t t) {
    auto s = static_cast<time_t>(t);
    struct tm tm {};
    char text[8] = "??:??";
    if (localtime_r(&s, &tm)) strftime(text, sizeof text, "%H:%M", &tm);
    return text;
}

// The tile on the screen: the window of the pair that is viewable.
screen_rect tile_on_screen() {
    Display *d = dock_surface.display;
    for (Window w : {dock_surface.icon_window, dock_surface.leader_window}) {
        XWindowAttributes a{};
        Window child = 0;
        int x = 0, y = 0;
        if (w && XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable &&
            XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &x, &y, &child))
            return {x, y, a.width, a.height};
    }
    return {0, 0, 64, 64};
}

void take_answer(uint64_t id, reminder_answer answer);

// The note on the screen of the alarm with that key, or the end.
std::map<uint64_t, waiting_note>::iterator waiting_of(const std::string &key) {
    auto it = reminders.waiting.begin();
    while (it != reminders.waiting.end() && alarm_key(it->second.item) != key) ++it;
    return it;
}

void show_due(const due_alarm &d) {
    const std::vector<event_record> &events = held_events();
    waiting_note text{d.item, {}, {}};
    auto snoozed = reminders.snoozed.find(alarm_key(d.item));
    if (snoozed != reminders.snoozed.end())
        text = {d.item, snoozed->second.summary, snoozed->second.location};
    else if (d.item.event < events.size())
        text = {d.item, events[d.item.event].summary, events[d.item.event].location};
    else
        return;
    view_calendar calendar{app_state.calendar_kind, app_state.hijri, app_state.hijri_adjust,
                           app_state.language, current_program_language()};
    std::string body = when_text(d.item.item, calendar);
    if (!text.location.empty()) body += "\n" + text.location;
    if (d.missed) body = std::string(_("Missed")) + "\n" + body;
    // A repeat of an alarm still on the screen takes its place.
    auto shown = waiting_of(alarm_key(d.item));
    if (shown != reminders.waiting.end()) {
        withdraw_reminder(shown->first);
        reminders.waiting.erase(shown);
    }
    reminder_note note{++reminders.last_id, text.summary, body, 1};
    reminders.waiting[note.id] = text;
    if (app_state.debug_level)
        printf("alarm: %s%s\t%s\n", d.missed ? "missed " : "", clock_text(d.due).c_str(),
               text.summary.c_str());
    show_reminder(note, tile_on_screen(), take_answer);
}

// One note for what the cap leaves out, in place of the last such note.
void show_more(std::size_t n) {
    if (reminders.more_id) withdraw_reminder(reminders.more_id);
    reminders.more_id = ++reminders.last_id;
    if (app_state.debug_level) printf("alarm: more %zu\n", n);
    show_reminder({reminders.more_id, more_rows_text(n, current_program_language()), "", 0},
                  tile_on_screen(), take_answer);
}

void redraw_mark() {
    draw_button_bar();
    XFlush(dock_surface.display);
    print_shown();
}

void take_answer(uint64_t id, reminder_answer answer) {
    if (id == reminders.more_id) {
        reminders.more_id = 0;
        return;
    }
    auto it = reminders.waiting.find(id);
    if (it == reminders.waiting.end()) return;
    waiting_note w = it->second;
    reminders.waiting.erase(it);
    if (answer != reminder_gone) {
        int64_t now = time(nullptr);
        std::string key = alarm_key(w.item);
        int snooze = answer == reminder_snooze;
        reminders.book[key] = {snooze ? alarm_snoozed : alarm_dismissed,
                               snooze ? now + snooze_s : 0, w.item.ends};
        if (snooze) reminders.snoozed[key] = w;
        save_book();
        for (auto it = reminders.snoozed.begin(); it != reminders.snoozed.end();) {
            auto e = reminders.book.find(it->first);
            it = e != reminders.book.end() && e->second.mark == alarm_snoozed
                     ? std::next(it)
                     : reminders.snoozed.erase(it);
        }
        if (app_state.debug_level)
            printf("alarm: %s\t%s\n", snooze ? "snoozed" : "dismissed", w.summary.c_str());
        rearm_alarm(next_alarm_time(held_alarms(), reminders.book, now));
    }
    fflush(stdout);
    redraw_mark();
}

}  // namespace

void ask_reminders() {
    if (!app_state.reminders) {
        forget_alarms();
        for (const auto &w : reminders.waiting) withdraw_reminder(w.first);
        reminders.waiting.clear();
        return;
    }
    start_up();
    ask_alarms(reminders.handled, static_cast<uint32_t>(app_state.default_reminder));
}

int64_t remind_due() {
    if (!app_state.reminders || !reminders.started_up) return 0;
    int64_t now = time(nullptr);
    std::map<std::string, alarm_item> snoozed;
    for (const auto &[key, w] : reminders.snoozed) snoozed.emplace(key, w.item);
    std::vector<due_alarm> due = due_alarms(held_alarms(), reminders.book, snoozed,
                                            reminders.handled, now, reminders.started);
    // Before the engine's first answer nothing was dealt with yet.
    if (alarm_answers() == 0) return next_alarm_time(held_alarms(), reminders.book, now);
    reminders.handled = now;
    std::size_t left = 0;
    for (const due_alarm &d : due)
        if (reminders.waiting.size() < waiting_cap ||
            waiting_of(alarm_key(d.item)) != reminders.waiting.end())
            show_due(d);
        else
            ++left;
    left += due.empty() ? 0 : held_alarms().more;
    if (left) show_more(left);
    fflush(stdout);
    if (!due.empty())
        ask_alarms(reminders.handled, static_cast<uint32_t>(app_state.default_reminder));
    return next_alarm_time(held_alarms(), reminders.book, now);
}

int reminders_waiting() { return static_cast<int>(reminders.waiting.size()); }
