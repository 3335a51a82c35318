#include "capture/frame_image.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/test_frames.h"

TEST(RowPaddingTest, PadsEveryDepthToFourBytes) {
  struct Case {
    int width, bits, padding;
  } cases[] = {
      {5, 8, 3}, {9, 1, 2}, {8, 1, 3}, {33, 1, 3}, {3, 4, 2}, {7, 4, 0}, {3, 16, 2},
      {16, 24, 0}, {17, 24, 1}, {18, 24, 2}, {19, 24, 3}, {20, 24, 0},
      {1, 32, 0}, {7, 32, 0}, {5, 2, 0}, {5, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RowPadding(c.width, c.bits), c.padding) << c.width << " pixels at " << c.bits << " bits";
  }
}

TEST(RowPaddingTest, TwentyFourBitStrideIsThreeTimesWidthPlusWidthModFour) {
  const std::pair<int, std::size_t> cases[] = {{16, 48}, {17, 52}, {18, 56}, {19, 60}, {20, 60}};
  for (const auto& [width, stride] : cases) {
    EXPECT_EQ(RowStride(width, 24), stride);
    EXPECT_EQ(RowStride(width, 24), static_cast<std::size_t>(3 * width + RowPadding(width, 24)));
  }
}

TEST(NewFrameImageTest, MakesTheCapturedFrameLayout) {
  UniqueFrame frame(NewFrameImage(16, 16, 24, 0));
  ASSERT_TRUE(frame);
  EXPECT_EQ(GlobalSize(frame.get()), 40u + 48u * 16u);
  FrameLock lock(frame.get());
  ASSERT_TRUE(lock.Is24Bit());
  const BITMAPINFOHEADER* h = lock.header();
  EXPECT_EQ(h->biSize, 40u);
  EXPECT_EQ(h->biPlanes, 1);
  EXPECT_EQ(h->biCompression, static_cast<DWORD>(BI_RGB));
  EXPECT_EQ(h->biSizeImage, 768u);
  EXPECT_EQ(h->biClrUsed, 0u);
  EXPECT_EQ(lock.pixels(), reinterpret_cast<BYTE*>(lock.header()) + 40);
}

namespace {
// A header followed by a block of blockSize bytes in all.
std::vector<BYTE> Block(const BITMAPINFOHEADER& header, std::size_t blockSize) {
  std::vector<BYTE> block(blockSize);
  std::memcpy(block.data(), &header, std::min(sizeof header, blockSize));
  return block;
}

BITMAPINFOHEADER Header(LONG width, LONG height, WORD bits, DWORD colours = 0) {
  BITMAPINFOHEADER h{};
  h.biSize = 40;
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = bits;
  h.biCompression = BI_RGB;
  h.biClrUsed = colours;
  return h;
}
}  // namespace

TEST(CheckFrameLayoutTest, AcceptsSoundHeadersAndLocatesTheirRows) {
  struct Case {
    BITMAPINFOHEADER header;
    int colourCount;
    std::size_t pixelOffset, stride;
  } cases[] = {
      {Header(17, 3, 24), 0, 40, 52},
      {Header(17, 3, 24, 2), 2, 48, 52},  // optimisation table before the rows
      {Header(5, 2, 8), 256, 40 + 1024, 8},
      {Header(5, 2, 8, 7), 7, 40 + 28, 8},
      {Header(9, 2, 1), 2, 48, 4},
      {Header(9, 2, 4, 16), 16, 104, 8},
      {Header(3, 3, 32), 0, 40, 12},
  };
  for (const Case& c : cases) {
    const std::size_t size = c.pixelOffset + c.stride * c.header.biHeight;
    std::vector<BYTE> block = Block(c.header, size);
    FrameLayout layout;
    ASSERT_TRUE(CheckFrameLayout(block.data(), block.size(), &layout)) << c.header.biBitCount;
    EXPECT_EQ(layout.colourCount, c.colourCount);
    EXPECT_EQ(layout.pixelOffset, c.pixelOffset);
    EXPECT_EQ(layout.stride, c.stride);
    // One byte short of the last row is refused.
    EXPECT_FALSE(CheckFrameLayout(block.data(), size - 1, &layout)) << c.header.biBitCount;
  }
}

TEST(CheckFrameLayoutTest, RefusesHeadersThatDoNotDescribeAFrame) {
  const std::size_t roomy = 1 << 20;
  auto refused = [&](BITMAPINFOHEADER h) {
    std::vector<BYTE> block = Block(h, roomy);
    FrameLayout layout;
    return !CheckFrameLayout(block.data(), block.size(), &layout);
  };
  BITMAPINFOHEADER h = Header(4, 4, 24);
  EXPECT_FALSE(refused(h));
  h.biSize = 12;  EXPECT_TRUE(refused(h)) << "core header";
  h.biSize = 124; EXPECT_TRUE(refused(h)) << "version 5 header";
  EXPECT_TRUE(refused(Header(0, 4, 24)));
  EXPECT_TRUE(refused(Header(-4, 4, 24)));
  EXPECT_TRUE(refused(Header(4, -4, 24))) << "top-down rows";
  EXPECT_TRUE(refused(Header(kLargestFrameSide + 1, 1, 8)));
  h = Header(4, 4, 24); h.biPlanes = 2; EXPECT_TRUE(refused(h));
  h = Header(4, 4, 24); h.biCompression = 3; EXPECT_TRUE(refused(h)) << "bit fields";
  EXPECT_TRUE(refused(Header(4, 4, 16)));
  EXPECT_TRUE(refused(Header(4, 4, 2)));
  EXPECT_TRUE(refused(Header(4, 4, 1, 3))) << "more colours than one bit can index";
  EXPECT_TRUE(refused(Header(4, 4, 8, 257)));
  EXPECT_TRUE(refused(Header(4, 4, 24, 0xFFFFFFFF))) << "table size overflow";
  EXPECT_TRUE(refused(Header(kLargestFrameSide, kLargestFrameSide, 32))) << "4 GiB of rows in a small block";
  std::vector<BYTE> shortBlock(39);
  FrameLayout layout;
  EXPECT_FALSE(CheckFrameLayout(shortBlock.data(), shortBlock.size(), &layout));
  EXPECT_FALSE(CheckFrameLayout(nullptr, 100, &layout));
}

TEST(FrameLockTest, RefusesANullHandleAndABlockTooSmallForItsHeader) {
  EXPECT_FALSE(FrameLock(nullptr).ok());
  UniqueFrame frame(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 40 + 10));
  {
    FrameLock lock(frame.get());
    EXPECT_FALSE(lock.ok());
  }
  BITMAPINFOHEADER h = Header(4, 4, 24);
  std::memcpy(GlobalLock(frame.get()), &h, sizeof h);
  GlobalUnlock(frame.get());
  EXPECT_FALSE(FrameLock(frame.get()).ok()) << "48 bytes of rows announced, 10 present";
}

TEST(DibColourCountTest, ReadsInfoAndCoreHeaders) {
  BITMAPINFOHEADER info = Header(1, 1, 8);
  EXPECT_EQ(DibColourCount(&info), 256);
  EXPECT_EQ(DibColourTableSize(&info), 1024);
  info.biClrUsed = 5;
  EXPECT_EQ(DibColourCount(&info), 5);
  info = Header(1, 1, 24);
  EXPECT_EQ(DibColourCount(&info), 0);
  info = Header(1, 1, 4);
  EXPECT_EQ(DibColourCount(&info), 16);
  BITMAPCOREHEADER core{12, 1, 1, 1, 1};
  EXPECT_EQ(DibColourCount(&core), 2);
  EXPECT_EQ(DibColourTableSize(&core), 6);
}
