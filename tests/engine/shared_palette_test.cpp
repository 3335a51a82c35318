#include "gif/shared_palette.h"

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "capture/frame_image.h"
#include "gif/colour_reduction.h"
#include "tests/engine/colour_reference.h"
#include "tests/support/test_frames.h"

namespace {

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};

Rgb Grey(int v) { return Rgb{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v)}; }

std::vector<Rgb> SharedColours() {
  int count = 0;
  const RGBQUAD* palette = SharedPalette(&count);
  std::vector<Rgb> colours;
  for (int i = 0; i < count; ++i) colours.push_back(Rgb{palette[i].rgbRed, palette[i].rgbGreen, palette[i].rgbBlue});
  return colours;
}

std::vector<Rgb> PaletteOfRecording(int colourCount, const std::vector<HGLOBAL>& frames) {
  StartSharedPalette(colourCount);
  for (HGLOBAL frame : frames) AddFrameToSharedPalette(frame);
  SelectSharedPalette();
  return SharedColours();
}

TEST(SharedPaletteTest, CountsOnlyWhereTheScanChangesCell) {
  // Each frame's first pixel only sets the starting cell: flat frames count nothing.
  UniqueFrame grey = MakeFlatFrame24(8, 8, Grey(128));
  UniqueFrame green = MakeFlatFrame24(8, 8, Rgb{30, 200, 30});
  EXPECT_EQ(PaletteOfRecording(255, {grey.get(), green.get()}), (std::vector<Rgb>{kBlack, kWhite}));

  // One differing pixel: a count for it (hue sector 2 after 0) and one for the grey when
  // the scan returns to it.
  UniqueFrame dot = MakeFrame24(8, 8, [](int x, int y) { return x == 3 && y == 4 ? Rgb{30, 200, 30} : Grey(128); });
  EXPECT_EQ(PaletteOfRecording(255, {dot.get()}), (std::vector<Rgb>{kBlack, Rgb{39, 215, 39}, Grey(135), kWhite}));
}

TEST(SharedPaletteTest, GreyRampWeighsGreysByTheBrightnessRun) {
  // Each row: black, then greys 16q for q = 1..14 (all hue sector 0). The running sum at
  // grey q is 160q; bit 6 of it makes greys 2, 3, 6, 7, 10, 11 and 14 negative. Grey 13 is
  // the first pick (14 is negative), grey 12 the best candidate; positives 9, 8, 5, 4, 1 by
  // weight, then the most negative 14, 11, 10, 7, 6, 3 fill fifteen: grey 2 (-320) is left out.
  UniqueFrame ramp = MakeFrame24(15, 3, [](int x, int) { return Grey(16 * x); });
  std::vector<Rgb> expected{kBlack, Grey(23)};
  for (int q = 3; q <= 14; ++q) expected.push_back(Grey(16 * q + 7));
  expected.push_back(kWhite);
  EXPECT_EQ(PaletteOfRecording(15, {ramp.get()}), expected);

  // With room for all, every grey but the first pixel's black is in.
  expected.insert(expected.begin() + 2, Grey(39));
  EXPECT_EQ(PaletteOfRecording(255, {ramp.get()}), expected);
}

TEST(SharedPaletteTest, FramesThatAreNotTwentyFourBitAddNothing) {
  UniqueFrame indexed = MakeIndexedFrame(16, 16, 8, {kBlack, Rgb{200, 30, 30}, Rgb{30, 30, 200}, Rgb{30, 200, 30}},
                                         [](int x, int y) { return (x + y) % 4; });
  UniqueFrame deep = MakeFrame24(16, 16, [](int x, int y) { return Rgb{static_cast<std::uint8_t>(x * 16), 90, static_cast<std::uint8_t>(y * 16)}; });
  UniqueFrame deep32(NewFrameImage(16, 16, 32, 0));
  EXPECT_EQ(PaletteOfRecording(255, {indexed.get(), deep32.get(), nullptr}), (std::vector<Rgb>{kBlack, kWhite}));
  EXPECT_EQ(PaletteOfRecording(255, {indexed.get(), deep.get(), deep32.get()}), PaletteOfRecording(255, {deep.get()}));
}

TEST(SharedPaletteTest, MatchesTheStraightforwardCountingAndSelection) {
  std::mt19937 random(4242);
  const int targets[] = {15, 31, 63, 127, 255};
  for (int trial = 0; trial < 60; ++trial) {
    const int width = 1 + static_cast<int>(random() % 80), height = 1 + static_cast<int>(random() % 30);
    const int kind = trial % 3;
    std::vector<UniqueFrame> frames;
    std::vector<HGLOBAL> handles;
    std::vector<reference::Cell> histogram = reference::FreshHistogram();
    for (int f = 1 + static_cast<int>(random() % 4); f > 0; --f) {
      const std::uint32_t seed = random();
      frames.push_back(MakeFrame24(width, height, [&](int x, int y) {
        int salt = 0;
        const auto pixel = [&] { return reference::PixelNoise(seed, x, y, salt++); };
        const auto channel = [](int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); };
        const int wobble = static_cast<int>(pixel() % 9) - 4;
        switch (kind) {
          case 0: return Rgb{channel(pixel() % 256), channel(pixel() % 256), channel(pixel() % 256)};
          case 1: return Grey(channel(x * 3 + y + wobble));
          default: return Rgb{channel(x * 3 + wobble), channel(120 + y * 4), channel(250 - x * 2 + wobble)};
        }
      }));
      handles.push_back(frames.back().get());
      reference::SharedCount(histogram, handles.back());
    }
    const int target = targets[trial % 5];
    std::vector<Rgb> expected;
    for (const RGBQUAD& q : reference::Select(histogram, target)) expected.push_back(Rgb{q.rgbRed, q.rgbGreen, q.rgbBlue});
    const std::vector<Rgb> colours = PaletteOfRecording(target, handles);
    ASSERT_EQ(colours, expected) << "trial " << trial;
    ASSERT_LE(static_cast<int>(colours.size()), target);
    if (kind == 0 && width * height > 1000) {
      EXPECT_EQ(static_cast<int>(colours.size()), target);
    }
  }
}

TEST(SharedPaletteTest, CountsPastThirtyTwoBitsOnOneFullHdFrame) {
  // Rows of black and grey 218 (cell 14, brightness 2180) alternating: every grey adds
  // 2180 (bit 6 clear), 1079 rows x 960 greys = 2,258,131,200, past 2^31. The top row
  // alternates black with twenty greenish cells (hue sectors 1..3) of small counts. In 64
  // bits the grey is sector 0's first pick; wrapped to 32 bits it would turn negative and
  // the greenish cells would fill all fifteen places before it.
  UniqueFrame frame = MakeFrame24(1920, 1080, [](int x, int y) {
    if (x % 2 == 0) return kBlack;
    if (y > 0) return Grey(218);
    const int i = (x / 2) % 20;
    return Rgb{static_cast<std::uint8_t>(16 * (i % 14)), 255, static_cast<std::uint8_t>(16 * (i / 14 * 3 + 2))};
  });
  const std::vector<Rgb> colours = PaletteOfRecording(15, {frame.get()});
  EXPECT_EQ(colours.size(), 15u);
  EXPECT_NE(std::find(colours.begin(), colours.end(), Grey(231)), colours.end());
}

TEST(SharedPaletteTest, ColourCountOutsideTheRangeLeavesThePaletteEmpty) {
  UniqueFrame frame = MakeFrame24(8, 8, [](int x, int y) { return Rgb{static_cast<std::uint8_t>(x * 30), static_cast<std::uint8_t>(y * 30), 60}; });
  for (int colourCount : {14, 257}) {
    EXPECT_TRUE(PaletteOfRecording(colourCount, {frame.get()}).empty()) << colourCount;
    int count = -1;
    const RGBQUAD* palette = SharedPalette(&count);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(MapFrameToPalette(palette, frame.get(), count), nullptr);
  }
}

}  // namespace
