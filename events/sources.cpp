// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Listing the calendar's files and their identities.
#include "events/sources.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <utility>

namespace {

// Directory entries looked at in one listing, over the folder and its
// subfolders together, and subfolders looked into. A synchronised calendar
// has one subfolder per calendar and one file per event; these leave room for
// ten times the files a folder may give, and keep a listing of a folder that
// is no calendar (a home directory named by mistake) to a fraction of a second.
constexpr std::size_t max_entries = 200000;
constexpr std::size_t max_subfolders = 1000;

struct dir_close {
    void operator()(DIR *d) const { closedir(d); }
};

struct folder_scan {
    std::vector<source_file> files;  // in directory order
    std::vector<std::string> subfolders;
    std::size_t entries = 0;
    int cut = 0;  // 1: stopped at max_entries
};

int ends_in_ics(const char *name) {
    std::size_t n = strlen(name);
    return n > 4 && strcmp(name + n - 4, ".ics") == 0;
}

source_file identity_of(std::string path, const struct stat &st) {
    source_file f;
    f.path = std::move(path);
    f.device = st.st_dev;
    f.inode = st.st_ino;
    f.size = st.st_size;
    f.mtime = st.st_mtim;
    f.ctime = st.st_ctim;
    return f;
}

// The folder path without trailing slashes, so that joined paths have one.
std::string folder_path(const char *path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

std::string joined(const std::string &dir, const char *name) {
    return dir == "/" ? dir + name : dir + "/" + name;
}

// Adds the .ics regular files of dir (when want_files) and its subfolders
// (when want_subfolders) to scan. Returns 0 when dir cannot be read.
int scan_directory(const std::string &dir, int want_files, int want_subfolders, folder_scan &scan) {
    int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return 0;
    std::unique_ptr<DIR, dir_close> d(fdopendir(fd));
    if (!d) {
        close(fd);
        return 0;
    }
    while (const dirent *e = readdir(d.get())) {
        if (++scan.entries > max_entries) {
            scan.cut = 1;
            break;
        }
        if (e->d_name[0] == '.') continue;  // hidden: temporaries, a trash, a repository
        int ics = want_files && ends_in_ics(e->d_name);
        int may_be_folder = want_subfolders &&
                            (e->d_type == DT_DIR || e->d_type == DT_LNK || e->d_type == DT_UNKNOWN);
        if (!ics && !may_be_folder) continue;
        struct stat st;
        if (fstatat(dirfd(d.get()), e->d_name, &st, 0) != 0) continue;  // a dangling link
        if (ics && S_ISREG(st.st_mode))
            scan.files.push_back(identity_of(joined(dir, e->d_name), st));
        else if (want_subfolders && S_ISDIR(st.st_mode))
            scan.subfolders.push_back(joined(dir, e->d_name));
    }
    return 1;
}

// The first max_subfolders subfolders in path order.
void keep_first_subfolders(folder_scan &scan) {
    std::sort(scan.subfolders.begin(), scan.subfolders.end());
    if (scan.subfolders.size() <= max_subfolders) return;
    scan.subfolders.resize(max_subfolders);
    scan.cut = 1;
}

// Takes the scanned files in path order within the bounds into out.
void take_files(folder_scan &scan, const source_bounds &bounds, source_list &out) {
    std::sort(scan.files.begin(), scan.files.end(),
              [](const source_file &a, const source_file &b) { return a.path < b.path; });
    std::set<std::pair<dev_t, ino_t>> seen;
    off_t total = 0;
    int full = 0;
    for (source_file &f : scan.files) {
        if (!seen.insert({f.device, f.inode}).second) continue;
        if (f.size > bounds.max_file_bytes) {
            ++out.left_out;
            continue;
        }
        full =
            full || out.files.size() >= bounds.max_files || f.size > bounds.max_total_bytes - total;
        if (full) {
            ++out.left_out;
            continue;
        }
        total += f.size;
        out.files.push_back(std::move(f));
    }
}

bool same_time(const timespec &a, const timespec &b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool same_file(const source_file &a, const source_file &b) {
    return a.path == b.path && a.device == b.device && a.inode == b.inode && a.size == b.size &&
           same_time(a.mtime, b.mtime) && same_time(a.ctime, b.ctime);
}

}  // namespace

source_list list_sources(const char *path, const source_bounds &bounds) {
    source_list out;
    struct stat st;
    if (!path || !*path || stat(path, &st) != 0) return out;
    if (S_ISREG(st.st_mode)) {
        out.found = 1;
        out.files.push_back(identity_of(path, st));
        return out;
    }
    if (!S_ISDIR(st.st_mode)) return out;
    folder_scan scan;
    if (!scan_directory(folder_path(path), 1, 1, scan)) return out;
    out.found = 1;
    out.folder = 1;
    keep_first_subfolders(scan);
    for (const std::string &sub : scan.subfolders) scan_directory(sub, 1, 0, scan);
    take_files(scan, bounds, out);
    out.scan_cut = scan.cut;
    return out;
}

int same_sources(const source_list &a, const source_list &b) {
    return a.found == b.found && a.folder == b.folder &&
           std::equal(a.files.begin(), a.files.end(), b.files.begin(), b.files.end(), same_file);
}

std::vector<std::string> watch_directories(const char *path) {
    if (!path || !*path) return {};
    struct stat st;
    if (stat(path, &st) == 0 && S_ISDIR(st.st_mode)) {
        folder_scan scan;
        std::vector<std::string> out{folder_path(path)};
        scan_directory(out[0], 0, 1, scan);
        keep_first_subfolders(scan);
        out.insert(out.end(), scan.subfolders.begin(), scan.subfolders.end());
        return out;
    }
    const char *slash = strrchr(path, '/');
    if (!slash) return {"."};
    if (slash == path) return {"/"};
    return {std::string(path, static_cast<std::size_t>(slash - path))};
}
