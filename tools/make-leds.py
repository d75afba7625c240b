#!/usr/bin/env python3
"""Draws the twelve LED images as 16-colour XPM files into widgets/resources/.

Every image: green glass (0x00FF00) holding the centre pixel with a few white highlights at
its upper left, ringed by black and dark-grey bevel pixels, on a silver background that
reaches the top-left corner. "B" images add a raised frame on the outermost pixels: white
along the top row and left column, dark grey along the bottom row and right column.
The lying bar "NHZ" is the reference picture; the square lamps and the upright bar are the
same construction stretched or shortened in its uniform middle, the round lamps are drawn.
"""
import math
import os

COLOURS = {'7': '#C0C0C0', '0': '#000000', '8': '#808080', 'F': '#FFFFFF', 'A': '#00FF00'}

NHZ = [
    "7777777777777777777777",
    "7777777777777777777777",
    "7700000000000000000077",
    "7707777777777777777077",
    "7707000000000000008077",
    "77070AAAAAAAAAAAA08077",
    "77070AAFFFAAAAAAA08077",
    "77070AFFAAAAAAAAA08077",
    "77070AFAAAAAAAAAA08077",
    "77070AAAAAAAAAAAA08077",
    "77070AAAAAAAAAAAA08077",
    "7707000000000000008077",
    "7708888888888888888077",
    "7700000000000000000077",
    "7777777777777777777777",
    "7777777777777777777777",
]


def resize_bar(width, height):
    """NHZ with its uniform middle columns (from 11) and rows (from 10) repeated or dropped."""
    rows = [list(r) for r in NHZ]
    assert width >= 22 - 6 and height >= 16
    if height > 16:
        rows = rows[:10] + [rows[10][:] for _ in range(height - 16)] + rows[10:]
    if width < 22:
        rows = [r[:11] + r[11 + (22 - width):] for r in rows]
    elif width > 22:
        rows = [r[:11] + [r[11]] * (width - 22) + r[11:] for r in rows]
    return rows


def round_lamp(size):
    c = size / 2.0
    outer = c - 1.5
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            dx, dy = x + 0.5 - c, y + 0.5 - c
            d = math.hypot(dx, dy)
            if d > outer:
                row.append('7')
            elif d > outer - 1:
                row.append('0')
            elif d > outer - 2:
                row.append('8' if dx + dy > 0.5 else '7')
            elif d > outer - 3:
                row.append('8' if dx + dy > 0.5 else '0')
            else:
                row.append('A')
        rows.append(row)
    # highlights at the upper left of the glass
    h = int(c - (outer - 3) * 0.55)
    for x, y in ((h, h), (h + 1, h), (h, h + 1)):
        if rows[y][x] == 'A':
            rows[y][x] = 'F'
    return rows


def bordered(rows):
    rows = [r[:] for r in rows]
    h, w = len(rows), len(rows[0])
    for x in range(w):
        rows[0][x] = 'F'
        rows[h - 1][x] = '8'
    for y in range(1, h - 1):
        rows[y][0] = 'F'
        rows[y][w - 1] = '8'
    return rows


def write(name, rows):
    h, w = len(rows), len(rows[0])
    used = sorted({c for r in rows for c in r})
    lines = ['/* XPM */', 'static const char *led_%s[] = {' % name.lower(), '"%d %d %d 1",' % (w, h, len(used))]
    lines += ['"%s c %s",' % (c, COLOURS[c]) for c in used]
    lines += ['"%s",' % ''.join(r) for r in rows]
    lines[-1] = lines[-1].rstrip(',')
    lines.append('};')
    path = os.path.join(os.path.dirname(__file__), '..', 'widgets', 'resources', name + '.xpm')
    with open(path, 'w') as out:
        out.write('\n'.join(lines) + '\n')


shapes = {
    'SM': round_lamp(16),
    'LG': round_lamp(22),
    'SQSM': resize_bar(16, 16),
    'SQLG': resize_bar(22, 22),
    'VT': resize_bar(16, 22),
    'HZ': resize_bar(22, 16),
}
assert [''.join(r) for r in shapes['HZ']] == NHZ
for suffix, rows in shapes.items():
    write('N' + suffix, rows)
    write('B' + suffix, bordered(rows))
