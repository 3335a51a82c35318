#include "capture/frame_image.h"

#include <cstdint>
#include <cstring>

int RowPadding(int width, int bitsPerPixel) {
  std::int64_t pixelBytes;
  switch (bitsPerPixel) {
    case 1: pixelBytes = (static_cast<std::int64_t>(width) + 7) / 8; break;
    case 4: pixelBytes = (static_cast<std::int64_t>(width) + 1) / 2; break;
    case 8: pixelBytes = width; break;
    case 16: pixelBytes = 2 * static_cast<std::int64_t>(width); break;
    case 24: pixelBytes = 3 * static_cast<std::int64_t>(width); break;
    case 32: pixelBytes = 4 * static_cast<std::int64_t>(width); break;
    default: return 0;
  }
  return static_cast<int>((4 - pixelBytes % 4) % 4);
}

std::size_t RowStride(int width, int bitsPerPixel) {
  const std::uint64_t bits = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bitsPerPixel);
  return static_cast<std::size_t>((bits + 31) / 32 * 4);
}

int DibColourCount(const void* header) {
  DWORD size;
  std::memcpy(&size, header, sizeof size);
  int bitCount;
  if (size == sizeof(BITMAPCOREHEADER)) {
    BITMAPCOREHEADER core;
    std::memcpy(&core, header, sizeof core);
    bitCount = core.bcBitCount;
  } else {
    BITMAPINFOHEADER info;
    std::memcpy(&info, header, sizeof info);
    if (info.biClrUsed != 0) return static_cast<int>(info.biClrUsed);
    bitCount = info.biBitCount;
  }
  switch (bitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
  }
}

int DibColourTableSize(const void* header) {
  DWORD size;
  std::memcpy(&size, header, sizeof size);
  return DibColourCount(header) * (size == sizeof(BITMAPCOREHEADER) ? 3 : 4);
}

bool CheckFrameLayout(const void* block, std::size_t blockSize, FrameLayout* layout) {
  if (!block || blockSize < sizeof(BITMAPINFOHEADER)) return false;
  BITMAPINFOHEADER header;
  std::memcpy(&header, block, sizeof header);
  if (header.biSize != sizeof(BITMAPINFOHEADER)) return false;
  if (header.biWidth < 1 || header.biWidth > kLargestFrameSide) return false;
  if (header.biHeight < 1 || header.biHeight > kLargestFrameSide) return false;
  if (header.biPlanes != 1 || header.biCompression != BI_RGB) return false;

  const int bits = header.biBitCount;
  std::uint64_t colours;
  switch (bits) {
    case 1:
    case 4:
    case 8:
      colours = header.biClrUsed ? header.biClrUsed : (1u << bits);
      if (colours > (1u << bits)) return false;
      break;
    case 24:
    case 32:
      // A true-colour DIB may carry an optimisation table of biClrUsed entries before its rows.
      colours = header.biClrUsed;
      if (colours > 256) return false;
      break;
    default:
      return false;
  }

  const std::uint64_t stride = RowStride(header.biWidth, bits);
  const std::uint64_t pixelOffset = sizeof(BITMAPINFOHEADER) + colours * sizeof(RGBQUAD);
  const std::uint64_t imageBytes = stride * static_cast<std::uint64_t>(header.biHeight);
  if (pixelOffset + imageBytes > blockSize) return false;

  layout->width = header.biWidth;
  layout->height = header.biHeight;
  layout->bitCount = bits;
  layout->colourCount = static_cast<int>(colours);
  layout->stride = static_cast<std::size_t>(stride);
  layout->pixelOffset = static_cast<std::size_t>(pixelOffset);
  layout->imageBytes = static_cast<std::size_t>(imageBytes);
  return true;
}

FrameLock::FrameLock(HGLOBAL frame) : frame_(frame) {
  if (!frame_) return;
  data_ = static_cast<BYTE*>(GlobalLock(frame_));
  if (!data_) return;
  ok_ = CheckFrameLayout(data_, GlobalSize(frame_), &layout_);
}

FrameLock::~FrameLock() {
  if (data_) GlobalUnlock(frame_);
}

HGLOBAL NewFrameImage(int width, int height, int bitCount, int colourCount) {
  if (width < 1 || width > kLargestFrameSide || height < 1 || height > kLargestFrameSide) return nullptr;
  if (colourCount < 0 || colourCount > 256) return nullptr;
  // Sizes in 64 bits: 32767 x 32767 x 4 bytes does not fit the 32-bit program's size_t.
  const std::uint64_t imageBytes = static_cast<std::uint64_t>(RowStride(width, bitCount)) * static_cast<std::uint64_t>(height);
  const std::uint64_t blockBytes = sizeof(BITMAPINFOHEADER) + static_cast<std::uint64_t>(colourCount) * sizeof(RGBQUAD) + imageBytes;
  if (blockBytes > 0x7FFFFFFF) return nullptr;
  HGLOBAL frame = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(blockBytes));
  if (!frame) return nullptr;
  auto* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(frame));
  if (!header) {
    GlobalFree(frame);
    return nullptr;
  }
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = width;
  header->biHeight = height;
  header->biPlanes = 1;
  header->biBitCount = static_cast<WORD>(bitCount);
  header->biCompression = BI_RGB;
  header->biSizeImage = static_cast<DWORD>(imageBytes);
  header->biClrUsed = static_cast<DWORD>(colourCount);
  GlobalUnlock(frame);
  return frame;
}
