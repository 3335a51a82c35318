#include "gif/shared_palette.h"

#include <cstdint>

#include "capture/frame_image.h"
#include "gif/colour_reduction.h"

// The recording's histogram (the frame palette's entries, hue sectors and selection),
// the palette chosen from it and the size asked for; rebuilt by every shared-palette build.
// While frames are counted, the counts and hue sectors live in compact arrays beside it
// that stay in the first-level cache; the counts move into the histogram for selection.
static ColourCellEntry sharedHistogram[kColourCells];
static std::int64_t sharedCounts[kColourCells];
static std::int8_t sharedSectors[kColourCells];
static RGBQUAD sharedPalette[256];
static int sharedPaletteSize = 0;
static int sharedColourCount = 0;

namespace {

// Brightness of a stored pixel (blue, green, red): 3 red + 6 green + blue.
inline int PixelBrightness(const BYTE* pixel) { return 3 * pixel[2] + 6 * pixel[1] + pixel[0]; }

inline int PixelKey(const BYTE* pixel) { return ColourCellKey(pixel[2], pixel[1], pixel[0]); }

}  // namespace

void StartSharedPalette(int colourCount) {
  sharedColourCount = colourCount;
  sharedPaletteSize = 0;
  InitColourHistogram(sharedHistogram);
  for (int key = 0; key < kColourCells; ++key) {
    sharedCounts[key] = 0;
    sharedSectors[key] = static_cast<std::int8_t>(sharedHistogram[key].hueSector);
  }
}

// Weighs each cell the scan enters by how far brightness has moved since the run of one
// hue sector began: the running sum telescopes to the brightness now less the brightness
// where the run (or the row) began, so it stays within 2550 either way and a count can
// gain that much a pixel. Counts are 64-bit: one crafted full-HD frame passes 2^31.
void AddFrameToSharedPalette(HGLOBAL frame) {
  FrameLock source(frame);
  if (!source.Is24Bit()) return;
  const int width = source.width(), height = source.height();
  // The key of the last pixel counted runs on across rows. It starts as the first
  // pixel's key, so the first pixel counts only when a later pixel re-enters its cell.
  int previousKey = PixelKey(source.Row(0));
  for (int row = 0; row < height; ++row) {
    const BYTE* pixel = source.Row(row);
    int previousSector = sharedSectors[previousKey];
    int previousBrightness = PixelBrightness(pixel);
    int sum = 0;
    for (int x = 0; x < width; ++x, pixel += 3) {
      const int key = PixelKey(pixel);
      if (key == previousKey) continue;
      previousKey = key;
      const int sector = sharedSectors[key];
      const int brightness = PixelBrightness(pixel);
      if (sector != previousSector) {
        previousSector = sector;
        sum = 0;
        sharedCounts[key] += 1;
      } else {
        sum += brightness - previousBrightness;
        // Bit 6 of the sum in two's complement turns the weight negative.
        sharedCounts[key] += sum == 0 ? 1 : (sum & 64) ? -sum : sum;
      }
      previousBrightness = brightness;
    }
  }
}

// The histogram is filled afresh in key order each time, so choosing twice gives the same palette.
void SelectSharedPalette() {
  InitColourHistogram(sharedHistogram);
  for (int key = 0; key < kColourCells; ++key) sharedHistogram[key].count = sharedCounts[key];
  sharedPaletteSize = SelectPalette(sharedHistogram, sharedColourCount, sharedPalette);
}

const RGBQUAD* SharedPalette(int* count) {
  *count = sharedPaletteSize;
  return sharedPalette;
}
