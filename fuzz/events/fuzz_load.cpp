// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Reads arbitrary bytes as the text of a calendar file, through the engine's
// own read (bounds, zones, events) but without a file, and expands every
// rule over two months, all in this process: no worker is forked and
// nothing is written, so that a plain input costs well under a millisecond.
//
// The library crashes or loops on some rules (the reason the tile keeps it
// out of its own process). Here a SIGSEGV or SIGBUS whose faulting code lies
// in the library, and a hold of more than 8 ms of CPU there, jump back out
// and cost only that input; a fault anywhere else is reported as usual.
#include "calendar/calendar.h"
#include "engine/engine.h"
#include "engine/recur.h"

#include <dlfcn.h>
#include <pthread.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/time.h>
#include <ucontext.h>
#include <unicode/ucal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

sigjmp_buf library_fault;
volatile sig_atomic_t armed = 0;
struct sigaction previous_segv, previous_bus;

int in_object(void *pc, const char *name) {
    Dl_info info;
    return dladdr(pc, &info) && info.dli_fname && strstr(info.dli_fname, name);
}

// ICU's shared cache marks an entry it is making, and every later lookup of
// it waits until it is made: a jump out of ICU while it opens a calendar (or
// reads its locale data) would hold the next input forever. Those calls are
// noted by these definitions, which the library's calls reach before ICU's.
volatile sig_atomic_t in_icu_open = 0;

#define ICU_NAME(f) ICU_STRING(f)  // with ICU's version suffix
#define ICU_STRING(f) #f

template <class F> F icu_call(const char *name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

void on_signal(int sig, siginfo_t *, void *context) {
    void *pc =
        reinterpret_cast<void *>(static_cast<ucontext_t *>(context)->uc_mcontext.gregs[REG_RIP]);
    // A hold ends at the first tick that finds the program in the library
    // or in ICU, whose calendar it uses: not in the C library or the
    // sanitizer's allocator, which hold locks other than the mutexes noted below.
    if (armed && (in_object(pc, "libical") ||
                  (sig == SIGVTALRM && !in_icu_open && in_object(pc, "libicu")))) {
        armed = 0;
        siglongjmp(library_fault, 1);
    }
    // A hold of our own is left to libFuzzer's -timeout; a fault of our own
    // goes to the sanitizer's handler when the instruction runs again.
    if (sig == SIGSEGV) sigaction(sig, &previous_segv, nullptr);
    if (sig == SIGBUS) sigaction(sig, &previous_bus, nullptr);
}

// After libFuzzer and the sanitizer have set theirs, which a fault of our
// own still reaches. The hold is measured in CPU time.
void install() {
    struct sigaction sa {};
    sa.sa_sigaction = on_signal;
    sa.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigaction(SIGSEGV, &sa, &previous_segv);
    sigaction(SIGBUS, &sa, &previous_bus);
    sigaction(SIGVTALRM, &sa, nullptr);
}

// The library locks a mutex of its own while it expands a zone; a jump out
// would leave it locked for every later input. The locks taken while armed
// are noted here (by this definition, which the library's calls reach before
// the C library's) and released after a jump.
pthread_mutex_t *held[16];
volatile sig_atomic_t held_count = 0;

using mutex_call = int (*)(pthread_mutex_t *);
mutex_call c_library(const char *name) {
    return reinterpret_cast<mutex_call>(dlsym(RTLD_NEXT, name));
}

void release_held() {
    static mutex_call unlock = c_library("pthread_mutex_unlock");
    while (held_count > 0) unlock(held[--held_count]);
}

void count_occurrence(void *context, const occurrence &) { ++*static_cast<long *>(context); }

// A real hold lasts seconds (a zone or rule that never matches). A plain
// input costs well under a millisecond of CPU here, a zone of two rules
// expanded through 2037 3 to 5 ms: past 8 ms of CPU in one zone, in the
// rest of the parse or in one rule, the next tick (every 4 ms or so) that
// finds the program in the library or ICU ends the input.
void start_hold() {
    itimerval hold{{0, 1000}, {0, 8000}};
    setitimer(ITIMER_VIRTUAL, &hold, nullptr);
}

void next_stage(void *, int, const char *, const file_identity *) { start_hold(); }

}  // namespace

extern "C" UCalendar *ucal_open(const UChar *zone, int32_t length, const char *locale,
                                UCalendarType type, UErrorCode *status) {
    static auto open = icu_call<decltype(&ucal_open)>(ICU_NAME(ucal_open));
    in_icu_open = 1;
    UCalendar *c = open(zone, length, locale, type, status);
    in_icu_open = 0;
    return c;
}

extern "C" UEnumeration *ucal_getKeywordValuesForLocale(const char *key, const char *locale,
                                                        UBool common, UErrorCode *status) {
    static auto values = icu_call<decltype(&ucal_getKeywordValuesForLocale)>(
        ICU_NAME(ucal_getKeywordValuesForLocale));
    in_icu_open = 1;
    UEnumeration *e = values(key, locale, common, status);
    in_icu_open = 0;
    return e;
}

extern "C" int pthread_mutex_lock(pthread_mutex_t *m) {
    static mutex_call lock = c_library("pthread_mutex_lock");
    int r = lock(m);
    if (armed && r == 0 && held_count < 16) held[held_count++] = m;
    return r;
}

extern "C" int pthread_mutex_unlock(pthread_mutex_t *m) {
    for (int i = held_count - 1; i >= 0; --i)
        if (held[i] == m) {
            held[i] = held[--held_count];
            break;
        }
    static mutex_call unlock = c_library("pthread_mutex_unlock");
    return unlock(m);
}

// The sanitizer's quarantine of freed memory (256 MB unless set) hands each
// input memory untouched for long, and its page faults cost more than a
// plain input itself; 8 MB is still far more than one input frees.
extern "C" const char *__asan_default_options() { return "quarantine_size_mb=8"; }

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    install();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const read_options options = [] {
        read_options o;
        o.name = "fuzz";
        o.progress = next_stage;
        return o;
    }();
    static const int64_t first = [] {
        icaltimetype day = icaltime_null_date();
        day.year = 2026;
        day.month = 1;
        day.day = 1;
        return gregorian_to_jdn(day) - 15;
    }();
    if (sigsetjmp(library_fault, 1) == 0) {
        armed = 1;
        start_hold();
        read_calendar_text(std::string(reinterpret_cast<const char *>(data), size), "fuzz.ics",
                           options);
        long found = 0;
        for (const event_node *n = event_list; n; n = n->next)
            if (has_rule(n)) {
                start_hold();
                expand_rule(n, first, first + 61, count_occurrence, &found);
            }
    }
    armed = 0;
    release_held();
    itimerval off{};
    setitimer(ITIMER_VIRTUAL, &off, nullptr);
    free_events();
    return 0;
}
