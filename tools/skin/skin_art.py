# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""The face image: empty face, day digits, weekday strips, moon and buttons.

Every glyph here is pixel art drawn on the pixel grid, so it stays crisp at
the tile's size.  A glyph is a list of equal-length strings, one per row;
each character names a colour through the palette given with it, and '.'
leaves the ground as it is.
"""

import skin_layout as L

# Day-number digits: ink in the middle three columns of a 5 x 7 cell, rows
# 1-5, so the outer columns and the top and bottom rows stay ground.
LATIN_DAY_DIGITS = [
    ['###', '#.#', '#.#', '#.#', '###'],
    ['.#.', '##.', '.#.', '.#.', '###'],
    ['###', '..#', '###', '#..', '###'],
    ['###', '..#', '.##', '..#', '###'],
    ['#.#', '#.#', '###', '..#', '..#'],
    ['###', '#..', '###', '..#', '###'],
    ['###', '#..', '###', '#.#', '###'],
    ['###', '..#', '.#.', '.#.', '.#.'],
    ['###', '#.#', '###', '#.#', '###'],
    ['###', '#.#', '###', '..#', '###'],
]

# Persian digits, drawn after their written shapes: 0 a small diamond, 2 a
# stem with one hook, 3 with two, 4 the stem with its wave on the left,
# 5 the cup, 6 the stroke with its curl, 7 and 8 the open wedges, 9 the
# loop on a stem.
FARSI_DAY_DIGITS = [
    ['...', '.#.', '#.#', '.#.', '...'],
    ['.#.', '.#.', '.#.', '.#.', '.#.'],
    ['..#', '###', '#..', '#..', '#..'],
    ['#.#', '#.#', '###', '#..', '#..'],
    ['#.#', '.##', '#.#', '..#', '..#'],
    ['...', '#.#', '#.#', '#.#', '###'],
    ['.#.', '#.#', '..#', '.#.', '#..'],
    ['#.#', '#.#', '#.#', '.#.', '.#.'],
    ['.#.', '.#.', '#.#', '#.#', '#.#'],
    ['.#.', '#.#', '.##', '..#', '..#'],
]

# Arabic-Indic digits: 0 a filled dot, 1, 2, 3, 7, 8 and 9 as the Persian
# ones, 4 the open curl, 5 the ring, 6 the hook with its stem on the right.
ARABIC_DAY_DIGITS = [
    ['...', '...', '##.', '##.', '...'],
    FARSI_DAY_DIGITS[1],
    FARSI_DAY_DIGITS[2],
    FARSI_DAY_DIGITS[3],
    ['.##', '#..', '.##', '#..', '.##'],
    ['.#.', '#.#', '#.#', '#.#', '.#.'],
    ['##.', '..#', '..#', '..#', '..#'],
    FARSI_DAY_DIGITS[7],
    FARSI_DAY_DIGITS[8],
    FARSI_DAY_DIGITS[9],
]

# Two-letter weekday names in a pixel font of capitals 5 rows high and
# small letters 4, Monday first.  Letters stand one column apart and each
# name is centred in its 9-column cell.
WEEKDAY_LETTERS = {
    'M': ['#...#', '##.##', '#.#.#', '#...#', '#...#'],
    'W': ['#...#', '#...#', '#.#.#', '#.#.#', '.#.#.'],
    'T': ['###', '.#.', '.#.', '.#.', '.#.'],
    'F': ['###', '#..', '##.', '#..', '#..'],
    'S': ['.##', '#..', '.#.', '..#', '##.'],
    'o': ['...', '.#.', '#.#', '#.#', '.#.'],
    'u': ['...', '#.#', '#.#', '#.#', '.##'],
    'e': ['...', '.#.', '###', '#..', '.##'],
    'h': ['#..', '#..', '##.', '#.#', '#.#'],
    'r': ['..', '#.', '##', '#.', '#.'],
    'a': ['...', '##.', '..#', '#.#', '.##'],
}
WEEKDAY_NAMES = ['Mo', 'Tu', 'We', 'Th', 'Fr', 'Sa', 'Su']


def weekday_cell(name):
    """The 9 x 5 cell of a two-letter name, centred (half rounded down)."""
    a, b = WEEKDAY_LETTERS[name[0]], WEEKDAY_LETTERS[name[1]]
    word = [ra + '.' + rb for ra, rb in zip(a, b)]
    left = (9 - len(word[0])) // 2
    return ['.' * left + r + '.' * (9 - left - len(r)) for r in word]


LATIN_WEEKDAYS = [weekday_cell(n) for n in WEEKDAY_NAMES]

# One-letter Persian weekday names, Monday first: do (dal), se (sin),
# chahar (che), panj (pe), jom'e (jim), shanbe (shin), yek (ye).  Rows 0-7
# of the strip; the letters sit on the baseline of row 5, dots above and
# below it.
FARSI_WEEKDAYS = [
    ['.........',
     '.........',
     '...#.....',
     '....#....',
     '.....#...',
     '..####...',
     '.........',
     '.........'],   # dal
    ['.........',
     '.........',
     '....#.#.#',
     '#...#.#.#',
     '#...#####',
     '.####....',
     '.........',
     '.........'],   # sin
    ['.........',
     '..####...',
     '....#....',
     '...#.....',
     '..#......',
     '..#...#..',
     '...###...',
     '...#.#.#.'],   # che
    ['.........',
     '.........',
     '.........',
     '.#.....#.',
     '.#######.',
     '.........',
     '...#.#...',
     '....#....'],   # pe
    ['.........',
     '..####...',
     '....#....',
     '...#.....',
     '..#......',
     '..#..#...',
     '...###...',
     '.........'],   # jim
    ['.....#...',
     '....#.#..',
     '.........',
     '#...#.#.#',
     '#...#####',
     '.####....',
     '.........',
     '.........'],   # shin
    ['.........',
     '.........',
     '......##.',
     '.#...#...',
     '.#....##.',
     '..#.....#',
     '...#####.',
     '.........'],   # ye
]

# One-letter Arabic weekday names, Monday first, the initials Arabic
# calendars print: nun (al-ithnayn), tha (ath-thulatha), ra (al-arbi'a),
# kha (al-khamis), jim (al-jum'a), sin (as-sabt), ha (al-ahad).  The same
# rows as the Persian letters: the line on row 5, dots above and below.
ARABIC_WEEKDAYS = [
    ['.........',
     '.........',
     '....#....',
     '.........',
     '..#...#..',
     '..#...#..',
     '...###...',
     '.........'],   # nun
    ['.........',
     '....#....',
     '...#.#...',
     '.........',
     '.#.....#.',
     '.#######.',
     '.........',
     '.........'],   # tha
    ['.........',
     '.........',
     '.........',
     '......#..',
     '......#..',
     '.....#...',
     '...##....',
     '.........'],   # ra
    ['....#....',
     '.........',
     '..####...',
     '....#....',
     '...#.....',
     '..#......',
     '...####..',
     '.........'],   # kha
    ['.........',
     '.........',
     '..####...',
     '....#....',
     '...#.....',
     '..#..#...',
     '...####..',
     '.........'],   # jim
    FARSI_WEEKDAYS[1],   # sin
    ['.........',
     '.........',
     '..####...',
     '....#....',
     '...#.....',
     '..#......',
     '...####..',
     '.........'],   # ha
]

# Moon phases, 8 x 7: a disc of seven pixels, column 0 left as ground.
# k dark, y lit, h highlight on the lit limb, s shade at the terminator,
# g the rim of the dark disc.
MOON_PALETTE = {'k': '#101018', 'g': '#3C3C48', 'y': L.MOON_YELLOW,
                'h': '#FFF9BC', 's': '#D9C94A'}
MOON_GLYPHS = [
    ['...ggg..',
     '..gkkkg.',
     '.gkkkkkg',
     '.gkkkkkg',
     '.gkkkkkg',
     '..gkkkg.',
     '...ggg..'],   # new moon
    ['...gyy..',
     '..kksyy.',
     '.gkksyyh',
     '.gkksyyh',
     '.gkksyyh',
     '..kksyy.',
     '...gyy..'],   # first quarter: right half lit
    ['...yyy..',
     '..hyyyy.',
     '.hyyyyys',
     '.hyyyyys',
     '.hyyyyys',
     '..yyyys.',
     '...yss..'],   # full moon
    ['...yyg..',
     '..yyskk.',
     '.hyyskkg',
     '.hyyskkg',
     '.hyyskkg',
     '..yyskk.',
     '...yyg..'],   # last quarter: left half lit
]

# Moon-view button, off and on: a crescent, grey on the grid ground when
# the view is off, yellow on a night-blue button when it is on.
MOON_BUTTON_PALETTE = {'n': '#1C2652', 'm': '#7C8290', 'y': L.MOON_YELLOW,
                       'e': '#464E6E'}
MOON_BUTTONS = [
    ['..mmm...',
     '.mm.....',
     'mm......',
     'mm......',
     'mm......',
     '.mm.....',
     '..mmm...'],
    ['nnnnnnnn',
     'nnyyynnn',
     'nyynnnnn',
     'nyynnnyn',
     'nyynnnnn',
     'nnyyynnn',
     'nnnnnnnn'],
]

# Application icons, 8 x 7: a letter with a red date badge (mail and
# calendar), a globe (web browser), a program window (anything else).
ICON_PALETTE = {'o': '#2E3A58', 'w': '#FFFFFF', 'r': '#C83C3C',
                'b': '#2F7FD8', 'l': '#6FC3F0', 'g': '#3FA34D',
                't': '#4A5A7A', 'k': '#1A1A1A', 'c': '#7CE07C'}
ICONS = [
    ['oooooooo',
     'oowwwwoo',
     'owowwowo',
     'owwoorrr',
     'owwwwrwr',
     'ooooorrr',
     '........'],
    ['..bbbb..',
     '.bgglbb.',
     'bgggllbb',
     'blggllgb',
     'bllllggb',
     '.bblgbb.',
     '..bbbb..'],
    ['tttttttt',
     'twtttttt',
     'tkkkkkkt',
     'tkckkkkt',
     'tkkcckkt',
     'tkkkkkkt',
     'tttttttt'],
]

# Settings: a cog wheel, grey, its diagonal teeth a shade lighter.
SETTINGS_PALETTE = {'#': L.SETTINGS_GREY, 'x': '#8F8C8C'}
SETTINGS = [
    '.....',
    'x.#.x',
    '.###.',
    '##.##',
    '.###.',
    'x.#.x',
    '.....',
]

# Bar handles, 4 x 7, tip on the middle row.
HANDLE_LEFT = ['...#', '..##', '.###', '####', '.###', '..##', '...#']
HANDLE_RIGHT = [r[::-1] for r in HANDLE_LEFT]

# Calendar letters on their ground, 8 x 7.
LETTERS = [
    ['........',
     '..####..',
     '.#......',
     '.#..##..',
     '.#...#..',
     '..###...',
     '........'],   # G
    ['........',
     '.####...',
     '.#...#..',
     '.####...',
     '.#......',
     '.#......',
     '........'],   # P
    ['........',
     '..###...',
     '...#....',
     '...#....',
     '...#....',
     '..###...',
     '........'],   # I
]


def blank(w, h, colour):
    return [[colour] * w for _ in range(h)]


def fill(img, x0, y0, w, h, colour):
    for y in range(y0, y0 + h):
        for x in range(x0, x0 + w):
            img[y][x] = colour


def put(img, x0, y0, glyph, palette):
    """Draws a glyph; '.' keeps the ground, other characters via palette."""
    for dy, row in enumerate(glyph):
        for dx, ch in enumerate(row):
            if ch != '.':
                img[y0 + dy][x0 + dx] = palette[ch]


def draw_empty_face(img):
    fill(img, 0, 0, 64, 12, L.HEADER_BAND)
    fill(img, 0, 12, 64, 8, L.WEEKDAY_BAND)
    fill(img, 0, 20, 64, 43, L.FACE_GROUND)
    fill(img, 0, 63, 64, 1, L.BLACK)
    red = {'#': L.ARROW_RED}
    put(img, 0, 2, HANDLE_LEFT, red)
    put(img, 59, 2, HANDLE_RIGHT, red)
    for x, y in L.NOTCH:
        img[y][x] = None
    for y in range(64):
        img[y][L.SEPARATOR_X] = None


def draw_day_digits(img):
    for top, ink, ground, band in L.DIGIT_STRIPS:
        if band:
            for x0, x1 in L.DIGIT_BANDS:
                fill(img, x0, top, x1 - x0 + 1, L.DAY_DIGIT_H, ground)
        for cells, glyphs in ((L.LATIN_DIGIT_X, LATIN_DAY_DIGITS),
                              (L.FARSI_DIGIT_X, FARSI_DAY_DIGITS),
                              (L.ARABIC_DIGIT_X, ARABIC_DAY_DIGITS)):
            for x, glyph in zip(cells, glyphs):
                put(img, x + 1, top + 1, glyph, {'#': ink})


def draw_weekdays(img):
    for y, cells, top in ((L.LATIN_WEEKDAY_Y, LATIN_WEEKDAYS, 2),
                          (L.FARSI_WEEKDAY_Y, FARSI_WEEKDAYS, 0),
                          (L.ARABIC_WEEKDAY_Y, ARABIC_WEEKDAYS, 0)):
        fill(img, 0, y, L.WEEKDAY_STRIP_W, L.WEEKDAY_STRIP_H, L.WEEKDAY_BAND)
        for i in range(14):
            put(img, i * L.WEEKDAY_CELL, y + top, cells[i % 7], {'#': L.BLACK})


def draw_buttons(img):
    for x, glyph in zip(L.MOON_X, MOON_GLYPHS):
        put(img, x, L.MOON_Y, glyph, MOON_PALETTE)
    g = L.BUTTON_GLYPHS
    for i, glyph in enumerate(ICONS):
        put(img, g[i][0], g[i][2], glyph, ICON_PALETTE)
    put(img, g[3][0], g[3][2], HANDLE_LEFT, {'#': L.HANDLE_BLUE})
    put(img, g[4][0], g[4][2], HANDLE_RIGHT, {'#': L.HANDLE_BLUE})
    put(img, g[5][0], g[5][2], SETTINGS, SETTINGS_PALETTE)
    for i, glyph in enumerate(MOON_BUTTONS):
        put(img, g[6 + i][0], g[6 + i][2], glyph, MOON_BUTTON_PALETTE)
    for i, glyph in enumerate(LETTERS):
        x0, x1, y = g[8 + i]
        fill(img, x0, y, x1 - x0 + 1, L.BUTTON_H, L.LETTER_GROUND)
        put(img, x0, y, glyph, {'#': L.BLACK})


def draw_holiday_mark(img):
    fill(img, L.HOLIDAY_MARK_X, L.HOLIDAY_MARK_Y, L.HOLIDAY_MARK_W, 1, L.HOLIDAY_ROSE)


def draw_face():
    img = blank(L.FACE_W, L.FACE_H, L.FACE_GROUND)
    draw_empty_face(img)
    draw_day_digits(img)
    draw_weekdays(img)
    draw_buttons(img)
    draw_holiday_mark(img)
    return img
