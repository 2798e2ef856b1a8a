#!/usr/bin/python3
# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""Draws the two skin images of the dock face and writes them as XPM 3 text.

    /usr/bin/python3 tools/skin/make_skin.py [OUTPUT_DIR]

writes face.xpm (216 x 115, the empty face, day digits, weekday strips, moon
and button glyphs) and sheet.xpm (455 x 131, month names and year digits)
into OUTPUT_DIR, by default face/ of the source tree.

Needs (Debian 12): python3-gi python3-gi-cairo python3-cairo gir1.2-pango-1.0
for Pango text shaping through cairo, and the fonts of fonts-dejavu-core
(DejaVu Sans Bold: Latin names and digits) and fonts-noto-ui-core (Noto Sans
Arabic UI: Farsi, Dari and Arabic names and digits).  The pixel glyphs of the face image are
drawn here by hand and need no font.

The output depends only on this script and the installed fonts and libraries:
no time stamps, colour tables sorted, anti-aliasing quantised to fixed levels.
"""

import os
import sys

sys.dont_write_bytecode = True  # keep the source tree clean

import skin_art as art
import skin_text as text
from skin_layout import FACE_W, FACE_H, SHEET_W, SHEET_H


def colour_table(pixels, cpp):
    """Maps every colour to its XPM key: None first, then by hex value."""
    colours = sorted({p for row in pixels for p in row if p is not None})
    alphabet = ('.#abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ'
                '0123456789+@$%&*=-;:>,<1/()[]_^~|{}!?`\'')
    # Remove duplicates while keeping the order; '"' and '\\' never appear.
    alphabet = ''.join(dict.fromkeys(alphabet))
    keys = {}
    if cpp == 1:
        if len(colours) > len(alphabet):
            sys.exit('too many colours for one character per pixel')
        for i, c in enumerate(colours):
            keys[c] = alphabet[i]
    else:
        n = len(alphabet)
        if len(colours) > n * n - 1:
            sys.exit('too many colours for two characters per pixel')
        for i, c in enumerate(colours):
            keys[c] = alphabet[i // n] + alphabet[i % n]
    keys[None] = ' ' * cpp
    return colours, keys


def write_xpm(path, name, pixels, cpp):
    height = len(pixels)
    width = len(pixels[0])
    colours, keys = colour_table(pixels, cpp)
    lines = ['/* XPM */', 'static const char *%s[] = {' % name]
    lines.append('"%d %d %d %d",' % (width, height, len(colours) + 1, cpp))
    lines.append('"%s c None",' % keys[None])
    for c in colours:
        lines.append('"%s c %s",' % (keys[c], c))
    for y, row in enumerate(pixels):
        end = ',' if y + 1 < height else ''
        lines.append('"%s"%s' % (''.join(keys[p] for p in row), end))
    lines.append('};')
    data = '\n'.join(lines) + '\n'
    with open(path + '.tmp', 'w', encoding='ascii') as f:
        f.write(data)
    os.replace(path + '.tmp', path)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, '..', '..', 'face')
    face = art.draw_face()
    assert len(face) == FACE_H and all(len(r) == FACE_W for r in face)
    sheet = text.draw_sheet()
    assert len(sheet) == SHEET_H and all(len(r) == SHEET_W for r in sheet)
    write_xpm(os.path.join(out, 'face.xpm'), 'face_xpm', face, 1)
    write_xpm(os.path.join(out, 'sheet.xpm'), 'sheet_xpm', sheet, 2)


if __name__ == '__main__':
    main()
