// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The bounds on a calendar file's text; see events/bounds.h.
#include "engine/bounds.h"

#include <cstring>

namespace {

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

int same_name(const char *s, std::size_t n, const char *name) {
    if (n != strlen(name)) return 0;
    for (std::size_t i = 0; i < n; ++i)
        if (upper(s[i]) != name[i]) return 0;
    return 1;
}

// A value the parser reads as this component name: the name, then the end,
// a comma, or anything but a letter, digit or dash (trailing blanks are
// trimmed by the parser; taking more for the name can only over-count).
int names_component(const std::string &line, std::size_t at, const char *name) {
    std::size_t n = strlen(name);
    if (line.size() - at < n || !same_name(line.data() + at, n, name)) return 0;
    if (line.size() == at + n) return 1;
    char c = upper(line[at + n]);
    return !((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-');
}

int text_property(const char *name, std::size_t n) {
    static const char *const names[] = {"SUMMARY", "LOCATION",  "DESCRIPTION", "COMMENT",
                                        "CONTACT", "RESOURCES", "CATEGORIES"};
    if (n > 2 && upper(name[0]) == 'X' && name[1] == '-') return 1;
    for (const char *known : names)
        if (same_name(name, n, known)) return 1;
    return 0;
}

// Where the value begins: after the first colon outside double quotes, as
// the parser finds it; npos when there is none.
std::size_t value_start(const std::string &line, std::size_t from) {
    int quoted = 0;
    for (std::size_t i = from; i < line.size(); ++i) {
        if (line[i] == '"') quoted = !quoted;
        if (line[i] == ':' && !quoted) return i + 1;
    }
    return std::string::npos;
}

// The length of a text value cut to at most max bytes: not inside a UTF-8
// character, and not between a backslash and the character it escapes.
std::size_t cut_text(const char *value, std::size_t max) {
    std::size_t n = max;
    while (n > 0 && (static_cast<unsigned char>(value[n]) & 0xC0) == 0x80) --n;
    std::size_t backslashes = 0;
    while (backslashes < n && value[n - 1 - backslashes] == '\\') ++backslashes;
    return backslashes % 2 ? n - 1 : n;
}

// Reads one content line from text at pos, unfolded: a physical line ends at
// LF (a CR before it dropped), and each following physical line that begins
// with a space or tab continues it without that character. At most cap bytes
// are kept; the rest only counts. Returns 0 at the end of the text.
struct content_line {
    std::string text;
    int overlong = 0;  // more than cap bytes
    int nul = 0;       // held a NUL byte
};

int read_content_line(const std::string &text, std::size_t &pos, std::size_t cap,
                      content_line &line) {
    line.text.clear();
    line.overlong = line.nul = 0;
    if (pos >= text.size()) return 0;
    std::size_t skip = 0;  // the folding character of a continuation
    do {
        const char *start = text.data() + pos + skip;
        const char *stop = text.data() + text.size();
        auto *lf =
            static_cast<const char *>(memchr(start, '\n', static_cast<std::size_t>(stop - start)));
        const char *end = lf ? lf : stop;
        pos = lf ? static_cast<std::size_t>(lf - text.data()) + 1 : text.size();
        if (lf && end > start && end[-1] == '\r') --end;
        auto n = static_cast<std::size_t>(end - start);
        if (memchr(start, '\0', n)) line.nul = 1;
        std::size_t room = cap - line.text.size();
        if (n > room) line.overlong = 1;
        line.text.append(start, n < room ? n : room);
        skip = 1;
    } while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'));
    return 1;
}

}  // namespace

bounded_text bound_calendar_text(const std::string &text, const text_bounds &bounds) {
    bounded_text out;
    out.text.reserve(text.size());
    std::size_t cap = bounds.max_line + bounds.max_text_value + 1;
    content_line line;
    std::size_t pos = 0;
    std::size_t depth = 0;  // components open, as the parser's stack holds them
    // While skip_depth > 0, lines are left out until the component opened at
    // that depth ends.
    std::size_t skip_depth = 0;
    std::size_t zones = 0, zone_depth = 0, zone_start = 0;
    while (read_content_line(text, pos, cap, line)) {
        const std::string &l = line.text;
        std::size_t name_end = l.find_first_of(":;");
        std::size_t name_length = name_end == std::string::npos ? l.size() : name_end;
        int begin = name_end != std::string::npos && same_name(l.data(), name_length, "BEGIN");
        int end = name_end != std::string::npos && same_name(l.data(), name_length, "END");

        if (skip_depth) {
            if (begin) ++depth;
            if (end && depth-- == skip_depth) skip_depth = 0;
            ++out.lines_dropped;
            continue;
        }
        // A line the parser could take for a continuation, one with a NUL
        // (the parser would read only part of it), an END with nothing open.
        if (l.empty() || l[0] == ' ' || l[0] == '\t' || line.nul || (end && depth == 0)) {
            ++out.lines_dropped;
            continue;
        }
        std::size_t keep = l.size();
        if (!begin && !end && text_property(l.data(), name_length)) {
            std::size_t v = value_start(l, name_length);
            if (v == std::string::npos || v > bounds.max_line) {
                ++out.lines_dropped;
                continue;
            }
            if (l.size() - v > bounds.max_text_value) {
                keep = v + cut_text(l.data() + v, bounds.max_text_value);
                ++out.values_cut;
            }
        } else if (line.overlong || l.size() > bounds.max_line) {
            ++out.lines_dropped;
            continue;
        }

        if (begin) {
            ++depth;
            int zone = names_component(l, name_end + 1, "VTIMEZONE");
            if (depth > bounds.max_depth || (zone && !zone_depth && ++zones > bounds.max_zones)) {
                skip_depth = depth;
                ++out.lines_dropped;
                ++(depth > bounds.max_depth ? out.components_dropped : out.zones_dropped);
                continue;
            }
            if (zone && !zone_depth) {
                zone_depth = depth;
                zone_start = out.text.size();
            }
        }
        out.text.append(l, 0, keep);
        out.text += "\r\n";
        if (zone_depth && out.text.size() - zone_start > bounds.max_zone_bytes) {
            // The zone so far is taken back and the rest of it skipped.
            out.text.resize(zone_start);
            ++out.zones_dropped;
            ++out.lines_dropped;
            if (end) --depth;
            skip_depth = end && depth < zone_depth ? 0 : zone_depth;
            zone_depth = 0;
            continue;
        }
        if (end) {
            if (depth == zone_depth) zone_depth = 0;
            --depth;
        }
    }
    return out;
}
