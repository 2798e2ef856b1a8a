// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The settings file: a few key=value lines in the home directory.
//
// The reader is deliberately loose: a token is a maximal run of bytes other
// than '=' and line feed, and a known key takes the next token as its value.
// Files written by hand years ago rely on exactly that, quirks included.
// The writer replaces the file atomically so that a crash, a full disk or a
// signal never leaves it half-written. It writes through one temporary of a
// fixed name beside the file, locked while in use, so a save killed half way
// leaves at most that one file, which the next save or start reuses or removes.
#include "settings/settings.h"

#include "version.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>

namespace {

constexpr const char *settings_name = "/.dayspinnerrc";
constexpr const char *temp_suffix = ".tmp";  // the temporary is the target's name and this
constexpr const char *default_ics_suffix = "/evolution/local/Calendar/calendar.ics";
constexpr const char *default_app_command = "evolution";
constexpr const char *current_version = dayspinner_version;
constexpr size_t read_buffer_size = 4096;  // the file is read up to this, terminator included

// HOME when it is set, not empty, and leaves room for every path built on it.
const char *usable_home() {
    const char *home = getenv("HOME");
    if (!home || !*home) return nullptr;
    if (strlen(home) + strlen(settings_name) >= sizeof settings_record::settings_path)
        return nullptr;
    return home;
}

// Entry k (1 Sunday, 2 Saturday, ..., 7 Monday) names the weekday that
// week_start k puts first; tm_wday counts Sunday 0 ... Saturday 6.
void make_weekday_names(settings_record *s) {
    for (int k = 1; k <= 7; ++k) {
        struct tm t {};
        t.tm_wday = (8 - k) % 7;
        char name[15];
        if (strftime(name, sizeof name, "%A", &t) == 0) name[0] = '\0';
        copy_utf8_cut(s->weekday_names[k - 1], sizeof s->weekday_names[k - 1], name, strlen(name));
    }
}

// Empty paths and commands get their defaults when the file is written.
void fill_defaults(settings_record *s) {
    if (!s->ics_path[0]) {
        const char *home = usable_home();
        if (home && strlen(home) + strlen(default_ics_suffix) < sizeof s->ics_path)
            snprintf(s->ics_path, sizeof s->ics_path, "%s%s", home, default_ics_suffix);
    }
    if (!s->app_command[0])
        snprintf(s->app_command, sizeof s->app_command, "%s", default_app_command);
}

// Like atoi (blanks, an optional sign, digits; nothing else read), but on
// a bounded token and saturating instead of overflowing.
int token_to_int(std::string_view token) {
    size_t i = 0;
    while (i < token.size() && (token[i] == ' ' || (token[i] >= '\t' && token[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
    long long value = 0;
    for (; i < token.size() && token[i] >= '0' && token[i] <= '9'; ++i) {
        value = value * 10 + (token[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) return static_cast<int>(-value);  // -(INT_MAX + 1) is INT_MIN
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

enum class settings_key {
    none,
    ics,
    app,
    lang,
    icon,
    version,
    start_of_week,
    hijri_adjust,
    hijri,
    holidays,
    reminders,
    default_reminder
};

settings_key key_of(std::string_view token) {
    if (token == "ICS") return settings_key::ics;
    if (token == "APP") return settings_key::app;
    if (token == "LANG") return settings_key::lang;
    if (token == "ICON") return settings_key::icon;
    if (token == "VERSION") return settings_key::version;
    if (token == "STARTOFWEEK") return settings_key::start_of_week;
    if (token == "HIJRIADJUST") return settings_key::hijri_adjust;
    if (token == "HIJRI") return settings_key::hijri;
    if (token == "HOLIDAYS") return settings_key::holidays;
    if (token == "REMINDERS") return settings_key::reminders;
    if (token == "DEFAULTREMINDER") return settings_key::default_reminder;
    return settings_key::none;
}

// Reminders are on unless the value says off: "off", "no" or "0", in any case.
int reminders_of(std::string_view value) {
    for (std::string_view off : {"off", "no", "0"})
        if (value.size() == off.size() &&
            std::equal(value.begin(), value.end(), off.begin(),
                       [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a + 32 : a) == b; }))
            return 0;
    return 1;
}

// Minutes 1 to default_reminder_max; anything else is none.
int default_reminder_of(int minutes) {
    return minutes >= 1 && minutes <= default_reminder_max ? minutes : 0;
}

// Applies one value; returns 1 when it is the current VERSION.
int apply_value(settings_key key, std::string_view value, settings_record *s) {
    switch (key) {
    case settings_key::ics:
        copy_utf8_cut(s->ics_path, sizeof s->ics_path, value.data(), value.size());
        break;
    case settings_key::app:
        copy_utf8_cut(s->app_command, sizeof s->app_command, value.data(), value.size());
        break;
    case settings_key::icon:
        s->icon_kind = value == "mozilla" ? 1 : value == "evolution" ? 0 : 2;
        break;
    case settings_key::lang:
        // An unknown word leaves the language as it is, so a face once
        // chosen is not lost to a misspelt line after it.
        for (int i = 1; i < language_count; ++i)
            if (value == language_words[i]) s->language = i;
        break;
    case settings_key::version: return value == current_version;
    case settings_key::start_of_week: s->week_start = token_to_int(value); break;
    case settings_key::hijri_adjust: {
        int days = token_to_int(value);
        s->hijri_adjust = days >= -2 && days <= 2 ? days : 0;  // anything else acts as 0
        break;
    }
    // Unknown words act as the defaults.
    case settings_key::hijri: s->hijri = value == "iran" ? 1 : 0; break;
    case settings_key::holidays: s->holidays = value == "iran" ? 1 : 0; break;
    case settings_key::reminders: s->reminders = reminders_of(value); break;
    case settings_key::default_reminder:
        s->default_reminder = default_reminder_of(token_to_int(value));
        break;
    case settings_key::none: break;
    }
    return 0;
}

// The file's text, at most read_buffer_size - 1 bytes, always terminated.
// Returns 0 when the file cannot be read.
int read_text(int fd, char (&text)[read_buffer_size]) {
    size_t used = 0;
    while (used < sizeof text - 1) {
        ssize_t n = read(fd, text + used, sizeof text - 1 - used);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return 0;
        if (n == 0) break;
        used += static_cast<size_t>(n);
    }
    text[used] = '\0';
    return 1;
}

int write_all(int fd, const char *data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return 0;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return 1;
}

std::string directory_of(const std::string &path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// Flushes the directory entry of a rename; failures only cost durability.
void sync_directory_of(const std::string &path) {
    int fd = open(directory_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

void report_save_failure(const char *path, const char *why) {
    fprintf(stderr, "%s: settings not saved to %s: %s\n", program_name, path, why);
}

// The file a save replaces. A settings file that is a symbolic link is
// followed, and the file it points to replaced, only when nobody else could
// have steered it there: the link, that file and that file's directory all
// belong to the user running the tile, and the file is a regular one. Any
// other link is replaced by a regular file in its place; refused says why.
struct save_place {
    std::string target;
    const char *refused = nullptr;
};

save_place find_save_place(const char *path) {
    save_place place{path};
    struct stat link {};
    if (lstat(path, &link) != 0 || !S_ISLNK(link.st_mode)) return place;
    const uid_t user = geteuid();
    std::string resolved;
    if (char *real = realpath(path, nullptr)) {
        resolved = real;
        free(real);
    }
    struct stat file {
    }, dir{};
    if (link.st_uid != user)
        place.refused = "the link belongs to another user";
    else if (resolved.empty() || stat(resolved.c_str(), &file) != 0 || !S_ISREG(file.st_mode))
        place.refused = "it points to no regular file";
    else if (file.st_uid != user)
        place.refused = "the file it points to belongs to another user";
    else if (stat(directory_of(resolved).c_str(), &dir) != 0 || dir.st_uid != user)
        place.refused = "the directory it points into belongs to another user";
    else
        place.target = resolved;
    return place;
}

// 1 when st is a regular file of the user running the tile.
int users_regular_file(const struct stat &st) {
    return S_ISREG(st.st_mode) && st.st_uid == geteuid();
}

int lock_file(int fd, int operation) {
    int rc;
    do rc = flock(fd, operation);
    while (rc != 0 && errno == EINTR);
    return rc;
}

// 1 when fd is the regular file that path names right now (not a link).
int names_same_file(int fd, const std::string &path) {
    struct stat held {
    }, named{};
    return fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && lstat(path.c_str(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

// Opens the temporary and locks it against another tile saving at the same
// moment; returns -1 with errno set on failure. A save that held the lock
// before renames the file away, so the name is checked again once the lock
// is held.
int open_locked_temp(const std::string &temp) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        // O_NONBLOCK: a FIFO put in its place must not stall the save.
        int fd = open(temp.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
        if (fd < 0) return -1;
        // Only the user's own file with no other name is written into.
        struct stat st {};
        if (fstat(fd, &st) != 0 || !users_regular_file(st) || st.st_nlink > 1) {
            close(fd);
            errno = EEXIST;
            return -1;
        }
        if (lock_file(fd, LOCK_EX) == 0 && names_same_file(fd, temp)) return fd;
        int saved_errno = errno;
        close(fd);
        errno = saved_errno;
    }
    errno = EAGAIN;
    return -1;
}

// Removes the temporary that a killed save left, unless another save holds
// it or it is not the user's own.
void remove_stale_temp(const char *path) {
    std::string temp = find_save_place(path).target + temp_suffix;
    int fd = open(temp.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    struct stat st {};
    if (fstat(fd, &st) == 0 && users_regular_file(st) && lock_file(fd, LOCK_EX | LOCK_NB) == 0 &&
        names_same_file(fd, temp))
        unlink(temp.c_str());
    close(fd);
}

// Writes text into the locked temporary fd and renames it over target.
// Returns 0 or an errno value; on failure the temporary is gone.
int replace_file(int fd, const std::string &temp, const std::string &target, const char *text,
                 size_t length, mode_t mode) {
    errno = 0;
    int error = 0;
    if (ftruncate(fd, 0) != 0 || !write_all(fd, text, length) || fsync(fd) != 0 ||
        fchmod(fd, mode) != 0 || rename(temp.c_str(), target.c_str()) != 0)
        error = errno ? errno : EIO;
    if (error) unlink(temp.c_str());
    return error;  // the caller's close releases the lock only now, after the rename
}

}  // namespace

void copy_utf8_cut(char *dst, size_t dst_size, const char *src, size_t src_len) {
    if (dst_size == 0) return;
    size_t n = src_len < dst_size - 1 ? src_len : dst_size - 1;
    if (n < src_len) {
        // Step back over continuation bytes (10xxxxxx) so the cut falls before
        // the lead byte of the sequence it would split; a sequence has at most
        // three of them, which also bounds the loss on bytes that are not UTF-8.
        size_t back = 0;
        while (back < 3 && n > 0 && (static_cast<unsigned char>(src[n]) & 0xC0) == 0x80) {
            --n;
            ++back;
        }
        if ((static_cast<unsigned char>(src[n]) & 0xC0) == 0x80) n += back;  // not UTF-8 at all
    }
    memmove(dst, src, n);
    dst[n] = '\0';
}

int locale_is_iranian(const char *lc_all, const char *lc_messages, const char *lang) {
    const char *name = lc_all && *lc_all             ? lc_all
                       : lc_messages && *lc_messages ? lc_messages
                                                     : lang;
    if (!name) return 0;
    // The territory follows the first "_" and ends at ".", "@" or the end.
    const char *under = strchr(name, '_');
    if (!under) return 0;
    const char *t = under + 1;
    size_t n = strcspn(t, ".@");
    return n == 2 && t[0] == 'I' && t[1] == 'R';
}

void copy_settings_parts(settings_record &to, const settings_record &from, unsigned parts) {
    if (parts & settings_icon) to.icon_kind = from.icon_kind;
    if (parts & settings_language) to.language = from.language;
    if (parts & settings_command) memcpy(to.app_command, from.app_command, sizeof to.app_command);
    if (parts & settings_week_start) to.week_start = from.week_start;
    if (parts & settings_calendar) memcpy(to.ics_path, from.ics_path, sizeof to.ics_path);
    if (parts & settings_hijri) {
        to.hijri_adjust = from.hijri_adjust;
        to.hijri = from.hijri;
    }
    if (parts & settings_holidays) to.holidays = from.holidays;
    if (parts & settings_reminders) {
        to.reminders = from.reminders;
        to.default_reminder = from.default_reminder;
    }
}

int apply_settings_text(const char *text, settings_record *s) {
    int current = 0;
    settings_key awaited = settings_key::none;
    const char *p = text;
    for (;;) {
        while (*p == '=' || *p == '\n') ++p;
        if (!*p) break;
        const char *start = p;
        while (*p && *p != '=' && *p != '\n') ++p;
        std::string_view token(start, static_cast<size_t>(p - start));
        if (awaited == settings_key::none) {
            awaited = key_of(token);
        } else {
            current |= apply_value(awaited, token, s);
            awaited = settings_key::none;
        }
    }
    return current;
}

int write_settings_file(settings_record *s) {
    if (s->debug_level) {
        printf("write settings\n");
        fflush(stdout);
    }
    fill_defaults(s);
    if (!s->settings_path[0]) {
        fprintf(stderr, "%s: settings not saved: HOME is unset, empty or too long\n", program_name);
        return 0;
    }

    // At most 4+255+1 + 4+249+1 + 5+9+1 + 5+7+1 + 8+5+1 + 12+11+1 + 12+2+1 + 11 + 14
    // + 14 + 16+4+1 = 656 bytes.
    static const char *const icon_words[] = {"evolution", "mozilla", "other"};
    int icon = s->icon_kind >= 0 && s->icon_kind <= 2 ? s->icon_kind : 2;
    char text[1024];
    int length = snprintf(
        text, sizeof text, "ICS=%s\nAPP=%s\nICON=%s\nLANG=%s\nVERSION=%s\nSTARTOFWEEK=%d\n",
        s->ics_path, s->app_command, icon_words[icon],
        language_words[s->language >= 0 && s->language < language_count ? s->language : 0],
        current_version, s->week_start);
    // Written only when set, so that a file with the default stays as it was.
    int adjust = s->hijri_adjust >= -2 && s->hijri_adjust <= 2 ? s->hijri_adjust : 0;
    if (adjust != 0)
        length += snprintf(text + length, sizeof text - static_cast<size_t>(length),
                           "HIJRIADJUST=%d\n", adjust);
    if (s->hijri == 1)
        length +=
            snprintf(text + length, sizeof text - static_cast<size_t>(length), "HIJRI=iran\n");
    if (s->holidays == 1)
        length +=
            snprintf(text + length, sizeof text - static_cast<size_t>(length), "HOLIDAYS=iran\n");
    if (!s->reminders)
        length +=
            snprintf(text + length, sizeof text - static_cast<size_t>(length), "REMINDERS=off\n");
    if (int minutes = default_reminder_of(s->default_reminder))
        length += snprintf(text + length, sizeof text - static_cast<size_t>(length),
                           "DEFAULTREMINDER=%d\n", minutes);

    save_place place = find_save_place(s->settings_path);
    const std::string &target = place.target;
    mode_t mode;
    struct stat old {};
    if (!place.refused && stat(target.c_str(), &old) == 0) {
        if (!S_ISREG(old.st_mode)) {
            report_save_failure(target.c_str(), "it is not a regular file");
            return 0;
        }
        mode = old.st_mode & 07777;
    } else {
        mode_t mask = umask(0);  // what creating the file directly would have given
        umask(mask);
        mode = 0666 & ~mask;
    }

    std::string temp = target + temp_suffix;
    int fd = open_locked_temp(temp);
    if (fd < 0) {
        report_save_failure(target.c_str(), strerror(errno));
        return 0;
    }
    int error = replace_file(fd, temp, target, text, static_cast<size_t>(length), mode);
    close(fd);
    if (error) {
        report_save_failure(target.c_str(), strerror(error));
        return 0;
    }
    sync_directory_of(target);
    if (place.refused)
        fprintf(stderr,
                "%s: %s: symbolic link not followed (%s); settings saved to a regular file in "
                "its place\n",
                program_name, target.c_str(), place.refused);
    return 1;
}

void save_settings(settings_record *s) { (void)write_settings_file(s); }

void load_settings(settings_record *s) {
    const char *home = usable_home();
    if (home)
        snprintf(s->settings_path, sizeof settings_record::settings_path, "%s%s", home,
                 settings_name);
    else
        s->settings_path[0] = '\0';
    make_weekday_names(s);

    if (!home) {
        fill_defaults(s);
        fprintf(stderr,
                "%s: HOME is unset, empty or too long; using the default settings, "
                "which will not be saved\n",
                program_name);
        return;
    }

    remove_stale_temp(s->settings_path);
    // O_NONBLOCK: a FIFO in its place must not stall start-up.
    int fd = open(s->settings_path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        if (locale_is_iranian(getenv("LC_ALL"), getenv("LC_MESSAGES"), getenv("LANG"))) {
            s->hijri = 1;
            s->holidays = 1;
        }
        if (write_settings_file(s)) {
            printf("created %s with default settings:\nICON:evolution\nLANG:default\nAPP:%s\n"
                   "ICS:%s\n\n",
                   s->settings_path, s->app_command, s->ics_path);
            fflush(stdout);
        }
        return;
    }
    // Anything else in the way is left alone: it may be the user's and
    // unreadable only for now.
    char text[read_buffer_size] = {};
    struct stat st {};
    const char *problem = nullptr;
    if (fd < 0)
        problem = strerror(errno);
    else if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        problem = "not a regular file";
    else if (!read_text(fd, text))
        problem = strerror(errno);
    if (fd >= 0) close(fd);
    if (problem) {
        fill_defaults(s);
        fprintf(stderr, "%s: cannot read %s (%s); using the default settings\n", program_name,
                s->settings_path, problem);
        return;
    }

    if (apply_settings_text(text, s)) return;
    if (write_settings_file(s)) {
        printf("Old rcfile detected!\nCreated new %s with default settings:", s->settings_path);
        printf("\nICON:evolution\nLANG:default\nAPP:%s\nICS:%s\n\n", s->app_command, s->ics_path);
        fflush(stdout);
    }
}
