// Helpers for tests: frames made from a function of the pixel position, pixels read
// back in picture coordinates, owned handles, and paths in the test's temp folder.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/platform.h"

struct Rgb {
  std::uint8_t red, green, blue;
  bool operator==(const Rgb&) const = default;
};

struct GlobalFreer {
  void operator()(HGLOBAL block) const {
    if (block) GlobalFree(block);
  }
};
using UniqueFrame = std::unique_ptr<std::remove_pointer_t<HGLOBAL>, GlobalFreer>;

// A 24-bit frame image whose pixel at picture position (x, y), y = 0 the top row, is colour(x, y).
UniqueFrame MakeFrame24(int width, int height, const std::function<Rgb(int x, int y)>& colour);
inline UniqueFrame MakeFlatFrame24(int width, int height, Rgb colour) {
  return MakeFrame24(width, height, [colour](int, int) { return colour; });
}

// A colour that changes from pixel to pixel in every channel, the same in every build.
Rgb Noise(int x, int y, std::uint32_t seed = 1);

// An indexed frame image (1, 4 or 8 bits) with the given colour table and the index
// of picture position (x, y) from index(x, y).
UniqueFrame MakeIndexedFrame(int width, int height, int bitCount, const std::vector<Rgb>& table,
                             const std::function<int(int x, int y)>& index);

// The colour at picture position (x, y) of a 24-bit or indexed frame image.
Rgb PixelAt(HGLOBAL frame, int x, int y);
// The colour index at picture position (x, y) of an indexed frame image.
int IndexAt(HGLOBAL frame, int x, int y);
// Width and height of a frame image (0, 0 for none).
int FrameWidth(HGLOBAL frame);
int FrameHeight(HGLOBAL frame);
int FrameBitCount(HGLOBAL frame);
// The colour table of an indexed frame image, biClrUsed entries (or the depth's full count).
std::vector<Rgb> ColourTable(HGLOBAL frame);
// True when two frames have the same size and the same colour at every pixel.
bool SamePixels(HGLOBAL a, HGLOBAL b);

// A path in a fresh per-process temp folder for the test's files.
std::string TempPath(const std::string& name);
// The whole contents of a file (empty when it cannot be read).
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
