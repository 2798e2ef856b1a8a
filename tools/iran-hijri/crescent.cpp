// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
#include "crescent.h"

#include <libnova/libnova.h>

#include <cmath>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double rad = pi / 180.0;
constexpr double seconds_per_day = 86400.0;

// Earth's equatorial radius (km) and flattening factor b/a, IAU 1976 as in
// Meeus, Astronomical Algorithms, chapter 11.
constexpr double earth_radius_km = 6378.14;
constexpr double earth_b_over_a = 0.99664719;

// The Moon's radius in Earth equatorial radii: its semi-diameter is
// asin(k / distance). Yallop's value.
constexpr double moon_k = 0.27245;

// The Sun's centre is 50' below the horizon at sunset: 34' of refraction at the
// horizon plus its 16' semi-diameter. The Moon's is 34' plus its own
// semi-diameter, which varies from 14.7' to 16.8' seen from the ground.
constexpr double refraction_at_horizon = 34.0 / 60.0;
constexpr double sunset_altitude = -(refraction_at_horizon + 16.0 / 60.0);

// The Moon's mean elongation rate, degrees a day (360 degrees in a synodic
// month of 29.530589 days): the first step of the search for the conjunction.
constexpr double mean_elongation_rate = 360.0 / 29.530589;

// Terms of ELP 2000-82B below this size are dropped. The whole series is
// twenty times slower and moves the conjunction by under ten seconds and q by
// under 0.001, well inside what a criterion can tell apart.
constexpr double lunar_precision = 0.00001;

// Iran Standard Time is UT + 3:30; daylight time never moves the evening
// across midnight, so it plays no part in naming the civil day.
constexpr double iran_utc_offset = 3.5 / 24.0;

double tt(double jd) { return jd + crescent_delta_t(jd) / seconds_per_day; }

double normalize_180(double degrees) {
    double d = std::fmod(degrees, 360.0);
    if (d > 180.0) d -= 360.0;
    if (d <= -180.0) d += 360.0;
    return d;
}

// Elongation of the Moon east of the Sun in ecliptic longitude, (-180, 180];
// both longitudes are on the ecliptic of J2000, so precession cancels.
double longitude_elongation(double jd) {
    double jde = tt(jd);
    ln_lnlat_posn moon{};
    ln_lnlat_posn sun{};
    ln_get_lunar_ecl_coords(jde, &moon, lunar_precision);
    ln_get_solar_ecl_coords(jde, &sun);
    return normalize_180(moon.lng - sun.lng);
}

struct direction {
    double ra;        // degrees
    double dec;       // degrees
    double distance;  // Earth equatorial radii
};

// libnova gives right ascension and declination on the equator and equinox
// of J2000; the sidereal time is of date, so the positions are precessed to
// date (0.36 degrees by 2026). Nutation (under 20") is left out.
direction moon_geocentric(double jd) {
    double jde = tt(jd);
    ln_equ_posn j2000{};
    ln_equ_posn equ{};
    ln_get_lunar_equ_coords_prec(jde, &j2000, lunar_precision);
    ln_get_equ_prec(&j2000, jde, &equ);
    return {equ.ra, equ.dec, ln_get_lunar_earth_dist(jde) / earth_radius_km};
}

direction sun_geocentric(double jd) {
    double jde = tt(jd);
    ln_equ_posn j2000{};
    ln_equ_posn equ{};
    ln_get_solar_equ_coords(jde, &j2000);
    ln_get_equ_prec(&j2000, jde, &equ);
    return {equ.ra, equ.dec, 23455.0};  // 1 au; the Sun's 8.8" parallax is neglected
}

// Local apparent sidereal time, degrees.
double local_sidereal(double jd, const crescent_site &site) {
    return ln_get_apparent_sidereal_time(jd) * 15.0 + site.longitude;
}

// The Moon seen from the site (on the reference ellipsoid, at sea level),
// Meeus chapter 40 done with vectors.
direction topocentric(const direction &geo, double sidereal, const crescent_site &site) {
    double u = std::atan(earth_b_over_a * std::tan(site.latitude * rad));
    double rho_sin = earth_b_over_a * std::sin(u);
    double rho_cos = std::cos(u);
    double x = geo.distance * std::cos(geo.dec * rad) * std::cos(geo.ra * rad) -
               rho_cos * std::cos(sidereal * rad);
    double y = geo.distance * std::cos(geo.dec * rad) * std::sin(geo.ra * rad) -
               rho_cos * std::sin(sidereal * rad);
    double z = geo.distance * std::sin(geo.dec * rad) - rho_sin;
    return {std::atan2(y, x) / rad, std::atan2(z, std::hypot(x, y)) / rad,
            std::sqrt(x * x + y * y + z * z)};
}

double altitude(const direction &d, double sidereal, const crescent_site &site) {
    double hour_angle = (sidereal - d.ra) * rad;
    double phi = site.latitude * rad;
    double s = std::sin(phi) * std::sin(d.dec * rad) +
               std::cos(phi) * std::cos(d.dec * rad) * std::cos(hour_angle);
    return std::asin(s) / rad;
}

double separation(const direction &a, const direction &b) {
    double c = std::sin(a.dec * rad) * std::sin(b.dec * rad) +
               std::cos(a.dec * rad) * std::cos(b.dec * rad) * std::cos((a.ra - b.ra) * rad);
    return std::acos(std::fmax(-1.0, std::fmin(1.0, c))) / rad;
}

// Semi-diameter in arcminutes of the Moon at a distance in Earth radii.
double moon_semi_diameter(double distance) { return std::asin(moon_k / distance) / rad * 60.0; }

// Height of the Sun's centre above its setting altitude.
double sun_above_setting(double jd, const crescent_site &site) {
    return altitude(sun_geocentric(jd), local_sidereal(jd, site), site) - sunset_altitude;
}

// Height of the Moon's centre, seen from the site, above its setting altitude.
double moon_above_setting(double jd, const crescent_site &site) {
    double sidereal = local_sidereal(jd, site);
    direction topo = topocentric(moon_geocentric(jd), sidereal, site);
    double setting = -(refraction_at_horizon + moon_semi_diameter(topo.distance) / 60.0);
    return altitude(topo, sidereal, site) - setting;
}

// The instant in [lo, hi] where a function falling through zero crosses it, by
// bisection to under a second (a day halved 17 times is 0.66 s). When it does
// not change sign the nearer end is returned.
template <typename F> double falling_root(double lo, double hi, F f) {
    if (f(lo) <= 0.0) return lo;
    if (f(hi) > 0.0) return hi;
    while (hi - lo > 1.0 / seconds_per_day) {
        double mid = 0.5 * (lo + hi);
        if (f(mid) > 0.0)
            lo = mid;
        else
            hi = mid;
    }
    return 0.5 * (lo + hi);
}

bool seen(int32_t jdn, const crescent_rule &rule, double conjunction) {
    for (int i = 0; i < rule.site_count; ++i) {
        if (crescent_evening_passes(crescent_evening_at(jdn, rule.sites[i], conjunction), rule))
            return true;
    }
    return false;
}

}  // namespace

const crescent_site crescent_iran_sites[] = {
    {"Tabriz", 38.08, 46.29},  {"Kermanshah", 34.31, 47.07},   {"Ahvaz", 31.32, 48.67},
    {"Bushehr", 28.97, 50.84}, {"Tehran", 35.69, 51.39},       {"Isfahan", 32.65, 51.67},
    {"Shiraz", 29.59, 52.58},  {"Bandar Abbas", 27.18, 56.27}, {"Mashhad", 36.30, 59.61},
    {"Zahedan", 29.50, 60.86}, {"Chabahar", 25.29, 60.64},
};
const int crescent_iran_site_count = sizeof crescent_iran_sites / sizeof crescent_iran_sites[0];

// Odeh's V from any of the places; 1.8 is the threshold that reproduced the
// most observed first days of 1400-1447 AH (generate --measure), just under
// Odeh's own 2.0 for "seen with optical aid, perhaps by eye".
const crescent_rule crescent_iran_rule = {crescent_odeh, 1.8, crescent_iran_sites,
                                          crescent_iran_site_count};

int32_t crescent_iran_day(double jd) {
    return static_cast<int32_t>(std::floor(jd + 0.5 + iran_utc_offset));
}

double crescent_delta_t(double jd) {
    double y = 2000.0 + (jd - 2451545.0) / 365.25;
    double t = 0;
    if (y >= 1800.0 && y < 1860.0) {
        t = y - 1800.0;
        return 13.72 - 0.332447 * t + 0.0068612 * t * t + 0.0041116 * std::pow(t, 3) -
               0.00037436 * std::pow(t, 4) + 0.0000121272 * std::pow(t, 5) -
               0.0000001699 * std::pow(t, 6) + 0.000000000875 * std::pow(t, 7);
    }
    if (y >= 1860.0 && y < 1900.0) {
        t = y - 1860.0;
        return 7.62 + 0.5737 * t - 0.251754 * t * t + 0.01680668 * std::pow(t, 3) -
               0.0004473624 * std::pow(t, 4) + std::pow(t, 5) / 233174.0;
    }
    if (y >= 1900.0 && y < 1920.0) {
        t = y - 1900.0;
        return -2.79 + 1.494119 * t - 0.0598939 * t * t + 0.0061966 * std::pow(t, 3) -
               0.000197 * std::pow(t, 4);
    }
    if (y >= 1920.0 && y < 1941.0) {
        t = y - 1920.0;
        return 21.20 + 0.84493 * t - 0.076100 * t * t + 0.0020936 * std::pow(t, 3);
    }
    if (y >= 1941.0 && y < 1961.0) {
        t = y - 1950.0;
        return 29.07 + 0.407 * t - t * t / 233.0 + std::pow(t, 3) / 2547.0;
    }
    if (y >= 1961.0 && y < 1986.0) {
        t = y - 1975.0;
        return 45.45 + 1.067 * t - t * t / 260.0 - std::pow(t, 3) / 718.0;
    }
    if (y >= 1986.0 && y < 2005.0) {
        t = y - 2000.0;
        return 63.86 + 0.3345 * t - 0.060374 * t * t + 0.0017275 * std::pow(t, 3) +
               0.000651814 * std::pow(t, 4) + 0.00002373599 * std::pow(t, 5);
    }
    if (y >= 2005.0 && y < 2050.0) {
        t = y - 2000.0;
        return 62.92 + 0.32217 * t + 0.005589 * t * t;
    }
    double u = (y - 1820.0) / 100.0;
    if (y >= 2050.0 && y < 2150.0) return -20.0 + 32.0 * u * u - 0.5628 * (2150.0 - y);
    return -20.0 + 32.0 * u * u;
}

double crescent_conjunction(double jd) {
    // Newton's method on the elongation, with its rate measured over an hour
    // around each guess; three or four steps reach a second.
    double t = jd - longitude_elongation(jd) / mean_elongation_rate;
    for (int i = 0; i < 8; ++i) {
        double e = longitude_elongation(t);
        double h = 1.0 / 48.0;
        double rate =
            normalize_180(longitude_elongation(t + h) - longitude_elongation(t - h)) / (2 * h);
        double step = e / rate;
        t -= step;
        if (std::fabs(step) < 0.5 / seconds_per_day) break;
    }
    return t;
}

double crescent_sunset(int32_t jdn, const crescent_site &site) {
    // Between local mean noon and midnight the Sun only sinks.
    double noon = jdn - site.longitude / 360.0;
    return falling_root(noon, noon + 0.5, [&](double t) { return sun_above_setting(t, site); });
}

crescent_evening crescent_evening_at(int32_t jdn, const crescent_site &site, double conjunction) {
    crescent_evening e{};
    e.conjunction = conjunction;
    e.sunset = crescent_sunset(jdn, site);
    // A young Moon has passed the meridian by mid-afternoon and sinks until
    // well after the Sun has set; one that sets more than six hours after it
    // is long visible, and the bracket's end stands in for its setting.
    e.moonset = falling_root(e.sunset - 0.125, e.sunset + 0.25,
                             [&](double t) { return moon_above_setting(t, site); });
    e.best_time = e.sunset + 4.0 / 9.0 * std::fmax(0.0, e.moonset - e.sunset);

    double sidereal = local_sidereal(e.best_time, site);
    direction moon = moon_geocentric(e.best_time);
    direction sun = sun_geocentric(e.best_time);
    direction moon_topo = topocentric(moon, sidereal, site);
    double moon_altitude_topo = altitude(moon_topo, sidereal, site);
    double sun_altitude = altitude(sun, sidereal, site);
    e.arcl = separation(moon, sun);
    e.arcv = altitude(moon, sidereal, site) - sun_altitude;
    e.arcl_topo = separation(moon_topo, sun);
    e.arcv_topo = moon_altitude_topo - sun_altitude;
    double semi_diameter = moon_semi_diameter(moon_topo.distance);

    // Yallop: geocentric ARCV against the width W' = SD' (1 - cos ARCL) from
    // the topocentric semi-diameter and the geocentric elongation; the cubic is
    // the least ARCV at which a crescent of that width was seen (Bruin's
    // curves as fitted by Yallop), and q is the excess in units of 10 degrees.
    double w = semi_diameter * (1.0 - std::cos(e.arcl * rad));
    e.yallop_q = (e.arcv - (11.8371 - 6.3226 * w + 0.7319 * w * w - 0.1018 * w * w * w)) / 10.0;
    // Odeh: the same form from 737 observations, all topocentric. V >= 5.65:
    // seen by eye; V >= 2: seen by eye with optical aid; V >= -0.96: with
    // optical aid only.
    e.width = semi_diameter * (1.0 - std::cos(e.arcl_topo * rad));
    e.odeh_v = e.arcv_topo - (7.1651 - 6.3226 * e.width + 0.7319 * e.width * e.width -
                              0.1018 * e.width * e.width * e.width);
    return e;
}

bool crescent_evening_passes(const crescent_evening &evening, const crescent_rule &rule) {
    if (evening.conjunction >= evening.sunset || evening.moonset <= evening.sunset) return false;
    double value = rule.criterion == crescent_yallop ? evening.yallop_q : evening.odeh_v;
    return value >= rule.threshold;
}

bool crescent_visible(int32_t jdn, const crescent_rule &rule) {
    return seen(jdn, rule, crescent_conjunction(jdn + 0.1));
}

int32_t crescent_first_day(int32_t estimate, const crescent_rule &rule) {
    double conjunction = crescent_conjunction(estimate);
    int32_t day = crescent_iran_day(conjunction);
    // Three days after the conjunction every criterion sees the crescent; the
    // bound only keeps the search finite.
    for (int32_t evening = day; evening < day + 4; ++evening) {
        if (seen(evening, rule, conjunction)) return evening + 1;
    }
    return day + 4;
}
