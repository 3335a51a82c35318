#include "gif/trim.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "capture/frame_image.h"
#include "tests/support/test_frames.h"

namespace {

using Sides = std::array<LONG, 4>;  // left, top, right, bottom: printable in a failure
Sides SidesOf(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kGrey{128, 128, 128};
constexpr Rgb kWhite{255, 255, 255};

RGBQUAD Quad(Rgb c) { return RGBQUAD{c.blue, c.green, c.red, 0}; }

// Checks every pixel of a frame against the colour expected at each position.
void ExpectPixels(HGLOBAL frame, const std::function<Rgb(int x, int y)>& expected, const std::string& what) {
  int wrong = 0;
  for (int y = 0; y < FrameHeight(frame); ++y) {
    for (int x = 0; x < FrameWidth(frame); ++x) {
      if (!(PixelAt(frame, x, y) == expected(x, y)) && ++wrong <= 5) ADD_FAILURE() << what << ": pixel " << x << "," << y;
    }
  }
  EXPECT_EQ(wrong, 0) << what;
}

}  // namespace

TEST(FindContentRectTest, FindsTheContentInsideFlatBorders) {
  struct Case {
    const char* name;
    int width, height;
    std::function<Rgb(int x, int y)> colour;
    int result;
    Sides rect;  // checked only when result is 1
  } cases[] = {
      {"63 wide is never trimmed", 63, 480,
       [](int x, int y) { return x >= 10 && x < 50 && y >= 40 && y < 400 ? Noise(x, y) : kBlack; }, 0, {}},
      {"64 x 64 loses a border on each side", 64, 64,
       [](int x, int y) { return x >= 8 && x < 50 && y >= 5 && y < 60 ? Noise(x, y) : kBlack; }, 1, {8, 5, 50, 60}},
      {"bands of two colours at top and bottom both go", 100, 80,
       [](int x, int y) { return y < 10 ? kRed : y >= 73 ? kBlue : Noise(x, y); }, 1, {0, 10, 100, 73}},
      {"content to every edge keeps the frame", 100, 80, [](int x, int y) { return Noise(x, y); }, 0, {}},
      {"horizontal stripes: every row flat", 100, 80, [](int, int y) { return Noise(0, y); }, 0, {}},
      {"vertical stripes: every column flat", 100, 80, [](int x, int) { return Noise(x, 0); }, 0, {}},
      // A title bar with an icon at its left end (outside the middle half of the row) and
      // a right border with a mark near its top (outside the middle half of the column).
      {"marks outside the middle half do not count", 128, 96,
       [](int x, int y) {
         if (y < 12) return x >= 2 && x < 12 ? Noise(x, y) : kGrey;
         if (x >= 110) return y >= 14 && y < 20 ? kRed : kBlue;
         return Noise(x, y);
       },
       1, {0, 12, 110, 96}},
      // The same right border with its mark inside the middle rows is content.
      {"a mark inside the middle half counts", 128, 96,
       [](int x, int y) {
         if (y < 12) return kGrey;
         if (x >= 110) return y >= 40 && y < 44 && x == 120 ? kRed : kBlue;
         return Noise(x, y);
       },
       1, {0, 12, 121, 96}},
      // Rows that are not flat only above and below the middle rows, where the columns
      // are not looked at; there only column 0 changes: the right scan, which stops at
      // column 1, finds every column flat.
      {"a frame whose only changing column is column 0", 64, 64,
       [](int x, int y) { return y < 16 || y >= 48 ? Noise(x, y) : x == 0 ? Noise(x, y) : kGrey; }, 0, {}},
  };
  for (const Case& c : cases) {
    UniqueFrame frame = MakeFrame24(c.width, c.height, c.colour);
    RECT rect{-1, -1, -1, -1};
    const int result = FindContentRect(frame.get(), &rect);
    EXPECT_EQ(result, c.result) << c.name;
    if (result == 1 && c.result == 1) {
      EXPECT_EQ(SidesOf(rect), c.rect) << c.name;
    }
  }
}

TEST(FindContentRectTest, RefusesFramesThatAreNot24Bit) {
  UniqueFrame indexed = MakeIndexedFrame(100, 100, 8, {kBlack, kWhite}, [](int x, int) { return x > 50; });
  RECT rect{};
  EXPECT_EQ(FindContentRect(indexed.get(), &rect), 0);
  EXPECT_EQ(FindContentRect(nullptr, &rect), 0);
}

TEST(FindMotionRectTest, FindsTheBandOfChangeThroughTheMiddleRow) {
  // 40 x 30: the middle storage row is 15, picture row 14. Each case changes frame B
  // inside the picture rectangles listed (x0, y0, x1, y1, exclusive).
  struct Case {
    const char* name;
    std::vector<Sides> changed;
    Sides expected;
  } cases[] = {
      {"a block across the middle", {{10, 5, 20, 25}}, {10, 5, 20, 25}},
      {"a band whose upper edge is the middle row", {{3, 14, 33, 21}}, {3, 14, 33, 21}},
      {"a band whose lower edge is the middle row", {{3, 5, 33, 15}}, {3, 5, 33, 15}},
      {"a band from the top to the bottom edge", {{0, 0, 40, 30}}, {0, 0, 40, 30}},
      {"only the first run of changed columns", {{5, 10, 10, 20}, {20, 8, 30, 22}}, {5, 8, 10, 22}},
      // Columns are judged over the whole band: a column equal only in part of it differs.
      {"columns of two blocks meeting at a corner", {{5, 10, 10, 15}, {10, 14, 16, 20}}, {5, 10, 16, 20}},
      {"motion away from the middle row is not found", {{5, 0, 35, 10}}, {40, 15, 41, 14}},
  };
  for (const Case& c : cases) {
    UniqueFrame a = MakeFrame24(40, 30, [](int x, int y) { return Noise(x, y); });
    UniqueFrame b = MakeFrame24(40, 30, [&](int x, int y) {
      for (const Sides& s : c.changed) {
        if (x >= s[0] && x < s[2] && y >= s[1] && y < s[3]) return Noise(x, y, 2);
      }
      return Noise(x, y);
    });
    RECT rect{};
    ASSERT_EQ(FindMotionRect(a.get(), b.get(), &rect), 1) << c.name;
    EXPECT_EQ(SidesOf(rect), c.expected) << c.name;
  }
}

TEST(FindMotionRectTest, EqualFramesGiveAnEmptyRectangleThatCropsToNothing) {
  // Both scans stop at once on the middle row m = H / 2: {W, H - m, W + 1, H - m - 1}.
  for (const int height : {30, 31, 1, 2}) {
    UniqueFrame a = MakeFrame24(40, height, [](int x, int y) { return Noise(x, y); });
    UniqueFrame b = MakeFrame24(40, height, [](int x, int y) { return Noise(x, y); });
    const LONG m = height / 2;
    RECT rect{};
    ASSERT_EQ(FindMotionRect(a.get(), b.get(), &rect), 1);
    EXPECT_EQ(SidesOf(rect), (Sides{40, height - m, 41, height - m - 1})) << "height " << height;
    EXPECT_EQ(CropFrame(a.get(), &rect), nullptr);
    EXPECT_EQ(rect.right, 40) << "the crop clamps the right edge back to the width";
  }
}

TEST(FindMotionRectTest, FramesOneAndTwoRowsHighReadOnlyTheirOwnRows) {
  // The rows scanned are only the frame's own (the sanitizer build sees any other read).
  for (const int height : {1, 2}) {
    UniqueFrame a = MakeFrame24(17, height, [](int x, int y) { return Noise(x, y); });
    UniqueFrame b = MakeFrame24(17, height, [](int x, int y) { return Noise(x, y, 3); });
    RECT rect{};
    ASSERT_EQ(FindMotionRect(a.get(), b.get(), &rect), 1);
    EXPECT_EQ(SidesOf(rect), (Sides{0, 0, 17, height})) << "height " << height;
  }
}

TEST(FindMotionRectTest, RefusesFramesOfDifferentSizeOrDepth) {
  UniqueFrame a = MakeFlatFrame24(40, 30, kRed);
  UniqueFrame taller = MakeFlatFrame24(40, 31, kRed);
  UniqueFrame wider = MakeFlatFrame24(41, 30, kRed);
  UniqueFrame indexed = MakeIndexedFrame(40, 30, 8, {kRed}, [](int, int) { return 0; });
  RECT rect{1, 2, 3, 4};
  EXPECT_EQ(FindMotionRect(a.get(), taller.get(), &rect), 0);
  EXPECT_EQ(FindMotionRect(a.get(), wider.get(), &rect), 0);
  EXPECT_EQ(FindMotionRect(a.get(), indexed.get(), &rect), 0);
  EXPECT_EQ(FindMotionRect(nullptr, a.get(), &rect), 0);
  EXPECT_EQ(SidesOf(rect), (Sides{1, 2, 3, 4}));
}

TEST(CropFrameTest, ClampsTheRectangleInPlaceAndCopiesThePicture) {
  // Width 10 after the cut: 30 pixel bytes and 2 of padding per row.
  UniqueFrame frame = MakeFrame24(20, 15, [](int x, int y) { return Noise(x, y); });
  struct Case {
    Sides asked, used;
  } cases[] = {
      {{-5, -5, 30, 25}, {0, 0, 20, 15}},
      {{3, 2, 13, 9}, {3, 2, 13, 9}},
      {{12, -4, 40, 1}, {12, 0, 20, 1}},
  };
  for (const Case& c : cases) {
    RECT rect{c.asked[0], c.asked[1], c.asked[2], c.asked[3]};
    UniqueFrame cut(CropFrame(frame.get(), &rect));
    ASSERT_TRUE(cut);
    EXPECT_EQ(SidesOf(rect), c.used);
    ExpectPixels(cut.get(), [&](int x, int y) { return Noise(x + c.used[0], y + c.used[1]); }, "crop");
    FrameLock lock(cut.get());
    ASSERT_TRUE(lock.Is24Bit());
    EXPECT_EQ(lock.width(), c.used[2] - c.used[0]);
    EXPECT_EQ(lock.height(), c.used[3] - c.used[1]);
    EXPECT_EQ(lock.header()->biSizeImage, lock.stride() * lock.height());
    EXPECT_EQ(lock.header()->biClrUsed, 0u);
    for (int row = 0; row < lock.height(); ++row) {
      for (std::size_t b = 3 * lock.width(); b < lock.stride(); ++b) EXPECT_EQ(lock.Row(row)[b], 0) << "padding";
    }
  }
}

TEST(CropFrameTest, GivesNothingForAnEmptyRectangleOrAFrameNotOf24Bits) {
  UniqueFrame frame = MakeFlatFrame24(20, 15, kRed);
  for (const Sides& s : {Sides{20, 0, 25, 15}, Sides{5, 5, 5, 10}, Sides{5, 9, 10, 3}, Sides{-9, 0, -1, 15}}) {
    RECT rect{s[0], s[1], s[2], s[3]};
    EXPECT_EQ(CropFrame(frame.get(), &rect), nullptr);
  }
  UniqueFrame indexed = MakeIndexedFrame(20, 15, 8, {kRed}, [](int, int) { return 0; });
  RECT rect{-5, -5, 30, 30};
  EXPECT_EQ(CropFrame(indexed.get(), &rect), nullptr);
  EXPECT_EQ(SidesOf(rect), (Sides{-5, -5, 30, 30})) << "a refused frame leaves the rectangle alone";
}

TEST(FillFrameRectTest, FillsTheClampedRectangleOrTheWholeFrame) {
  const Rgb colour{10, 20, 30};
  UniqueFrame frame = MakeFrame24(10, 8, [](int x, int y) { return Noise(x, y); });
  RECT rect{-3, 2, 5, 100};
  FillFrameRect(frame.get(), &rect, Quad(colour));
  EXPECT_EQ(SidesOf(rect), (Sides{0, 2, 5, 8}));
  ExpectPixels(frame.get(), [&](int x, int y) { return x < 5 && y >= 2 ? colour : Noise(x, y); }, "clamped fill");

  RECT empty{4, 4, 4, 6};
  FillFrameRect(frame.get(), &empty, Quad(kWhite));
  ExpectPixels(frame.get(), [&](int x, int y) { return x < 5 && y >= 2 ? colour : Noise(x, y); }, "empty fill");

  FillFrameRect(frame.get(), nullptr, Quad(kBlue));
  ExpectPixels(frame.get(), [](int, int) { return kBlue; }, "whole frame");
}

TEST(PasteFrameTest, CentresASmallerSourceInTheFilledRectangle) {
  UniqueFrame destination = MakeFlatFrame24(300, 300, kGrey);
  UniqueFrame source = MakeFrame24(100, 50, [](int x, int y) { return Noise(x, y); });
  const RECT rect{10, 20, 210, 220};
  const RGBQUAD fill = Quad(kBlue);
  PasteFrame(destination.get(), &rect, &fill, source.get());
  // (200 - 100) / 2 and (200 - 50) / 2: the source lies at x 60..159, y 95..144.
  ExpectPixels(destination.get(), [](int x, int y) {
    if (x >= 60 && x <= 159 && y >= 95 && y <= 144) return Noise(x - 60, y - 95);
    if (x >= 10 && x < 210 && y >= 20 && y < 220) return kBlue;
    return kGrey;
  }, "centred paste");
}

TEST(PasteFrameTest, ClipsToTheRectangleAndTheDestination) {
  struct Case {
    const char* name;
    Sides rect;
    int x0, y0;     // where the source's top-left pixel lands
    Sides visible;  // the destination pixels written (right and bottom exclusive)
  } cases[] = {
      {"larger source shows its top-left part", {5, 5, 15, 12}, 5, 5, {5, 5, 15, 12}},
      {"rectangle past the right and bottom edges", {250, 280, 350, 330}, 250, 280, {250, 280, 300, 300}},
      {"rectangle past the left and top edges", {-30, -10, 70, 40}, -30, -10, {0, 0, 70, 40}},
  };
  for (const Case& c : cases) {
    UniqueFrame destination = MakeFlatFrame24(300, 300, kGrey);
    UniqueFrame source = MakeFrame24(100, 50, [](int x, int y) { return Noise(x, y); });
    const RECT rect{c.rect[0], c.rect[1], c.rect[2], c.rect[3]};
    PasteFrame(destination.get(), &rect, nullptr, source.get());
    ExpectPixels(destination.get(), [&](int x, int y) {
      const bool inside = x >= c.visible[0] && x < c.visible[2] && y >= c.visible[1] && y < c.visible[3];
      return inside ? Noise(x - c.x0, y - c.y0) : kGrey;
    }, c.name);
  }
}

TEST(PasteFrameTest, DoesNothingWithoutASourceOrWithAnEmptyRectangle) {
  UniqueFrame destination = MakeFlatFrame24(40, 40, kGrey);
  UniqueFrame source = MakeFlatFrame24(10, 10, kRed);
  UniqueFrame indexed = MakeIndexedFrame(10, 10, 8, {kRed}, [](int, int) { return 0; });
  const RGBQUAD fill = Quad(kBlue);
  const RECT rect{0, 0, 20, 20};
  const RECT empty{5, 5, 5, 20};
  PasteFrame(destination.get(), &rect, &fill, nullptr);
  PasteFrame(destination.get(), &rect, &fill, indexed.get());
  PasteFrame(destination.get(), &empty, &fill, source.get());
  ExpectPixels(destination.get(), [](int, int) { return kGrey; }, "untouched");
}
