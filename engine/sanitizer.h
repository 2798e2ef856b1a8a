// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// DS_ADDRESS_SANITIZER is 1 in a build with the address sanitizer, whose
// shadow memory and reports need what the engine's limits would refuse.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define DS_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DS_ADDRESS_SANITIZER 1
#endif
#endif
