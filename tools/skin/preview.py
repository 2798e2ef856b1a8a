#!/usr/bin/python3
# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""Enlarged PNG previews of the skin images, and sample tiles put together
from them the way the dock face draws them.

    /usr/bin/python3 tools/skin/preview.py OUTPUT_DIR [SCALE [IMAGE_DIR]]

writes face.png, sheet.png and one tile_*.png per sample month.  Needs
python3-cairo.  Transparent pixels show as a grey checker.
"""

import datetime
import os
import sys

sys.dont_write_bytecode = True  # keep the source tree clean

import cairo

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import skin_layout as L  # noqa: E402


def read_xpm(path):
    """Parses the XPM text this tool writes: rows of colour strings/None."""
    lines = []
    with open(path, encoding='ascii') as f:
        for line in f:
            line = line.strip()
            if line.startswith('"'):
                lines.append(line[1:line.rindex('"')])
    w, h, n, cpp = map(int, lines[0].split())
    table = {}
    for entry in lines[1:1 + n]:
        key, rest = entry[:cpp], entry[cpp:].split()
        value = rest[rest.index('c') + 1]
        table[key] = None if value == 'None' else value
    rows = lines[1 + n:1 + n + h]
    return [[table[r[x * cpp:(x + 1) * cpp]] for x in range(w)] for r in rows]


def write_png(path, pixels, scale):
    h, w = len(pixels), len(pixels[0])
    surface = cairo.ImageSurface(cairo.FORMAT_RGB24, w * scale, h * scale)
    cr = cairo.Context(surface)
    for y in range(h):
        for x in range(w):
            c = pixels[y][x]
            if c is None:
                v = 0.75 if (x + y) % 2 else 0.55
                rgb = (v, v, v)
            else:
                rgb = tuple(int(c[i:i + 2], 16) / 255 for i in (1, 3, 5))
            cr.set_source_rgb(*rgb)
            cr.rectangle(x * scale, y * scale, scale, scale)
            cr.fill()
    surface.write_to_png(path)


def blit(dst, src, sx, sy, w, h, dx, dy):
    for y in range(h):
        for x in range(w):
            dst[dy + y][dx + x] = src[sy + y][sx + x]


class Sample:
    """One displayed month: calendar, month, year, language (0 Latin,
    1 Farsi, 2 Dari, 3 Arabic) and the days."""

    def __init__(self, kind, month, year, lang, week_start, days, weekday1,
                 today=0, busy=(), free=(), highlight=0, moons=None):
        self.kind, self.month, self.year, self.lang = kind, month, year, lang
        self.row = L.FACE_NAME_ROWS[lang * 3 + kind]
        self.digits = L.LANGUAGE_DIGITS[lang]
        self.week_start, self.days = week_start, days
        # weekday1: weekday of day 1 counted 0 Tuesday to 6 Monday.
        self.weekday1 = weekday1
        self.today, self.busy, self.free = today, busy, free
        self.highlight, self.moons = highlight, moons or {}


def tile(face, sheet, s, moon_view=0, icon=0):
    t = [[None] * 64 for _ in range(64)]
    blit(t, face, 0, 0, 64, 64, 0, 0)
    blit(t, face, (7 - s.week_start) * 9, 70 + 12 * s.digits, 63, 8, 0, 12)
    # Button bar, right to left from x 55 with one-pixel gaps.
    g = L.BUTTON_GLYPHS
    x = 56
    for e in (4, 5, 6 + moon_view, 8 + s.kind, icon):
        w = g[e][1] - g[e][0] + 1
        x -= w
        blit(t, face, g[e][0], g[e][2], w, 7, x, 56)
        x -= 1
    # Day grid.
    digits = (L.LATIN_DIGIT_X, L.FARSI_DIGIT_X, L.ARABIC_DIGIT_X)[s.digits]
    off = (s.week_start + s.weekday1) % 7
    y = 20
    for d in range(1, s.days + 1):
        c = (off + d) % 7
        if c == 0 and d != 1:
            y += 7
        if d == s.highlight:
            style, today = 3, 0
        elif moon_view and d in s.moons:
            blit(t, face, L.MOON_X[s.moons[d] - 1], L.MOON_Y, 8, 7, 9 * c, y)
            continue
        else:
            style = 1 if d in s.busy else 2 if d in s.free else 0
            today = int(d == s.today)
        sy = 2 + 20 * style + 10 * today
        x = 9 * c
        if d <= 9:
            blit(t, face, digits[1] - 5, sy, 2, 7, x, y)
            blit(t, face, digits[1] - 5, sy, 2, 7, x + 7, y)
            blit(t, face, digits[d], sy, 5, 7, x + 2, y)
        else:
            blit(t, face, digits[d // 10], sy, 5, 7, x, y)
            blit(t, face, digits[d % 10], sy, 5, 7, x + 4, y)
    # Header: name, 3-pixel gap, two year digits, centred on x 30.
    nx0, nx1 = L.MONTH_NAME_X[s.row][s.month - 1]
    tens, units = (s.year // 10) % 10, s.year % 10
    t0, t1 = L.YEAR_DIGIT_X[s.digits][tens]
    u0, u1 = L.YEAR_DIGIT_X[s.digits][units]
    wm, wt, wu = nx1 - nx0 + 1, t1 - t0 + 1, u1 - u0 + 1
    half = (wm + wt + wu) // 2
    blit(t, sheet, nx0, L.MONTH_NAME_Y[s.row], wm, 11, 30 - half, 1)
    blit(t, sheet, t0, 4, wt, 9, 30 - half + wm + 3, 1)
    blit(t, sheet, u0, 4, wu, 9, 30 - half + wm + 3 + wt, 1)
    return t


def gregorian(year, month, **kw):
    first = datetime.date(year, month, 1)
    nxt = datetime.date(year + month // 12, month % 12 + 1, 1)
    weekday1 = (first.weekday() - 1) % 7        # 0 Tuesday ... 6 Monday
    return dict(days=(nxt - first).days, weekday1=weekday1, **kw)


SAMPLES = {
    # January 2024, Latin, Monday first, today the 9th, a few events.
    'latin_gregorian': Sample(0, 1, 2024, 0, 7, **gregorian(
        2024, 1, today=9, busy=(3, 17, 18), free=(25,), highlight=12,
        moons={11: 1, 18: 2, 25: 3})),
    # Farvardin 1403 (1 Farvardin = 2024-03-20, a Wednesday: weekday_of 1),
    # Farsi, Saturday first, Persian calendar.
    'farsi_persian': Sample(1, 1, 1403, 1, 2, 31, 1, today=13,
                            busy=(2, 20), free=(27,), highlight=5),
    # December 2026 in Farsi script, Saturday first.
    'farsi_gregorian': Sample(0, 12, 2026, 1, 2, **gregorian(
        2026, 12, today=9, busy=(24,), free=(31,))),
    # An Islamic month in Latin letters, Sunday first.
    'latin_islamic': Sample(2, 4, 1446, 0, 1, 30, 5, today=22),
    # Hamal 1403 (Farvardin), Dari, Saturday first.
    'dari_persian': Sample(1, 1, 1403, 2, 2, 31, 1, today=14, busy=(4,)),
    # August 2027 in Arabic, Saturday first: the widest Gregorian name
    # beside two wide digits.
    'arabic_gregorian': Sample(0, 8, 2027, 3, 2, **gregorian(
        2027, 8, today=15, busy=(5, 26), free=(10,), highlight=20)),
    # Jumada II 1448 and Dhu al-Qa'da 1448 in Arabic (their weekdays only
    # roughly), Saturday first.
    'arabic_islamic': Sample(2, 6, 1448, 3, 2, 29, 3, today=11, busy=(16,)),
    'arabic_islamic_11': Sample(2, 11, 1448, 3, 2, 30, 0, today=25),
}


def main():
    out = sys.argv[1]
    scale = int(sys.argv[2]) if len(sys.argv) > 2 else 4
    here = os.path.dirname(os.path.abspath(__file__))
    face_dir = sys.argv[3] if len(sys.argv) > 3 else os.path.join(here, '..', '..', 'face')
    face = read_xpm(os.path.join(face_dir, 'face.xpm'))
    sheet = read_xpm(os.path.join(face_dir, 'sheet.xpm'))
    os.makedirs(out, exist_ok=True)
    write_png(os.path.join(out, 'face.png'), face, scale)
    write_png(os.path.join(out, 'sheet.png'), sheet, scale)
    for name, sample in SAMPLES.items():
        for moon in (0, 1):
            px = tile(face, sheet, sample, moon_view=moon)
            suffix = '_moon' if moon else ''
            write_png(os.path.join(out, 'tile_%s%s.png' % (name, suffix)),
                      px, scale)


if __name__ == '__main__':
    main()
