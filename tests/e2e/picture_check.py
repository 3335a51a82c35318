#!/usr/bin/env python3
"""Compares a JPEG frame file with the picture the driver's player stand-ins paint.

  picture_check.py size JPEG
      prints "W H" of the decoded file
  picture_check.py match JPEG W H [--border N] [--visible L T R B] [--frame N]
      the file must be the W x H window: the picture inside a flat border of N, black
      outside the visible rectangle (window coordinates, right and bottom exclusive);
      the frame number is read from the picture's cells unless given; prints it
  picture_check.py quadrants JPEG
      a resized picture: the four flat quadrants must show their colours
  picture_check.py write-ppm FILE W H [FRAME]
      the picture as a PPM file (to calibrate the tolerance with cjpeg)

Decoding is Debian's djpeg. The picture (also in driver/player_commands.cpp):
  rows 0..15, x < 256: 16 cells of 16 x 16, cell i white when bit i of the frame number
  differs from (i & 1); rows h/2-8 .. h/2+7: 8 x 8 checkerboard, white where x/8 + y/8
  is odd; the last 16 rows: grey ramp x * 255 / (w - 1); else four flat quadrants.
Ends with status 1 and a reason when the file does not match.
"""
import subprocess
import sys

WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
QUADRANTS = [(220, 40, 40), (40, 190, 60), (40, 70, 220), (230, 200, 40)]
BORDER = (90, 90, 90)

# JPEG at quality 80 with 4:2:0 chroma blurs edges between strong colours: a mean
# difference and a small share of far-off pixels are allowed; a picture moved by one
# pixel, mirrored, of another window or of another frame number is far outside both.
MEAN_LIMIT = 6.0
FAR_DIFFERENCE = 96
FAR_SHARE_LIMIT = 0.003
FLAT_LIMIT = 12


def picture_pixel(x, y, w, h, n):
    if y < 16 and x < 256:
        cell = x // 16
        return WHITE if ((n >> cell) & 1) ^ (cell & 1) else BLACK
    if h // 2 - 8 <= y < h // 2 + 8:
        return WHITE if (x // 8 + y // 8) & 1 else BLACK
    if y >= h - 16:
        v = x * 255 // (w - 1 if w > 1 else 1)
        return (v, v, v)
    return QUADRANTS[(0 if x < w // 2 else 1) + (0 if y < h // 2 else 2)]


def decode(path):
    try:
        data = subprocess.run(["djpeg", "-pnm", path], check=True, capture_output=True).stdout
    except subprocess.CalledProcessError as error:
        sys.exit("not a JPEG djpeg can read: %s: %s" % (path, error.stderr.decode(errors="replace").strip()))
    # "P6\n<w> <h>\n255\n" then the pixels
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    if fields[0] != b"P6":
        sys.exit("djpeg gave %r, not a colour picture" % fields[0])
    w, h = int(fields[1]), int(fields[2])
    return w, h, data[pos + 1:]


def pixel_at(pixels, w, x, y):
    i = 3 * (y * w + x)
    return pixels[i], pixels[i + 1], pixels[i + 2]


def read_frame_number(pixels, w, h, border):
    # The middle 8 x 8 of each cell, far from the blurred edges.
    n = 0
    for cell in range(16):
        left, top = border + 16 * cell + 4, border + 4
        if left + 8 > w - border or top + 8 > h - border:
            break
        total = 0
        for y in range(top, top + 8):
            for x in range(left, left + 8):
                total += sum(pixel_at(pixels, w, x, y))
        white = total / (64 * 3) > 128
        if white != bool(cell & 1):
            n |= 1 << cell
    return n


def match(path, w, h, border, visible, frame):
    dw, dh, pixels = decode(path)
    if (dw, dh) != (w, h):
        sys.exit("%s is %dx%d, not %dx%d" % (path, dw, dh, w, h))
    if frame is None:
        frame = read_frame_number(pixels, w, h, border)
    pw, ph = w - 2 * border, h - 2 * border
    vl, vt, vr, vb = visible if visible else (0, 0, w, h)
    total = 0
    far = 0
    worst = (0, 0, 0)
    for y in range(h):
        for x in range(w):
            if not (vl <= x < vr and vt <= y < vb):
                want = BLACK
            elif border <= x < w - border and border <= y < h - border:
                want = picture_pixel(x - border, y - border, pw, ph, frame)
            else:
                want = BORDER
            got = pixel_at(pixels, w, x, y)
            d = max(abs(got[0] - want[0]), abs(got[1] - want[1]), abs(got[2] - want[2]))
            total += d
            if d > FAR_DIFFERENCE:
                far += 1
            if d > worst[0]:
                worst = (d, x, y)
    mean = total / (w * h)
    share = far / (w * h)
    if mean > MEAN_LIMIT or share > FAR_SHARE_LIMIT:
        sys.exit("%s does not show the picture (frame %d): mean difference %.2f (limit %.1f), %.2f%% of the "
                 "pixels off by more than %d (limit %.2f%%), worst %d at %d,%d"
                 % (path, frame, mean, MEAN_LIMIT, 100 * share, FAR_DIFFERENCE, 100 * FAR_SHARE_LIMIT, *worst))
    print(frame)


def quadrants(path):
    w, h, pixels = decode(path)
    # Centres of the quadrants, away from the cells, the checkerboard and the ramp.
    boxes = [(0.15, 0.35, 0.22, 0.32), (0.65, 0.85, 0.22, 0.32), (0.15, 0.35, 0.68, 0.78), (0.65, 0.85, 0.68, 0.78)]
    for want, (x0, x1, y0, y1) in zip(QUADRANTS, boxes):
        xs = range(int(x0 * w), max(int(x1 * w), int(x0 * w) + 1))
        ys = range(int(y0 * h), max(int(y1 * h), int(y0 * h) + 1))
        sums = [0, 0, 0]
        for y in ys:
            for x in xs:
                for c, v in enumerate(pixel_at(pixels, w, x, y)):
                    sums[c] += v
        got = tuple(round(s / (len(xs) * len(ys))) for s in sums)
        if max(abs(a - b) for a, b in zip(got, want)) > FLAT_LIMIT:
            sys.exit("%s: quadrant at %.2f,%.2f is %s, not %s" % (path, x0, y0, got, want))


def write_ppm(path, w, h, frame):
    rows = bytearray()
    for y in range(h):
        for x in range(w):
            rows.extend(picture_pixel(x, y, w, h, frame))
    with open(path, "wb") as out:
        out.write(b"P6\n%d %d\n255\n" % (w, h) + bytes(rows))


def main(args):
    if len(args) >= 2 and args[0] == "size":
        w, h, _ = decode(args[1])
        print(w, h)
    elif len(args) >= 4 and args[0] == "match":
        border, visible, frame = 0, None, None
        rest = args[4:]
        while rest:
            if rest[0] == "--border" and len(rest) >= 2:
                border, rest = int(rest[1]), rest[2:]
            elif rest[0] == "--visible" and len(rest) >= 5:
                visible, rest = tuple(int(v) for v in rest[1:5]), rest[5:]
            elif rest[0] == "--frame" and len(rest) >= 2:
                frame, rest = int(rest[1]), rest[2:]
            else:
                sys.exit("unknown option %s" % rest[0])
        match(args[1], int(args[2]), int(args[3]), border, visible, frame)
    elif len(args) == 2 and args[0] == "quadrants":
        quadrants(args[1])
    elif len(args) in (4, 5) and args[0] == "write-ppm":
        write_ppm(args[1], int(args[2]), int(args[3]), int(args[4]) if len(args) == 5 else 0)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
