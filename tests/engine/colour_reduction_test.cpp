#include "gif/colour_reduction.h"

#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "capture/frame_image.h"
#include "platform/scoped.h"
#include "tests/engine/colour_reference.h"
#include "tests/support/test_frames.h"

namespace {

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};

// A grey whose cell is q on every channel, and that cell's palette colour.
Rgb GreyOfCell(int q) { return Rgb{static_cast<std::uint8_t>(16 * q), static_cast<std::uint8_t>(16 * q), static_cast<std::uint8_t>(16 * q)}; }
Rgb PaletteGrey(int q) { return Rgb{static_cast<std::uint8_t>(16 * q + 7), static_cast<std::uint8_t>(16 * q + 7), static_cast<std::uint8_t>(16 * q + 7)}; }

// A one-row frame of the given pixels, left to right (its one row is storage row 0).
UniqueFrame RowFrame(const std::vector<Rgb>& pixels) {
  return MakeFrame24(static_cast<int>(pixels.size()), 1, [&](int x, int) { return pixels[x]; });
}

// The colours of a LOGPALETTE block.
std::vector<Rgb> LogPaletteColours(HGLOBAL block) {
  std::vector<Rgb> colours;
  ScopedGlobalLock lock(block);
  if (!lock) return colours;
  const auto* palette = reinterpret_cast<const LOGPALETTE*>(lock.data());
  for (int i = 0; i < palette->palNumEntries; ++i) {
    colours.push_back(Rgb{palette->palPalEntry[i].peRed, palette->palPalEntry[i].peGreen, palette->palPalEntry[i].peBlue});
  }
  return colours;
}

std::vector<Rgb> FramePaletteColours(HGLOBAL frame, int target) {
  UniqueFrame palette(BuildFramePalette(frame, target));
  return LogPaletteColours(palette.get());
}

std::vector<Rgb> ToRgb(const std::vector<RGBQUAD>& table) {
  std::vector<Rgb> colours;
  for (const RGBQUAD& q : table) colours.push_back(Rgb{q.rgbRed, q.rgbGreen, q.rgbBlue});
  return colours;
}

// Indices of an 8-bit frame, storage rows.
std::vector<std::vector<int>> StoredIndices(HGLOBAL frame) {
  std::vector<std::vector<int>> rows;
  FrameLock lock(frame);
  if (!lock.ok() || lock.layout().bitCount != 8) return rows;
  for (int y = 0; y < lock.height(); ++y) rows.emplace_back(lock.Row(y), lock.Row(y) + lock.width());
  return rows;
}

// Frames of the kinds colour reduction meets: noise over every cell, smooth video-like
// gradients with a little noise, flat blocks of a few colours, and greys.
UniqueFrame RandomFrame(std::mt19937& random, int kind) {
  const int width = 1 + static_cast<int>(random() % 70), height = 1 + static_cast<int>(random() % 40);
  const std::uint32_t seed = random();
  return MakeFrame24(width, height, [&](int x, int y) {
    int salt = 0;
    const auto pixel = [&] { return reference::PixelNoise(seed, x, y, salt++); };
    const auto noise = [&](int spread) { return static_cast<int>(pixel() % (2 * spread + 1)) - spread; };
    const auto channel = [](int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); };
    switch (kind) {
      case 0: return Rgb{channel(pixel() % 256), channel(pixel() % 256), channel(pixel() % 256)};
      case 1: return Rgb{channel(x * 4 + noise(6)), channel(y * 6 + noise(6)), channel(200 - x * 2 + noise(6))};
      case 2: {
        const std::uint8_t block = static_cast<std::uint8_t>((x / 8 + y / 5) * 37);
        return Rgb{block, static_cast<std::uint8_t>(block * 3), static_cast<std::uint8_t>(255 - block)};
      }
      default: {
        const std::uint8_t v = channel(x * 3 + y * 2 + noise(3));
        return Rgb{v, v, v};
      }
    }
  });
}

// Palettes with the awkward cases: duplicate entries, greys, a single entry, 256 entries.
std::vector<RGBQUAD> RandomPalette(std::mt19937& random) {
  const int count = random() % 5 == 0 ? (random() % 2 ? 1 : 256) : 1 + static_cast<int>(random() % 256);
  std::vector<RGBQUAD> palette;
  for (int i = 0; i < count; ++i) {
    const int choice = static_cast<int>(random() % 6);
    if (choice == 0 && i > 0) {
      palette.push_back(palette[random() % i]);
    } else if (choice == 1) {
      const BYTE v = static_cast<BYTE>(random() % 256);
      palette.push_back(RGBQUAD{v, v, v, 0});
    } else {
      palette.push_back(RGBQUAD{static_cast<BYTE>(random()), static_cast<BYTE>(random()), static_cast<BYTE>(random()), 0});
    }
  }
  return palette;
}

TEST(ColourCellTest, KeysChromaAndHueSectors) {
  EXPECT_EQ(ColourCellKey(7, 0, 0), 0x000);
  EXPECT_EQ(ColourCellKey(8, 0, 0), 0x010);
  EXPECT_EQ(ColourCellKey(0, 231, 0), 0xE00);
  EXPECT_EQ(ColourCellKey(0, 232, 0), 0xF00);
  EXPECT_EQ(ColourCellKey(24, 23, 255), 0x12F);

  ColourCellEntry histogram[kColourCells];
  InitColourHistogram(histogram);
  struct Case {
    int key, chroma, sector;
  } cases[] = {
      {0x000, 0, 0},   // black
      {0x888, 0, 0},   // grey
      {0x0F0, 15, 0},  // red
      {0x8F0, 15, 1},  // red with half green
      {0xFF0, 15, 1},  // yellow: green is tested first
      {0xCA3, 9, 1},   // green 12, red 10, blue 3
      {0xF00, 15, 2},  // green
      {0xF0F, 15, 3},  // cyan
      {0x00F, 15, 4},  // blue
      {0x229, 7, 4},   // blue 9 over red and green 2
      {0x159, 8, 5},   // blue 9, red 5, green 1
      {0x0F8, 15, 5},  // red 15, blue 8: b - g = -1 wraps to 5
      {0x0FF, 15, 5},  // magenta
  };
  for (const Case& c : cases) {
    const ColourCellEntry& cell = histogram[c.key];
    EXPECT_EQ(cell.key, c.key);
    EXPECT_EQ(cell.chroma, c.chroma) << std::hex << c.key;
    EXPECT_EQ(cell.hueSector, c.sector) << std::hex << c.key;
    EXPECT_EQ(cell.count, 0);
  }
  const std::vector<reference::Cell> expected = reference::FreshHistogram();
  for (int key = 0; key < kColourCells; ++key) {
    ASSERT_EQ(histogram[key].chroma, expected[key].chroma) << key;
    ASSERT_EQ(histogram[key].hueSector, expected[key].sector) << key;
  }
}

TEST(ColourDistanceTest, SumThenOrderBitsThenRanges) {
  struct Case {
    RGBQUAD palette, target;  // blue, green, red, 0
    DWORD distance;
  } cases[] = {
      // Equal colours: only the orders the two do not share leave bits.
      {{30, 20, 10, 0}, {30, 20, 10, 0}, 0x3400},
      // Black against white: every order bit, equal (zero) ranges.
      {{0, 0, 0, 0}, {255, 255, 255, 0}, (765u << 16) | 0x3F00},
      // Red over green over blue in both.
      {{50, 100, 200, 0}, {40, 110, 190, 0}, (30u << 16) | 0xB00},
      // Orders shared partly; ranges 190 and 140.
      {{100, 200, 10, 0}, {10, 150, 100, 0}, (230u << 16) | 0x3300 | 50},
      // Exactly one grey: the plain difference of the ranges (40 - 0), either way round.
      {{100, 100, 100, 0}, {80, 100, 120, 0}, (40u << 16) | 0x3F00 | 40},
      {{80, 100, 120, 0}, {100, 100, 100, 0}, (40u << 16) | 0x3F00 | 40},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ColourDistance(c.palette, c.target), c.distance)
        << int(c.palette.rgbRed) << "," << int(c.palette.rgbGreen) << "," << int(c.palette.rgbBlue);
  }
}

TEST(BuildFramePaletteTest, OneColourFrameGivesBlackAndWhiteAndDithersBetweenThem) {
  UniqueFrame flat = MakeFlatFrame24(9, 7, Rgb{128, 128, 128});
  EXPECT_EQ(FramePaletteColours(flat.get(), 255), (std::vector<Rgb>{kBlack, kWhite}));
  // Pixels only in the black and white cells count there, and those counts are cleared.
  UniqueFrame blackAndWhite = MakeFrame24(9, 7, [](int x, int y) { return (x + y) % 2 ? Rgb{250, 250, 250} : Rgb{3, 3, 3}; });
  EXPECT_EQ(FramePaletteColours(blackAndWhite.get(), 15), (std::vector<Rgb>{kBlack, kWhite}));

  UniqueFrame reduced(ReduceFrameColours(255, flat.get()));
  ASSERT_TRUE(reduced);
  EXPECT_EQ(FrameBitCount(reduced.get()), 8);
  EXPECT_EQ(ColourTable(reduced.get()), (std::vector<Rgb>{kBlack, kWhite}));
  int seen[2] = {0, 0};
  for (int y = 0; y < 7; ++y) {
    for (int x = 0; x < 9; ++x) {
      const int index = IndexAt(reduced.get(), x, y);
      ASSERT_TRUE(index == 0 || index == 1);
      ++seen[index];
    }
  }
  EXPECT_GT(seen[0], 0);
  EXPECT_GT(seen[1], 0);
  EXPECT_EQ(PixelAt(flat.get(), 4, 4), (Rgb{128, 128, 128}));  // the source is untouched
}

TEST(BuildFramePaletteTest, CountsEntriesIntoCellsNotPixels) {
  const Rgb red{200, 20, 20}, blue{20, 20, 200};
  const Rgb redColour{215, 23, 23}, blueColour{23, 23, 215};
  // The first pixel sets the previous cell without counting.
  EXPECT_EQ(FramePaletteColours(RowFrame({red, blue, blue, blue}).get(), 15), (std::vector<Rgb>{kBlack, blueColour, kWhite}));
  // It counts once the scan re-enters its cell.
  EXPECT_EQ(FramePaletteColours(RowFrame({red, blue, red}).get(), 15),
            (std::vector<Rgb>{kBlack, redColour, blueColour, kWhite}));

  // Greys (all hue sector 0): the lightest counted grey is the sector's first pick, the
  // next its best candidate; the remaining twelve compete for eleven places by count.
  // Grey 12 covers 50 pixels but is entered once; greys 1..11 are entered twice each.
  std::vector<Rgb> pixels{kBlack, GreyOfCell(14), GreyOfCell(13)};
  pixels.insert(pixels.end(), 50, GreyOfCell(12));
  for (int round = 0; round < 2; ++round) {
    for (int q = 1; q <= 11; ++q) pixels.push_back(GreyOfCell(q));
  }
  std::vector<Rgb> expected{kBlack};
  for (int q = 1; q <= 14; ++q) {
    if (q != 12) expected.push_back(PaletteGrey(q));
  }
  expected.push_back(kWhite);
  EXPECT_EQ(FramePaletteColours(RowFrame(pixels).get(), 15), expected);

  // All entered once: equal counts are taken from the higher key down, so grey 1 loses.
  pixels = {kBlack, GreyOfCell(14), GreyOfCell(13)};
  for (int q = 1; q <= 12; ++q) pixels.push_back(GreyOfCell(q));
  expected = {kBlack};
  for (int q = 2; q <= 14; ++q) expected.push_back(PaletteGrey(q));
  expected.push_back(kWhite);
  EXPECT_EQ(FramePaletteColours(RowFrame(pixels).get(), 15), expected);
}

TEST(BuildFramePaletteTest, SortsDarkestFirstKeepingTheOrderOfAdditionOnEqualSums) {
  // Green (key 0xF00) and blue (0x00F) are the first picks of sectors 2 and 4; red (0x0F0)
  // loses sector 0's first pick to the grey (0x888) and comes in after them as that
  // sector's most saturated colour. All three sum to 261 and stay in that order.
  UniqueFrame frame = RowFrame({kBlack, Rgb{0, 255, 0}, Rgb{255, 0, 0}, Rgb{0, 0, 255}, Rgb{128, 128, 128}});
  EXPECT_EQ(FramePaletteColours(frame.get(), 15),
            (std::vector<Rgb>{kBlack, Rgb{7, 247, 7}, Rgb{7, 7, 247}, Rgb{247, 7, 7}, Rgb{135, 135, 135}, kWhite}));
}

TEST(BuildFramePaletteTest, NeverExceedsTheColourTarget) {
  std::mt19937 random(7);
  UniqueFrame noise = MakeFrame24(96, 96, [&](int, int) {
    return Rgb{static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random())};
  });
  for (int target : {15, 31, 63, 127, 255, 256}) {
    UniqueFrame palette(BuildFramePalette(noise.get(), target));
    ASSERT_TRUE(palette);
    EXPECT_EQ(LogPaletteColours(palette.get()).size(), static_cast<std::size_t>(target));
    EXPECT_GE(GlobalSize(palette.get()), 4 + 4 * static_cast<std::size_t>(target + 1));
    ScopedGlobalLock lock(palette.get());
    EXPECT_EQ(reinterpret_cast<const LOGPALETTE*>(lock.data())->palVersion, 0x300);
  }
}

TEST(MapFrameToPaletteTest, OddRowsRunRightToLeft) {
  // Palette black and white; greys from 120 up map to white. Storage row 0 (the bottom
  // row) 40 40 40: black, errors 20, 30, 35 left in the error row. Storage row 1
  // 80 80 100, right to left: 100 + 35 = 135 white (error -120 -> -60); 80 - 60 + 30 = 50
  // black (50 -> 25); 80 + 25 + 20 = 125 white. Left to right it would be black white black.
  UniqueFrame frame = MakeFrame24(3, 2, [](int x, int y) {
    const std::uint8_t top[3] = {80, 80, 100};
    const std::uint8_t v = y == 0 ? top[x] : 40;
    return Rgb{v, v, v};
  });
  const RGBQUAD palette[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  UniqueFrame mapped(MapFrameToPalette(palette, frame.get(), 2));
  ASSERT_TRUE(mapped);
  EXPECT_EQ(StoredIndices(mapped.get()), (std::vector<std::vector<int>>{{0, 0, 0}, {1, 0, 1}}));
}

TEST(MapFrameToPaletteTest, WritesAnEightBitFrameWithThePaletteAndZeroPadding) {
  UniqueFrame frame = MakeFrame24(5, 3, [](int x, int y) { return Rgb{static_cast<std::uint8_t>(x * 60), static_cast<std::uint8_t>(y * 100), 90}; });
  const RGBQUAD palette[3] = {{0, 0, 0, 0}, {90, 0, 240, 0}, {255, 255, 255, 0}};
  UniqueFrame mapped(MapFrameToPalette(palette, frame.get(), 3));
  ASSERT_TRUE(mapped);
  FrameLock lock(mapped.get());
  ASSERT_TRUE(lock.ok());
  const BITMAPINFOHEADER& h = *lock.header();
  EXPECT_EQ(h.biSize, 40u);
  EXPECT_EQ(h.biWidth, 5);
  EXPECT_EQ(h.biHeight, 3);
  EXPECT_EQ(h.biPlanes, 1);
  EXPECT_EQ(h.biBitCount, 8);
  EXPECT_EQ(h.biCompression, static_cast<DWORD>(BI_RGB));
  EXPECT_EQ(h.biSizeImage, 24u);
  EXPECT_EQ(h.biXPelsPerMeter, 0);
  EXPECT_EQ(h.biYPelsPerMeter, 0);
  EXPECT_EQ(h.biClrUsed, 3u);
  EXPECT_EQ(h.biClrImportant, 3u);
  EXPECT_EQ(ColourTable(mapped.get()), (std::vector<Rgb>{kBlack, Rgb{240, 0, 90}, kWhite}));
  for (int row = 0; row < 3; ++row) {
    for (int x = 5; x < 8; ++x) EXPECT_EQ(lock.Row(row)[x], 0);
  }
}

TEST(MapFrameToPaletteTest, MatchesTheStraightforwardMappingOnRandomFramesAndPalettes) {
  std::mt19937 random(2024);
  for (int trial = 0; trial < 300; ++trial) {
    UniqueFrame frame = RandomFrame(random, trial % 4);
    const std::vector<RGBQUAD> palette = RandomPalette(random);
    const int count = static_cast<int>(palette.size());
    UniqueFrame mapped(MapFrameToPalette(palette.data(), frame.get(), count));
    ASSERT_TRUE(mapped);
    ASSERT_EQ(StoredIndices(mapped.get()), reference::Map(palette.data(), count, frame.get()))
        << "trial " << trial << ", " << count << " entries";
  }
}

TEST(MapFrameToPaletteTest, FindsTheNearestEntryOfEveryCellLikeAFullSearch) {
  // A frame through every cell at its centre value, mapped with small errors, reaches
  // (nearly) every cache entry; the reference measures every entry.
  std::mt19937 random(99);
  UniqueFrame everyCell = MakeFrame24(64, 64, [](int x, int y) {
    const int key = y * 64 + x;
    return Rgb{static_cast<std::uint8_t>(16 * ((key >> 4) & 15) + 4), static_cast<std::uint8_t>(16 * (key >> 8) + 4),
               static_cast<std::uint8_t>(16 * (key & 15) + 4)};
  });
  for (int trial = 0; trial < 24; ++trial) {
    const std::vector<RGBQUAD> palette = RandomPalette(random);
    const int count = static_cast<int>(palette.size());
    UniqueFrame mapped(MapFrameToPalette(palette.data(), everyCell.get(), count));
    ASSERT_TRUE(mapped);
    ASSERT_EQ(StoredIndices(mapped.get()), reference::Map(palette.data(), count, everyCell.get())) << "trial " << trial;
  }
}

TEST(ReduceFrameColoursTest, MatchesTheStraightforwardReductionOnRandomFrames) {
  std::mt19937 random(31337);
  const int targets[] = {15, 31, 63, 127, 255, 256};
  for (int trial = 0; trial < 120; ++trial) {
    UniqueFrame frame = RandomFrame(random, trial % 4);
    const int target = targets[trial % 6];
    const std::vector<RGBQUAD> palette = reference::FramePalette(frame.get(), target);
    UniqueFrame reduced(ReduceFrameColours(target, frame.get()));
    ASSERT_TRUE(reduced);
    ASSERT_EQ(ColourTable(reduced.get()), ToRgb(palette)) << "trial " << trial;
    ASSERT_EQ(StoredIndices(reduced.get()), reference::Map(palette.data(), static_cast<int>(palette.size()), frame.get()))
        << "trial " << trial;
  }
}

TEST(ColourReductionTest, RefusesFramesThatAreNotTwentyFourBitAndTargetsOutOfRange) {
  UniqueFrame frame = MakeFlatFrame24(4, 4, Rgb{10, 200, 30});
  UniqueFrame indexed = MakeIndexedFrame(4, 4, 8, {kBlack, kWhite}, [](int x, int) { return x % 2; });
  UniqueFrame deep(NewFrameImage(4, 4, 32, 0));
  UniqueFrame broken(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 20));  // shorter than a header
  const RGBQUAD palette[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  for (HGLOBAL bad : {indexed.get(), deep.get(), broken.get(), static_cast<HGLOBAL>(nullptr)}) {
    EXPECT_EQ(BuildFramePalette(bad, 255), nullptr);
    EXPECT_EQ(MapFrameToPalette(palette, bad, 2), nullptr);
    EXPECT_EQ(ReduceFrameColours(255, bad), nullptr);
  }
  for (int target : {0, 14, 257, -1}) {
    EXPECT_EQ(BuildFramePalette(frame.get(), target), nullptr) << target;
    EXPECT_EQ(ReduceFrameColours(target, frame.get()), nullptr) << target;
  }
  for (int target : {15, 256}) {
    UniqueFrame palette(BuildFramePalette(frame.get(), target));
    EXPECT_TRUE(palette) << target;
  }
  EXPECT_EQ(MapFrameToPalette(palette, frame.get(), 0), nullptr);
  EXPECT_EQ(MapFrameToPalette(palette, frame.get(), 257), nullptr);
  EXPECT_EQ(MapFrameToPalette(nullptr, frame.get(), 2), nullptr);

  ColourCellEntry histogram[kColourCells];
  InitColourHistogram(histogram);
  RGBQUAD colours[256];
  EXPECT_EQ(SelectPalette(histogram, 14, colours), 0);
  EXPECT_EQ(SelectPalette(histogram, 257, colours), 0);
}

}  // namespace
