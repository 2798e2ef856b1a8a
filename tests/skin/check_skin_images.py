# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""Checks the committed skin images against the geometry the face draws by.

    python3 check_skin_images.py SOURCE_DIR invariants
    python3 check_skin_images.py SOURCE_DIR reproduce

"invariants" reads face/face.xpm and face/sheet.xpm and checks their form,
sizes, transparent pixels, named colours and that every glyph's ink stays in
its rectangle.  "reproduce" runs the generator into a scratch directory and
compares byte for byte; it exits 77 (skipped) when the generator's fonts or
Python modules are not installed.  The rectangles are written out here again
on purpose, from the face's layout, independently of the generator.
"""

import os
import subprocess
import sys
import tempfile

GROUND, BAND, WEEKDAY, BLACK = '#D2DAE4', '#F7EDED', '#B9C2E4', '#000000'
FILLER = {GROUND, BAND}
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


def read_xpm(path, name):
    """Parses XPM 3 text strictly; returns (pixels, values line, colours)."""
    with open(path, encoding='ascii') as f:
        text = f.read()
    lines = text.split('\n')
    check(lines[0] == '/* XPM */', '%s: first line' % name)
    check(lines[1] == 'static const char *%s[] = {' % name,
          '%s: declaration line' % name)
    check(text.endswith('};\n'), '%s: closing line' % name)
    quoted = [ln[1:ln.rindex('"')] for ln in lines if ln.startswith('"')]
    w, h, n, cpp = map(int, quoted[0].split())
    table = {}
    for entry in quoted[1:1 + n]:
        key, fields = entry[:cpp], entry[cpp:].split()
        check(fields[0] == 'c' and len(fields) == 2, '%s: colour %r' % (name, entry))
        check(key not in table, '%s: key %r twice' % (name, key))
        table[key] = None if fields[1] == 'None' else fields[1].upper()
    check(quoted[1][cpp:].split() == ['c', 'None'], '%s: first colour None' % name)
    check(len(set(table.values())) == n, '%s: a colour listed twice' % name)
    rows = quoted[1 + n:]
    check(len(rows) == h, '%s: %d rows, not %d' % (name, len(rows), h))
    pixels = []
    for y, r in enumerate(rows):
        check(len(r) == w * cpp, '%s: row %d length' % (name, y))
        pixels.append([table.get(r[i:i + cpp], '?') for i in range(0, w * cpp, cpp)])
    check(all('?' not in r for r in pixels), '%s: undefined colour key' % name)
    return pixels, (w, h, n, cpp), set(table.values())


def rgb(c):
    return tuple(int(c[i:i + 2], 16) for i in (1, 3, 5))


def cell(img, x, y, w, h):
    return [row[x:x + w] for row in img[y:y + h]]


def ink_of(block, ground):
    return {(x, y) for y, row in enumerate(block) for x, c in enumerate(row)
            if c not in ground}


def is_yellow(c):
    r, g, b = rgb(c)
    return r > 0xC0 and g > 0xB0 and b < 0xD0 and r - b > 0x30


def is_dark(c):
    return c is not None and sum(rgb(c)) < 0x100


# --- face image ----------------------------------------------------------

NOTCH = {(x, 56) for x in range(58, 64)} | \
        {(x, y) for y in range(57, 63) for x in range(57, 64)}
STRIPS = [(2, BLACK, GROUND, False), (12, '#B80000', GROUND, False),
          (22, BLACK, '#8294FF', True), (32, '#B80000', '#8294FF', True),
          (42, BLACK, '#8EE800', True), (52, '#B80000', '#8EE800', True),
          (62, '#FFFFFF', BLACK, True)]
# (x, y, w, h) of every glyph outside the empty face and the digit strips.
MOONS = [(x, 70, 8, 7) for x in (128, 137, 146, 155)]
BUTTONS = [(129, 80, 8, 7), (138, 80, 8, 7), (147, 80, 8, 7),
           (162, 80, 4, 7), (167, 80, 4, 7), (156, 80, 5, 7),
           (165, 70, 8, 7), (174, 70, 8, 7),
           (129, 88, 8, 7), (138, 88, 8, 7), (147, 88, 8, 7)]
WEEKDAY_STRIPS = [(0, 70, 126, 8), (0, 82, 126, 8), (0, 94, 126, 8)]
# First digit cell of the Latin, Persian and Arabic-Indic day digits.
DIGIT_FIRST = (119, 69, 169)
DIGIT_BANDS = ((67, 113), (117, 163), (167, 213))
HOLIDAY_MARK = (183, 70, 7, 1)


def check_empty_face(face):
    for y in range(64):
        for x in range(64):
            c = face[y][x]
            if (x, y) in NOTCH:
                check(c is None, 'face: notch pixel %d,%d not transparent' % (x, y))
                continue
            check(c is not None, 'face: pixel %d,%d transparent' % (x, y))
            if y >= 63:
                check(c == BLACK, 'face: bottom line at x %d' % x)
            elif y >= 20:
                check(c == GROUND, 'face: grid ground at %d,%d' % (x, y))
            elif y >= 12:
                check(c == WEEKDAY, 'face: weekday band at %d,%d' % (x, y))
            elif not (2 <= y <= 8 and (x <= 3 or 59 <= x <= 62)):
                check(c == BAND, 'face: header band at %d,%d' % (x, y))
            else:
                check(c in (BAND, '#C90000'), 'face: arrow colour at %d,%d' % (x, y))
        check(face[y][64] is None, 'face: separator pixel at row %d' % y)
    check(sum(r[:64].count(None) for r in face[:64]) == 48, 'face: notch size')
    # Arrow heads: widest on row 5, the tip toward the outside.
    for x0, tip in ((0, 0), (59, 3)):
        arrow = ink_of(cell(face, x0, 0, 4, 12), {BAND})
        check(arrow and all(2 <= y <= 8 for _, y in arrow), 'face: arrow rows')
        widths = [sum(1 for _, yy in arrow if yy == y) for y in range(12)]
        check(widths[5] == max(widths) and widths[5] > widths[2], 'face: arrow tip row')
        far = 3 - tip
        check((tip, 5) in arrow and (far, 2) in arrow and (tip, 2) not in arrow,
              'face: arrow at x %d points the wrong way' % x0)


def check_day_digits(face):
    shapes = {}
    for top, ink, ground, band in STRIPS:
        for x0, x1 in DIGIT_BANDS if band else ():
            for y in range(top, top + 7):
                for x in range(x0, x1 + 1):
                    check(face[y][x] in (ink, ground),
                          'face: band of strip %d at x %d' % (top, x))
        for first in DIGIT_FIRST:
            glyphs = []
            for d in range(10):
                x = first + 4 * d
                block = cell(face, x, top, 5, 7)
                marks = ink_of(block, {ground})
                check(marks, 'face: digit %d at x %d, strip %d empty' % (d, x, top))
                check(all(1 <= mx <= 3 for mx, _ in marks),
                      'face: digit %d at x %d, strip %d leaves its columns' % (d, x, top))
                check(all(block[my][mx] == ink for mx, my in marks),
                      'face: digit %d at x %d, strip %d ink colour' % (d, x, top))
                glyphs.append(frozenset(marks))
            check(len(set(glyphs)) == 10, 'face: two digits alike in strip %d' % top)
            # Every strip shows the same glyphs, only in other colours.
            check(shapes.setdefault(first, glyphs) == glyphs,
                  'face: strip %d differs in shape' % top)
            # The pad of a one-digit day is cut at x first - 1, 2 wide.
            for y in range(top, top + 7):
                check(face[y][first - 1] == ground and face[y][first] == ground,
                      'face: pad of strip %d at x %d' % (top, first - 1))
    # Arabic-Indic 4, 5 and 6 are not the Persian ones.
    persian, arabic = shapes.get(69), shapes.get(169)
    check(persian and arabic and all(persian[d] != arabic[d] for d in (4, 5, 6)),
          'face: Arabic-Indic digits 4-6 drawn as the Persian ones')


def check_weekdays(face):
    for x0, y0, w, h in WEEKDAY_STRIPS:
        cells = []
        for i in range(14):
            block = cell(face, x0 + 9 * i, y0, 9, h)
            check(all(c in (WEEKDAY, BLACK) for row in block for c in row),
                  'face: weekday strip %d cell %d colours' % (y0, i))
            cells.append(frozenset(ink_of(block, {WEEKDAY})))
        check(all(cells[:7]), 'face: empty weekday cell in strip %d' % y0)
        check(cells[:7] == cells[7:], 'face: weekday strip %d not repeated' % y0)
        check(len(set(cells[:7])) == 7, 'face: weekday strip %d has twins' % y0)
    check(cell(face, 0, 82, 63, 8) != cell(face, 0, 94, 63, 8), 'face: Arabic weekdays are the Farsi ones')
    # Two-letter names have two separate letters: a blank column between ink.
    for i in range(7):
        block = cell(face, 9 * i, 70, 9, 8)
        cols = [x for x in range(9) if any(row[x] == BLACK for row in block)]
        check(cols[-1] - cols[0] + 1 > len(cols), 'face: weekday %d is one blot' % i)


def check_glyphs(face):
    new, first, full, last = (cell(face, *m) for m in MOONS)
    lit = [[(x, y) for y, r in enumerate(g) for x, c in enumerate(r) if is_yellow(c)]
           for g in (new, first, full, last)]
    dark = [[(x, y) for y, r in enumerate(g) for x, c in enumerate(r) if is_dark(c)]
            for g in (new, first, full, last)]
    check(not lit[0] and len(dark[0]) >= 20, 'face: new moon is not a dark disc')
    check(len(lit[2]) >= 25 and not dark[2], 'face: full moon is not a lit disc')
    check(any(c == '#FFF26B' for r in full for c in r), 'face: moon yellow missing')
    mean = [sum(x for x, _ in p) / max(1, len(p)) for p in lit + dark]
    check(lit[1] and dark[1] and mean[1] > mean[5], 'face: first quarter not lit on the right')
    check(lit[3] and dark[3] and mean[3] < mean[7], 'face: last quarter not lit on the left')
    blocks = [cell(face, *b) for b in BUTTONS]
    for i, b in enumerate(blocks):
        check(ink_of(b, {GROUND}), 'face: button glyph %d empty' % i)
    check(len({str(b) for b in blocks[:3]}) == 3, 'face: application icons alike')
    check(str(blocks[6]) != str(blocks[7]), 'face: moon button off and on alike')
    check(any(c == '#605E5E' for r in blocks[5] for c in r), 'face: settings grey missing')
    for i, tip in ((3, 0), (4, 3)):
        marks = ink_of(blocks[i], {GROUND})
        check(all(blocks[i][y][x] == '#0B66C6' for x, y in marks), 'face: handle colour')
        check((tip, 3) in marks and (tip, 0) not in marks and (3 - tip, 0) in marks,
              'face: handle %d points the wrong way' % i)
    letters = blocks[8:]
    for i, b in enumerate(letters):
        check(all(c in ('#8088E5', BLACK) for r in b for c in r), 'face: letter %d colours' % i)
        check(any(c == BLACK for r in b for c in r), 'face: letter %d has no ink' % i)
    check(len({str(b) for b in letters}) == 3, 'face: calendar letters alike')
    # The holiday line goes over a number's bottom row: it must be a colour
    # of its own, and every strip must leave that row as ground.
    mark = cell(face, *HOLIDAY_MARK)[0]
    taken = {c for _, ink, ground, _ in STRIPS for c in (ink, ground)}
    check(len(set(mark)) == 1 and mark[0] not in taken, 'face: holiday mark not a colour of its own')
    for top, _, ground, _ in STRIPS:
        row = face[top + 6][69:114] + face[top + 6][119:164] + face[top + 6][169:214]
        check(all(c == ground for c in row), 'face: strip %d ink on its bottom row' % top)


def check_filler(face):
    """Outside every region the face image is plain filler."""
    regions = [(0, 0, 65, 64), (67, 2, 147, 67)] + WEEKDAY_STRIPS + MOONS + BUTTONS + [HOLIDAY_MARK]
    for y in range(115):
        for x in range(216):
            if not any(rx <= x < rx + w and ry <= y < ry + h for rx, ry, w, h in regions):
                check(face[y][x] in FILLER, 'face: ink outside the glyphs at %d,%d' % (x, y))
                if failures and failures[-1].startswith('face: ink outside'):
                    return


# --- sheet image ---------------------------------------------------------

NAME_Y = [17, 32, 45, 63, 79, 92, 105, 118]
NAME_X = [
    [(3, 23), (27, 48), (52, 74), (77, 98), (102, 126), (130, 150),
     (162, 177), (188, 211), (216, 237), (241, 262), (266, 289), (293, 315)],
    [(2, 20), (24, 44), (49, 70), (74, 85), (89, 111), (115, 135),
     (140, 164), (168, 193), (197, 218), (223, 245), (250, 270), (275, 289)],
    [(3, 27), (32, 49), (53, 84), (89, 123), (128, 157), (162, 195),
     (200, 217), (220, 253), (257, 282), (287, 317), (322, 357), (361, 394)],
    [(2, 34), (47, 76), (86, 117), (126, 155), (166, 178), (187, 214),
     (223, 247), (255, 276), (289, 325), (338, 362), (374, 406), (416, 451)],
    [(2, 34), (42, 72), (84, 114), (123, 138), (149, 179), (188, 223),
     (227, 248), (258, 274), (286, 300), (311, 326), (336, 361), (371, 393)],
    [(2, 22), (28, 42), (48, 66), (72, 102), (108, 125), (131, 155),
     (161, 184), (190, 214), (220, 243), (249, 268), (274, 288), (294, 315)],
    [(2, 20), (26, 48), (54, 78), (84, 104), (110, 126), (132, 150),
     (156, 173), (179, 213), (219, 247), (253, 275), (281, 306), (312, 342)],
    [(2, 23), (29, 49), (55, 78), (84, 109), (115, 148), (154, 188),
     (194, 215), (221, 249), (255, 284), (290, 314), (320, 354), (360, 394)],
]
DIGIT_X = [[(3, 9), (14, 17), (23, 29), (33, 39), (43, 49), (53, 59), (63, 69),
            (73, 79), (83, 89), (93, 99)],
           [(103, 109), (114, 117), (123, 129), (133, 139), (143, 149),
            (153, 159), (163, 169), (173, 179), (183, 189), (193, 199)],
           [(203, 206), (213, 216), (223, 229), (233, 239), (243, 248),
            (253, 259), (263, 269), (273, 280), (283, 290), (293, 298)]]
# Per face language (Latin, Farsi, Dari, Arabic): its digit set and the
# NAME rows of its Gregorian, Persian and Islamic months.
LANGUAGES = [(0, (0, 1, 2)), (1, (3, 4, 2)), (1, (3, 5, 2)), (2, (6, 4, 7))]


def check_sheet(sheet, colours):
    transparent = {(0, y) for y in range(33, 57)}
    cells = [(x0, NAME_Y[r], x1 - x0 + 1, 11) for r in range(len(NAME_Y)) for x0, x1 in NAME_X[r]]
    cells += [(x0, 4, x1 - x0 + 1, 9) for lang in DIGIT_X for x0, x1 in lang]
    for y in range(131):
        for x in range(455):
            c = sheet[y][x]
            if (x, y) in transparent:
                check(c is None, 'sheet: %d,%d not transparent' % (x, y))
            elif not any(cx <= x < cx + w and cy <= y < cy + h for cx, cy, w, h in cells):
                check(c == BAND, 'sheet: ink outside the cells at %d,%d' % (x, y))
    # Anti-aliased dark grey: many levels, all between the band and a dark ink.
    inks = sorted((sum(rgb(c)) for c in colours if c not in (None, BAND)))
    check(len(inks) >= 8 and inks[0] < 0x120, 'sheet: text not anti-aliased dark grey')
    for c in colours - {None}:
        r, g, b = rgb(c)
        check(r >= g - 8 and max(r, g, b) - min(r, g, b) <= 0x14,
              'sheet: %s is not a grey on the band' % c)
    for x0, y0, w, h in cells:
        marks = ink_of(cell(sheet, x0, y0, w, h), {BAND})
        check(marks, 'sheet: cell at %d,%d empty' % (x0, y0))
    # Each name row is centred in its 11 rows (within a row of rounding).
    for r in range(len(NAME_Y)):
        ys = [y for x0, x1 in NAME_X[r] for _, y in
              ink_of(cell(sheet, x0, NAME_Y[r], x1 - x0 + 1, 11), {BAND})]
        check(abs(min(ys) - (10 - max(ys))) <= 1, 'sheet: names of row %d not centred' % r)
    # Two year digits stand side by side: the last column of each cell is blank.
    for lang in DIGIT_X:
        for x0, x1 in lang:
            check(all(sheet[y][x1] == BAND for y in range(4, 13)),
                  'sheet: digit cell %d-%d inked to its edge' % (x0, x1))
    check(all(cell(sheet, DIGIT_X[1][d][0], 4, 7, 9) != cell(sheet, DIGIT_X[2][d][0], 4, 7, 9)
              for d in (4, 5, 6)), 'sheet: Arabic-Indic digits 4-6 are the Persian ones')
    check_headers_fit(sheet)


def ink_columns(sheet, x0, x1, y0, h):
    cols = [x - x0 for x in range(x0, x1 + 1) if any(sheet[y][x] != BAND for y in range(y0, y0 + h))]
    return cols[0], cols[-1]


def check_headers_fit(sheet):
    """Every header, placed as the face centres it (name, 3-pixel gap, two
    digits; the half of name and digits rounded down left of x 30), keeps its
    ink off the arrow heads at x 0-3 and 59-62 for every year."""
    for digits, rows in LANGUAGES:
        dx = DIGIT_X[digits]
        right = [ink_columns(sheet, x0, x1, 4, 9)[1] for x0, x1 in dx]
        for r in rows:
            for x0, x1 in NAME_X[r]:
                left = ink_columns(sheet, x0, x1, NAME_Y[r], 11)[0]
                wm = x1 - x0 + 1
                for tens in range(10):
                    for units in range(10):
                        wt, wu = (dx[d][1] - dx[d][0] + 1 for d in (tens, units))
                        x = 30 - (wm + wt + wu) // 2
                        check(x + left >= 4 and x + wm + 3 + wt + right[units] <= 58,
                              'sheet: header of name %d-%d, row %d, year %d%d leaves the band'
                              % (x0, x1, NAME_Y[r], tens, units))


def invariants(src):
    face, values, face_colours = read_xpm(os.path.join(src, 'face/face.xpm'), 'face_xpm')
    check(values[:2] == (216, 115) and values[3] == 1, 'face: values line %s' % (values,))
    for c in ('#D2DAE4', '#F7EDED', '#B9C2E4', '#C90000', '#B80000', '#8294FF',
              '#8EE800', '#FFFFFF', '#000000', '#FFF26B', '#605E5E', '#0B66C6', '#8088E5'):
        check(c in face_colours, 'face: colour %s missing' % c)
    sheet, values, sheet_colours = read_xpm(os.path.join(src, 'face/sheet.xpm'), 'sheet_xpm')
    check(values[:2] == (455, 131) and values[3] == 2 and values[2] <= 253,
          'sheet: values line %s' % (values,))
    if not failures:
        check_empty_face(face)
        check_day_digits(face)
        check_weekdays(face)
        check_glyphs(face)
        check_filler(face)
        check_sheet(sheet, sheet_colours)
    return 0


def reproduce(src):
    python = None
    for candidate in (sys.executable, '/usr/bin/python3'):
        probe = subprocess.run([candidate, '-c', 'import cairo, gi'],
                               capture_output=True)
        if probe.returncode == 0:
            python = candidate
            break
    fonts = subprocess.run(['fc-list', ':', 'family', 'style'],
                           capture_output=True, text=True).stdout
    wanted = ('DejaVu Sans', 'Nimbus Sans', 'Noto Sans Arabic UI')
    if python is None or not all(f in fonts for f in wanted):
        print('generator modules or fonts not installed: skipped')
        return 77
    with tempfile.TemporaryDirectory() as out:
        subprocess.run([python, os.path.join(src, 'tools/skin/make_skin.py'), out],
                       check=True, env=dict(os.environ, PYTHONDONTWRITEBYTECODE='1'))
        for name in ('face.xpm', 'sheet.xpm'):
            with open(os.path.join(out, name), 'rb') as a, \
                    open(os.path.join(src, 'face', name), 'rb') as b:
                check(a.read() == b.read(), '%s differs from the generator output' % name)
    return 0


def main():
    src, what = sys.argv[1], sys.argv[2]
    status = invariants(src) if what == 'invariants' else reproduce(src)
    for f in failures[:40]:
        print('FAIL', f)
    if failures:
        print('%d failures' % len(failures))
        return 1
    return status


if __name__ == '__main__':
    sys.exit(main())
