// Placeholder until the arithmetic lands.
#include "calendar/calendar.h"
moon_phase_slot moon_phase_cache[moon_phase_cache_size];
int32_t persian_to_jdn(int, int, int) { return 0; }
void jdn_to_persian(int32_t, icaltimetype *) {}
int persian_month_length(int, int) { return 31; }
void gregorian_to_persian(icaltimetype d, icaltimetype *o) { *o = d; }
double moon_phase_jd(int64_t, int) { return 0; }
double new_moon_jd(int64_t) { return 0; }
int64_t islamic_to_jdn(int, int, int) { return 0; }
void jdn_to_islamic(int64_t, icaltimetype *) {}
int islamic_month_length(int, int) { return 30; }
void gregorian_to_islamic(icaltimetype d, icaltimetype *o) { *o = d; }
void to_gregorian(int, icaltimetype d, icaltimetype *o) { *o = d; }
int days_in_month(int, int, int) { return 30; }
int moon_phase_of_day(icaltimetype) { return 0; }
