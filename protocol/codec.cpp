// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The codec of protocol/protocol.h: little-endian integers of fixed width,
// texts and lists with a count, each within its cap.
#include "protocol/protocol.h"

#include "protocol/text.h"

#include <algorithm>
#include <cstring>

namespace {

struct writer {
    std::string &out;
    std::size_t header;
    writer(std::string &o, uint32_t type) : out(o), header(o.size()) {
        u32(type);
        u32(0);  // the payload's length, set by the destructor
    }
    ~writer() {
        auto n = static_cast<uint32_t>(out.size() - header - 8);
        for (int i = 0; i < 4; ++i) out[header + 4 + i] = static_cast<char>(n >> (8 * i) & 0xff);
    }
    writer(const writer &) = delete;
    writer &operator=(const writer &) = delete;
    void unsigned_bytes(uint64_t v, int n) {
        for (int i = 0; i < n; ++i) out += static_cast<char>(v >> (8 * i) & 0xff);
    }
    void u8(uint8_t v) { unsigned_bytes(v, 1); }
    void u32(uint32_t v) { unsigned_bytes(v, 4); }
    void i32(int32_t v) { unsigned_bytes(static_cast<uint32_t>(v), 4); }
    void i64(int64_t v) { unsigned_bytes(static_cast<uint64_t>(v), 8); }
    void text(const std::string &s, std::size_t cap) {
        std::string t = s;
        cut_utf8(t, cap);
        u32(static_cast<uint32_t>(t.size()));
        out += t;
    }
    void texts(const std::vector<std::string> &list, std::size_t count_cap, std::size_t cap) {
        std::size_t n = std::min(list.size(), count_cap);
        u32(static_cast<uint32_t>(n));
        for (std::size_t i = 0; i < n; ++i) text(list[i], cap);
    }
    void time(const icaltimetype &t) {
        unsigned_bytes(static_cast<uint16_t>(t.year), 2);
        for (int v : {t.month, t.day, t.hour, t.minute, t.second, t.is_date})
            u8(static_cast<uint8_t>(v));
    }
    void identity(const file_identity &f) {
        for (int64_t v : {f.device, f.inode, f.size, f.mtime_ns, f.ctime_ns}) i64(v);
    }
    void item(const occurrence &o) {
        time(o.start);
        time(o.end);
        i64(o.first_day);
        i64(o.last_day);
    }
};

// Reads fields off a payload; any read past its end, or a text or list over
// its cap, clears ok, and every later read gives zeros.
struct reader {
    const unsigned char *at, *end;
    int ok = 1;
    explicit reader(std::string_view p)
        : at(reinterpret_cast<const unsigned char *>(p.data())), end(at + p.size()) {}
    uint64_t unsigned_bytes(int n) {
        if (!ok || end - at < n) {
            ok = 0;
            return 0;
        }
        uint64_t v = 0;
        for (int i = 0; i < n; ++i) v |= uint64_t(at[i]) << (8 * i);
        at += n;
        return v;
    }
    uint8_t u8() { return static_cast<uint8_t>(unsigned_bytes(1)); }
    uint32_t u32() { return static_cast<uint32_t>(unsigned_bytes(4)); }
    int32_t i32() { return static_cast<int32_t>(u32()); }
    int64_t i64() { return static_cast<int64_t>(unsigned_bytes(8)); }
    std::string text(std::size_t cap) {
        uint32_t n = u32();
        if (!ok || n > cap || static_cast<std::size_t>(end - at) < n) {
            ok = 0;
            return {};
        }
        std::string s(reinterpret_cast<const char *>(at), n);
        at += n;
        return s;
    }
    // A count of items of at least item_bytes each, within cap and within
    // what is left, so that a count never allocates more than the payload.
    uint32_t count(std::size_t cap, std::size_t item_bytes) {
        uint32_t n = u32();
        if (n > cap || n * item_bytes > static_cast<std::size_t>(end - at)) ok = 0;
        return ok ? n : 0;
    }
    std::vector<std::string> texts(std::size_t count_cap, std::size_t cap) {
        std::vector<std::string> out(count(count_cap, 4));
        for (std::string &s : out) s = text(cap);
        return out;
    }
    icaltimetype time() {
        icaltimetype t = icaltime_null_time();
        t.year = static_cast<int16_t>(unsigned_bytes(2));
        t.month = u8();
        t.day = u8();
        t.hour = u8();
        t.minute = u8();
        t.second = u8();
        t.is_date = u8();
        if (t.is_date > 1) ok = 0;
        return t;
    }
    file_identity identity() {
        file_identity f;
        f.device = i64();
        f.inode = i64();
        f.size = i64();
        f.mtime_ns = i64();
        f.ctime_ns = i64();
        return f;
    }
    occurrence item() {
        occurrence o;
        o.start = time();
        o.end = time();
        o.first_day = i64();
        o.last_day = i64();
        return o;
    }
    // The whole payload was read, and nothing was wrong in it.
    int whole() const { return ok && at == end; }
};

constexpr std::size_t occurrence_bytes = 32;
constexpr std::size_t identity_bytes = 40;

// The view's key of a row: 0 for all-day and many-day, else 1 + the
// start's second of the day.
int64_t row_key(const occurrence &o) {
    if (o.first_day != o.last_day || o.start.is_date) return 0;
    return 1 + (o.start.hour * 60 + o.start.minute) * 60 + o.start.second;
}

// A day's answer, from the tile's engine or from a worker; 0 when a value
// is out of range.
int read_day(reader &r, day_reply &m) {
    m.range = r.u32();
    m.day = r.i64();
    m.status = r.u8();
    m.count = r.u32();
    m.rows.resize(r.count(day_row_cap, 4 + occurrence_bytes));
    for (day_row &row : m.rows) {
        row.event = r.u32();
        row.item = r.item();
    }
    return m.status <= 2 && m.count >= m.rows.size();
}

constexpr std::size_t alarm_bytes = 4 * 2 + 8 * 3 + occurrence_bytes + 8 + 4;

void read_alarms(reader &r, alarms_reply &m) {
    m.request = r.u32();
    m.more = r.u32();
    m.items.resize(r.count(alarm_cap, alarm_bytes));
    for (alarm_item &a : m.items) {
        a.event = r.u32();
        a.alarm = r.u32();
        a.last = r.i64();
        a.next = r.i64();
        a.ends = r.i64();
        a.item = r.item();
        a.instance = r.time();
        a.uid = r.text(uid_cap);
        if (a.last == 0 && a.next == 0) r.ok = 0;
    }
}

}  // namespace

bool alarm_before(const alarm_item &a, const alarm_item &b) {
    if ((a.last != 0) != (b.last != 0)) return a.last != 0;
    int64_t ta = a.last ? a.last : a.next, tb = b.last ? b.last : b.next;
    return ta != tb ? ta < tb : a.event != b.event ? a.event < b.event : a.alarm < b.alarm;
}

void keep_alarms(alarms_reply &kept, const alarms_reply &r) {
    kept.more += r.more;
    for (const alarm_item &a : r.items) {
        if (kept.items.size() >= alarm_cap) {
            const alarm_item &dropped = alarm_before(a, kept.items.back()) ? kept.items.back() : a;
            if (dropped.last) ++kept.more;
            if (&dropped == &a) continue;
            kept.items.pop_back();
        }
        kept.items.insert(std::upper_bound(kept.items.begin(), kept.items.end(), a, alarm_before),
                          a);
    }
}

bool row_before(const day_row &a, const day_row &b) {
    int64_t ka = row_key(a.item), kb = row_key(b.item);
    return ka != kb ? ka < kb : a.event < b.event;
}

void merge_day(day_answer &d, uint8_t status, uint32_t count, const std::vector<day_row> &rows) {
    if (status && d.status != 1) d.status = status;
    d.count += count;
    for (const day_row &r : rows) keep_row(d.rows, r);
}

void keep_row(std::vector<day_row> &rows, const day_row &r) {
    if (rows.size() >= day_row_cap) {
        if (!row_before(r, rows.back())) return;
        rows.pop_back();
    }
    rows.insert(std::upper_bound(rows.begin(), rows.end(), r, row_before), r);
}

void encode(std::string &out, const tile_hello &m) {
    writer w(out, msg_hello);
    w.u32(m.version);
    w.u32(m.debug);
    w.u32(m.time_scale);
    w.i32(m.fault.stage);
    w.i32(m.fault.index);
    w.i32(m.fault.signal);
    w.text(m.name, name_cap);
    w.texts(m.read_trees, tree_cap, path_cap);
}

void encode(std::string &out, const load_request &m) {
    writer w(out, msg_load);
    w.u32(m.request);
    w.text(m.path, path_cap);
    std::size_t n = std::min(m.skipped_files.size(), culprit_cap);
    w.u32(static_cast<uint32_t>(n));
    for (std::size_t i = 0; i < n; ++i) {
        w.text(m.skipped_files[i].path, path_cap);
        w.identity(m.skipped_files[i].identity);
    }
    w.texts(m.bad_zones, culprit_cap, name_cap);
}

void encode(std::string &out, const range_request &m) {
    writer w(out, msg_range);
    w.u32(m.request);
    w.u32(m.load);
    w.i64(m.days.first);
    w.i64(m.days.last);
    w.u32(m.from);
    w.u8(m.rows);
}

void encode(std::string &out, const cut_request &m) {
    writer w(out, msg_cut);
    w.u32(m.range);
}

void encode(std::string &out, const alarm_request &m) {
    writer w(out, msg_alarms);
    w.u32(m.request);
    w.u32(m.load);
    w.i64(m.since);
    w.i64(m.now);
    w.u32(m.default_minutes);
    w.u32(m.from);
}

void encode(std::string &out, const alarms_reply &m) {
    writer w(out, msg_alarms);
    w.u32(m.request);
    w.u32(m.more);
    std::size_t n = std::min(m.items.size(), alarm_cap);
    w.u32(static_cast<uint32_t>(n));
    for (std::size_t i = 0; i < n; ++i) {
        const alarm_item &a = m.items[i];
        w.u32(a.event);
        w.u32(a.alarm);
        w.i64(a.last);
        w.i64(a.next);
        w.i64(a.ends);
        w.item(a.item);
        w.time(a.instance);
        w.text(a.uid, uid_cap);
    }
}

void encode(std::string &out, const engine_hello &m) {
    writer w(out, msg_hello);
    w.u32(m.version);
}

void encode(std::string &out, const progress_reply &m) {
    writer w(out, msg_progress);
    w.u32(m.load);
    w.u32(m.kind);
    w.text(m.name, path_cap);
    w.identity(m.identity);
}

void encode(std::string &out, const event_reply &m) {
    writer w(out, msg_event);
    w.u32(m.load);
    w.u32(m.index);
    w.u8(m.transparency);
    w.u8(m.cancelled);
    w.u8(m.has_rule);
    w.item(m.first);
    w.text(m.summary, text_cap);
    w.text(m.location, text_cap);
}

void encode(std::string &out, const loaded_reply &m) {
    writer w(out, msg_loaded);
    w.u32(m.load);
    w.u32(m.events);
    w.u8(m.unchanged);
}

void encode(std::string &out, const day_reply &m) {
    writer w(out, msg_day);
    w.u32(m.range);
    w.i64(m.day);
    w.u8(m.status);
    std::size_t n = std::min(m.rows.size(), day_row_cap);
    w.u32(std::max(m.count, static_cast<uint32_t>(n)));
    w.u32(static_cast<uint32_t>(n));
    for (std::size_t i = 0; i < n; ++i) {
        w.u32(m.rows[i].event);
        w.item(m.rows[i].item);
    }
}

void encode(std::string &out, const faulty_reply &m) {
    writer w(out, msg_faulty);
    w.u32(m.range);
    w.u32(m.event);
}

void encode(std::string &out, const range_done_reply &m) {
    writer w(out, msg_range_done);
    w.u32(m.range);
    w.u32(m.next);
}

void encode(std::string &out, const done_record &m) {
    writer w(out, msg_done);
    w.u32(m.event);
}

frame_state take_frame(const std::string &buffer, std::size_t &at, uint32_t &type,
                       std::string_view &payload) {
    if (buffer.size() - at < 8) return frame_partial;
    reader r(std::string_view(buffer).substr(at, 8));
    type = r.u32();
    uint32_t size = r.u32();
    if (size > frame_cap) return frame_fault;
    if (buffer.size() - at - 8 < size) return frame_partial;
    payload = std::string_view(buffer).substr(at + 8, size);
    at += 8 + std::size_t(size);
    return frame_whole;
}

int decode_tile_message(uint32_t type, std::string_view payload, tile_message &out) {
    reader r(payload);
    if (type == msg_hello) {
        tile_hello m;
        m.version = r.u32();
        m.debug = r.u32();
        m.time_scale = r.u32();
        m.fault.stage = r.i32();
        m.fault.index = r.i32();
        m.fault.signal = r.i32();
        m.name = r.text(name_cap);
        m.read_trees = r.texts(tree_cap, path_cap);
        if (m.debug > (debug_lines | debug_sandbox_gaps) || m.time_scale < 1 ||
            m.time_scale > time_scale_cap)
            return 0;
        out = std::move(m);
    } else if (type == msg_load) {
        load_request m;
        m.request = r.u32();
        m.path = r.text(path_cap);
        m.skipped_files.resize(r.count(culprit_cap, 4 + identity_bytes));
        for (skipped_file &f : m.skipped_files) {
            f.path = r.text(path_cap);
            f.identity = r.identity();
        }
        m.bad_zones = r.texts(culprit_cap, name_cap);
        out = std::move(m);
    } else if (type == msg_range) {
        range_request m;
        m.request = r.u32();
        m.load = r.u32();
        m.days.first = r.i64();
        m.days.last = r.i64();
        m.from = r.u32();
        m.rows = r.u8();
        if (m.rows > 1) return 0;
        // The difference in unsigned arithmetic: right for any two days in order.
        if (m.days.first > m.days.last ||
            uint64_t(m.days.last) - uint64_t(m.days.first) >= uint64_t(range_day_cap))
            return 0;
        out = m;
    } else if (type == msg_alarms) {
        alarm_request m;
        m.request = r.u32();
        m.load = r.u32();
        m.since = r.i64();
        m.now = r.i64();
        m.default_minutes = r.u32();
        m.from = r.u32();
        if (m.since > m.now || uint64_t(m.now) - uint64_t(m.since) > uint64_t(alarm_back_s) ||
            m.default_minutes > default_minutes_cap)
            return 0;
        out = m;
    } else if (type == msg_cut) {
        out = cut_request{r.u32()};
    } else {
        return 0;
    }
    return r.whole();
}

int decode_engine_message(uint32_t type, std::string_view payload, engine_message &out) {
    reader r(payload);
    switch (type) {
    case msg_hello: out = engine_hello{r.u32()}; break;
    case msg_progress: {
        progress_reply m;
        m.load = r.u32();
        m.kind = r.u32();
        m.name = r.text(path_cap);
        m.identity = r.identity();
        if (m.kind < progress_file || m.kind > progress_reading) return 0;
        out = std::move(m);
        break;
    }
    case msg_event: {
        event_reply m;
        m.load = r.u32();
        m.index = r.u32();
        m.transparency = r.u8();
        m.cancelled = r.u8();
        m.has_rule = r.u8();
        m.first = r.item();
        m.summary = r.text(text_cap);
        m.location = r.text(text_cap);
        if (m.transparency < 1 || m.transparency > 2 || m.cancelled > 1 || m.has_rule > 1) return 0;
        out = std::move(m);
        break;
    }
    case msg_loaded: {
        loaded_reply m;
        m.load = r.u32();
        m.events = r.u32();
        m.unchanged = r.u8();
        if (m.unchanged > 1) return 0;
        out = m;
        break;
    }
    case msg_day: {
        day_reply m;
        if (!read_day(r, m)) return 0;
        out = std::move(m);
        break;
    }
    case msg_faulty: {
        faulty_reply m;
        m.range = r.u32();
        m.event = r.u32();
        out = m;
        break;
    }
    case msg_range_done: {
        range_done_reply m;
        m.range = r.u32();
        m.next = r.u32();
        out = m;
        break;
    }
    case msg_alarms: {
        alarms_reply m;
        read_alarms(r, m);
        out = std::move(m);
        break;
    }
    default: return 0;
    }
    return r.whole();
}

int decode_worker_message(uint32_t type, std::string_view payload, worker_message &out) {
    reader r(payload);
    if (type == msg_day) {
        day_reply m;
        if (!read_day(r, m)) return 0;
        out = std::move(m);
    } else if (type == msg_done) {
        out = done_record{r.u32()};
    } else if (type == msg_alarms) {
        alarms_reply m;
        read_alarms(r, m);
        out = std::move(m);
    } else {
        return 0;
    }
    return r.whole();
}
