// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The files behind the calendar: the one file the calendar path names, or the
// .ics files of the folder it names and of that folder's immediate subfolders
// (one subfolder per calendar, one file per event, as synchronising clients
// keep them).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

// One file and its identity as the file system reports it. A second write
// within one clock tick changes the nanoseconds or the size, a replacement by
// rename the inode, a change of permissions the status-change time.
struct source_file {
    std::string path;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;  // bytes
    timespec mtime{};
    timespec ctime{};
};

struct source_bounds {
    std::size_t max_files;  // files taken from a folder
    off_t max_file_bytes;   // a folder's file larger than this is left out
    off_t max_total_bytes;  // all files taken from a folder together
};

// Larger files are not read: a calendar of 50,000 events is some 17 MB and
// parses in about 0.4 s; 32 MiB keeps the parse near a second and the list
// under some 400 MB. A file that grows while it is read is cut there.
constexpr off_t max_ics_size = 32L * 1024 * 1024;
// A folder gives at most 20,000 files and as many bytes together as one file
// may hold; those beyond are not read.
constexpr source_bounds calendar_bounds{20000, max_ics_size, max_ics_size};

struct source_list {
    int found = 0;   // 0: the path names no regular file and no readable folder
    int folder = 0;  // 1: the path names a folder
    // Sorted by path. A folder's files in path order until the first that
    // would pass a bound; a file reached twice (through a link) only once.
    std::vector<source_file> files;
    std::size_t left_out = 0;  // a folder's .ics files not taken because of the bounds
    int scan_cut = 0;          // 1: the folder had more entries than are looked at
};

// Lists the sources of the calendar at path. Follows symbolic links to files
// and to subfolders; skips names that begin with a dot, entries that are not
// regular files (FIFOs, devices) and everything below the immediate subfolders.
source_list list_sources(const char *path, const source_bounds &bounds);

// 1 when the two lists name the same files with the same identities: nothing
// needs to be read again.
int same_sources(const source_list &a, const source_list &b);

// path without trailing slashes ("/" stays "/").
std::string without_trailing_slashes(const std::string &path);

// 1 when name is that of a calendar file of a folder: it ends in ".ics" and
// does not begin with a dot (temporaries, a trash, a repository).
int is_ics_name(const char *name);

// A directory whose changes can change the calendar, with its identity when
// it was listed, and which of its entries count: in a calendar folder (folder
// = 1) every .ics file and every entry that comes or goes (a subfolder, a link
// to one); elsewhere only the named entries.
struct watch_target {
    std::string directory;
    dev_t device = 0;
    ino_t inode = 0;
    int folder = 0;
    std::vector<std::string> names;  // sorted
};

bool operator==(const watch_target &a, const watch_target &b);

// The directories whose changes can change the calendar at path, sorted by
// directory: for a file, the directory holding it (a client that renames a
// new file over it changes that directory, not the file); for a folder, the
// folder and its immediate subfolders; for a symbolic link (the calendar, a
// folder's .ics file), the directory holding it and the one holding its
// target. Where a directory on the path does not exist yet, the nearest one
// that does, for the next step down.
std::vector<watch_target> watch_directories(const char *path);
