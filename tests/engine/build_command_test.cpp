#include "gif/build_command.h"

#include <vector>

#include <gtest/gtest.h>

#include "tests/support/test_frames.h"

TEST(ColourCountTest, MapsTheColourSettingToPaletteEntries) {
  const std::pair<int, int> cases[] = {{0, 15}, {1, 31}, {2, 63}, {3, 127}, {4, 255}, {5, 255}, {-1, 255}};
  for (const auto& [setting, entries] : cases) EXPECT_EQ(ColourCount(setting), entries) << setting;
}

TEST(MakeDelayListTest, FollowsCaptureTimesNeverLongerThanTheFrameDelay) {
  struct Case {
    std::vector<DWORD> times;
    int animeTimer, intervalTimer;
    bool followTimes;
    std::vector<int> delays;
  } cases[] = {
      {{1000, 2234}, 50, 100, true, {50, 50}},   // 123 is longer than 50
      {{1000, 2234}, 200, 100, true, {123, 200}},
      {{1000, 2234, 2240}, 200, 100, true, {123, 0, 200}},  // the last frame always gets the frame delay
      {{1000, 2234}, 200, 100, false, {200, 200}},
      {{0, 0, 0}, 5, 1000, false, {100, 100, 100}},  // raised to interval / 10
      {{0, 999}, 5, 1000, true, {99, 100}},
      {{0xFFFFFF00u, 0x00000100u}, 100, 100, true, {51, 100}},  // tick count wrapped between captures
      {{7}, 30, 100, true, {30}},
  };
  for (const Case& c : cases) {
    std::vector<int> delays(c.times.size(), -1);
    MakeDelayList(c.times.data(), static_cast<int>(c.times.size()), c.animeTimer, c.intervalTimer, c.followTimes,
                  delays.data());
    EXPECT_EQ(delays, c.delays) << "frame delay " << c.animeTimer << ", interval " << c.intervalTimer;
  }
}

namespace {
constexpr Rgb kBackground{20, 40, 60};
constexpr Rgb kBox{250, 200, 10};

// A 64 x 48 frame with a 10 x 10 box whose left edge is at x and top edge at y.
UniqueFrame BoxFrame(int x, int y) {
  return MakeFrame24(64, 48, [=](int px, int py) {
    return (px >= x && px < x + 10 && py >= y && py < y + 10) ? kBox : kBackground;
  });
}

struct ProgressLog {
  std::vector<int> percents;
  static void Report(void* context, int percent) { static_cast<ProgressLog*>(context)->percents.push_back(percent); }
};
}  // namespace

TEST(ExtractMotionTest, CutsEveryFrameToTheUnionOfTheMovingAreas) {
  // A box crossing the middle row (y 20..29 of 48 rows) moves right.
  std::vector<UniqueFrame> owned;
  for (int x : {4, 14, 24}) owned.push_back(BoxFrame(x, 20));
  std::vector<HGLOBAL> frames;
  for (auto& f : owned) frames.push_back(f.release());

  ProgressLog log;
  const ProgressSink sink{nullptr, &ProgressLog::Report, &log};
  CancelRequested = 1;
  EXPECT_TRUE(ExtractMotion(frames.data(), 3, 0, &sink));
  EXPECT_EQ(log.percents, (std::vector<int>{0, 33, 66}));
  EXPECT_EQ(CancelRequested, 1) << "cutting to the moving area cannot be cancelled";
  CancelRequested = 0;

  // Pair 1 differs in columns 4..23, pair 2 in 14..33: the union is x 4..33, y 20..29.
  for (HGLOBAL frame : frames) {
    EXPECT_EQ(FrameWidth(frame), 30);
    EXPECT_EQ(FrameHeight(frame), 10);
  }
  EXPECT_EQ(PixelAt(frames[0], 0, 0), kBox);
  EXPECT_EQ(PixelAt(frames[2], 29, 9), kBox);
  EXPECT_EQ(PixelAt(frames[2], 19, 9), kBackground);
  for (HGLOBAL frame : frames) GlobalFree(frame);
}

TEST(ExtractMotionTest, LeavesFramesWhenNothingMovesOrNoPairCompares) {
  UniqueFrame a = BoxFrame(4, 20), b = BoxFrame(4, 20), small = MakeFlatFrame24(20, 20, kBackground);
  HGLOBAL equal[] = {a.get(), b.get()};
  EXPECT_TRUE(ExtractMotion(equal, 2, 0, nullptr)) << "equal frames compare, with an empty rectangle";
  EXPECT_EQ(equal[0], a.get());
  EXPECT_EQ(equal[1], b.get()) << "cropping to the empty rectangle yields nothing";

  HGLOBAL mismatched[] = {nullptr, a.get(), small.get()};
  EXPECT_FALSE(ExtractMotion(mismatched, 3, 1, nullptr));
  EXPECT_EQ(mismatched[1], a.get());
}

TEST(ExtractMotionTest, AnEqualFirstPairKeepsTheRightEdgeOfThePicture) {
  // The first pair's middle rows are equal; its empty rectangle reaches x = W + 1, so the
  // union with the later motion runs to the right edge.
  std::vector<HGLOBAL> frames = {BoxFrame(4, 20).release(), BoxFrame(4, 20).release(), BoxFrame(14, 20).release()};
  EXPECT_TRUE(ExtractMotion(frames.data(), 3, 0, nullptr));
  for (HGLOBAL frame : frames) {
    EXPECT_EQ(FrameWidth(frame), 64 - 4);
    GlobalFree(frame);
  }
}
