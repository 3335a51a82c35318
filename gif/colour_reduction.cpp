#include "gif/colour_reduction.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "capture/frame_image.h"
#include "platform/scoped.h"

namespace {

constexpr int kHueSectors = 6;
constexpr int kSmallestTarget = 15;
constexpr int kLargestTarget = 256;
constexpr int kWhiteCell = kColourCells - 1;

// The histogram every count starts from. The hue sector compares the channels'
// distances from the largest, each divided by the chroma (so 0, or 1 for the
// smallest channel), testing green for the largest before red, red before blue.
constexpr ColourCellEntry FreshCell(int key) {
  const int blue = key & 15, red = (key >> 4) & 15, green = (key >> 8) & 15;
  const int largest = std::max({red, green, blue}), smallest = std::min({red, green, blue});
  const int chroma = largest - smallest;
  int sector = 0;
  if (largest != 0 && chroma != 0) {
    const int r = (largest - red) / chroma, g = (largest - green) / chroma, b = (largest - blue) / chroma;
    if (green == largest) {
      sector = 2 + r - b;
    } else if (red == largest) {
      sector = b - g;
    } else {
      sector = 4 + g - r;
    }
    if (sector < 0) sector += 6;
    sector = std::clamp(sector, 0, kHueSectors - 1);
  }
  return ColourCellEntry{key, chroma, sector, 0};
}

constexpr std::array<ColourCellEntry, kColourCells> MakeFreshHistogram() {
  std::array<ColourCellEntry, kColourCells> histogram{};
  for (int key = 0; key < kColourCells; ++key) histogram[key] = FreshCell(key);
  return histogram;
}

constexpr std::array<ColourCellEntry, kColourCells> kFreshHistogram = MakeFreshHistogram();

// Each channel's share of ColourCellKey for every value the mapping can meet, clamped
// to 0..255 first. Diffused values stay within -256..509 (see MapRow), so one lookup
// does the clamp and the quantisation; counting uses the 0..255 part.
constexpr int kLowestValue = -256;
constexpr int kValueRange = 768;

struct ChannelKeys {
  std::int32_t red[kValueRange];
  std::int32_t green[kValueRange];
  std::int32_t blue[kValueRange];
};

constexpr ChannelKeys MakeChannelKeys() {
  ChannelKeys keys{};
  for (int i = 0; i < kValueRange; ++i) {
    const int value = std::clamp(i + kLowestValue, 0, 255);
    keys.red[i] = ColourCellKey(value, 0, 0);
    keys.green[i] = ColourCellKey(0, value, 0);
    keys.blue[i] = ColourCellKey(0, 0, value);
  }
  return keys;
}

constexpr ChannelKeys kChannelKeys = MakeChannelKeys();

// Key of a stored pixel (blue, green, red).
inline int PixelKey(const BYTE* pixel) {
  return kChannelKeys.blue[pixel[0] - kLowestValue] | kChannelKeys.green[pixel[1] - kLowestValue] |
         kChannelKeys.red[pixel[2] - kLowestValue];
}

// A cell's colour in a palette: 16q + 7 a channel.
RGBQUAD CellColour(int key) {
  return RGBQUAD{static_cast<BYTE>(16 * (key & 15) + 7), static_cast<BYTE>(16 * ((key >> 8) & 15) + 7),
                 static_cast<BYTE>(16 * ((key >> 4) & 15) + 7), 0};
}

// A cell's representative when its nearest palette entry is searched: 16q + 8 a channel.
RGBQUAD CellRepresentative(int key) {
  return RGBQUAD{static_cast<BYTE>(16 * (key & 15) + 8), static_cast<BYTE>(16 * ((key >> 8) & 15) + 8),
                 static_cast<BYTE>(16 * ((key >> 4) & 15) + 8), 0};
}

int ChannelSum(RGBQUAD colour) { return colour.rgbRed + colour.rgbGreen + colour.rgbBlue; }

// Sorts a histogram in key order by count, ascending, stably: equal counts keep key
// order, so the walk from the largest count takes the higher key first. A stable sort
// of entries in key order is a sort by (count, key). Most cells of a frame count 0 and
// are already in key order, so only the negative and the positive ones are sorted.
void SortByCount(ColourCellEntry* histogram) {
  static ColourCellEntry sorted[kColourCells];
  int negatives = 0, zeros = 0;
  for (int i = 0; i < kColourCells; ++i) {
    if (histogram[i].count < 0) ++negatives;
    if (histogram[i].count == 0) ++zeros;
  }
  int next[3] = {0, negatives, negatives + zeros};
  for (int i = 0; i < kColourCells; ++i) {
    const int group = histogram[i].count < 0 ? 0 : histogram[i].count == 0 ? 1 : 2;
    sorted[next[group]++] = histogram[i];
  }
  const auto byCountThenKey = [](const ColourCellEntry& a, const ColourCellEntry& b) {
    return a.count != b.count ? a.count < b.count : a.key < b.key;
  };
  std::sort(sorted, sorted + negatives, byCountThenKey);
  std::sort(sorted + negatives + zeros, sorted + kColourCells, byCountThenKey);
  std::memcpy(histogram, sorted, sizeof sorted);
}

// Sorts the palette by red + green + blue, ascending, stably: equal sums keep the
// order in which the entries were added.
void SortDarkestFirst(RGBQUAD* palette, int count) {
  for (int i = 1; i < count; ++i) {
    const RGBQUAD entry = palette[i];
    const int sum = ChannelSum(entry);
    int j = i;
    for (; j > 0 && ChannelSum(palette[j - 1]) > sum; --j) palette[j] = palette[j - 1];
    palette[j] = entry;
  }
}

// Counts how often the scan enters each cell: pixels in storage order, the row padding
// passed over, the previous key running on across rows and starting as the first
// pixel's key (so the first pixel counts only when a later pixel re-enters its cell).
// Counted without a branch into two compact 32-bit arrays that stay in the first-level
// cache, one for even and one for odd columns, so a pixel never waits for its
// neighbour's update (a frame has fewer than 2^31 pixels); then summed into the histogram.
void CountCellEntries(const FrameLock& frame, ColourCellEntry* histogram) {
  static std::uint32_t entries[2][kColourCells];
  std::fill(&entries[0][0], &entries[0][0] + 2 * kColourCells, 0u);
  const int width = frame.width(), height = frame.height();
  int previous = PixelKey(frame.Row(0));
  for (int row = 0; row < height; ++row) {
    const BYTE* pixel = frame.Row(row);
    for (int x = 0; x < width; ++x, pixel += 3) {
      const int key = PixelKey(pixel);
      entries[x & 1][key] += key != previous;
      previous = key;
    }
  }
  for (int key = 0; key < kColourCells; ++key) histogram[key].count = entries[0][key] + entries[1][key];
}

// The palette as the nearest-entry search reads it: channels in separate arrays,
// padded to whole blocks with entries too far away to be chosen, so the pass over the
// channel difference sums runs over fixed-size blocks the compiler turns into vector code.
constexpr int kSearchBlock = 16;
constexpr std::int16_t kFarAway = 4000;  // sums from it stay above 765 and within 16 bits

struct PaletteSearch {
  alignas(16) std::int16_t red[kLargestTarget];
  alignas(16) std::int16_t green[kLargestTarget];
  alignas(16) std::int16_t blue[kLargestTarget];
  const RGBQUAD* palette;
  int count;
  int paddedCount;
};

void PreparePaletteSearch(const RGBQUAD* palette, int count, PaletteSearch* search) {
  search->palette = palette;
  search->count = count;
  search->paddedCount = (count + kSearchBlock - 1) / kSearchBlock * kSearchBlock;
  for (int i = 0; i < search->paddedCount; ++i) {
    search->red[i] = i < count ? palette[i].rgbRed : kFarAway;
    search->green[i] = i < count ? palette[i].rgbGreen : kFarAway;
    search->blue[i] = i < count ? palette[i].rgbBlue : kFarAway;
  }
}

// The palette entry of the smallest ColourDistance to the cell's representative, the
// lower index on equal distances. The distance's parts do not overlap (channel sum at
// bit 16 and up, order bits 0x100..0x2000, range difference 0..255), so it orders by the
// sum first: the full distance is needed only among the entries of the smallest sum.
// Gives the same index as measuring every entry (the tests compare both).
int NearestEntry(const PaletteSearch& search, int key) {
  const RGBQUAD target = CellRepresentative(key);
  const int red = target.rgbRed, green = target.rgbGreen, blue = target.rgbBlue;
  // First pass: every sum, and the smallest sum with its lowest index packed as sum << 8 | index.
  alignas(16) std::int16_t sums[kLargestTarget];
  int smallest = INT_MAX;
  for (int block = 0; block < search.paddedCount; block += kSearchBlock) {
    for (int i = block; i < block + kSearchBlock; ++i) {
      const int sum = std::abs(search.red[i] - red) + std::abs(search.green[i] - green) + std::abs(search.blue[i] - blue);
      sums[i] = static_cast<std::int16_t>(sum);
      smallest = std::min(smallest, sum << 8 | i);
    }
  }
  const int smallestSum = smallest >> 8;
  const int first = smallest & 0xFF;
  // Second pass: when no other entry has that sum, the first is the answer.
  int ties = 0;
  for (int block = 0; block < search.paddedCount; block += kSearchBlock) {
    for (int i = block; i < block + kSearchBlock; ++i) ties += sums[i] == smallestSum;
  }
  if (ties == 1) return first;
  int best = first;
  DWORD bestDistance = ColourDistance(search.palette[first], target);
  for (int i = first + 1; i < search.count; ++i) {
    if (sums[i] != smallestSum) continue;
    const DWORD distance = ColourDistance(search.palette[i], target);
    if (distance < bestDistance) {
      best = i;
      bestDistance = distance;
    }
  }
  return best;
}

// One answer of the cache: the palette index (-1 = not searched yet) with its colour
// beside it, so the error is found without a second dependent lookup.
struct CachedEntry {
  std::int16_t red, green, blue, index;
};

// The cache's answer for a key, searched the first time the key comes.
inline CachedEntry LookUp(const PaletteSearch& search, CachedEntry* cache, std::uint32_t key) {
  CachedEntry& entry = cache[key];
  if (entry.index < 0) [[unlikely]] {
    const int index = NearestEntry(search, static_cast<int>(key));
    entry = CachedEntry{search.red[index], search.green[index], search.blue[index], static_cast<std::int16_t>(index)};
  }
  return entry;
}

// Maps one storage row in the direction kStep (+1 left to right, -1 right to left) and
// returns how often the key changed from one pixel to the next. The arithmetic is the
// signed 16-bit arithmetic of the error diffusion, done in wider integers with the same
// results because nothing leaves 16 bits: a shifted error lies in -128..127 (an error
// of at most 511 either way shifts by 2 into -128..127, one within -128..128 by 1 into
// -64..64), so a value (channel + running error + row error) lies in -256..509 and an
// error (value - palette channel) in -511..509. Right shifts of negative values are
// arithmetic (C++20), rounding towards minus infinity.
template <int kStep, bool kHoldEntry>
int MapRow(const PaletteSearch& search, CachedEntry* cache, const BYTE* source, BYTE* target, std::int16_t* errors,
           int width) {
  // Indexed by a value itself, -256..511; values are pointer-sized so that indexing
  // needs no widening on the path from one pixel's error to the next pixel's key.
  const std::int32_t* redKeys = kChannelKeys.red - kLowestValue;
  const std::int32_t* greenKeys = kChannelKeys.green - kLowestValue;
  const std::int32_t* blueKeys = kChannelKeys.blue - kLowestValue;
  std::ptrdiff_t runRed = 0, runGreen = 0, runBlue = 0;
  std::uint32_t currentKey = kColourCells;  // none yet
  CachedEntry current{};
  int changes = 0;
  for (std::ptrdiff_t n = 0, x = kStep > 0 ? 0 : width - 1; n < width; ++n, x += kStep) {
    const BYTE* pixel = source + 3 * x;
    std::int16_t* error = errors + 3 * x;
    const std::ptrdiff_t red = pixel[2] + error[0] + runRed;
    const std::ptrdiff_t green = pixel[1] + error[1] + runGreen;
    const std::ptrdiff_t blue = pixel[0] + error[2] + runBlue;
    const std::uint32_t key = static_cast<std::uint32_t>(redKeys[red] | greenKeys[green] | blueKeys[blue]);
    if constexpr (kHoldEntry) {
      if (key != currentKey) {
        current = LookUp(search, cache, key);
        currentKey = key;
        ++changes;
      }
    } else {
      changes += key != currentKey;
      currentKey = key;
      current = LookUp(search, cache, key);
    }
    target[x] = static_cast<BYTE>(current.index);
    const std::ptrdiff_t errorRed = red - current.red;
    const std::ptrdiff_t errorGreen = green - current.green;
    const std::ptrdiff_t errorBlue = blue - current.blue;
    // |e| > 128 exactly when e + 128 lies outside 0..256.
    const bool large = (static_cast<std::size_t>(errorRed + 128) > 256u) |
                       (static_cast<std::size_t>(errorGreen + 128) > 256u) |
                       (static_cast<std::size_t>(errorBlue + 128) > 256u);
    if (large) [[unlikely]] {
      runRed = errorRed >> 2;
      runGreen = errorGreen >> 2;
      runBlue = errorBlue >> 2;
    } else {
      runRed = errorRed >> 1;
      runGreen = errorGreen >> 1;
      runBlue = errorBlue >> 1;
    }
    error[0] = static_cast<std::int16_t>(runRed);
    error[1] = static_cast<std::int16_t>(runGreen);
    error[2] = static_cast<std::int16_t>(runBlue);
  }
  return changes;
}

}  // namespace

// The frame's own histogram, rebuilt by every BuildFramePalette.
static ColourCellEntry frameHistogram[kColourCells];

void InitColourHistogram(ColourCellEntry* histogram) {
  std::memcpy(histogram, kFreshHistogram.data(), sizeof kFreshHistogram);
}

int SelectPalette(ColourCellEntry* histogram, int target, RGBQUAD* palette) {
  if (target < kSmallestTarget || target > kLargestTarget) return 0;
  int count = 0;
  palette[count++] = RGBQUAD{0, 0, 0, 0};
  palette[count++] = RGBQUAD{255, 255, 255, 0};
  histogram[0].count = 0;
  histogram[kWhiteCell].count = 0;

  // First pick of each hue sector from the highest key down; the sector's other cells
  // compete on chroma, the higher key keeping the place on equal chroma. At most six
  // colours, whatever the target (at least 15).
  struct HueSlot {
    int firstPick = -1;
    int bestCandidate = -1;
    int bestChroma = -1;
  } slots[kHueSectors];
  for (int key = kColourCells - 1; key >= 0; --key) {
    ColourCellEntry& cell = histogram[key];
    if (cell.count <= 0) continue;
    HueSlot& slot = slots[cell.hueSector];
    if (slot.firstPick < 0) {
      palette[count++] = CellColour(key);
      slot.firstPick = key;
      cell.count = 0;
    } else if (cell.chroma > slot.bestChroma) {
      slot.bestCandidate = key;
      slot.bestChroma = cell.chroma;
    }
  }
  for (int sector = 0; sector < kHueSectors && count < target; ++sector) {
    const int key = slots[sector].bestCandidate;
    if (key < 0) continue;
    histogram[key].count = 0;
    palette[count++] = CellColour(key);
  }

  SortByCount(histogram);
  // The heaviest cells first; then, when they run out, the most negative ones.
  for (int i = kColourCells - 1; i >= 0 && count < target; --i) {
    if (histogram[i].count == 0) continue;
    if (histogram[i].count < 0) break;
    palette[count++] = CellColour(histogram[i].key);
    histogram[i].count = 0;
  }
  for (int i = 0; i < kColourCells && count < target; ++i) {
    if (histogram[i].count == 0) continue;
    if (histogram[i].count > 0) break;
    palette[count++] = CellColour(histogram[i].key);
    histogram[i].count = 0;
  }

  SortDarkestFirst(palette, count);
  return count;
}

HGLOBAL BuildFramePalette(HGLOBAL frame, int colourCount) {
  if (colourCount < kSmallestTarget || colourCount > kLargestTarget) return nullptr;
  FrameLock source(frame);
  if (!source.Is24Bit()) return nullptr;
  InitColourHistogram(frameHistogram);
  CountCellEntries(source, frameHistogram);
  RGBQUAD colours[kLargestTarget];
  const int count = SelectPalette(frameHistogram, colourCount, colours);

  const std::size_t bytes = offsetof(LOGPALETTE, palPalEntry) + (colourCount + 1) * sizeof(PALETTEENTRY);
  OwnedGlobal block(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes));
  ScopedGlobalLock lock(block.get());
  if (!lock) return nullptr;
  auto* palette = reinterpret_cast<LOGPALETTE*>(lock.data());
  palette->palVersion = 0x300;
  palette->palNumEntries = static_cast<WORD>(count);
  for (int i = 0; i < count; ++i) {
    palette->palPalEntry[i] = PALETTEENTRY{colours[i].rgbRed, colours[i].rgbGreen, colours[i].rgbBlue, 0};
  }
  return block.release();
}

HGLOBAL MapFrameToPalette(const RGBQUAD* palette, HGLOBAL frame, int count) {
  if (!palette || count < 1 || count > kLargestTarget) return nullptr;
  // FrameLock refuses sides above 32767, so width and height are the 16-bit values.
  FrameLock source(frame);
  if (!source.Is24Bit()) return nullptr;
  const int width = source.width(), height = source.height();

  OwnedGlobal result(NewFrameImage(width, height, 8, count));
  FrameLock target(result.get());
  if (!target.ok()) return nullptr;
  target.header()->biClrImportant = static_cast<DWORD>(count);
  std::memcpy(target.colours(), palette, count * sizeof(RGBQUAD));

  // One block for the answer cache and the error row (red, green, blue a column).
  const std::size_t errorCount = 3 * static_cast<std::size_t>(width);
  std::unique_ptr<BYTE[]> scratch(new (std::nothrow) BYTE[kColourCells * sizeof(CachedEntry) + errorCount * sizeof(std::int16_t)]);
  if (!scratch) return nullptr;
  auto* cache = reinterpret_cast<CachedEntry*>(scratch.get());
  std::fill(cache, cache + kColourCells, CachedEntry{0, 0, 0, -1});
  auto* errors = reinterpret_cast<std::int16_t*>(cache + kColourCells);
  std::fill(errors, errors + errorCount, std::int16_t{0});
  PaletteSearch search;
  PreparePaletteSearch(palette, count, &search);

  // Storage rows: even ones left to right, odd ones right to left. A row whose pixels
  // seldom change cell (under a quarter of them in the row before) holds the last answer
  // while the key stays the same: the branch is then predicted well, and the next pixel
  // need not wait for the key and the cache lookup. Both ways give the same indices.
  int changes = 0;
  for (int row = 0; row < height; ++row) {
    const bool hold = changes * 4 < width;
    if (row % 2 == 0) {
      changes = hold ? MapRow<1, true>(search, cache, source.Row(row), target.Row(row), errors, width)
                     : MapRow<1, false>(search, cache, source.Row(row), target.Row(row), errors, width);
    } else {
      changes = hold ? MapRow<-1, true>(search, cache, source.Row(row), target.Row(row), errors, width)
                     : MapRow<-1, false>(search, cache, source.Row(row), target.Row(row), errors, width);
    }
  }
  return result.release();
}

HGLOBAL ReduceFrameColours(int colourCount, HGLOBAL frame) {
  OwnedGlobal paletteBlock(BuildFramePalette(frame, colourCount));
  ScopedGlobalLock lock(paletteBlock.get());
  if (!lock) return nullptr;
  const auto* palette = reinterpret_cast<const LOGPALETTE*>(lock.data());
  const int count = palette->palNumEntries;
  RGBQUAD table[kLargestTarget];
  for (int i = 0; i < count; ++i) {
    const PALETTEENTRY& entry = palette->palPalEntry[i];
    table[i] = RGBQUAD{entry.peBlue, entry.peGreen, entry.peRed, 0};
  }
  return MapFrameToPalette(table, frame, count);
}

DWORD ColourDistance(RGBQUAD paletteColour, RGBQUAD targetColour) {
  const int r = paletteColour.rgbRed, g = paletteColour.rgbGreen, b = paletteColour.rgbBlue;
  const int tr = targetColour.rgbRed, tg = targetColour.rgbGreen, tb = targetColour.rgbBlue;
  DWORD distance = static_cast<DWORD>(std::abs(r - tr) + std::abs(g - tg) + std::abs(b - tb)) << 16;
  // A bit stays set unless both colours share that strict order of two channels.
  if (!(r > g && tr > tg)) distance |= 0x2000;
  if (!(r > b && tr > tb)) distance |= 0x1000;
  if (!(g > r && tg > tr)) distance |= 0x800;
  if (!(g > b && tg > tb)) distance |= 0x400;
  if (!(b > r && tb > tr)) distance |= 0x200;
  if (!(b > g && tb > tg)) distance |= 0x100;
  // The difference of the ranges. Where exactly one of the two is grey (range 0) this is
  // also the plain difference, chosen over ranking such pairs after all others: a grey
  // entry stays in play for a coloured target and a coloured entry for a grey one, and
  // the sum and order bits above rank them like any other pair.
  const int range = std::max({r, g, b}) - std::min({r, g, b});
  const int targetRange = std::max({tr, tg, tb}) - std::min({tr, tg, tb});
  distance |= static_cast<DWORD>(std::abs(range - targetRange));
  return distance;
}
