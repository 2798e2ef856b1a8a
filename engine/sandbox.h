// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The engine's sandbox. The engine parses files that anyone may have written,
// with a library that has had its share of memory faults, so before it reads
// the first calendar byte it gives up everything a reader of files does not
// need: no file opened for writing or made, removed, renamed or changed, no
// new socket, no program run, no other process traced or read, no signal to
// a process it did not fork. What it may still read is the calendar's trees
// and the system's (system_read_trees). It keeps the descriptors it holds,
// its socket to the tile among them, and may fork, pipe and wait for its
// workers, which inherit every restriction.
#pragma once

#include <string>
#include <vector>

struct sandbox_paths {
    std::vector<std::string> read_trees;  // directories (and files) whose contents may be read
};

// What enter_sandbox applied, for one debugging line each.
struct sandbox_result {
    int no_new_privs = 0;  // 1: applied
    int seccomp = 0;
    int landlock = 0;
    int landlock_abi = 0;  // the kernel's Landlock version, 0 without Landlock
    std::string missing;   // what the kernel lacks, in words; empty when nothing
};

// Closes the process's rights, for good. A part the kernel lacks is left out
// and named in missing; the rest still applies. Landlock binds the calling
// thread and the processes it forks later, so call it while the process has
// no other thread. Paths that do not exist are skipped.
sandbox_result enter_sandbox(const sandbox_paths &paths);

// The trees every engine reads besides the calendar: the zone database, the
// libraries and locale data that libical, ICU and the C library load lazily,
// and /proc, those that exist.
std::vector<std::string> system_read_trees();
