#!/usr/bin/env python3
"""Draws the program's icons (resources 101 to 109) and writes them as .ico files.

Each icon is drawn once, in a 16-unit square, and rendered at 16x16 and 32x32 with
8x8 samples per pixel: 32-bit BGRA images with alpha and an AND mask. Straight edges
of the drawings lie on whole units (or, for 1-unit strokes, on half units) so that
they stay sharp at both sizes; only curves and slants are smoothed.

Standard library only, so any Python 3 can run it:

    tools/icons/make_icons.py                 # writes res/icons/*.ico
    tools/icons/make_icons.py --sheet a.png   # also a magnified contact sheet to look at

The build uses the committed .ico files; run this again after changing a drawing.
"""

import argparse
import math
import os
import struct
import sys
import zlib

SIZES = (16, 32)
SAMPLES = 8  # per pixel and axis


# --- Shapes: functions of a point (x, y) in units, 0..16, that say whether it is inside.

def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def round_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def polygon(points):
    def inside(x, y):
        result = False
        n = len(points)
        for i in range(n):
            xa, ya = points[i]
            xb, yb = points[(i + 1) % n]
            if (ya > y) != (yb > y):
                if x < xa + (y - ya) * (xb - xa) / (yb - ya):
                    result = not result
        return result
    return inside


def stroke(points, width, closed=False):
    """A line of the given width along the points, with round ends and joins."""
    half2 = (width / 2) ** 2
    segments = list(zip(points, points[1:] + (points[:1] if closed else [])))

    def inside(x, y):
        for (xa, ya), (xb, yb) in segments:
            dx, dy = xb - xa, yb - ya
            length2 = dx * dx + dy * dy
            t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - xa) * dx + (y - ya) * dy) / length2))
            px, py = xa + t * dx - x, ya + t * dy - y
            if px * px + py * py <= half2:
                return True
        return False
    return inside


def square_stroke(points, width, closed=False):
    """A line made of axis-parallel pieces, with square ends: crisp 1-unit outlines."""
    half = width / 2
    pieces = list(zip(points, points[1:] + (points[:1] if closed else [])))
    boxes = [(min(xa, xb) - half, min(ya, yb) - half, max(xa, xb) + half, max(ya, yb) + half)
             for (xa, ya), (xb, yb) in pieces]
    return lambda x, y: any(x0 <= x < x1 and y0 <= y < y1 for x0, y0, x1, y1 in boxes)


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(shape, *holes):
    return lambda x, y: shape(x, y) and not any(h(x, y) for h in holes)


def pixels(rows, x0, y0, unit=1.0):
    """A small bitmap, '#' for set, placed at (x0, y0) with cells of `unit` units."""
    cells = [(x0 + c * unit, y0 + r * unit)
             for r, line in enumerate(rows) for c, ch in enumerate(line) if ch == '#']
    return lambda x, y: any(cx <= x < cx + unit and cy <= y < cy + unit for cx, cy in cells)


def rgba(hex_colour, alpha=255):
    v = int(hex_colour.lstrip('#'), 16)
    return (v >> 16 & 255, v >> 8 & 255, v & 255, alpha)


# --- Rendering: layers painted in order, each a shape and a colour.

def render(layers, size):
    scale = size / 16.0
    step = 1.0 / SAMPLES
    offsets = [(i + 0.5) * step for i in range(SAMPLES)]
    image = [[(0.0, 0.0, 0.0, 0.0)] * size for _ in range(size)]  # premultiplied RGBA 0..1
    for shape, colour in layers:
        cr, cg, cb, ca = (c / 255.0 for c in colour)
        for py in range(size):
            row = image[py]
            for px in range(size):
                hits = 0
                for oy in offsets:
                    y = (py + oy) / scale
                    for ox in offsets:
                        if shape((px + ox) / scale, y):
                            hits += 1
                if hits == 0:
                    continue
                a = ca * hits / (SAMPLES * SAMPLES)
                r, g, b, al = row[px]
                row[px] = (cr * a + r * (1 - a), cg * a + g * (1 - a),
                           cb * a + b * (1 - a), a + al * (1 - a))
    out = []
    for row in image:
        line = []
        for r, g, b, a in row:
            if a <= 0.0:
                line.append((0, 0, 0, 0))
            else:
                line.append(tuple(min(255, int(c / a * 255 + 0.5)) for c in (r, g, b))
                            + (int(a * 255 + 0.5),))
        out.append(line)
    return out  # rows top-down, straight (not premultiplied) RGBA


# --- The drawings.

OUTLINE = '#2b3440'


def film_frame():
    body = round_rect(1, 2, 15, 14, 1)
    holes = [rect(x, y, x + 1, y + 1) for y in (3, 12) for x in (3, 6, 9, 12)]
    window = rect(2, 5, 14, 11)
    hill = polygon([(2, 11), (2, 9.2), (5, 7.2), (8, 9.4), (10.5, 8), (14, 10), (14, 11)])
    return [
        (minus(body, *holes), rgba('#2f5f8a')),
        (window, rgba('#a9dcf5')),
        (circle(11, 7.3, 1.35), rgba('#ffd23f')),
        (hill, rgba('#3c9a5f')),
    ]


def icon_program():
    return film_frame()


def icon_capturing():
    return film_frame() + [
        (circle(11.5, 11.5, 4.5), rgba('#ffffff')),
        (circle(11.5, 11.5, 3.5), rgba('#e0282e')),
        (circle(10.6, 10.6, 1.0), rgba('#ff8a8a')),
    ]


def icon_folder():
    back = polygon([(1, 3), (6, 3), (7.5, 4.5), (15, 4.5), (15, 14), (1, 14)])
    front = polygon([(1, 6.5), (15, 6.5), (15, 14), (1, 14)])
    return [
        (back, rgba('#a87412')),
        (polygon([(2, 4), (5.6, 4), (7.1, 5.5), (14, 5.5), (14, 13), (2, 13)]), rgba('#e2a93a')),
        (front, rgba('#a87412')),
        (rect(2, 7.5, 14, 13), rgba('#f7cf5c')),
        (rect(2, 7.5, 14, 8.5), rgba('#fbe39c')),
    ]


def icon_auto_capture():
    # A stopwatch: captures at a fixed interval until stopped.
    cx, cy = 8, 9

    def elapsed(x, y):  # the quarter from twelve to three o'clock
        return x >= cx and y <= cy and (x - cx) ** 2 + (y - cy) ** 2 <= 4.2 ** 2

    ticks = union(*[stroke([(cx + 4.6 * math.sin(a), cy - 4.6 * math.cos(a)),
                            (cx + 3.7 * math.sin(a), cy - 3.7 * math.cos(a))], 1.0)
                    for a in (math.pi, 3 * math.pi / 2)])
    return [
        (rect(6, 0, 10, 1.5), rgba(OUTLINE)),
        (rect(7, 1.5, 9, 3.5), rgba(OUTLINE)),
        (stroke([(12.6, 3.4), (13.8, 4.6)], 1.6), rgba(OUTLINE)),
        (circle(cx, cy, 6.5), rgba(OUTLINE)),
        (circle(cx, cy, 5.2), rgba('#ffffff')),
        (ticks, rgba('#8a929c')),
        (elapsed, rgba('#e0282e')),
        (rect(7.5, 4.5, 8.5, cy), rgba(OUTLINE)),
        (circle(cx, cy, 1.1), rgba(OUTLINE)),
    ]


def icon_one_frame():
    # A camera: one picture now.
    body = round_rect(1, 4, 15, 14, 1.5)
    return [
        (round_rect(4.5, 2, 10.5, 5, 0.8), rgba(OUTLINE)),
        (body, rgba(OUTLINE)),
        (rect(2, 5, 14, 6), rgba('#56606c')),
        (rect(11.5, 2.8, 13.5, 4), rgba('#ffd23f')),
        (circle(8, 9, 4.2), rgba('#d7dde3')),
        (circle(8, 9, 3.1), rgba('#1f4f7a')),
        (circle(8, 9, 2.0), rgba('#4a9ee0')),
        (circle(7.1, 8.1, 0.8), rgba('#e6f4ff')),
    ]


def icon_build_gif():
    letters = pixels([
        '###.###.###',
        '#....#..#..',
        '#.#..#..##.',
        '#.#..#..#..',
        '###.###.#..',
    ], 2, 5)  # whole units: the letters stay sharp at 16x16
    return [
        (round_rect(0, 2, 15, 13, 2), rgba('#b8541b')),
        (round_rect(1, 3, 14, 12, 1.3), rgba('#ee7f34')),
        (letters, rgba('#ffffff')),
    ]


def icon_clear():
    # A waste bin: the recorded frames are thrown away.
    body = polygon([(3, 5), (13, 5), (12, 15), (4, 15)])
    inner = polygon([(4, 6), (12, 6), (11.1, 14), (4.9, 14)])
    ribs = union(rect(6, 7, 7, 13), rect(9, 7, 10, 13))
    return [
        (minus(round_rect(6, 1, 10, 3.5, 0.8), rect(7, 2, 9, 3)), rgba(OUTLINE)),
        (rect(2, 2.5, 14, 4.5), rgba(OUTLINE)),
        (body, rgba(OUTLINE)),
        (inner, rgba('#c5ccd3')),
        (ribs, rgba('#7a828c')),
    ]


def icon_region():
    # A dashed selection frame and the pointer that draws it.
    frame = []
    for i in range(1, 13):
        c = rgba('#1c2430') if i % 2 else rgba('#ffffff')
        frame.append((rect(i, 1, i + 1, 2), c))             # top edge
        if i < 12:
            frame.append((rect(1, i, 2, i + 1), c))         # left edge
            frame.append((rect(12, i, 13, i + 1), c))       # right edge
        frame.append((rect(i, 11, i + 1, 12), c))           # bottom edge
    arrow = [(8.5, 7.5), (8.5, 15.2), (10.5, 13.3), (12, 16), (13.5, 15.2),
             (12.1, 12.6), (14.8, 12.6)]
    return [(rect(2, 2, 12, 11), rgba('#d9ecfb', 200))] + frame + [
        (polygon(arrow), rgba('#ffffff')),
        (stroke(arrow, 1.0, closed=True), rgba('#000000')),
    ]


def icon_font():
    glyph = union(
        polygon([(6.6, 1.5), (9.4, 1.5), (14, 14.5), (11.3, 14.5), (8, 4.6), (4.7, 14.5), (2, 14.5)]),
        rect(5, 9, 11, 11),
    )
    return [
        (glyph, rgba('#1f3a68')),
    ]


ICONS = {
    'frimbola': icon_program,      # 101
    'capturing': icon_capturing,   # 102
    'folder': icon_folder,         # 103
    'auto_capture': icon_auto_capture,  # 104
    'one_frame': icon_one_frame,   # 105
    'build_gif': icon_build_gif,   # 106
    'clear': icon_clear,           # 107
    'region': icon_region,         # 108
    'font': icon_font,             # 109
}


# --- File formats.

def ico_image(pixels_rgba):
    """One icon image: BITMAPINFOHEADER, bottom-up BGRA rows, then the AND mask."""
    size = len(pixels_rgba)
    xor = bytearray()
    for row in reversed(pixels_rgba):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels_rgba):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:  # transparent where nothing is drawn
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def ico_file(images):
    count = len(images)
    out = bytearray(struct.pack('<HHH', 0, 1, count))
    offset = 6 + 16 * count
    blobs = []
    for size, blob in images:
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    for blob in blobs:
        out += blob
    return bytes(out)


def png_file(rows):
    """RGB rows as a PNG: for the contact sheet only."""
    height, width = len(rows), len(rows[0])
    raw = b''.join(b'\0' + bytes(v for px in row for v in px) for row in rows)

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data
                + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff))
    return (b'\x89PNG\r\n\x1a\n'
            + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def contact_sheet(rendered):
    """Each icon at 16 (x8) and 32 (x4) on light and dark ground, one row per icon."""
    cell, pad = 128, 8
    grounds = [(240, 240, 240), (60, 64, 72)]
    width = pad + 4 * (cell + pad)
    height = pad + len(rendered) * (cell + pad)
    sheet = [[(200, 200, 200)] * width for _ in range(height)]
    for row_index, images in enumerate(rendered):
        top = pad + row_index * (cell + pad)
        column = 0
        for ground in grounds:
            for size in SIZES:
                img = images[size]
                zoom = cell // size
                left = pad + column * (cell + pad)
                for y in range(cell):
                    for x in range(cell):
                        r, g, b, a = img[y // zoom][x // zoom]
                        sheet[top + y][left + x] = tuple(
                            (c * a + gc * (255 - a)) // 255 for c, gc in zip((r, g, b), ground))
                column += 1
    return png_file(sheet)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--out', default=os.path.join(here, '..', '..', 'res', 'icons'),
                        help='folder for the .ico files (default: res/icons)')
    parser.add_argument('--sheet', help='also write a magnified contact sheet (PNG) here')
    args = parser.parse_args()

    os.makedirs(args.out, exist_ok=True)
    rendered = []
    for name, draw in ICONS.items():
        layers = draw()
        images = {size: render(layers, size) for size in SIZES}
        rendered.append(images)
        path = os.path.join(args.out, name + '.ico')
        with open(path, 'wb') as f:
            f.write(ico_file([(size, ico_image(images[size])) for size in SIZES]))
        print(os.path.normpath(path))
    if args.sheet:
        with open(args.sheet, 'wb') as f:
            f.write(contact_sheet(rendered))
        print(args.sheet)
    return 0


if __name__ == '__main__':
    sys.exit(main())
