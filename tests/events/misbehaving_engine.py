#!/usr/bin/python3
# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""An engine that breaks the wire: it answers the tile's hello, names the
calendar file as begun and then sends what the name of the file's folder
says: "overlong" (a frame over the 1 MiB cap), "unknown" (a type nobody
sends) or "truncated" (a loaded reply cut short). A load that leaves the
file out is answered properly, with no events."""
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

def send(kind, payload, size=None):
    os.write(3, struct.pack("<II", kind, len(payload) if size is None else size) + payload)

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
    if how == "overlong":
        send(6, b"", size=(1 << 20) + 1)
    elif how == "unknown":
        send(99, struct.pack("<I", request))
    else:
        send(6, struct.pack("<I", request))
