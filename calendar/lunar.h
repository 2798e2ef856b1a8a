// Internal: the day rule of new_moon_jd, apart from the phase formulas.
#pragma once

// Month-start instant for a true new moon at Julian date jd: jd + 1 when the
// moon falls from 12:00 to 24:00 or from 03:00 to 12:00 UT, jd itself from
// 00:00 to 03:00 UT.
double new_moon_day_rule(double jd);
