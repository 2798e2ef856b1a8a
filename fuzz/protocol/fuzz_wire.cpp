// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// One side's decoder of what the other side sends, over any bytes: built
// twice, as the tile's (of the engine's replies) and as the engine's (of
// the tile's requests and its workers' records). Whatever decodes must
// encode back to the very frame it came from.
#include "protocol/protocol.h"

#include <cstdlib>
#include <string>

namespace {

template <class message>
void check(uint32_t type, std::string_view payload, const std::string &frame,
           int (*decode)(uint32_t, std::string_view, message &)) {
    message m;
    if (!decode(type, payload, m)) return;
    std::string again;
    std::visit([&again](const auto &r) { encode(again, r); }, m);
    if (again != frame) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string buffer(reinterpret_cast<const char *>(data), size);
    std::size_t at = 0;
    uint32_t type = 0;
    std::string_view payload;
    for (;;) {
        std::size_t begin = at;
        if (take_frame(buffer, at, type, payload) != frame_whole) break;
        std::string frame = buffer.substr(begin, at - begin);
#ifdef FUZZ_TILE_SIDE
        check(type, payload, frame, decode_engine_message);
#else
        check(type, payload, frame, decode_tile_message);
        check(type, payload, frame, decode_worker_message);
#endif
    }
    return 0;
}
