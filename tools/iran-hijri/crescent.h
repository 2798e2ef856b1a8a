// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The first sighting of the lunar crescent from Iran, from libnova's positions
// of the Sun (VSOP87) and the Moon (ELP 2000-82B).
//
// Conventions:
// - Instants are Julian dates on the UT scale (days; JD 2451545.0 is
//   2000-01-01 12:00 UT). Terrestrial time, which the theories of motion take,
//   is UT plus delta T (crescent_delta_t).
// - A day number (JDN) names a civil day in Iran: the day whose evening falls
//   near instant JDN + 0.1 (sunset in Iran is 13:30 to 15:30 UT). The evening of
//   day D ends day D; a crescent first seen then begins the month on day D + 1.
// - Angles are degrees; latitudes north and longitudes east are positive.
//   Altitudes are geometric ("airless"): refraction is counted only in the
//   horizons of sunset and moonset.
// - Crescent widths are arcminutes, the unit of the criteria's polynomials.
//
// Everything here is deterministic: the same arguments give the same result
// on every machine that has the same libnova.
#pragma once

#include <cstdint>

// A place the crescent is looked for from.
struct crescent_site {
    const char *name;
    double latitude;
    double longitude;
};

// Places spread over Iran, from the north-west to the south-east. The west and
// the south see the evening later than Tehran and under a steeper ecliptic, so
// a crescent invisible in Tehran is often seen there.
extern const crescent_site crescent_iran_sites[];
extern const int crescent_iran_site_count;

// What one evening shows at one place, at the best time to look: Yallop's
// sunset plus four ninths of the lag (the Moon's setting after the Sun's).
struct crescent_evening {
    double sunset;       // JD (UT): the Sun's upper limb, refracted, on the horizon
    double moonset;      // JD (UT): the same for the Moon (topocentric); before
                         // sunset when the Moon sets first
    double best_time;    // JD (UT)
    double conjunction;  // JD (UT) of the new moon nearest the evening
    double arcl;         // elongation of the Moon from the Sun, geocentric
    double arcv;         // Moon's altitude minus the Sun's, geocentric
    double arcl_topo;    // the same two, from the observer
    double arcv_topo;
    double width;     // crescent width seen from the observer, arcminutes
    double yallop_q;  // Yallop's q (NAO Technical Note 69, 1997)
    double odeh_v;    // Odeh's V (Experimental Astronomy 18, 2004)
};

// The visibility criteria and the test an evening has to pass.
enum crescent_criterion_kind { crescent_yallop = 0, crescent_odeh = 1 };
struct crescent_rule {
    crescent_criterion_kind criterion;
    double threshold;  // the evening passes when q (or V) is at least this
    const crescent_site *sites;
    int site_count;  // the crescent is seen when it is seen from any of them
};

// The rule the generated table uses; see docs/FIGURES.md for how it was chosen.
extern const crescent_rule crescent_iran_rule;

// Iran's civil day (Iran Standard Time, UT + 3:30) at instant jd.
int32_t crescent_iran_day(double jd);

// Terrestrial time minus UT, seconds, at instant jd: the polynomials of
// Espenak and Meeus (NASA, 2006), whose extrapolation past 2150 is the
// parabola of Morrison and Stephenson.
double crescent_delta_t(double jd);

// The geocentric conjunction (the Moon's apparent ecliptic longitude equal to
// the Sun's) nearest instant jd, as a JD (UT); within a minute of PyEphem's.
double crescent_conjunction(double jd);

// Sunset of civil day jdn at a site, JD (UT).
double crescent_sunset(int32_t jdn, const crescent_site &site);

// The evening of civil day jdn at a site, judged against the given
// conjunction (as crescent_conjunction gives it for that evening).
crescent_evening crescent_evening_at(int32_t jdn, const crescent_site &site, double conjunction);

// Whether an evening passes a rule's criterion: the conjunction before sunset,
// the Moon setting after the Sun, and q or V at least the threshold.
bool crescent_evening_passes(const crescent_evening &evening, const crescent_rule &rule);

// Whether the crescent is seen from any of the rule's sites on the evening of
// civil day jdn.
bool crescent_visible(int32_t jdn, const crescent_rule &rule);

// The first day of the month whose first day is estimated as day `estimate`:
// the day after the first evening, from the day of the conjunction nearest
// the estimate on, on which the crescent is seen.
int32_t crescent_first_day(int32_t estimate, const crescent_rule &rule);
