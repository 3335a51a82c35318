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
  std::int32_t count;      // weight gathered from the pixels; negative only in shared counting
};

// The 12-bit cell of a pixel: each channel to q = min(x + 8, 255) >> 4, then
// (q green << 8) | (q red << 4) | q blue.
int ColourCellKey(int red, int green, int blue);

// Fills a histogram of kColourCells entries: keys in order, chroma, hue sector, count 0.
void InitColourHistogram(ColourCellEntry* histogram);

// Chooses up to target colours from a histogram (which it reorders and whose counts
// it consumes) into palette (room for 256), in colour-table order (blue, green, red,
// 0), sorted darkest first. Returns the number of colours, 2..target.
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
