#include "gif/resize.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "capture/frame_image.h"
#include "tests/support/test_frames.h"

namespace {

UniqueFrame NoiseFrame(int width, int height, std::uint32_t seed = 1) {
  return MakeFrame24(width, height, [seed](int x, int y) { return Noise(x, y, seed); });
}

// The pixel bytes of a 24-bit frame by storage row (0 at the bottom), without padding:
// the indexing of the resampling formulas.
struct Picture {
  int width = 0, height = 0;
  std::vector<int> bytes;  // blue, green, red per pixel
  int At(int x, int row, int channel) const { return bytes[(static_cast<std::size_t>(row) * width + x) * 3 + channel]; }
  int& At(int x, int row, int channel) { return bytes[(static_cast<std::size_t>(row) * width + x) * 3 + channel]; }
  bool operator==(const Picture&) const = default;
};

Picture NewPicture(int width, int height) { return Picture{width, height, std::vector<int>(3 * static_cast<std::size_t>(width) * height)}; }

Picture ReadPicture(HGLOBAL frame) {
  FrameLock lock(frame);
  if (!lock.Is24Bit()) return {};
  Picture picture = NewPicture(lock.width(), lock.height());
  const std::size_t rowBytes = 3 * static_cast<std::size_t>(lock.width());
  for (int row = 0; row < lock.height(); ++row) {
    for (std::size_t b = 0; b < rowBytes; ++b) picture.bytes[row * rowBytes + b] = lock.Row(row)[b];
  }
  return picture;
}

// The resampling written straight from its formulas, pixel by pixel and channel by channel.
int ReferenceLerp(int a, int b, double t) {
  const int value = a + static_cast<int>(t * (b - a) + 0.5);
  return std::clamp(value, 0, 255);
}

Picture ReferenceBilinear(const Picture& s, int w, int h) {
  const double dx = static_cast<double>(s.width) / w, dy = static_cast<double>(s.height) / h;
  Picture out = NewPicture(w, h);
  for (int i = 0; i < h; ++i) {
    const double fy = dy * i;
    const int j = static_cast<int>(fy);
    const double gy = fy - j;
    for (int k = 0; k < w; ++k) {
      const double fx = dx * k;
      const int l = static_cast<int>(fx);
      const double gx = fx - l;
      for (int c = 0; c < 3; ++c) {
        int value;
        if (l + 1 < s.width && j + 1 < s.height) {
          const int lower = ReferenceLerp(s.At(l, j, c), s.At(l + 1, j, c), gx);
          const int upper = ReferenceLerp(s.At(l, j + 1, c), s.At(l + 1, j + 1, c), gx);
          value = ReferenceLerp(lower, upper, gy);
        } else if (l + 1 < s.width) {
          value = ReferenceLerp(s.At(l, j, c), s.At(l + 1, j, c), gx);
        } else if (j + 1 < s.height) {
          value = ReferenceLerp(s.At(l, j, c), s.At(l, j + 1, c), gy);
        } else {
          value = s.At(l, j, c);
        }
        out.At(k, i, c) = value;
      }
    }
  }
  return out;
}

Picture ReferenceBox(const Picture& s, int w, int h) {
  const double dx = static_cast<double>(s.width) / w, dy = static_cast<double>(s.height) / h;
  Picture out = NewPicture(w, h);
  for (int i = 0; i < h; ++i) {
    int y0 = static_cast<int>(dy * i + 0.5);
    int y1 = std::min(static_cast<int>(dy * (i + 1) + 0.5), s.height);
    if (y0 >= y1) {  // an empty box takes the source row at its start (the last row past the end)
      y0 = std::min(y0, s.height - 1);
      y1 = y0 + 1;
    }
    for (int k = 0; k < w; ++k) {
      const int x0 = static_cast<int>(dx * k + 0.5);
      const int x1 = std::min(static_cast<int>(dx * (k + 1) + 0.5), s.width);
      for (int c = 0; c < 3; ++c) {
        std::uint64_t sum = 0;
        for (int y = y0; y < y1; ++y) {
          for (int x = x0; x < x1; ++x) sum += s.At(x, y, c);
        }
        out.At(k, i, c) = static_cast<int>(sum / (static_cast<std::uint64_t>(x1 - x0) * (y1 - y0)));
      }
    }
  }
  return out;
}

Picture ReferenceResize(const Picture& s, int w, int h) {
  return static_cast<double>(s.width) / w <= 2.0 ? ReferenceBilinear(s, w, h) : ReferenceBox(s, w, h);
}

// A grey frame from values given top row first.
UniqueFrame GreyFrame(const std::vector<std::vector<int>>& rows) {
  return MakeFrame24(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()), [&](int x, int y) {
    const auto v = static_cast<std::uint8_t>(rows[y][x]);
    return Rgb{v, v, v};
  });
}

std::vector<std::vector<int>> GreyRows(HGLOBAL frame) {
  std::vector<std::vector<int>> rows(FrameHeight(frame), std::vector<int>(FrameWidth(frame)));
  for (int y = 0; y < FrameHeight(frame); ++y) {
    for (int x = 0; x < FrameWidth(frame); ++x) rows[y][x] = PixelAt(frame, x, y).green;
  }
  return rows;
}

}  // namespace

TEST(ResizeFrameTest, MatchesTheFormulasOnFramesOfRandomContent) {
  struct Case {
    int sourceWidth, sourceHeight, width, height;
  } cases[] = {
      {7, 5, 13, 11},   // enlarged both ways
      {13, 11, 7, 6},   // reduced by less than 2
      {20, 9, 10, 4},   // width halved exactly: still bilinear
      {17, 40, 12, 3},  // bilinear: the height factor of 13 only enters the arithmetic
      {1, 1, 5, 3},     {3, 1, 8, 2}, {1, 4, 1, 9},
      {61, 47, 13, 9},  // box filter
      {21, 9, 10, 4},   // width factor just above 2: box
      {50, 10, 7, 37},  // box with the height growing: empty boxes
      {9, 2, 3, 5},     {45, 2, 4, 9}, {33, 33, 1, 1}, {101, 7, 3, 80},
      {19, 23, 6, 10},  // box edges at exactly n + 0.5: 19 / 6 x 3, 23 / 10 x 5
  };
  for (const Case& c : cases) {
    UniqueFrame source = NoiseFrame(c.sourceWidth, c.sourceHeight, c.width);
    UniqueFrame result(ResizeFrame(source.get(), c.width, c.height));
    ASSERT_TRUE(result) << c.sourceWidth << "x" << c.sourceHeight << " to " << c.width << "x" << c.height;
    EXPECT_TRUE(ReadPicture(result.get()) == ReferenceResize(ReadPicture(source.get()), c.width, c.height))
        << c.sourceWidth << "x" << c.sourceHeight << " to " << c.width << "x" << c.height;
    FrameLock lock(result.get());
    for (int row = 0; row < lock.height(); ++row) {
      for (std::size_t b = 3 * lock.width(); b < lock.stride(); ++b) ASSERT_EQ(lock.Row(row)[b], 0) << "padding";
    }
  }
}

TEST(ResizeFrameTest, TheWidthFactorChoosesBilinearOrBoxAverage) {
  struct Case {
    int sourceWidth, sourceHeight, width, height;
    bool bilinear;
  } cases[] = {
      {640, 480, 430, 323, true},   // dx = 1.49
      {1280, 720, 430, 242, false},  // dx = 2.98
  };
  for (const Case& c : cases) {
    UniqueFrame source = NoiseFrame(c.sourceWidth, c.sourceHeight);
    UniqueFrame result(ResizeFrame(source.get(), c.width, c.height));
    ASSERT_TRUE(result);
    const Picture picture = ReadPicture(source.get());
    const Picture got = ReadPicture(result.get());
    EXPECT_EQ(got == ReferenceBilinear(picture, c.width, c.height), c.bilinear) << c.sourceWidth;
    EXPECT_EQ(got == ReferenceBox(picture, c.width, c.height), !c.bilinear) << c.sourceWidth;
  }
}

TEST(ResizeFrameTest, EnlargesTwoByTwoToTheWorkedValues) {
  // dx = dy = 0.5. Halves round up when the step is positive and toward zero when it is
  // negative (200 + trunc(-74.5) = 126); the top rows and the right columns only repeat
  // the source's last row and column.
  UniqueFrame source = GreyFrame({{200, 50}, {0, 100}});
  UniqueFrame result(ResizeFrame(source.get(), 4, 4));
  ASSERT_TRUE(result);
  const std::vector<std::vector<int>> expected = {
      {200, 126, 50, 50},
      {200, 126, 50, 50},
      {100, 88, 76, 76},
      {0, 50, 100, 100},
  };
  EXPECT_EQ(GreyRows(result.get()), expected);
}

TEST(ResizeFrameTest, AveragesBoxesAndGivesAnEmptyBoxTheRowAtItsStart) {
  // 9 x 2 to 3 x 5: columns in boxes of 3; dy = 0.4 gives the output rows (bottom first)
  // the source rows [0,0) [0,1) [1,1) [1,2) [2,2): the empty ones take rows 0, 1 and 1.
  UniqueFrame source = GreyFrame({
      {7, 7, 8, 100, 101, 101, 3, 4, 4},
      {10, 20, 31, 0, 0, 1, 255, 254, 254},
  });
  UniqueFrame result(ResizeFrame(source.get(), 3, 5));
  ASSERT_TRUE(result);
  const std::vector<std::vector<int>> expected = {
      {7, 100, 3}, {7, 100, 3}, {7, 100, 3}, {20, 0, 254}, {20, 0, 254},
  };
  EXPECT_EQ(GreyRows(result.get()), expected);
}

TEST(ResizeFrameTest, SameSizeCopiesAndHalvingPicksSourcePixels) {
  UniqueFrame source = NoiseFrame(37, 23);
  UniqueFrame copy(ResizeFrame(source.get(), 37, 23));
  ASSERT_TRUE(copy);
  EXPECT_TRUE(ReadPicture(copy.get()) == ReadPicture(source.get()));

  UniqueFrame even = NoiseFrame(40, 30);
  UniqueFrame half(ResizeFrame(even.get(), 20, 15));
  ASSERT_TRUE(half);
  const Picture from = ReadPicture(even.get()), got = ReadPicture(half.get());
  for (int row = 0; row < 15; ++row) {
    for (int x = 0; x < 20; ++x) {
      for (int c = 0; c < 3; ++c) ASSERT_EQ(got.At(x, row, c), from.At(2 * x, 2 * row, c)) << x << "," << row;
    }
  }
}

TEST(ResizeFrameTest, SumsABoxTooLargeForThirtyTwoBits) {
  // 4200 x 4100 white pixels in one box: 255 x 17220000 overflows 32 bits.
  UniqueFrame white(NewFrameImage(4200, 4100, 24, 0));
  ASSERT_TRUE(white);
  {
    FrameLock lock(white.get());
    std::memset(lock.pixels(), 255, lock.layout().imageBytes);
  }
  UniqueFrame result(ResizeFrame(white.get(), 1, 1));
  ASSERT_TRUE(result);
  EXPECT_EQ(PixelAt(result.get(), 0, 0), (Rgb{255, 255, 255}));
}

TEST(ResizeFrameTest, KeepsTheSourceHeaderAndColourTable) {
  UniqueFrame source(NewFrameImage(8, 6, 24, 2));
  {
    FrameLock lock(source.get());
    lock.header()->biXPelsPerMeter = 2835;
    lock.colours()[1] = RGBQUAD{1, 2, 3, 0};
    for (int row = 0; row < 6; ++row) std::memset(lock.Row(row), 40 * row, 24);
  }
  UniqueFrame result(ResizeFrame(source.get(), 5, 4));
  ASSERT_TRUE(result);
  FrameLock lock(result.get());
  ASSERT_TRUE(lock.Is24Bit());
  EXPECT_EQ(lock.width(), 5);
  EXPECT_EQ(lock.height(), 4);
  EXPECT_EQ(lock.header()->biXPelsPerMeter, 2835);
  EXPECT_EQ(lock.header()->biSizeImage, 16u * 4u) << "the image size of the new rows, not the source's";
  EXPECT_EQ(lock.layout().colourCount, 2);
  EXPECT_EQ(lock.colours()[1].rgbRed, 3);
  EXPECT_TRUE(ReadPicture(result.get()) == ReferenceResize(ReadPicture(source.get()), 5, 4));
}

TEST(ResizeFrameTest, RefusesBadSizesAndFramesNotOf24BitsAndLeavesTheSource) {
  UniqueFrame source = NoiseFrame(16, 16);
  const Picture before = ReadPicture(source.get());
  EXPECT_EQ(ResizeFrame(source.get(), 0, 10), nullptr);
  EXPECT_EQ(ResizeFrame(source.get(), 10, 0), nullptr);
  EXPECT_EQ(ResizeFrame(source.get(), -3, 10), nullptr);
  EXPECT_EQ(ResizeFrame(nullptr, 10, 10), nullptr);
  UniqueFrame indexed = MakeIndexedFrame(16, 16, 8, {{1, 2, 3}}, [](int, int) { return 0; });
  EXPECT_EQ(ResizeFrame(indexed.get(), 10, 10), nullptr);
  UniqueFrame ok(ResizeFrame(source.get(), 9, 31));
  EXPECT_TRUE(ok);
  EXPECT_TRUE(ReadPicture(source.get()) == before);
}

TEST(ResizeFrameTest, GivesTheSameBytesInEveryBuild) {
  // A digest of resized noise, fixed here: the native build and the Windows build under
  // Wine must both reach it, which they do only if both round every double the same way
  // (computed with x87 80-bit intermediates, the digest changes).
  struct Case {
    int sourceWidth, sourceHeight, width, height;
  } cases[] = {
      {97, 61, 45, 29}, {64, 48, 143, 101}, {300, 200, 97, 50}, {50, 10, 7, 37}, {640, 480, 430, 323}, {1280, 720, 430, 242},
  };
  std::uint32_t digest = 2166136261u;  // FNV-1a
  for (const Case& c : cases) {
    UniqueFrame source = NoiseFrame(c.sourceWidth, c.sourceHeight, 7);
    UniqueFrame result(ResizeFrame(source.get(), c.width, c.height));
    ASSERT_TRUE(result);
    for (const int byte : ReadPicture(result.get()).bytes) digest = (digest ^ static_cast<std::uint32_t>(byte)) * 16777619u;
  }
  EXPECT_EQ(digest, 651908557u);
}

TEST(TemplateToFrameTest, ExpandsIndexedImagesThroughTheirColourTable) {
  std::vector<Rgb> table;
  for (int i = 0; i < 256; ++i) table.push_back(Noise(i, 0, 5));
  struct Case {
    int bits, width, height;
  } cases[] = {{1, 13, 5}, {4, 7, 6}, {8, 5, 9}};
  for (const Case& c : cases) {
    const int colours = 1 << c.bits;
    auto index = [colours](int x, int y) { return (x * 7 + y * 3) % colours; };
    UniqueFrame image = MakeIndexedFrame(c.width, c.height, c.bits, std::vector<Rgb>(table.begin(), table.begin() + colours), index);
    UniqueFrame result(TemplateToFrame(image.release()));
    ASSERT_TRUE(result) << c.bits << " bits";
    FrameLock lock(result.get());
    ASSERT_TRUE(lock.Is24Bit());
    EXPECT_EQ(lock.width(), c.width);
    EXPECT_EQ(lock.height(), c.height);
    EXPECT_EQ(lock.header()->biSizeImage, lock.stride() * c.height);
    EXPECT_EQ(lock.header()->biClrUsed, 0u);
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) ASSERT_EQ(PixelAt(result.get(), x, y), table[index(x, y)]) << c.bits << " bits at " << x << "," << y;
    }
  }

  // Black and white stay where they were.
  UniqueFrame bits = MakeIndexedFrame(16, 16, 1, {{0, 0, 0}, {255, 255, 255}}, [](int x, int y) { return (x + y) % 3 == 0; });
  UniqueFrame result(TemplateToFrame(bits.release()));
  ASSERT_TRUE(result);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) EXPECT_EQ(PixelAt(result.get(), x, y).red, (x + y) % 3 == 0 ? 255 : 0);
  }
}

TEST(TemplateToFrameTest, AnIndexPastTheColourTableIsBlack) {
  // A GIF's code size may exceed its colour table, so the reader can hand on such indices.
  struct Case {
    int bits, colours;
  } cases[] = {{1, 1}, {4, 5}, {8, 3}};
  const Rgb white{255, 255, 255};
  for (const Case& c : cases) {
    auto index = [c](int x, int y) { return (x + 4 * y) % (1 << c.bits); };
    UniqueFrame image = MakeIndexedFrame(9, 70, c.bits, std::vector<Rgb>(c.colours, white), index);
    UniqueFrame result(TemplateToFrame(image.release()));
    ASSERT_TRUE(result);
    for (int y = 0; y < 70; ++y) {
      for (int x = 0; x < 9; ++x) {
        ASSERT_EQ(PixelAt(result.get(), x, y), (index(x, y) < c.colours ? white : Rgb{0, 0, 0})) << c.bits << " bits, index " << index(x, y);
      }
    }
  }
}

TEST(TemplateToFrameTest, TakesThreeBytesOf32BitPixelsAndReturns24BitImagesThemselves) {
  UniqueFrame wide(NewFrameImage(5, 3, 32, 0));
  {
    FrameLock lock(wide.get());
    for (int row = 0; row < 3; ++row) {
      for (int x = 0; x < 5; ++x) {
        const Rgb c = Noise(x, 2 - row);
        BYTE* p = lock.Row(row) + 4 * x;
        p[0] = c.blue, p[1] = c.green, p[2] = c.red, p[3] = 0xAA;
      }
    }
  }
  UniqueFrame result(TemplateToFrame(wide.release()));
  ASSERT_TRUE(result);
  EXPECT_EQ(FrameBitCount(result.get()), 24);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) EXPECT_EQ(PixelAt(result.get(), x, y), Noise(x, y));
  }

  HGLOBAL same = TemplateToFrame(result.get());
  EXPECT_EQ(same, result.get());
}

TEST(TemplateToFrameTest, ConsumesAnImageItCannotConvert) {
  // A 16-bit image fails the layout check; the sanitizer build's leak check sees it freed.
  EXPECT_EQ(TemplateToFrame(NewFrameImage(4, 4, 16, 0)), nullptr);
  EXPECT_EQ(TemplateToFrame(nullptr), nullptr);
}

TEST(ResizeTargetTest, ComputesTheSizeOfEachSizeMethod) {
  struct Case {
    int method, sizePixel, width, height;
    bool resized;
    int newWidth, newHeight;
  } cases[] = {
      {kSizeLimitWidth, 430, 1280, 720, true, 430, 242},
      {kSizeLimitWidth, 430, 400, 300, false, 0, 0},
      {kSizeLimitWidth, 430, 430, 300, false, 0, 0},
      {kSizeFixWidth, 430, 640, 480, true, 430, 323},  // 322.5 rounds up
      {kSizeFixWidth, 430, 200, 100, true, 430, 215},  // enlarges
      {kSizeFixWidth, 430, 430, 300, true, 430, 300},  // asked for even at the same size
      {kSizeFitSquare, 430, 300, 600, true, 215, 430},
      {kSizeFitSquare, 430, 600, 300, true, 430, 215},
      {kSizeFitSquare, 430, 100, 50, true, 430, 215},
      {kSizeFixWidth, 10, 1000, 1, true, 10, 0},  // ResizeFrame refuses the height 0
      {kSizeFixWidth, INT_MAX, 1, 32767, true, INT_MAX, INT_MAX},  // too large: held, not overflowed
      {kSizeKeep, 430, 1280, 720, false, 0, 0},
      {4, 430, 1280, 720, false, 0, 0},
      {-1, 430, 1280, 720, false, 0, 0},
      {kSizeLimitWidth, 0, 1280, 720, false, 0, 0},
      {kSizeFixWidth, 0, 1280, 720, false, 0, 0},
      {kSizeFitSquare, -430, 1280, 720, false, 0, 0},
  };
  for (const Case& c : cases) {
    int width = 0, height = 0;
    EXPECT_EQ(ResizeTarget(c.method, c.sizePixel, c.width, c.height, &width, &height), c.resized)
        << "method " << c.method << ", " << c.sizePixel << ", " << c.width << "x" << c.height;
    if (c.resized) {
      EXPECT_EQ(width, c.newWidth) << "method " << c.method << ", " << c.width << "x" << c.height;
      EXPECT_EQ(height, c.newHeight) << "method " << c.method << ", " << c.width << "x" << c.height;
    }
  }
}
