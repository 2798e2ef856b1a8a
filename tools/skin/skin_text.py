# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""The sheet image: month names and year digits, anti-aliased on the band.

Text is shaped by Pango (so the Farsi names are joined and run right to
left) and rasterised by cairo into an 8-bit coverage mask; coverage is then
quantised to ALPHA_LEVELS steps and blended from the band colour to the ink
colour, which keeps the colour table small and the output reproducible.
"""

import gi

gi.require_version('Pango', '1.0')
gi.require_version('PangoCairo', '1.0')
import cairo  # noqa: E402
from gi.repository import Pango, PangoCairo  # noqa: E402

import skin_layout as L  # noqa: E402

INK = (0x2A, 0x2A, 0x30)          # dark grey
GROUND = (0xF7, 0xED, 0xED)
ALPHA_LEVELS = 32

# Fonts by family name as fontconfig knows them, pixel sizes.  Latin text
# uses a cap height of 7 pixels, the height of the header's arrow heads.
LATIN_FONT = 'DejaVu Sans Bold'
LATIN_NARROW_FONT = 'DejaVu Sans Condensed Bold'
LATIN_PX = 9.6
# Year digits: a 1 without a foot, so that it fits its 4 columns.
DIGIT_FONT = 'Nimbus Sans Bold'
FARSI_FONT = 'Noto Sans Arabic UI Bold'
FARSI_PX = 9.0
# The Arabic Gregorian names: three carry a hamza above their alif, a row
# taller than the Farsi letters; the largest size that fits it together
# with the tails below the line.
ARABIC_GREGORIAN_PX = 8.4
FARSI_DIGIT_PX = 10.0
# Farsi strokes at this size are a pixel or less wide: lift their coverage.
FARSI_GAMMA = 0.7
# Row (within a name's 11 rows) of the baseline: the first row below the
# letters' feet.  Names are copied to face row 1 and digits to face row 1,
# so the same baseline puts both on face row 9.
LATIN_BASELINE = 8
DIGIT_BASELINE = 8


def _options(hint):
    o = cairo.FontOptions()
    o.set_antialias(cairo.ANTIALIAS_GRAY)
    o.set_hint_style(hint)
    o.set_hint_metrics(cairo.HINT_METRICS_OFF)
    o.set_subpixel_order(cairo.SUBPIXEL_ORDER_DEFAULT)
    return o


def render(text, family, px, hint, x_scale=1.0, rtl=False):
    """Renders text with its baseline at row BASE of a scratch mask.

    Returns (coverage rows, ink box (x0, y0, x1, y1) or None); the baseline
    lies on row BASE, the pen starts at column PEN.
    """
    width, height, base, pen = 240, 40, 26, 20
    surface = cairo.ImageSurface(cairo.FORMAT_A8, width, height)
    cr = cairo.Context(surface)
    layout = PangoCairo.create_layout(cr)
    ctx = layout.get_context()
    PangoCairo.context_set_font_options(ctx, _options(hint))
    desc = Pango.FontDescription.from_string(family)
    desc.set_absolute_size(px * Pango.SCALE)
    layout.set_font_description(desc)
    if rtl:
        layout.set_auto_dir(False)
        ctx.set_base_dir(Pango.Direction.RTL)
    layout.set_text(text, -1)
    layout.context_changed()
    baseline = layout.get_baseline() / Pango.SCALE
    cr.translate(pen, base - baseline)
    PangoCairo.update_layout(cr, layout)
    PangoCairo.show_layout(cr, layout)
    surface.flush()
    stride = surface.get_stride()
    data = bytes(surface.get_data())
    rows = [data[y * stride:y * stride + width] for y in range(height)]
    if x_scale != 1.0:
        rows = [squeeze(r, pen, x_scale) for r in rows]
    xs = [x for row in rows for x in range(width) if row[x]]
    ys = [y for y in range(height) if any(rows[y])]
    box = (min(xs), min(ys), max(xs), max(ys)) if xs else None
    return rows, box, base


def squeeze(row, start, s):
    """Narrows a coverage row to s of its width from column start on,
    averaging the coverage each new column spans (a box filter).

    (Pango places glyphs by their unscaled advances under a scaled cairo
    matrix, so text is narrowed here, after rasterising, instead.)"""
    width = len(row)
    out = bytearray(width)
    out[:start] = row[:start]
    for j in range(width - start):
        a, b = j / s, (j + 1) / s
        total = 0.0
        i = int(a)
        while i < b and start + i < width:
            lo, hi = max(a, i), min(b, i + 1)
            total += row[start + i] * (hi - lo)
            i += 1
        out[start + j] = min(255, round(total * s))
    return bytes(out)


def blend(a, gamma=1.0):
    """Band-to-ink colour for coverage a (0-255); gamma below 1 darkens
    the faint edges of thin strokes."""
    a = 255 * (a / 255) ** gamma
    q = round(a * (ALPHA_LEVELS - 1) / 255) / (ALPHA_LEVELS - 1)
    c = [round(g + (i - g) * q) for g, i in zip(GROUND, INK)]
    return '#%02X%02X%02X' % tuple(c)


def paste(img, rows, box, x, y, src_x, src_y, w, h, gamma):
    """Copies w x h coverage from (src_x, src_y) to (x, y) of img."""
    for dy in range(h):
        for dx in range(w):
            a = rows[src_y + dy][src_x + dx]
            if a:
                img[y + dy][x + dx] = blend(a, gamma)


def fit(text, cell_w, family, narrow, px, hint, rtl=False, margin=0, room=None):
    """Renders text so its ink fits cell_w - 2 * margin columns.

    Tries the font, then its narrow face, then squeezes horizontally, then
    shrinks; returns the render of the first that fits.
    """
    if room is None:
        room = cell_w - 2 * margin
    tries = [(family, px, 1.0)]
    if narrow:
        tries.append((narrow, px, 1.0))
    last = narrow or family
    for s in (0.95, 0.9, 0.85, 0.8, 0.75, 0.7, 0.65, 0.6, 0.55, 0.5):
        tries.append((last, px, s))
    for p in (px * 0.95, px * 0.9, px * 0.85, px * 0.8):
        tries.append((last, p, 0.8))
    for fam, p, s in tries:
        rows, box, base = render(text, fam, p, hint, s, rtl)
        if box[2] - box[0] + 1 <= room:
            return rows, box, base
    raise SystemExit('cannot fit %r into %d columns' % (text, cell_w))


def place(img, rendered, x0, x1, top, height, baseline, gamma=1.0):
    """Centres the ink horizontally in x0-x1 with the baseline on row
    top + baseline."""
    rows, box, base = rendered
    ink_w = box[2] - box[0] + 1
    cell_w = x1 - x0 + 1
    left = x0 + (cell_w - ink_w) // 2
    src_y = base - baseline
    if box[1] < src_y or box[3] >= src_y + height:
        raise SystemExit('text leaves its rows at %d,%d' % (x0, top))
    paste(img, rows, box, left, top, box[0], src_y, ink_w, height, gamma)


def farsi_baseline(renders, height):
    """One baseline for a row of Farsi names, centring their joint extent."""
    above = max(base - box[1] for _, box, base in renders)
    below = max(box[3] - base + 1 for _, box, base in renders)
    if above + below > height:
        raise SystemExit('Farsi names need %d rows' % (above + below))
    return above + (height - above - below) // 2


def draw_sheet():
    img = [[L.HEADER_BAND] * L.SHEET_W for _ in range(L.SHEET_H)]
    full = cairo.HINT_STYLE_FULL
    slight = cairo.HINT_STYLE_SLIGHT
    for r in range(3):
        for m, name in enumerate(L.MONTH_NAMES[r]):
            x0, x1 = L.MONTH_NAME_X[r][m]
            got = fit(name, x1 - x0 + 1, LATIN_FONT, LATIN_NARROW_FONT,
                      LATIN_PX, full)
            place(img, got, x0, x1, L.MONTH_NAME_Y[r], L.MONTH_NAME_H,
                  LATIN_BASELINE)
    for r in L.SCRIPT_ROWS:
        px = ARABIC_GREGORIAN_PX if r == L.ARABIC_GREGORIAN_ROW else FARSI_PX
        renders = []
        for m, name in enumerate(L.MONTH_NAMES[r]):
            x0, x1 = L.MONTH_NAME_X[r][m]
            renders.append(fit(name, x1 - x0 + 1, FARSI_FONT, None,
                               px, slight, rtl=True))
        baseline = farsi_baseline(renders, L.MONTH_NAME_H)
        for m, got in enumerate(renders):
            x0, x1 = L.MONTH_NAME_X[r][m]
            place(img, got, x0, x1, L.MONTH_NAME_Y[r], L.MONTH_NAME_H,
                  baseline, FARSI_GAMMA)
    for lang, (digits, family, px, hint) in enumerate(
            (('0123456789', DIGIT_FONT, LATIN_PX, full),
             (L.FARSI_DIGITS, FARSI_FONT, FARSI_DIGIT_PX, slight),
             (L.ARABIC_DIGITS, FARSI_FONT, FARSI_DIGIT_PX, slight))):
        for d in range(10):
            x0, x1 = L.YEAR_DIGIT_X[lang][d]
            glyph = digits[d]
            # One blank column on the right keeps two digits apart.
            got = fit(glyph, x1 - x0 + 1, family, None, px, hint,
                      room=x1 - x0)
            place(img, got, x0, x1, L.YEAR_DIGIT_Y, L.YEAR_DIGIT_H,
                  DIGIT_BASELINE)
    for x, y in L.SHEET_TRANSPARENT:
        img[y][x] = None
    return img
