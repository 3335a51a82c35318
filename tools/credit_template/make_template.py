#!/usr/bin/env python3
"""Draws the default credit template and writes it as res/frame.gif.

The credit frame that opens an animation is this picture stretched to the size of the
recording, with the title written in its upper half and a half-size copy of the first
recorded frame from 3/8 to 7/8 of the height. The drawing is a strip of film: a warm
paper-coloured field between two slate bands with sprocket holes, each band edged by a
thin amber line on the field's side. Nothing crosses the middle row, so the middle row
is one flat colour and the title is centred in the upper half of the frame.

320 x 240 pixels, four colours, one GIF89a image coded with LZW here (standard library
only, so any Python 3 can run it):

    tools/credit_template/make_template.py            # writes res/frame.gif
    tools/credit_template/make_template.py -o x.gif   # somewhere else

The build embeds the committed res/frame.gif; run this again after changing the drawing.
"""

import argparse
import os
import struct

WIDTH, HEIGHT = 320, 240

PAPER, SLATE, AMBER, SHADE = range(4)
PALETTE = [
    (0xF4, 0xF1, 0xE8),  # the field the title and the thumbnail sit on
    (0x2F, 0x3B, 0x48),  # the film bands
    (0xD9, 0x8E, 0x32),  # the line along each band
    (0xE3, 0xDE, 0xD1),  # a faint shadow under the top line and over the bottom one
]

BAND = 20            # height of each film band
HOLE_W, HOLE_H = 12, 8
HOLE_PITCH = 24      # sprocket holes every 24 pixels, centred in the width
LINE_GAP, LINE = 2, 2  # the amber line: 2 pixels away from the band, 2 pixels thick


def draw():
    """The picture as rows of colour indices, row 0 at the top."""
    pixels = [[PAPER] * WIDTH for _ in range(HEIGHT)]

    def fill(x0, y0, x1, y1, colour):
        for y in range(max(y0, 0), min(y1, HEIGHT)):
            row = pixels[y]
            for x in range(max(x0, 0), min(x1, WIDTH)):
                row[x] = colour

    holes = WIDTH // HOLE_PITCH
    first = (WIDTH - holes * HOLE_PITCH) // 2 + (HOLE_PITCH - HOLE_W) // 2
    for top in (0, HEIGHT - BAND):
        fill(0, top, WIDTH, top + BAND, SLATE)
        hole_top = top + (BAND - HOLE_H) // 2
        for i in range(holes):
            x = first + i * HOLE_PITCH
            fill(x, hole_top, x + HOLE_W, hole_top + HOLE_H, PAPER)
            # Clipped corners soften the holes without another colour.
            for cx, cy in ((x, hole_top), (x + HOLE_W - 1, hole_top),
                           (x, hole_top + HOLE_H - 1), (x + HOLE_W - 1, hole_top + HOLE_H - 1)):
                fill(cx, cy, cx + 1, cy + 1, SLATE)

    upper = BAND + LINE_GAP
    fill(0, upper, WIDTH, upper + LINE, AMBER)
    fill(0, upper + LINE, WIDTH, upper + LINE + 1, SHADE)
    lower = HEIGHT - BAND - LINE_GAP - LINE
    fill(0, lower, WIDTH, lower + LINE, AMBER)
    fill(0, lower - 1, WIDTH, lower, SHADE)

    middle = pixels[HEIGHT // 2]
    assert all(p == middle[0] for p in middle), "the middle row must stay flat"
    return pixels


def lzw(indices, min_code_size):
    """GIF's variable-length LZW: codes packed from the least significant bit."""
    clear = 1 << min_code_size
    end = clear + 1
    out = bytearray()
    bits = 0
    nbits = 0

    def put(code, width):
        nonlocal bits, nbits
        bits |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8

    table = {}
    width = min_code_size + 1
    next_code = end + 1
    put(clear, width)
    prefix = indices[0]
    for k in indices[1:]:
        key = (prefix, k)
        code = table.get(key)
        if code is not None:
            prefix = code
            continue
        put(prefix, width)
        table[key] = next_code
        # The reader widens its codes once it has made the entry that fills the width.
        if next_code == (1 << width) and width < 12:
            width += 1
        next_code += 1
        if next_code == 4096:
            put(clear, width)
            table = {}
            width = min_code_size + 1
            next_code = end + 1
        prefix = k
    put(prefix, width)
    put(end, width)
    if nbits:
        out.append(bits & 0xFF)
    return bytes(out)


def gif(pixels):
    table_bits = 2  # four entries
    data = bytearray(b"GIF89a")
    data += struct.pack("<HHBBB", WIDTH, HEIGHT, 0x80 | 0x70 | (table_bits - 1), 0, 0)
    for colour in PALETTE:
        data += bytes(colour)
    data += b"\x2c" + struct.pack("<HHHHB", 0, 0, WIDTH, HEIGHT, 0)
    code_size = max(2, table_bits)
    data.append(code_size)
    coded = lzw([p for row in pixels for p in row], code_size)
    for i in range(0, len(coded), 255):
        block = coded[i:i + 255]
        data.append(len(block))
        data += block
    data += b"\x00\x3b"
    return bytes(data)


def main():
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("-o", "--output", default=os.path.join(root, "res", "frame.gif"))
    args = parser.parse_args()
    data = gif(draw())
    with open(args.output, "wb") as f:
        f.write(data)
    print(f"{args.output}: {WIDTH}x{HEIGHT}, {len(PALETTE)} colours, {len(data)} bytes")


if __name__ == "__main__":
    main()
