// Colour reduction: 24-bit frames to 8-bit indexed frames. A histogram of 4096
// colour cells (4 bits a channel) chooses the palette (black, white, six hue
// sectors, their most saturated cells, then the most counted cells); the frame is
// mapped onto it with serpentine error diffusion and a 4096-entry answer cache.
#pragma once

#include <cstdint>

#include "platform/platform.h"

constexpr int kColourCells = 4096;

// One colour cell of a histogram.
struct ColourCellEntry {
  std::int32_t key;        // the cell's ColourCellKey
  std::int32_t chroma;     // max - min of the cell's three 4-bit values
  std::int32_t hueSector;  // 0..5; 0 for cells of chroma 0
  // Weight gathered from the pixels; negative only in shared counting. 64 bits: the
  // shared counting adds up to 2550 a pixel, which one crafted full-HD frame takes
  // past 32 bits (per-frame counts stay far below).
  std::int64_t count;
};

// The 12-bit cell of a pixel: each channel to q = min(x + 8, 255) >> 4, then
// (q green << 8) | (q red << 4) | q blue. Inline: both histograms call it for every pixel.
constexpr int ColourCellKey(int red, int green, int blue) {
  const auto quantise = [](int x) { return (x + 8 < 255 ? x + 8 : 255) >> 4; };
  return (quantise(green) << 8) | (quantise(red) << 4) | quantise(blue);
}

// Fills a histogram of kColourCells entries: keys in order, chroma, hue sector, count 0.
void InitColourHistogram(ColourCellEntry* histogram);

// Chooses up to target colours from a histogram in key order, as InitColourHistogram
// left it and counting filled it (the histogram is reordered and its counts consumed),
// into palette (room for 256), in colour-table order (blue, green, red, 0), sorted
// darkest first. Returns the number of colours, 2..target; 0, choosing nothing, for a
// target outside 15..256.
int SelectPalette(ColourCellEntry* histogram, int target, RGBQUAD* palette);

// The palette of one frame as a movable LOGPALETTE block (room for colourCount + 1
// entries), or null: frame not 24-bit, colourCount outside 15..256, no memory.
HGLOBAL BuildFramePalette(HGLOBAL frame, int colourCount);

// A new 8-bit frame: the frame's pixels mapped onto palette (count entries,
// colour-table order) with error diffusion; null when the frame is not 24-bit, count
// is outside 1..256, or memory runs out. The source is neither changed nor freed.
HGLOBAL MapFrameToPalette(const RGBQUAD* palette, HGLOBAL frame, int count);

// BuildFramePalette and MapFrameToPalette in one: a new 8-bit frame with its own
// palette of at most colourCount entries, or null.
HGLOBAL ReduceFrameColours(int colourCount, HGLOBAL frame);

// The ordering distance of a palette colour from a target colour: the sum of channel
// differences above bit 16, then the order bits, then the difference of the ranges.
DWORD ColourDistance(RGBQUAD paletteColour, RGBQUAD targetColour);
