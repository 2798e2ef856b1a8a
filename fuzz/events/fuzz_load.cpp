// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Loads arbitrary bytes as the calendar file and expands every event over a
// month, all in this process: no worker is forked, so that an input costs
// milliseconds rather than processes.
//
// The library crashes or loops on some rules (the reason the tile keeps it
// out of its own process). Here a SIGSEGV or SIGBUS whose faulting code lies
// in the library, and a hold of more than 50 ms of CPU, jump back out and
// cost only that input; a fault anywhere else is reported as usual.
#include "calendar/calendar.h"
#include "events/engine.h"
#include "events/recur.h"

#include <dlfcn.h>
#include <pthread.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/time.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

sigjmp_buf library_fault;
volatile sig_atomic_t armed = 0;
struct sigaction previous_segv, previous_bus;

int in_object(void *pc, const char *name) {
    Dl_info info;
    return dladdr(pc, &info) && info.dli_fname && strstr(info.dli_fname, name);
}

void on_signal(int sig, siginfo_t *, void *context) {
    void *pc =
        reinterpret_cast<void *>(static_cast<ucontext_t *>(context)->uc_mcontext.gregs[REG_RIP]);
    // A hold ends at the first tick that finds the program in the library
    // or in ICU, whose calendar it uses: not in the C library or the
    // sanitizer's allocator, which hold locks other than the mutexes noted below.
    if (armed && (in_object(pc, "libical") || (sig == SIGVTALRM && in_object(pc, "libicu")))) {
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

}  // namespace

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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static char path[] = "/tmp/ds-fuzz-XXXXXX";
    static int fd = mkstemp(path);
    if (fd < 0) return 0;
    FILE *f = fopen(path, "wb");
    if (!f) return 0;
    fwrite(data, 1, size, f);
    fclose(f);

    static const int installed = (install(), 1);
    (void)installed;
    itimerval hold{{0, 10000}, {0, 50000}};
    if (sigsetjmp(library_fault, 1) == 0) {
        armed = 1;
        setitimer(ITIMER_VIRTUAL, &hold, nullptr);
        read_options options;
        options.name = "fuzz";
        read_calendar(path, options);
        long found = 0;
        icaltimetype day = icaltime_null_date();
        day.year = 2026;
        day.month = 1;
        day.day = 1;
        int64_t first = gregorian_to_jdn(day) - 15;
        for (const event_node *n = event_list; n; n = n->next)
            if (has_rule(n)) expand_rule(n, first, first + 61, count_occurrence, &found);
    }
    armed = 0;
    release_held();
    itimerval off{};
    setitimer(ITIMER_VIRTUAL, &off, nullptr);
    free_events();
    return 0;
}
