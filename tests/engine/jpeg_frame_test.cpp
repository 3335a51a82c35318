#include "capture/jpeg_frame.h"

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "capture/frame_image.h"
#include "gif/resize.h"
#include "tests/support/test_frames.h"

namespace {

// 96x80 with a flat 8-pixel border around noise: its content is {8, 8, 88, 72}.
constexpr int kBorder = 8;
UniqueFrame BorderedFrame() {
  return MakeFrame24(96, 80, [](int x, int y) {
    const bool inside = x >= kBorder && x < 96 - kBorder && y >= kBorder && y < 80 - kBorder;
    return inside ? Noise(x, y) : Rgb{20, 30, 40};
  });
}

}  // namespace

TEST(PrepareJpegFrameTest, CutsToTheContentOnlyWhenAskedAndFound) {
  {
    UniqueFrame frame = BorderedFrame();
    HGLOBAL handle = frame.release();
    EXPECT_EQ(PrepareJpegFrame(&handle, true, kSizeKeep, 430), kJpegFrameReady);
    frame.reset(handle);
    ASSERT_EQ(FrameWidth(handle), 80);
    ASSERT_EQ(FrameHeight(handle), 64);
    bool same = true;
    for (int y = 0; y < 64; ++y) {
      for (int x = 0; x < 80; ++x) same = same && PixelAt(handle, x, y) == Noise(x + kBorder, y + kBorder);
    }
    EXPECT_TRUE(same) << "the cut is not the content inside the border";
  }
  const struct {
    const char* name;
    UniqueFrame frame;
    bool removeBorders;
  } kept[] = {
      {"borders kept when not asked", BorderedFrame(), false},
      {"no borders found", MakeFrame24(96, 80, [](int x, int y) { return Noise(x, y); }), true},
  };
  for (const auto& c : kept) {
    SCOPED_TRACE(c.name);
    HGLOBAL handle = c.frame.get();
    EXPECT_EQ(PrepareJpegFrame(&handle, c.removeBorders, kSizeKeep, 430), kJpegFrameReady);
    EXPECT_EQ(handle, c.frame.get());
  }
}

TEST(PrepareJpegFrameTest, ResizesAsTheSizeSettingAsks) {
  const struct {
    int method, sizePixel, width, height;
    int newWidth, newHeight;  // 0: the frame is kept, same handle
  } cases[] = {
      {kSizeLimitWidth, 430, 1280, 720, 430, 242},  // 720 / r = 241.875
      {kSizeLimitWidth, 430, 400, 300, 0, 0},
      {kSizeLimitWidth, 430, 430, 100, 0, 0},
      {kSizeFixWidth, 430, 200, 100, 430, 215},     // enlarges
      {kSizeFixWidth, 430, 430, 100, 430, 100},     // resized even to the same size
      {kSizeFitSquare, 430, 300, 600, 215, 430},
      {kSizeFitSquare, 430, 100, 40, 430, 172},
      {kSizeLimitWidth, 0, 500, 100, 0, 0},         // sizepixel 0 or below never divides
      {kSizeFixWidth, 0, 500, 100, 0, 0},
      {kSizeFitSquare, -5, 500, 100, 0, 0},
      {kSizeKeep, 430, 1280, 720, 0, 0},
      {4, 430, 1280, 720, 0, 0},
      {-1, 430, 1280, 720, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("method " + std::to_string(c.method) + ", sizepixel " + std::to_string(c.sizePixel) + ", " +
                 std::to_string(c.width) + "x" + std::to_string(c.height));
    UniqueFrame frame = MakeFlatFrame24(c.width, c.height, {90, 120, 150});
    HGLOBAL handle = frame.release();
    const HGLOBAL original = handle;
    EXPECT_EQ(PrepareJpegFrame(&handle, false, c.method, c.sizePixel), kJpegFrameReady);
    frame.reset(handle);
    if (c.newWidth == 0) {
      EXPECT_EQ(handle, original);
    } else {
      EXPECT_NE(handle, original);
      EXPECT_EQ(FrameWidth(handle), c.newWidth);
      EXPECT_EQ(FrameHeight(handle), c.newHeight);
    }
  }
}

TEST(PrepareJpegFrameTest, ResizesTheCutFrame) {
  UniqueFrame frame = BorderedFrame();
  HGLOBAL handle = frame.release();
  // The 80x64 content fitted into 40: r = 80 / 40 = 2. The whole 96x80 frame would give 40x33.
  EXPECT_EQ(PrepareJpegFrame(&handle, true, kSizeFitSquare, 40), kJpegFrameReady);
  frame.reset(handle);
  EXPECT_EQ(FrameWidth(handle), 40);
  EXPECT_EQ(FrameHeight(handle), 32);
}

TEST(PrepareJpegFrameTest, DropsAFrameThatCannotBeSizedOrResized) {
  // The handles are freed by PrepareJpegFrame; the sanitizer build reports one that is not.
  for (int method : {kSizeLimitWidth, kSizeFixWidth, kSizeFitSquare}) {
    SCOPED_TRACE("method " + std::to_string(method));
    HGLOBAL broken = NewFrameImage(500, 40, 24, 0);
    {
      FrameLock lock(broken);
      lock.header()->biHeight = 41;  // one row more than the block holds
    }
    EXPECT_EQ(PrepareJpegFrame(&broken, true, method, 430), kJpegFrameLockFailed);
    EXPECT_EQ(broken, nullptr);

    // ResizeFrame takes only 24-bit frames: an 8-bit frame locks but does not resize.
    HGLOBAL indexed = MakeIndexedFrame(500, 40, 8, {{1, 2, 3}}, [](int, int) { return 0; }).release();
    EXPECT_EQ(PrepareJpegFrame(&indexed, false, method, 430), kJpegFrameResizeFailed);
    EXPECT_EQ(indexed, nullptr);
  }

  // Without a size method nothing locks the frame, and the writer refuses it later.
  UniqueFrame broken(NewFrameImage(500, 40, 24, 0));
  {
    FrameLock lock(broken.get());
    lock.header()->biHeight = 41;
  }
  HGLOBAL handle = broken.get();
  EXPECT_EQ(PrepareJpegFrame(&handle, true, kSizeKeep, 430), kJpegFrameReady);
  EXPECT_EQ(handle, broken.get());
}

TEST(FormatNumberedFileNameTest, FormatsFolderPrefixAndSevenDigits) {
  const struct {
    const char *folder, *prefix;
    int number;
    const char *extension, *name;
  } cases[] = {
      {"C:\\Pictures\\frimbola\\", "A", 1001, "jpg", "C:\\Pictures\\frimbola\\A0001001.jpg"},
      {"", "", 0, "gif", "0000000.gif"},
      {"D:\\", "clip_", 12345678, "jpg", "D:\\clip_12345678.jpg"},  // an eighth digit is not cut
  };
  for (const auto& c : cases) {
    char name[64];
    EXPECT_TRUE(FormatNumberedFileName(name, sizeof name, c.folder, c.prefix, c.number, c.extension));
    EXPECT_STREQ(name, c.name);
  }

  // "D:\A0000001.jpg" is 15 characters: it needs 16 bytes.
  char name[16];
  EXPECT_TRUE(FormatNumberedFileName(name, 16, "D:\\", "A", 1, "jpg"));
  EXPECT_STREQ(name, "D:\\A0000001.jpg");
  EXPECT_FALSE(FormatNumberedFileName(name, 15, "D:\\", "A", 1, "jpg"));
  EXPECT_STREQ(name, "") << "a name that does not fit is not left half-written";
}
