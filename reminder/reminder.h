// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Reminders on the screen: core says what is due, this shows it and reports
// what the user did. A note goes to the desktop's notification service on
// the session bus, else into a small window of our own beside the tile.
// Nothing here waits on the bus: every call returns at once and the answers
// come from GTK's main loop, on the tile's thread.
#pragma once

#include "dayview/view_place.h"

#include <cstdint>
#include <string>

struct reminder_note {
    uint64_t id = 0;    // the caller's number for it, unique in the process
    std::string title;  // the event's summary
    std::string body;   // its time and location, already in the user's language
    int actions = 1;    // 1: offers "Snooze" and "Dismiss"; 0: none (a note that counts the rest)
};

// reminder_gone: the note left the screen without the user's choice (the
// server let it expire).
enum reminder_answer { reminder_snooze = 1, reminder_dismiss = 2, reminder_gone = 3 };
// Called once at most for each note shown, from the main loop; it may show
// or withdraw notes itself.
using reminder_answered_fn = void (*)(uint64_t id, reminder_answer answer);

// Shows the note and returns. The tile on the screen is where a window of
// our own opens beside it, when no notification service takes the note
// within 5 seconds.
void show_reminder(const reminder_note &note, screen_rect tile, reminder_answered_fn answered);
// Takes the note off the screen; no answer follows. An unknown id is ignored.
void withdraw_reminder(uint64_t id);
// How many windows of our own are open (tests).
int reminder_windows();
