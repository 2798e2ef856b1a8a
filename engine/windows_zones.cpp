// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Windows zone names through ICU's tables; see events/windows_zones.h.
#include "engine/windows_zones.h"

#include <unicode/locid.h>
#include <unicode/strenum.h>
#include <unicode/timezone.h>
#include <unicode/tznames.h>
#include <unicode/ucal.h>
#include <unicode/unistr.h>

#include <cctype>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace {

std::string utf8(const icu::UnicodeString &text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

// Without surrounding spaces, in lower case (ASCII): names are compared so.
std::string folded(const std::string &text) {
    std::size_t first = text.find_first_not_of(' '), last = text.find_last_not_of(' ');
    if (first == std::string::npos) return "";
    std::string out = text.substr(first, last - first + 1);
    for (char &c : out) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string zone_of_windows_id(const char *name) {
    icu::UnicodeString id = icu::UnicodeString::fromUTF8(name);
    UChar zone[128];
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = ucal_getTimeZoneIDForWindowsID(id.getBuffer(), id.length(), "001", zone,
                                               sizeof zone / sizeof *zone, &status);
    if (U_FAILURE(status) || n <= 0 || n >= static_cast<int32_t>(sizeof zone / sizeof *zone))
        return "";
    return utf8(icu::UnicodeString(zone, n));
}

// "(UTC+01:00) rest", "(GMT-08.00) rest" or "(UTC) rest": the offset in
// milliseconds and the rest; 0 for any other form.
int split_display_name(const std::string &name, int32_t &offset, std::string &rest) {
    std::string head = folded(name.substr(0, 4));
    if (head != "(utc" && head != "(gmt") return 0;
    std::size_t i = 4;
    int sign = 0, hours = 0, minutes = 0;
    if (i < name.size() && (name[i] == '+' || name[i] == '-')) {
        sign = name[i++] == '-' ? -1 : 1;
        int digits = 0;
        for (; i < name.size() && isdigit(static_cast<unsigned char>(name[i])) && digits < 2;
             ++i, ++digits)
            hours = hours * 10 + (name[i] - '0');
        if (!digits) return 0;
        if (i + 2 < name.size() && (name[i] == ':' || name[i] == '.') &&
            isdigit(static_cast<unsigned char>(name[i + 1])) &&
            isdigit(static_cast<unsigned char>(name[i + 2]))) {
            minutes = (name[i + 1] - '0') * 10 + (name[i + 2] - '0');
            i += 3;
        }
    }
    if (i >= name.size() || name[i] != ')') return 0;
    offset = sign * (hours * 60 + minutes) * 60 * 1000;
    rest = name.substr(i + 1);
    return 1;
}

// The names of a display name's rest: "Pacific Time (US & Canada); Tijuana"
// gives "pacific time", "us & canada" and "tijuana".
std::vector<std::string> names_in(const std::string &rest) {
    std::vector<std::string> out;
    std::string part;
    for (char c : rest + ",") {
        if (std::string(",;/:()").find(c) == std::string::npos) {
            part += c;
            continue;
        }
        if (!folded(part).empty()) out.push_back(folded(part));
        part.clear();
    }
    return out;
}

// The zones of one standard offset, by exemplar city and by zone name.
struct offset_names {
    std::map<std::string, std::string> cities, zone_names;
};

icu::TimeZoneNames *english_names() {
    static std::unique_ptr<icu::TimeZoneNames> names = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::TimeZoneNames> n(
            icu::TimeZoneNames::createInstance(icu::Locale::getEnglish(), status));
        return U_SUCCESS(status) ? std::move(n) : nullptr;
    }();
    return names.get();
}

// Built the first time an offset is asked for, and kept.
const offset_names &names_of_offset(int32_t offset) {
    static std::map<int32_t, offset_names> built;
    auto found = built.find(offset);
    if (found != built.end()) return found->second;
    offset_names &out = built[offset];
    icu::TimeZoneNames *names = english_names();
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::StringEnumeration> zones(icu::TimeZone::createTimeZoneIDEnumeration(
        UCAL_ZONE_TYPE_CANONICAL_LOCATION, nullptr, &offset, status));
    if (!names || !zones || U_FAILURE(status)) return out;
    std::set<std::string> of_offset;
    while (const icu::UnicodeString *zone = zones->snext(status)) {
        if (U_FAILURE(status)) break;
        icu::UnicodeString city;
        names->getExemplarLocationName(*zone, city);
        out.cities.emplace(folded(utf8(city)), utf8(*zone));
        of_offset.insert(utf8(*zone));
    }
    status = U_ZERO_ERROR;
    std::unique_ptr<icu::StringEnumeration> metazones(names->getAvailableMetaZoneIDs(status));
    while (metazones && U_SUCCESS(status)) {
        const icu::UnicodeString *metazone = metazones->snext(status);
        if (!metazone) break;
        icu::UnicodeString reference, generic, standard;
        names->getReferenceZoneID(*metazone, "001", reference);
        if (!of_offset.count(utf8(reference))) continue;
        names->getMetaZoneDisplayName(*metazone, UTZNM_LONG_GENERIC, generic);
        names->getMetaZoneDisplayName(*metazone, UTZNM_LONG_STANDARD, standard);
        out.zone_names.emplace(folded(utf8(generic)), utf8(reference));
        out.zone_names.emplace(folded(utf8(standard)), utf8(reference));
    }
    out.cities.erase("");
    out.zone_names.erase("");
    return out;
}

}  // namespace

std::string zone_of_windows_name(const char *name) {
    std::string zone = zone_of_windows_id(name);
    int32_t offset = 0;
    std::string rest;
    if (!zone.empty() || !split_display_name(name, offset, rest)) return zone;
    const offset_names &known = names_of_offset(offset);
    std::vector<std::string> names = names_in(rest);
    for (const auto *table : {&known.cities, &known.zone_names})
        for (const std::string &n : names) {
            auto found = table->find(n);
            if (found != table->end()) return found->second;
        }
    return "";
}
