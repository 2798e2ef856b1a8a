# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""Where everything lies in the two skin images (x, y in image pixels).

These numbers are fixed by the drawing code of face/, which copies glyphs
out of the images by them; the artwork may change, they may not.
"""

FACE_W, FACE_H = 216, 115
SHEET_W, SHEET_H = 455, 131

# Colours named by the face design.
FACE_GROUND = '#D2DAE4'      # grid ground, and filler of the face image
HEADER_BAND = '#F7EDED'      # month band; ground of the whole sheet
WEEKDAY_BAND = '#B9C2E4'
ARROW_RED = '#C90000'
TODAY_RED = '#B80000'
BUSY_BLUE = '#8294FF'
FREE_GREEN = '#8EE800'
HOLIDAY_ROSE = '#D4006A'     # the line under a holiday's number
BLACK = '#000000'
WHITE = '#FFFFFF'
MOON_YELLOW = '#FFF26B'
SETTINGS_GREY = '#605E5E'
HANDLE_BLUE = '#0B66C6'
LETTER_GROUND = '#8088E5'

# Empty face: the transparent notch in its lower right corner.
NOTCH = [(x, 56) for x in range(58, 64)] + \
        [(x, y) for y in range(57, 63) for x in range(57, 64)]
SEPARATOR_X = 64

# Day digits: cell x of digit d, strips of 7 rows at these tops.
DAY_DIGIT_W, DAY_DIGIT_H = 5, 7
LATIN_DIGIT_X = [119 + 4 * d for d in range(10)]
FARSI_DIGIT_X = [69 + 4 * d for d in range(10)]
ARABIC_DIGIT_X = [169 + 4 * d for d in range(10)]
# (top row, ink, ground, band): band means the ground is a coloured band
# over x 67-113, 117-163 and 167-213 rather than the plain image ground.
DIGIT_STRIPS = [
    (2, BLACK, FACE_GROUND, False),
    (12, TODAY_RED, FACE_GROUND, False),
    (22, BLACK, BUSY_BLUE, True),
    (32, TODAY_RED, BUSY_BLUE, True),
    (42, BLACK, FREE_GREEN, True),
    (52, TODAY_RED, FREE_GREEN, True),
    (62, WHITE, BLACK, True),
]
DIGIT_BANDS = [(67, 113), (117, 163), (167, 213)]

# Weekday strips: fourteen 9-pixel cells, Monday first, twice.
LATIN_WEEKDAY_Y = 70
FARSI_WEEKDAY_Y = 82
ARABIC_WEEKDAY_Y = 94
WEEKDAY_STRIP_W, WEEKDAY_STRIP_H, WEEKDAY_CELL = 126, 8, 9

# Moon phases 1-4 (new, first quarter, full, last quarter), 8 x 7 at y 70.
MOON_X = [128, 137, 146, 155]
MOON_Y = 70

# Holiday mark: a line drawn on the bottom row of a day's cell, under its
# number; one row of HOLIDAY_MARK_W pixels.
HOLIDAY_MARK_X, HOLIDAY_MARK_Y, HOLIDAY_MARK_W = 183, 70, 7

# Button glyphs: (x0, x1, y) per entry; all 7 rows high.
BUTTON_GLYPHS = [
    (129, 136, 80),   # 0 application icon: mail and calendar
    (138, 145, 80),   # 1 application icon: web browser
    (147, 154, 80),   # 2 application icon: any other program
    (162, 165, 80),   # 3 handle that shows the bar (points left)
    (167, 170, 80),   # 4 handle that hides the bar (points right)
    (156, 160, 80),   # 5 settings
    (165, 172, 70),   # 6 moon view off
    (174, 181, 70),   # 7 moon view on
    (129, 136, 88),   # 8 calendar letter G
    (138, 145, 88),   # 9 calendar letter P
    (147, 154, 88),   # 10 calendar letter I
]
BUTTON_H = 7

# Sheet: month-name cells (x0, x1) per name row, top rows, 11 rows high.
# Rows 0-4 as the face indexes them (language * 3 + calendar, Farsi
# Islamic being row 2 again); the rows after them are the face's rows 7
# (Dari Persian), 9 (Arabic Gregorian) and 11 (Arabic Islamic).
MONTH_NAME_H = 11
MONTH_NAME_Y = [17, 32, 45, 63, 79, 92, 105, 118]
MONTH_NAME_X = [
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

MONTH_NAMES = [
    ['Jan', 'Feb', 'Mar', 'Apr', 'May', 'Jun',
     'Jul', 'Aug', 'Sep', 'Oct', 'Nov', 'Dec'],
    ['Far', 'Ord', 'Kho', 'Tir', 'Mor', 'Sha',
     'Meh', 'Aba', 'Aza', 'Dey', 'Bah', 'Esf'],
    ['Muh', 'Saf', 'Rabi I', 'Rabi II', 'Jum I', 'Jum II',
     'Raj', "Sha'b", 'Ram', 'Shaw', 'Dhu Q', 'Dhu H'],
    # Gregorian months in Farsi script.
    ['ژانویه', 'فوریه', 'مارس', 'آوریل', 'مه', 'ژوئن',
     'ژوئیه', 'اوت', 'سپتامبر', 'اکتبر', 'نوامبر', 'دسامبر'],
    # Persian months (Farvardin to Esfand).
    ['فروردین', 'اردیبهشت', 'خرداد', 'تیر', 'مرداد', 'شهریور',
     'مهر', 'آبان', 'آذر', 'دی', 'بهمن', 'اسفند'],
    # Persian months by their Afghan names (Hamal to Hut).
    ['حمل', 'ثور', 'جوزا', 'سرطان', 'اسد', 'سنبله',
     'میزان', 'عقرب', 'قوس', 'جدی', 'دلو', 'حوت'],
    # Gregorian months in Arabic.
    ['يناير', 'فبراير', 'مارس', 'أبريل', 'مايو', 'يونيو',
     'يوليو', 'أغسطس', 'سبتمبر', 'أكتوبر', 'نوفمبر', 'ديسمبر'],
    # Islamic months in Arabic; the two Rabi' and the two Jumada by their
    # ordinal in Arabic-Indic digits, as compact Arabic calendars write
    # them: the full names are 38 to 51 pixels, the header has room for 35.
    ['محرم', 'صفر', 'ربيع ١', 'ربيع ٢', 'جمادى ١', 'جمادى ٢',
     'رجب', 'شعبان', 'رمضان', 'شوال', 'ذو القعدة', 'ذو الحجة'],
]
# The face's name rows (language * 3 + calendar, languages Latin, Farsi,
# Dari, Arabic) as rows of the tables above.
FACE_NAME_ROWS = [0, 1, 2, 3, 4, 2, 3, 5, 2, 6, 4, 7]
# Digit set (Latin, Persian, Arabic-Indic) and weekday strip per language.
LANGUAGE_DIGITS = [0, 1, 1, 2]
# Rows in Arabic script, and the one whose hamzas above alifs need a
# smaller size to leave room for the tails below the line.
SCRIPT_ROWS = [3, 4, 5, 6, 7]
ARABIC_GREGORIAN_ROW = 6

# Year digits: (x0, x1) per digit set (Latin, Persian, Arabic-Indic) and
# digit, 9 rows from y 4.
YEAR_DIGIT_Y, YEAR_DIGIT_H = 4, 9
YEAR_DIGIT_X = [
    [(3, 9), (14, 17), (23, 29), (33, 39), (43, 49), (53, 59), (63, 69),
     (73, 79), (83, 89), (93, 99)],
    [(103, 109), (114, 117), (123, 129), (133, 139), (143, 149),
     (153, 159), (163, 169), (173, 179), (183, 189), (193, 199)],
    [(203, 206), (213, 216), (223, 229), (233, 239), (243, 248),
     (253, 259), (263, 269), (273, 280), (283, 290), (293, 298)],
]
# Persian digits U+06F0-U+06F9 (their own 4, 5 and 6) and Arabic-Indic
# digits U+0660-U+0669.
FARSI_DIGITS = ''.join(chr(0x06F0 + d) for d in range(10))
ARABIC_DIGITS = ''.join(chr(0x0660 + d) for d in range(10))

# Sheet pixels left transparent: column 0 of rows 33-56.
SHEET_TRANSPARENT = [(0, y) for y in range(33, 57)]
