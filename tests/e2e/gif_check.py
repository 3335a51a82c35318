#!/usr/bin/env python3
"""Reads a GIF with giflib (Debian's libgif.so.7, through ctypes) as an independent
decoder for the tests: what the file says and what each frame looks like.

Command line:
  gif_check.py info FILE             prints JSON (see gif_info below)
  gif_check.py frame FILE N OUT.ppm  writes frame N (from 0) as seen on the logical
                                     screen, RGB, as a binary PPM
Exit status: 0 done, 1 the file could not be read (message on stderr), 2 usage.

As a module (python3 -c "import sys; sys.path.insert(0, 'tests/e2e'); import gif_check"):
  gif_info(path)          the same dict as `info`:
      width, height         logical screen size
      global_table_size     entries of the global colour table, or None
      background_index      the screen's background colour index
      loop_count            from the NETSCAPE2.0 extension, 0 = forever; None if absent
      frame_count
      frames: [{left, top, width, height, interlaced,
                local_table_size (or None),
                delay (1/100 s), disposal, transparent_index (or None)}]
                (delay, disposal, transparent_index: None without a graphic
                control extension)
  render_frame_rgba(path, n) -> (width, height, bytes RGBA): frame n composited over
      the frames before it by their disposal methods, as browsers do: the screen starts
      transparent, disposal 2 clears the frame's rectangle to transparent, 3 restores
      what was there before it was drawn
  render_frame(path, n) -> (width, height, bytes RGB): the same with transparent
      pixels black
  write_ppm(path, width, height, rgb)
Errors raise GifError.
"""
import ctypes
import ctypes.util
import json
import sys


class GifError(Exception):
    pass


# giflib 5.2's structures (gif_lib.h), laid out by ctypes with the platform's own
# alignment, so pointers and bools land where the C compiler puts them on amd64.
class GifColorType(ctypes.Structure):
    _fields_ = [("Red", ctypes.c_ubyte), ("Green", ctypes.c_ubyte), ("Blue", ctypes.c_ubyte)]


class ColorMapObject(ctypes.Structure):
    _fields_ = [
        ("ColorCount", ctypes.c_int),
        ("BitsPerPixel", ctypes.c_int),
        ("SortFlag", ctypes.c_bool),
        ("Colors", ctypes.POINTER(GifColorType)),
    ]


class GifImageDesc(ctypes.Structure):
    _fields_ = [
        ("Left", ctypes.c_int),
        ("Top", ctypes.c_int),
        ("Width", ctypes.c_int),
        ("Height", ctypes.c_int),
        ("Interlace", ctypes.c_bool),
        ("ColorMap", ctypes.POINTER(ColorMapObject)),
    ]


class ExtensionBlock(ctypes.Structure):
    _fields_ = [
        ("ByteCount", ctypes.c_int),
        ("Bytes", ctypes.POINTER(ctypes.c_ubyte)),
        ("Function", ctypes.c_int),
    ]


class SavedImage(ctypes.Structure):
    _fields_ = [
        ("ImageDesc", GifImageDesc),
        ("RasterBits", ctypes.POINTER(ctypes.c_ubyte)),
        ("ExtensionBlockCount", ctypes.c_int),
        ("ExtensionBlocks", ctypes.POINTER(ExtensionBlock)),
    ]


class GifFileType(ctypes.Structure):
    _fields_ = [
        ("SWidth", ctypes.c_int),
        ("SHeight", ctypes.c_int),
        ("SColorResolution", ctypes.c_int),
        ("SBackGroundColor", ctypes.c_int),
        ("PixelRatioByte", ctypes.c_ubyte),
        ("SColorMap", ctypes.POINTER(ColorMapObject)),
        ("ImageCount", ctypes.c_int),
        ("Image", GifImageDesc),
        ("SavedImages", ctypes.POINTER(SavedImage)),
        ("ExtensionBlockCount", ctypes.c_int),
        ("ExtensionBlocks", ctypes.POINTER(ExtensionBlock)),
        ("Error", ctypes.c_int),
        ("UserData", ctypes.c_void_p),
        ("Private", ctypes.c_void_p),
    ]


if ctypes.sizeof(ctypes.c_void_p) == 8:
    # The sizes gcc gives these structures on amd64; a mismatch means the layout
    # above no longer matches the library and every field read would be garbage.
    assert (ctypes.sizeof(ColorMapObject), ctypes.sizeof(GifImageDesc), ctypes.sizeof(ExtensionBlock),
            ctypes.sizeof(SavedImage), ctypes.sizeof(GifFileType)) == (24, 32, 24, 56, 120)

GRAPHICS_EXT = 0xF9
APPLICATION_EXT = 0xFF
CONTINUE_EXT = 0x00

_lib = None


def _giflib():
    global _lib
    if _lib is None:
        name = "libgif.so.7"  # giflib 5.1/5.2: the ABI the structures above describe
        try:
            lib = ctypes.CDLL(name)
        except OSError as error:
            raise GifError(f"cannot load {name} (Debian package libgif7): {error}")
        lib.DGifOpenFileName.argtypes = [ctypes.c_char_p, ctypes.POINTER(ctypes.c_int)]
        lib.DGifOpenFileName.restype = ctypes.POINTER(GifFileType)
        lib.DGifSlurp.argtypes = [ctypes.POINTER(GifFileType)]
        lib.DGifSlurp.restype = ctypes.c_int
        lib.DGifCloseFile.argtypes = [ctypes.POINTER(GifFileType), ctypes.POINTER(ctypes.c_int)]
        lib.DGifCloseFile.restype = ctypes.c_int
        lib.GifErrorString.argtypes = [ctypes.c_int]
        lib.GifErrorString.restype = ctypes.c_char_p
        _lib = lib
    return _lib


def _error_text(lib, code):
    text = lib.GifErrorString(code)
    return f"{text.decode() if text else 'unknown error'} (giflib error {code})"


def _table(map_pointer):
    if not map_pointer:
        return None
    table = map_pointer.contents
    return bytes(ctypes.string_at(table.Colors, 3 * table.ColorCount))  # RGB triples


def _extensions(count, blocks):
    return [(blocks[i].Function, ctypes.string_at(blocks[i].Bytes, blocks[i].ByteCount)) for i in range(count)]


def read_gif(path):
    """Decodes the whole file with DGifSlurp and copies out what the checks need:
    a dict like gif_info's plus 'global_table' (RGB bytes or None) and, per frame,
    'local_table' and 'pixels' (one index per pixel, rows top to bottom; giflib
    undoes interlacing)."""
    lib = _giflib()
    error = ctypes.c_int(0)
    gif = lib.DGifOpenFileName(str(path).encode(), ctypes.byref(error))
    if not gif:
        raise GifError(f"{path}: {_error_text(lib, error.value)}")
    try:
        if lib.DGifSlurp(gif) != 1:
            raise GifError(f"{path}: {_error_text(lib, gif.contents.Error)}")
        g = gif.contents
        result = {
            "width": g.SWidth,
            "height": g.SHeight,
            "global_table": _table(g.SColorMap),
            "background_index": g.SBackGroundColor,
            "loop_count": None,
            "frames": [],
        }
        all_extensions = []
        for i in range(g.ImageCount):
            image = g.SavedImages[i]
            desc = image.ImageDesc
            extensions = _extensions(image.ExtensionBlockCount, image.ExtensionBlocks)
            all_extensions += extensions
            frame = {
                "left": desc.Left,
                "top": desc.Top,
                "width": desc.Width,
                "height": desc.Height,
                "interlaced": bool(desc.Interlace),
                "local_table": _table(desc.ColorMap),
                "delay": None,
                "disposal": None,
                "transparent_index": None,
                "pixels": ctypes.string_at(image.RasterBits, desc.Width * desc.Height),
            }
            for function, data in extensions:
                if function == GRAPHICS_EXT and len(data) >= 4:  # the last one before the image counts
                    frame["delay"] = data[1] | data[2] << 8
                    frame["disposal"] = (data[0] >> 2) & 7
                    frame["transparent_index"] = data[3] if data[0] & 1 else None
            result["frames"].append(frame)
        all_extensions += _extensions(g.ExtensionBlockCount, g.ExtensionBlocks)
        # giflib keeps an application extension as its 11-byte identifier block
        # followed by its sub-blocks as continuation blocks.
        for k, (function, data) in enumerate(all_extensions[:-1]):
            following = all_extensions[k + 1]
            if (function == APPLICATION_EXT and data == b"NETSCAPE2.0" and following[0] == CONTINUE_EXT
                    and len(following[1]) >= 3 and following[1][0] == 1):
                result["loop_count"] = following[1][1] | following[1][2] << 8
                break
        return result
    finally:
        lib.DGifCloseFile(gif, ctypes.byref(error))


def gif_info(path):
    gif = read_gif(path)
    table_size = lambda table: None if table is None else len(table) // 3
    return {
        "width": gif["width"],
        "height": gif["height"],
        "global_table_size": table_size(gif["global_table"]),
        "background_index": gif["background_index"],
        "loop_count": gif["loop_count"],
        "frame_count": len(gif["frames"]),
        "frames": [{
            "left": f["left"],
            "top": f["top"],
            "width": f["width"],
            "height": f["height"],
            "interlaced": f["interlaced"],
            "local_table_size": table_size(f["local_table"]),
            "delay": f["delay"],
            "disposal": f["disposal"],
            "transparent_index": f["transparent_index"],
        } for f in gif["frames"]],
    }


def _frame_rgba(gif, frame, index):
    """The frame's own pixels as RGBA (alpha 0 for the transparent index) and a mask
    of 0xFF bytes where it covers the screen."""
    table = frame["local_table"] if frame["local_table"] is not None else gif["global_table"]
    if table is None:
        raise GifError(f"frame {index} has no colour table")
    pixels = frame["pixels"]
    entries = len(table) // 3
    if pixels and max(pixels) >= entries:
        raise GifError(f"frame {index} uses index {max(pixels)} beyond its {entries}-entry colour table")
    # Per-channel lookups through bytes.translate keep a 1280x720 frame fast without numpy.
    channels = []
    for c in range(3):
        lookup = bytearray(256)
        lookup[:entries] = table[c::3]
        channels.append(pixels.translate(bytes(lookup)))
    alpha = bytearray(b"\xff" * 256)
    if frame["transparent_index"] is not None:
        alpha[frame["transparent_index"]] = 0
    channels.append(pixels.translate(bytes(alpha)))
    rgba = bytearray(4 * len(pixels))
    for c in range(4):
        rgba[c::4] = channels[c]
    mask = bytearray(len(rgba))
    for c in range(4):
        mask[c::4] = channels[3]
    return bytes(rgba), bytes(mask)


def _blend(under, over, mask):
    """over where mask is 0xFF, under elsewhere (big-integer bit operations: fast in C)."""
    n = len(under)
    u, o, m = (int.from_bytes(b, "big") for b in (under, over, mask))
    return ((u & ~m) | (o & m)).to_bytes(n, "big")


def _clip(gif, frame):
    """The frame's rectangle clipped to the screen: (x0, y0, x1, y1)."""
    x0, y0 = min(frame["left"], gif["width"]), min(frame["top"], gif["height"])
    x1 = min(frame["left"] + frame["width"], gif["width"])
    y1 = min(frame["top"] + frame["height"], gif["height"])
    return x0, y0, x1, y1


def _read_rect(screen, width, rect):
    x0, y0, x1, y1 = rect
    return b"".join(bytes(screen[4 * (y * width + x0):4 * (y * width + x1)]) for y in range(y0, y1))


def _write_rect(screen, width, rect, data):
    x0, y0, x1, y1 = rect
    row = 4 * (x1 - x0)
    for k, y in enumerate(range(y0, y1)):
        screen[4 * (y * width + x0):4 * (y * width + x1)] = data[k * row:(k + 1) * row]


def _draw(gif, screen, frame, index):
    rgba, mask = _frame_rgba(gif, frame, index)
    rect = _clip(gif, frame)
    x0, y0, x1, y1 = rect
    row = 4 * frame["width"]
    # The part of the frame inside the screen, row by row.
    starts = [(y - frame["top"]) * row + 4 * (x0 - frame["left"]) for y in range(y0, y1)]
    over = b"".join(rgba[s:s + 4 * (x1 - x0)] for s in starts)
    cover = b"".join(mask[s:s + 4 * (x1 - x0)] for s in starts)
    _write_rect(screen, gif["width"], rect, _blend(_read_rect(screen, gif["width"], rect), over, cover))


def render_frame_rgba(path, n, gif=None):
    gif = gif or read_gif(path)
    frames = gif["frames"]
    if not 0 <= n < len(frames):
        raise GifError(f"{path}: no frame {n} (the file has {len(frames)})")
    width, height = gif["width"], gif["height"]
    screen = bytearray(4 * width * height)  # transparent black
    # A frame that covers the whole screen without a transparent index hides all that
    # came before it (unless it is to be undone by disposal 3 before frame n): start
    # there, which spares composing a hundred large frames to show the last one.
    first = 0
    for k in range(n, -1, -1):
        f = frames[k]
        if (_clip(gif, f) == (0, 0, width, height) and f["transparent_index"] is None
                and (k == n or f["disposal"] != 3)):
            first = k
            break
    for i in range(first, n + 1):
        frame = frames[i]
        rect = _clip(gif, frame)
        before = _read_rect(screen, width, rect) if frame["disposal"] == 3 else None
        _draw(gif, screen, frame, i)
        if i == n:
            break
        if frame["disposal"] == 2:
            x0, y0, x1, y1 = rect
            _write_rect(screen, width, rect, bytes(4 * (x1 - x0) * (y1 - y0)))
        elif frame["disposal"] == 3:
            _write_rect(screen, width, rect, before)
    return width, height, bytes(screen)


def render_frame(path, n, gif=None):
    width, height, rgba = render_frame_rgba(path, n, gif)
    opaque = rgba[3::4].translate(bytes([0] + [255] * 255))
    mask = bytearray(len(rgba))
    for c in range(3):
        mask[c::4] = opaque
    shown = _blend(bytes(len(rgba)), rgba, mask)
    rgb = bytearray(3 * width * height)
    for c in range(3):
        rgb[c::3] = shown[c::4]
    return width, height, bytes(rgb)


def write_ppm(path, width, height, rgb):
    with open(path, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (width, height) + rgb)


def main(argv):
    usage = "usage: gif_check.py info FILE | gif_check.py frame FILE N OUT.ppm"
    try:
        if len(argv) == 3 and argv[1] == "info":
            print(json.dumps(gif_info(argv[2]), indent=1))
        elif len(argv) == 5 and argv[1] == "frame" and argv[3].isdigit():
            width, height, rgb = render_frame(argv[2], int(argv[3]))
            write_ppm(argv[4], width, height, rgb)
        else:
            print(usage, file=sys.stderr)
            return 2
    except GifError as error:
        print(f"gif_check: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
