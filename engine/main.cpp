// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The calendar engine's program. The tile starts it with its end of a socket
// pair as descriptor 3 and nothing else open but the standard streams; it
// takes no options.
#include "engine/engine.h"

int main() { return serve_engine(3); }
