#!/usr/bin/env python3
"""Draws PuloPro's icons as 16-colour XPM images into app/resources/.

The tray shows a globe: still while offline, and while online two frames in which the link's
arrows light up in turn (green up for sending, yellow down for receiving). The program icon is
the same globe, larger, with a bold P.  Run it again after changing the drawing.
"""
import math
import os

PALETTE = {
    ' ': 'None',
    'k': '#000000',  # outline
    'b': '#0000A0',  # deep sea
    'B': '#2060E0',  # sea
    'c': '#60B0FF',  # light sea, meridians
    'g': '#008000',  # land
    'G': '#40C040',  # lit land
    'w': '#FFFFFF',
    'y': '#FFE000',  # receive arrow, lit
    'l': '#00E000',  # send arrow, lit
    'd': '#707070',  # arrow, dark
    'r': '#C00000',  # the P
}


def blank(size):
    return [[' '] * size for _ in range(size)]


def globe(img, cx, cy, r):
    size = len(img)
    for y in range(size):
        for x in range(size):
            dx, dy = x + 0.5 - cx, y + 0.5 - cy
            d = math.hypot(dx, dy)
            if d <= r:
                c = 'B' if (dx + dy) > -r * 0.6 else 'c'
                # meridians and parallels
                if abs(abs(dx) - r * 0.45 * math.sqrt(max(0.0, 1 - (dy / r) ** 2))) < 0.6 or abs(dy) < 0.5 \
                        or abs(abs(dy) - r * 0.5) < 0.5:
                    c = 'c'
                # two continents
                if (dx + r * 0.25) ** 2 / (r * 0.35) ** 2 + (dy + r * 0.2) ** 2 / (r * 0.45) ** 2 < 1:
                    c = 'g' if dx + dy > -r * 0.5 else 'G'
                if (dx - r * 0.35) ** 2 / (r * 0.25) ** 2 + (dy - r * 0.35) ** 2 / (r * 0.3) ** 2 < 1:
                    c = 'g'
                if d > r - 1.0:
                    c = 'k'
                img[y][x] = c
            elif d <= r + 0.6:
                img[y][x] = 'k'


def triangle(img, pts, colour):
    (x1, y1), (x2, y2), (x3, y3) = pts
    def side(ax, ay, bx, by, px, py):
        return (px - bx) * (ay - by) - (ax - bx) * (py - by)
    for y in range(len(img)):
        for x in range(len(img)):
            px, py = x + 0.5, y + 0.5
            d1 = side(x1, y1, x2, y2, px, py)
            d2 = side(x2, y2, x3, y3, px, py)
            d3 = side(x3, y3, x1, y1, px, py)
            neg = d1 < 0 or d2 < 0 or d3 < 0
            pos = d1 > 0 or d2 > 0 or d3 > 0
            if not (neg and pos):
                img[y][x] = colour


def rect(img, x0, y0, x1, y1, colour):
    for y in range(y0, y1):
        for x in range(x0, x1):
            img[y][x] = colour


def arrows(img, send, receive):
    # send: up arrow on the right; receive: down arrow on the left (both outlined).
    rect(img, 24, 14, 28, 31, 'k'); rect(img, 25, 15, 27, 30, send)
    triangle(img, [(19.5, 16), (32, 16), (25.75, 7)], 'k')
    triangle(img, [(21.5, 15), (30, 15), (25.75, 9)], send)
    rect(img, 4, 1, 8, 18, 'k'); rect(img, 5, 2, 7, 17, receive)
    triangle(img, [(0, 16), (12.5, 16), (6.25, 25)], 'k')
    triangle(img, [(2, 17), (10.5, 17), (6.25, 23)], receive)


def letter_p(img, x0, y0, s):
    rect(img, x0, y0, x0 + 3 * s, y0 + 10 * s, 'k')
    rect(img, x0, y0, x0 + 7 * s, y0 + 2 * s, 'k')
    rect(img, x0, y0 + 4 * s, x0 + 7 * s, y0 + 6 * s, 'k')
    rect(img, x0 + 5 * s, y0, x0 + 7 * s, y0 + 6 * s, 'k')
    rect(img, x0 + s // 2, y0 + s // 2, x0 + 3 * s - s // 2, y0 + 10 * s - s // 2, 'r')
    rect(img, x0 + s // 2, y0 + s // 2, x0 + 7 * s - s // 2, y0 + 2 * s - s // 2, 'r')
    rect(img, x0 + s // 2, y0 + 4 * s + s // 2, x0 + 7 * s - s // 2, y0 + 6 * s - s // 2, 'r')
    rect(img, x0 + 5 * s + s // 2, y0 + s // 2, x0 + 7 * s - s // 2, y0 + 6 * s - s // 2, 'r')


def write(name, img):
    used = sorted({c for row in img for c in row})
    assert len(used) <= 16, name
    size = len(img)
    lines = ['/* XPM */', 'static const char *%s[] = {' % name.replace('-', '_'),
             '"%d %d %d 1",' % (size, size, len(used))]
    lines += ['"%s c %s",' % (c, PALETTE[c]) for c in used]
    lines += ['"%s",' % ''.join(row) for row in img]
    lines[-1] = lines[-1].rstrip(',')
    lines.append('};')
    path = os.path.join(os.path.dirname(__file__), '..', 'app', 'resources', name + '.xpm')
    with open(path, 'w') as out:
        out.write('\n'.join(lines) + '\n')


def tray(send, receive):
    img = blank(32)
    globe(img, 16, 16, 11.5)
    arrows(img, send, receive)
    return img


write('tray-still', tray('d', 'd'))
write('tray-frame1', tray('l', 'd'))
write('tray-frame2', tray('d', 'y'))
app = blank(64)
globe(app, 32, 32, 29)
letter_p(app, 22, 16, 3)
write('pulopro', app)
