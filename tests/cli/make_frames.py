#!/usr/bin/env python3
"""Writes small 24-bit BMP frames for the command-line tests: a gradient with a box
moving across the middle row. Usage: make_frames.py DIR COUNT WIDTH HEIGHT [--top-down]"""
import struct
import sys


def frame_pixels(index, width, height):
    rows = []
    for y in range(height):
        row = bytearray()
        for x in range(width):
            inside = height // 3 <= y < height // 3 + height // 3 and 4 + 6 * index <= x < 4 + 6 * index + 12
            if inside:
                row += bytes((10, 200, 250))  # blue, green, red
            else:
                row += bytes(((x * 7 + y) & 255, (y * 5) & 255, (x * 3) & 255))
        rows.append(row)
    return rows  # top row first


def write_bmp(path, rows, width, height, top_down):
    stride = (width * 3 + 3) & ~3
    stored = rows if top_down else list(reversed(rows))
    data = b"".join(bytes(r) + bytes(stride - len(r)) for r in stored)
    info = struct.pack("<IiiHHIIiiII", 40, width, -height if top_down else height, 1, 24, 0, len(data), 0, 0, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    with open(path, "wb") as f:
        f.write(header + info + data)


def main():
    folder, count, width, height = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
    top_down = "--top-down" in sys.argv
    for i in range(count):
        write_bmp(f"{folder}/frame{i:03d}.bmp", frame_pixels(i, width, height), width, height, top_down)


main()
