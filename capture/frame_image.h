// Frame images: packed DIBs in movable global memory blocks (40-byte header,
// optional colour table, bottom-up rows padded to 4 bytes), the row-padding rule,
// and the one check of a header against its block that guards every pixel read.
#pragma once

#include <cstddef>

#include "platform/platform.h"

// Bytes (0..3) that follow the pixel bytes of one row so the row is a multiple of 4 long.
// Depths other than 1, 4, 8, 16, 24 and 32 bits get no padding.
int RowPadding(int width, int bitsPerPixel);

// Bytes of one stored row: pixel bytes rounded up to whole bytes, then to a multiple of 4.
std::size_t RowStride(int width, int bitsPerPixel);

// Colour-table entries a DIB header announces: for a 12-byte core header from its
// bit count, otherwise biClrUsed when set, else 2, 16 or 256 for 1, 4 or 8 bits, else 0.
int DibColourCount(const void* header);
// Bytes of that colour table: 3 per entry after a core header, 4 after any other.
int DibColourTableSize(const void* header);

// Where the parts of a checked frame image lie.
struct FrameLayout {
  int width = 0;
  int height = 0;
  int bitCount = 0;
  int colourCount = 0;         // colour-table entries (DibColourCount)
  std::size_t stride = 0;      // bytes per stored row
  std::size_t pixelOffset = 0; // header + colour table
  std::size_t imageBytes = 0;  // stride x height
};

// The largest side of a frame: the GIF format and the palette mapping keep sides in 16 bits.
constexpr int kLargestFrameSide = 32767;

// Checks a frame image's header against the real size of its block: a 40-byte header,
// width and height 1..kLargestFrameSide (bottom-up rows), one plane, BI_RGB, 1, 4, 8, 24 or
// 32 bits, a colour table no larger than the depth allows (at most 256 entries), and the
// header, table and every row inside blockSize. Nothing in the header is trusted before it.
bool CheckFrameLayout(const void* block, std::size_t blockSize, FrameLayout* layout);

// A frame image locked for the lifetime of the guard, its header checked once by
// CheckFrameLayout. ok() is false for a null handle, a failed lock or a header that
// does not fit its block; every operation then treats the frame like one of the wrong depth.
class FrameLock {
 public:
  explicit FrameLock(HGLOBAL frame);
  ~FrameLock();
  FrameLock(const FrameLock&) = delete;
  FrameLock& operator=(const FrameLock&) = delete;

  bool ok() const { return ok_; }
  bool Is24Bit() const { return ok_ && layout_.bitCount == 24; }
  const FrameLayout& layout() const { return layout_; }
  int width() const { return layout_.width; }
  int height() const { return layout_.height; }
  std::size_t stride() const { return layout_.stride; }

  BITMAPINFOHEADER* header() const { return reinterpret_cast<BITMAPINFOHEADER*>(data_); }
  RGBQUAD* colours() const { return reinterpret_cast<RGBQUAD*>(data_ + sizeof(BITMAPINFOHEADER)); }
  BYTE* pixels() const { return data_ + layout_.pixelOffset; }
  // Storage row 0 is the bottom row of the picture.
  BYTE* Row(int storageRow) const { return pixels() + layout_.stride * static_cast<std::size_t>(storageRow); }

 private:
  HGLOBAL frame_;
  BYTE* data_ = nullptr;
  bool ok_ = false;
  FrameLayout layout_;
};

// A new zero-filled frame image of width x height at bitCount bits with room for
// colourCount table entries: header written (biSize 40, one plane, BI_RGB, biSizeImage,
// biClrUsed = colourCount, all else 0), handed back unlocked; null for a size the
// check above would refuse or when memory runs out.
HGLOBAL NewFrameImage(int width, int height, int bitCount, int colourCount);
