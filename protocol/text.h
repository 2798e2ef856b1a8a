// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Texts as they cross from the engine to the tile and on into its lines.
#pragma once

#include <cstddef>
#include <string>

// Cuts text to at most limit bytes without splitting a UTF-8 sequence.
void cut_utf8(std::string &text, std::size_t limit);
// text with each line break (CR LF, LF or CR) as one space.
std::string on_one_line(const std::string &text);
