#!/usr/bin/python3
# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""An engine that breaks the wire: it answers the tile's hello, names the
calendar file as begun and then sends what the name of the file's folder
says: "overlong" (a frame over the 1 MiB cap), "unknown" (a type nobody
sends) or "truncated" (a loaded reply cut short). A load that leaves the
file out is answered properly, with no events.

"halfrange" keeps to the wire: one event with a rule, whose second range
(the shown days' rows, after their marks) is answered with its days but no
range done, so that the tile's next load finds it half sent; every load
after the first finds the files unchanged, and every other range is
answered whole, one row on each day. Each answer is one write."""
import os
import struct

def read_exactly(n):
    data = b""
    while len(data) < n:
        chunk = os.read(3, n - len(data))
        if not chunk:
            raise SystemExit(0)
        data += chunk
    return data

def frame():
    kind, size = struct.unpack("<II", read_exactly(8))
    return kind, read_exactly(size)

def frame_of(kind, payload, size=None):
    return struct.pack("<II", kind, len(payload) if size is None else size) + payload

def send(kind, payload, size=None):
    os.write(3, frame_of(kind, payload, size))

def half_range(kind, payload):
    """The wire kept, the second range's end never sent."""
    loads = ranges = 0
    while True:
        request, = struct.unpack_from("<I", payload)
        out = b""
        if kind == 2 and not loads:
            start = struct.pack("<hBBBBBB", 2020, 1, 1, 9, 0, 0, 0)
            out += frame_of(5, struct.pack("<IIBBB", request, 0, 1, 0, 1) + start * 2 +
                            struct.pack("<qqI", 2458850, 2458850, 1) + b"r" +
                            struct.pack("<I", 0))
            out += frame_of(6, struct.pack("<IIB", request, 1, 0))
        elif kind == 2:
            out += frame_of(6, struct.pack("<IIB", request, 0, 1))
        elif kind == 3:
            first, last = struct.unpack_from("<qq", payload, 8)
            for day in range(first, last + 1):
                out += frame_of(7, struct.pack("<IqBII", request, day, 1, 1, 0))
            if ranges != 1:
                out += frame_of(9, struct.pack("<II", request, 1))
            ranges += 1
        loads += kind == 2
        os.write(3, out)
        kind, payload = frame()


frame()                                   # hello
send(1, struct.pack("<I", 4))                # the protocol's version
while True:
    kind, payload = frame()
    request, length = struct.unpack_from("<II", payload)
    path = payload[8:8 + length]
    skipped, = struct.unpack_from("<I", payload, 8 + length)
    if skipped:
        send(6, struct.pack("<IIB", request, 0, 0))
        continue
    send(4, struct.pack("<III", request, 1, len(path)) + path + bytes(40))
    how = os.path.basename(os.path.dirname(path)).decode()
    if how == "halfrange":
        half_range(kind, payload)
    if how == "overlong":
        send(6, b"", size=(1 << 20) + 1)
    elif how == "unknown":
        send(99, struct.pack("<I", request))
    else:
        send(6, struct.pack("<I", request))
