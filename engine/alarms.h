// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The events' alarms: their VALARMs read at the parse, and the times they
// fall due for each occurrence. Occurrences beyond the first come from the
// recurrence iterator, so event_alarms runs only in the engine's workers.
#pragma once

#include "engine/engine.h"

// Reads the DISPLAY and AUDIO alarms of the node's component (at most
// alarm_rule_cap), its UID and, for a component that replaces an occurrence,
// the RECURRENCE-ID in local time (replaced: the value as the master's zone
// reads it).
void read_alarms(event_node *node);
void set_instance(event_node *node, icaltimetype replaced);

// 1 when the node reminds at all: not cancelled, with an alarm of its own or,
// timed, the default reminder of default_minutes (0: none).
int reminds(const event_node *node, uint32_t default_minutes);

// Adds to out the alarms of event index's occurrences that fall due after
// m.since, up to m.now + alarm_ahead_s: its first instance, and the
// occurrences of its rules unless it is faulty.
void event_alarms(const event_node *node, uint32_t index, const alarm_request &m,
                  alarms_reply &out);
