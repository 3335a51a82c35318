#include "gif/build_pipeline.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gif/gif_reader.h"
#include "gif/gif_writer.h"
#include "tests/support/test_frames.h"

namespace {

// What the progress dialog would have shown: each step name and each percentage.
struct ProgressLog {
  std::vector<std::string> events;
  BuildStep step = BuildStep::Trimming;
  int cancelStep = -1, cancelPercent = -1;

  static void SetStep(void* context, BuildStep step) {
    auto* log = static_cast<ProgressLog*>(context);
    log->step = step;
    log->events.push_back(BuildStepName(step));
  }
  static void Report(void* context, int percent) {
    auto* log = static_cast<ProgressLog*>(context);
    log->events.push_back(std::to_string(percent));
    if (static_cast<int>(log->step) == log->cancelStep && percent == log->cancelPercent) CancelRequested = 1;
  }
  ProgressSink Sink() { return ProgressSink{&SetStep, &Report, this}; }
};

// A recording of count frames of a gradient with a moving dot, 24-bit, width x height.
std::vector<HGLOBAL> Recording(int count, int width, int height) {
  std::vector<HGLOBAL> frames;
  for (int i = 0; i < count; ++i) {
    frames.push_back(MakeFrame24(width, height, [=](int x, int y) {
                       if (x == 5 + i && y == 5) return Rgb{255, 0, 0};
                       return Rgb{static_cast<std::uint8_t>(x * 255 / width), static_cast<std::uint8_t>(y * 255 / height),
                                  static_cast<std::uint8_t>((x + y) & 0xFF)};
                     }).release());
  }
  return frames;
}

void FreeAll(std::vector<HGLOBAL>& frames) {
  for (HGLOBAL frame : frames) GlobalFree(frame);
  frames.clear();
}

const std::vector<int> kDelays(8, 25);

}  // namespace

TEST(BuildPipelineTest, ShowsEachStepAndReportsBeforeEveryFrame) {
  std::vector<HGLOBAL> frames = Recording(4, 40, 30);
  ProgressLog log;
  const ProgressSink sink = log.Sink();
  const std::string path = TempPath("steps.gif");
  GifBuildOptions options;
  options.sizeMethod = 2;
  options.sizePixel = 20;
  ASSERT_EQ(RunBuildPipeline(frames.data(), 4, path.c_str(), 255, kDelays.data(), options, &sink), kGifWriteOk);
  const std::vector<std::string> expected = {
      "トリミング",
      "サイズの変更", "0", "25", "50", "75",
      "パレット作成", "0", "25", "50", "75",
      "アニメGIF作成", "0", "25", "50", "75"};
  EXPECT_EQ(log.events, expected);
  // The list now holds the resized frames; the originals were freed.
  for (HGLOBAL frame : frames) EXPECT_EQ(FrameWidth(frame), 20);
  HGLOBAL first = nullptr;
  ASSERT_EQ(ReadGifFile(path.c_str(), &first), kGifReadOk);
  EXPECT_EQ(FrameWidth(first), 20);
  EXPECT_EQ(FrameHeight(first), 15);
  GlobalFree(first);
  FreeAll(frames);
}

TEST(BuildPipelineTest, SkipsResizingWhenTheWidthIsWithinTheLimit) {
  std::vector<HGLOBAL> frames = Recording(2, 40, 30);
  ProgressLog log;
  const ProgressSink sink = log.Sink();
  GifBuildOptions options;
  options.sizeMethod = 1;
  options.sizePixel = 40;
  const std::string path = TempPath("limit.gif");
  ASSERT_EQ(RunBuildPipeline(frames.data(), 2, path.c_str(), 255, kDelays.data(), options, &sink), kGifWriteOk);
  for (const std::string& event : log.events) EXPECT_NE(event, "サイズの変更");
  options.sizePixel = 0;  // a nonsensical setting skips the step instead of dividing by zero
  ASSERT_EQ(RunBuildPipeline(frames.data(), 2, path.c_str(), 255, kDelays.data(), options, nullptr), kGifWriteOk);
  EXPECT_EQ(FrameWidth(frames[0]), 40);
  FreeAll(frames);
}

TEST(BuildPipelineTest, SpaceRemovalIsDecidedOnTheFirstFrame) {
  // Frame 0 has flat 16-pixel bands above and below its content; frame 1 has none,
  // and is cut all the same.
  std::vector<HGLOBAL> frames;
  frames.push_back(MakeFrame24(80, 80, [](int x, int y) {
                     if (y < 16 || y >= 64) return Rgb{0, 0, 255};
                     return Rgb{static_cast<std::uint8_t>(x * 3), static_cast<std::uint8_t>(y * 3), 9};
                   }).release());
  frames.push_back(MakeFrame24(80, 80, [](int x, int y) {
                     return Rgb{static_cast<std::uint8_t>(x * 3), static_cast<std::uint8_t>(y), 200};
                   }).release());
  GifBuildOptions options;
  options.removeBorders = true;
  const std::string path = TempPath("space.gif");
  ASSERT_EQ(RunBuildPipeline(frames.data(), 2, path.c_str(), 63, kDelays.data(), options, nullptr), kGifWriteOk);
  for (HGLOBAL frame : frames) {
    EXPECT_EQ(FrameWidth(frame), 80);
    EXPECT_EQ(FrameHeight(frame), 48);
  }
  FreeAll(frames);
}

TEST(BuildPipelineTest, SixteenColoursReachReductionAsFifteen) {
  for (bool shared : {false, true}) {
    std::vector<HGLOBAL> frames = Recording(2, 64, 64);
    GifBuildOptions options;
    options.sharedPalette = shared;
    const std::string path = TempPath("sixteen.gif");
    ASSERT_EQ(RunBuildPipeline(frames.data(), 2, path.c_str(), 15, kDelays.data(), options, nullptr), kGifWriteOk);
    HGLOBAL first = nullptr;
    ASSERT_EQ(ReadGifFile(path.c_str(), &first), kGifReadOk);
    // The palette is sorted darkest first, so a full palette of 15 ends with white.
    const std::vector<Rgb> table = ColourTable(first);
    ASSERT_EQ(table.size(), 16u) << "15 colours take a table of 16 entries";
    EXPECT_EQ(table[14], (Rgb{255, 255, 255})) << (shared ? "shared" : "per frame");
    EXPECT_EQ(table[15], (Rgb{0, 0, 0})) << "the entry beyond the palette is unused";
    int highest = 0;
    for (int y = 0; y < 64; ++y) {
      for (int x = 0; x < 64; ++x) highest = std::max(highest, IndexAt(first, x, y));
    }
    EXPECT_LE(highest, 14);
    GlobalFree(first);
    FreeAll(frames);
  }
}

TEST(BuildPipelineTest, CancelEndsEveryStepAtTheNextFrame) {
  struct Case {
    BuildStep step;
    bool removeBorders, sharedPalette;
  } cases[] = {
      {BuildStep::Trimming, true, false},
      {BuildStep::Resizing, false, false},
      {BuildStep::Palette, false, false},
      {BuildStep::Palette, false, true},
      {BuildStep::Writing, false, false},
      {BuildStep::Writing, false, true},
  };
  for (const Case& c : cases) {
    std::vector<HGLOBAL> frames = Recording(4, 80, 80);
    // Give frame 0 borders, so that space removal has work to do.
    GlobalFree(frames[0]);
    frames[0] = MakeFrame24(80, 80, [](int x, int y) {
                  return (y < 8) ? Rgb{1, 2, 3} : Rgb{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 0};
                }).release();
    ProgressLog log;
    log.cancelStep = static_cast<int>(c.step);
    log.cancelPercent = 50;
    const ProgressSink sink = log.Sink();
    GifBuildOptions options;
    options.removeBorders = c.removeBorders;
    options.sharedPalette = c.sharedPalette;
    options.sizeMethod = 2;
    options.sizePixel = 40;
    const std::string path = TempPath("cancel.gif");
    EXPECT_EQ(RunBuildPipeline(frames.data(), 4, path.c_str(), 255, kDelays.data(), options, &sink),
              kGifWriteCancelled)
        << BuildStepName(c.step);
    EXPECT_EQ(log.events.back(), "50") << "nothing is reported after the cancel";
    EXPECT_EQ(CancelRequested, 0) << "the cancel was read";
    FreeAll(frames);
  }
}

TEST(BuildPipelineTest, ClampsTheColourCountAndRefusesAnEmptyList) {
  std::vector<HGLOBAL> frames = Recording(1, 32, 32);
  const std::string path = TempPath("clamp.gif");
  EXPECT_EQ(RunBuildPipeline(frames.data(), 1, path.c_str(), 3, kDelays.data(), {}, nullptr), kGifWriteOk);
  EXPECT_EQ(RunBuildPipeline(frames.data(), 1, path.c_str(), 1000, kDelays.data(), {}, nullptr), kGifWriteOk);
  EXPECT_EQ(RunBuildPipeline(frames.data(), 0, path.c_str(), 255, kDelays.data(), {}, nullptr), kGifWriteBadFrame);
  FreeAll(frames);
}
