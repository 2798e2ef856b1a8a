// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Listing the calendar's files and their identities.
#include "sources/sources.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
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
// Links in a folder whose targets are watched, and links followed in a row.
constexpr std::size_t max_watched_links = 1000;
constexpr int max_link_steps = 8;

struct dir_close {
    void operator()(DIR *d) const { closedir(d); }
};

struct folder_scan {
    std::vector<source_file> files;  // in directory order
    std::vector<std::string> subfolders;
    std::vector<std::string> links;  // .ics entries that are symbolic links
    std::size_t entries = 0;
    int cut = 0;  // 1: stopped at max_entries
};

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

std::string joined(const std::string &dir, const char *name) {
    return dir == "/" ? dir + name : dir + "/" + name;
}

int is_link(int dir_fd, const dirent &e) {
    struct stat st;
    if (e.d_type != DT_UNKNOWN) return e.d_type == DT_LNK;
    return fstatat(dir_fd, e.d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

enum scan_what { scan_files = 1, scan_subfolders = 2, scan_links = 4 };

// Adds what of dir to scan: its .ics regular files, its subfolders, its .ics
// entries that are links. Returns 0 when dir cannot be read.
int scan_directory(const std::string &dir, int what, folder_scan &scan) {
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
        int ics = is_ics_name(e->d_name);
        if (ics && (what & scan_links) != 0 && is_link(dirfd(d.get()), *e))
            scan.links.push_back(joined(dir, e->d_name));
        ics = ics && (what & scan_files) != 0;
        int want_subfolders = (what & scan_subfolders) != 0;
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

// The directory holding path and the entry's name in it: "a/b" is "a" and
// "b", "b" is "." and "b", "/b" is "/" and "b"; "/" has no name.
std::pair<std::string, std::string> split_path(const std::string &path) {
    std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos) return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// The watch targets by directory, each with its identity when first added.
class watch_set {
  public:
    // 0 when dir is no directory now.
    int add(const std::string &dir, const std::string *name) {
        auto found = targets_.find(dir);
        if (found == targets_.end()) {
            struct stat st;
            if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return 0;
            watch_target t;
            t.directory = dir;
            t.device = st.st_dev;
            t.inode = st.st_ino;
            found = targets_.emplace(dir, std::move(t)).first;
        }
        watch_target &t = found->second;
        if (!name)
            t.folder = 1;
        else if (!std::binary_search(t.names.begin(), t.names.end(), *name))
            t.names.insert(std::upper_bound(t.names.begin(), t.names.end(), *name), *name);
        return 1;
    }
    // The entry at path from the directory that holds it, or from the
    // nearest one that exists, for the next step down; then, for a link,
    // its target the same way.
    void add_entry(const std::string &path, int links_left) {
        for (std::string step = path;;) {
            std::pair<std::string, std::string> at = split_path(step);
            if (at.second.empty() || add(at.first, &at.second) || at.first == step) break;
            step = at.first;
        }
        char target[PATH_MAX];
        ssize_t n = links_left > 0 ? readlink(path.c_str(), target, sizeof target) : -1;
        if (n <= 0 || n == static_cast<ssize_t>(sizeof target)) return;
        std::string to(target, static_cast<std::size_t>(n));
        if (to[0] != '/') to = joined(split_path(path).first, to.c_str());
        add_entry(without_trailing_slashes(to), links_left - 1);
    }
    std::vector<watch_target> targets() const {
        std::vector<watch_target> out;
        for (const auto &t : targets_) out.push_back(t.second);
        return out;
    }

  private:
    std::map<std::string, watch_target> targets_;
};

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
    if (!scan_directory(without_trailing_slashes(path), scan_files | scan_subfolders, scan))
        return out;
    out.found = 1;
    out.folder = 1;
    keep_first_subfolders(scan);
    for (const std::string &sub : scan.subfolders) scan_directory(sub, scan_files, scan);
    take_files(scan, bounds, out);
    out.scan_cut = scan.cut;
    return out;
}

int same_sources(const source_list &a, const source_list &b) {
    return a.found == b.found && a.folder == b.folder &&
           std::equal(a.files.begin(), a.files.end(), b.files.begin(), b.files.end(), same_file);
}

std::string without_trailing_slashes(const std::string &path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

int is_ics_name(const char *name) {
    std::size_t n = strlen(name);
    return name[0] != '.' && n > 4 && strcmp(name + n - 4, ".ics") == 0;
}

bool operator==(const watch_target &a, const watch_target &b) {
    return a.directory == b.directory && a.device == b.device && a.inode == b.inode &&
           a.folder == b.folder && a.names == b.names;
}

std::vector<watch_target> watch_directories(const char *path) {
    if (!path || !*path) return {};
    std::string calendar = without_trailing_slashes(path);
    watch_set set;
    // A folder moved away is seen by its own watch, and its path is then
    // watched again; a file, a link or a missing path from the directory
    // that holds it.
    struct stat st;
    if (lstat(calendar.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        set.add_entry(calendar, max_link_steps);
    if (!set.add(calendar, nullptr)) return set.targets();  // not a folder
    folder_scan scan;
    scan_directory(calendar, scan_subfolders | scan_links, scan);
    keep_first_subfolders(scan);
    for (const std::string &sub : scan.subfolders)
        if (set.add(sub, nullptr)) scan_directory(sub, scan_links, scan);
    std::sort(scan.links.begin(), scan.links.end());
    if (scan.links.size() > max_watched_links) scan.links.resize(max_watched_links);
    for (const std::string &link : scan.links) set.add_entry(link, max_link_steps);
    return set.targets();
}
