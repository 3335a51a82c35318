#!/usr/bin/env python3
"""Checks the GIFs the program builds against what the player stand-ins showed.
Frames are decoded with giflib (gif_check.py) as they look on the logical screen.

  gif_picture.py summary GIF
      prints "frames N", "size W H" (the logical screen), "frame-sizes WxH..." (each
      frame's rectangle, "@L,T" added when it is not at 0,0), "delays D...",
      "tables global N" or "tables local N..." (entries of each table), "loop L|none"
  gif_picture.py picture GIF N W H --frame F [--border B]
      frame N is the known picture of frame number F in a W x H window (a flat border
      of B around it); compared by 4 x 4 block means (see below); the frame number
      shown in the cells must be F
  gif_picture.py quadrants GIF N [--rect L T R B]
      the four flat quadrants of a resized picture (in that rectangle of frame N)
  gif_picture.py colours GIF [N]
      prints how many distinct colours frame N (every frame without N) shows
  gif_picture.py gradient GIF N
      frame N is the gradient pattern of its size (5 x 5 block means)
  gif_picture.py box GIF N INDEX
      frame N is the box pattern cut to the moving band: the white 32 x 24 box at
      x = 32 * INDEX on the flat blue
  gif_picture.py credit GIF --title L T R B --colour RRGGBB --thumb L T R B --frame F
                 [--mask FILE] [--split-template]
      frame 0 is a credit frame: inside the title rectangle the title's colour (a share
      of it) on one fill colour, no title colour elsewhere above the thumbnail, the
      thumbnail rectangle the half-size picture of frame number F; with a mask (what
      "drv text-mask" prints) the title's pixels exactly where it has "#"; with the split
      template also everything else as the template (write-template) fitted to the frame
  gif_picture.py middle GIF
      prints "flat" when the middle stored row (row H/2 from the bottom) of frame 0 is
      one colour, else "varied": how a credit template places the title
  gif_picture.py write-template OUT.gif
      writes the split template: 64 x 48, grey (200, 200, 200) on the left half,
      dark red (120, 30, 40) on the right; its middle row is not flat

Palette reduction moves flat colours to their colour cell's value (up to 15 per
channel) and error diffusion scatters pixels of other colours to keep local means, so
pixels are compared through block means: a block may differ by BLOCK_LIMIT, and a
picture moved by one pixel or of another frame number has many blocks far beyond.
Ends with status 1 and a reason when a check fails.
"""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import gif_check  # noqa: E402
from picture_check import QUADRANTS, WHITE, picture_pixel, read_frame_number  # noqa: E402

BLOCK_LIMIT = 40          # max channel difference of a 4 x 4 block mean
FAR_BLOCK_SHARE = 0.005   # share of blocks allowed beyond it
GRADIENT_MEAN_LIMIT = 24  # mean block difference of the gradient (5 x 5 blocks); moved by 2 pixels: 29 and more
QUADRANT_LIMIT = 24       # a quadrant's mean colour
BOX_BACKGROUND = QUADRANTS[2]
TEMPLATE_LEFT = (200, 200, 200)
TEMPLATE_RIGHT = (120, 30, 40)
NEAR = 48                 # a pixel "is" a colour within this max channel difference
MASK_SHARE = 0.08         # pixels of the title that may differ from the drawn text


class Frame:
    def __init__(self, path, n, gif=None):
        try:
            self.w, self.h, self.rgb = gif_check.render_frame(path, n, gif)
        except gif_check.GifError as error:
            sys.exit("%s" % error)
        self.path, self.n = path, n

    def at(self, x, y):
        i = 3 * (y * self.w + x)
        return self.rgb[i], self.rgb[i + 1], self.rgb[i + 2]

    def name(self):
        return "%s frame %d" % (os.path.basename(self.path), self.n)


def difference(a, b):
    return max(abs(a[0] - b[0]), abs(a[1] - b[1]), abs(a[2] - b[2]))


def block_means(get, left, top, right, bottom, size):
    """Mean colour of each size x size block inside the rectangle."""
    means = {}
    for by in range(top, bottom - size + 1, size):
        for bx in range(left, right - size + 1, size):
            sums = [0, 0, 0]
            for y in range(by, by + size):
                for x in range(bx, bx + size):
                    for c, v in enumerate(get(x, y)):
                        sums[c] += v
            means[(bx, by)] = [v / (size * size) for v in sums]
    return means


def block_differences(frame, want, size, rect=None):
    left, top, right, bottom = rect or (0, 0, frame.w, frame.h)
    got = block_means(frame.at, left, top, right, bottom, size)
    expected = block_means(want, left, top, right, bottom, size)
    return {key: difference(got[key], expected[key]) for key in got}


def check_blocks(frame, want, what, rect=None):
    diffs = block_differences(frame, want, 4, rect)
    far = [key for key, d in diffs.items() if d > BLOCK_LIMIT]
    if len(far) > FAR_BLOCK_SHARE * len(diffs):
        worst = max(diffs, key=diffs.get)
        sys.exit("%s does not show %s: %d of %d 4x4 blocks differ by more than %d (worst %.0f at %d,%d)"
                 % (frame.name(), what, len(far), len(diffs), BLOCK_LIMIT, diffs[worst], *worst))


def summary(path):
    try:
        info = gif_check.gif_info(path)
    except gif_check.GifError as error:
        sys.exit("%s" % error)
    frames = info["frames"]
    print("frames %d" % info["frame_count"])
    print("size %d %d" % (info["width"], info["height"]))
    sizes = []
    for f in frames:
        text = "%dx%d" % (f["width"], f["height"])
        if f["left"] or f["top"]:
            text += "@%d,%d" % (f["left"], f["top"])
        sizes.append(text)
    print("frame-sizes " + " ".join(sizes))
    print("delays " + " ".join(str(f["delay"]) for f in frames))
    local = [f["local_table_size"] for f in frames]
    if info["global_table_size"] is not None and all(size is None for size in local):
        print("tables global %d" % info["global_table_size"])
    elif info["global_table_size"] is None and all(size is not None for size in local):
        print("tables local " + " ".join(str(size) for size in local))
    else:
        print("tables mixed global %s local %s" % (info["global_table_size"], " ".join(str(s) for s in local)))
    print("loop %s" % ("none" if info["loop_count"] is None else info["loop_count"]))


def picture(path, n, w, h, number, border):
    frame = Frame(path, n)
    if (frame.w, frame.h) != (w, h):
        sys.exit("%s is %dx%d, not %dx%d" % (frame.name(), frame.w, frame.h, w, h))
    shown = read_frame_number(frame.rgb, w, h, border)
    if shown != number:
        sys.exit("%s shows the picture of frame %d, not %d" % (frame.name(), shown, number))
    pw, ph = w - 2 * border, h - 2 * border

    def want(x, y):
        if border <= x < w - border and border <= y < h - border:
            return picture_pixel(x - border, y - border, pw, ph, number)
        return (90, 90, 90)
    check_blocks(frame, want, "the picture of frame %d" % number)


def quadrants(path, n, rect):
    frame = Frame(path, n)
    left, top, right, bottom = rect or (0, 0, frame.w, frame.h)
    if right > frame.w or bottom > frame.h:
        sys.exit("%s is %dx%d: no rectangle %s" % (frame.name(), frame.w, frame.h, rect))
    w, h = right - left, bottom - top
    # Centres of the quadrants, away from the cells, the checkerboard and the ramp.
    boxes = [(0.15, 0.35, 0.22, 0.32), (0.65, 0.85, 0.22, 0.32), (0.15, 0.35, 0.68, 0.78), (0.65, 0.85, 0.68, 0.78)]
    for want, (x0, x1, y0, y1) in zip(QUADRANTS, boxes):
        xs = range(left + int(x0 * w), left + max(int(x1 * w), int(x0 * w) + 1))
        ys = range(top + int(y0 * h), top + max(int(y1 * h), int(y0 * h) + 1))
        sums = [0, 0, 0]
        for y in ys:
            for x in xs:
                for c, v in enumerate(frame.at(x, y)):
                    sums[c] += v
        got = tuple(round(s / (len(xs) * len(ys))) for s in sums)
        if difference(got, want) > QUADRANT_LIMIT:
            sys.exit("%s: the quadrant at %.2f,%.2f of %s is %s, not %s" % (frame.name(), x0, y0, rect, got, want))


def colours(path, n):
    try:
        gif = gif_check.read_gif(path)
    except gif_check.GifError as error:
        sys.exit("%s" % error)
    seen = set()
    for i in ([n] if n is not None else range(len(gif["frames"]))):
        frame = Frame(path, i, gif)
        seen.update(frame.rgb[k:k + 3] for k in range(0, len(frame.rgb), 3))
    print(len(seen))


def gradient_pixel(x, y, w, h):
    return (x * 255 // max(w - 1, 1), y * 255 // max(h - 1, 1), ((x // 5) * 37 + (y // 5) * 11) % 256)


def gradient(path, n):
    frame = Frame(path, n)
    diffs = block_differences(frame, lambda x, y: gradient_pixel(x, y, frame.w, frame.h), 5)
    mean = sum(diffs.values()) / len(diffs)
    if mean > GRADIENT_MEAN_LIMIT:
        sys.exit("%s does not show the gradient: mean 5x5 block difference %.1f (limit %d)"
                 % (frame.name(), mean, GRADIENT_MEAN_LIMIT))


def box(path, n, index):
    frame = Frame(path, n)
    if frame.h != 24 or frame.w < 32 * (index + 1):
        sys.exit("%s is %dx%d: not the 24 rows of the moving box, with room for box %d"
                 % (frame.name(), frame.w, frame.h, index))
    check_blocks(frame, lambda x, y: WHITE if 32 * index <= x < 32 * index + 32 else BOX_BACKGROUND,
                 "the box at %d" % (32 * index))


def inside(rect, x, y):
    return rect[0] <= x < rect[2] and rect[1] <= y < rect[3]


def credit(path, title, colour, thumb, number, split_template, mask):
    frame = Frame(path, 0)
    w, h = frame.w, frame.h
    # The title: the text in its colour on the colour the rectangle was filled with,
    # except where the thumbnail was pasted over it afterwards. Error diffusion scatters
    # other palette colours over a fill that the palette lacks, so the fill is checked
    # by its means: the same in every strip of 8 columns (no part of the rectangle left
    # showing the template).
    strips = {}
    text = total = 0
    for y in range(title[1], title[3]):
        for x in range(title[0], title[2]):
            if inside(thumb, x, y):
                continue
            total += 1
            pixel = frame.at(x, y)
            if difference(pixel, colour) <= NEAR:
                text += 1
            else:
                sums = strips.setdefault((x - title[0]) // 8, [0, 0, 0, 0])
                for c in range(3):
                    sums[c] += pixel[c]
                sums[3] += 1
    if total == 0:
        sys.exit("%s: the title rectangle %s lies under the thumbnail %s" % (frame.name(), title, thumb))
    if text < 0.03 * total:
        sys.exit("%s: only %d of %d pixels of the title rectangle %s are near the title colour %s"
                 % (frame.name(), text, total, title, colour))
    if mask:
        # The title's own pixels, as the driver drew the same text in the same font.
        # Error diffusion puts a few other colours among them where the palette lacks
        # the title's colour; a title one pixel off misses a good part of its strokes.
        rows = open(mask, encoding="ascii").read().split("\n")[1:]
        wrong = ink = 0
        for y in range(title[1], title[3]):
            for x in range(title[0], title[2]):
                if inside(thumb, x, y):
                    continue
                row = rows[y - title[1]] if y - title[1] < len(rows) else ""
                drawn = x - title[0] < len(row) and row[x - title[0]] == "#"
                ink += drawn
                wrong += drawn != (difference(frame.at(x, y), colour) <= NEAR)
        if wrong > max(MASK_SHARE * ink, 10):
            sys.exit("%s: %d pixels of the title rectangle %s differ from the title as drawn (%d pixels of ink)"
                     % (frame.name(), wrong, title, ink))
    count = sum(sums[3] for sums in strips.values())
    background = [sum(sums[c] for sums in strips.values()) / count for c in range(3)]
    for strip, sums in sorted(strips.items()):
        mean = [sums[c] / sums[3] for c in range(3)]
        if sums[3] >= 16 and difference(mean, background) > QUADRANT_LIMIT:
            sys.exit("%s: columns %d.. of the title rectangle %s are %s besides the title, not the fill %s"
                     % (frame.name(), title[0] + 8 * strip, title, [round(v) for v in mean],
                        [round(v) for v in background]))
    # No title colour outside its rectangle, in the upper part above the thumbnail:
    # the title is drawn nowhere else.
    outside = sum(1 for y in range(0, thumb[1]) for x in range(w)
                  if not inside(title, x, y) and difference(frame.at(x, y), colour) <= NEAR // 2)
    if outside > 0.002 * w * thumb[1]:
        sys.exit("%s: %d pixels of the title colour above the thumbnail lie outside the title rectangle %s"
                 % (frame.name(), outside, title))
    quadrants(path, 0, thumb)
    tw, th = thumb[2] - thumb[0], thumb[3] - thumb[1]
    cells = [frame.at(thumb[0] + 8 * c + 4, thumb[1] + 4) for c in range(min(16, tw // 8))]
    # The half-size cells of the frame number, 8 x 8 each.
    shown = 0
    for c, pixel in enumerate(cells):
        if (sum(pixel) / 3 > 128) != bool(c & 1):
            shown |= 1 << c
    if th >= 8 and shown != number & ((1 << len(cells)) - 1):
        sys.exit("%s: the thumbnail shows frame %d, not %d" % (frame.name(), shown, number))
    if split_template:
        # Everything else is the template fitted to the frame: grey on the left half,
        # dark red on the right, blended only at the seam.
        def want(x, y):
            return TEMPLATE_LEFT if x < w // 2 else TEMPLATE_RIGHT
        seam = (w // 2 - w // 32 - 2, w // 2 + w // 32 + 2)
        off = checked = 0
        for by in range(0, h - 3, 4):
            for bx in range(0, w - 3, 4):
                corners = [(bx, by), (bx + 3, by), (bx, by + 3), (bx + 3, by + 3)]
                if any(inside(title, x, y) or inside(thumb, x, y) or seam[0] <= x < seam[1] for x, y in corners):
                    continue
                checked += 1
                mean = [sum(frame.at(x, y)[c] for y in range(by, by + 4) for x in range(bx, bx + 4)) / 16
                        for c in range(3)]
                if difference(mean, want(bx, by)) > QUADRANT_LIMIT:
                    off += 1
        if off > 0.01 * checked:
            sys.exit("%s: %d of %d 4x4 blocks outside the title and the thumbnail are not the template's"
                     % (frame.name(), off, checked))


def middle(path):
    frame = Frame(path, 0)
    y = frame.h - 1 - frame.h // 2  # stored bottom-up: row H/2 from the bottom
    first = frame.at(0, y)
    print("flat" if all(frame.at(x, y) == first for x in range(frame.w)) else "varied")


def write_template(path):
    """A GIF of 64 x 48 with a 4-entry table, each code written as 3 bits with a clear
    code every few codes, so that no LZW string table is needed."""
    w, h = 64, 48
    table = bytes(TEMPLATE_LEFT) + bytes(TEMPLATE_RIGHT) + bytes(4 * 3 - 6)
    indices = [0 if x < w // 2 else 1 for y in range(h) for x in range(w)]
    clear, end = 4, 5
    codes = []
    for i, index in enumerate(indices):
        if i % 2 == 0:
            codes.append(clear)  # 3-bit codes stay valid for two codes after a clear
        codes.append(index)
    codes.append(end)
    bits = 0
    nbits = 0
    data = bytearray()
    for code in codes:
        bits |= code << nbits
        nbits += 3
        while nbits >= 8:
            data.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8
    if nbits:
        data.append(bits & 0xFF)
    blocks = bytearray()
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        blocks += bytes([len(chunk)]) + chunk
    gif = (b"GIF89a" + struct.pack("<HHBBB", w, h, 0xF1, 0, 0) + table
           + b"," + struct.pack("<HHHHB", 0, 0, w, h, 0) + bytes([2]) + blocks + b"\x00;")
    with open(path, "wb") as out:
        out.write(gif)


def rect_option(args, name):
    if name not in args:
        return None
    i = args.index(name)
    return tuple(int(v) for v in args[i + 1:i + 5])


def int_option(args, name, default):
    return int(args[args.index(name) + 1]) if name in args else default


def main(args):
    if len(args) == 2 and args[0] == "summary":
        summary(args[1])
    elif len(args) >= 5 and args[0] == "picture" and "--frame" in args:
        picture(args[1], int(args[2]), int(args[3]), int(args[4]), int_option(args, "--frame", 0),
                int_option(args, "--border", 0))
    elif len(args) in (3, 8) and args[0] == "quadrants":
        quadrants(args[1], int(args[2]), rect_option(args, "--rect"))
    elif len(args) in (2, 3) and args[0] == "colours":
        colours(args[1], int(args[2]) if len(args) == 3 else None)
    elif len(args) == 3 and args[0] == "gradient":
        gradient(args[1], int(args[2]))
    elif len(args) == 4 and args[0] == "box":
        box(args[1], int(args[2]), int(args[3]))
    elif len(args) >= 2 and args[0] == "credit" and all(o in args for o in ("--title", "--colour", "--thumb", "--frame")):
        hex_colour = args[args.index("--colour") + 1]
        colour = tuple(int(hex_colour[i:i + 2], 16) for i in (0, 2, 4))
        credit(args[1], rect_option(args, "--title"), colour, rect_option(args, "--thumb"),
               int_option(args, "--frame", 0), "--split-template" in args,
               args[args.index("--mask") + 1] if "--mask" in args else None)
    elif len(args) == 2 and args[0] == "middle":
        middle(args[1])
    elif len(args) == 2 and args[0] == "write-template":
        write_template(args[1])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
