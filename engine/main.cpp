// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The calendar engine's program. The tile starts it with its end of a socket
// pair as descriptor 3 and nothing else open but the standard streams; it
// takes no options.
#include "engine/engine.h"

#include <unistd.h>

#include <cstdio>

int main() {
    int status = serve_engine(3);
    // No exit handlers in the sandbox: a leak check there would need ptrace.
    fflush(stdout);
    _exit(status);
}
