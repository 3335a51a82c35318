#include "gif/resize.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "capture/frame_image.h"
#include "platform/scoped.h"

// The resampling rounds at integer boundaries (trunc(t * d + 0.5), trunc(dy * i + 0.5)),
// so every build must compute in plain IEEE doubles, each operation rounded once:
// no x87 80-bit intermediates (the Windows build uses SSE2) and no product and sum fused
// into one multiply-add (the build turns contraction off with -ffp-contract=off).
static_assert(FLT_EVAL_METHOD == 0, "resizing needs IEEE double arithmetic without excess precision");

namespace {

// One stage of the bilinear interpolation: a + trunc(t * (b - a) + 0.5), clamped to a
// byte, rounded before the next stage uses it. With t = 0 it is exactly a.
inline int Lerp(int a, int b, double t) {
  const double step = t * static_cast<double>(b - a);
  const int value = a + static_cast<int>(step + 0.5);
  return value < 0 ? 0 : (value > 255 ? 255 : value);
}

// Where an output column reads the source, the same for every row: computed once per frame.
struct BilinearColumn {
  std::size_t offset;  // byte offset of source column l
  double fraction;     // gx
  bool blend;          // l + 1 < W and gx != 0
};

// The horizontal stage of one source row j for every output column: lerp(P(l, j),
// P(l + 1, j), gx), or P(l, j) where l + 1 >= W. It depends on j and the column only, so
// the output rows that read row j share it.
void BlendSourceRow(const BYTE* pixels, const std::vector<BilinearColumn>& columns, int* out) {
  for (const BilinearColumn& column : columns) {
    const BYTE* p = pixels + column.offset;
    if (column.blend) {
      const double gx = column.fraction;
      out[0] = Lerp(p[0], p[3], gx);
      out[1] = Lerp(p[1], p[4], gx);
      out[2] = Lerp(p[2], p[5], gx);
    } else {
      out[0] = p[0];
      out[1] = p[1];
      out[2] = p[2];
    }
    out += 3;
  }
}

// Bilinear interpolation aligned at the bottom-left pixel (no half-pixel offset), in two
// stages as the formulas nest: each output pixel is lerp(lower, upper, gy) of the
// horizontal stages of source rows j and j + 1, or the stage of row j alone where
// j + 1 >= H. Those are exactly the four cases of l + 1 < W and j + 1 < H. A stage with a
// fraction of 0 returns its first value unchanged (a + trunc(0.5) = a), so such stages
// are skipped: the result is the same byte.
void ResizeBilinear(const FrameLock& source, const FrameLock& target, double dx, double dy) {
  const int sourceWidth = source.width(), sourceHeight = source.height();
  const int width = target.width(), height = target.height();

  std::vector<BilinearColumn> columns(width);
  for (int k = 0; k < width; ++k) {
    const double fx = dx * k;
    int l = static_cast<int>(fx);
    const double gx = fx - l;
    l = std::min(l, sourceWidth - 1);  // never past the last column (fx < W holds anyway)
    columns[k] = BilinearColumn{3 * static_cast<std::size_t>(l), gx, l + 1 < sourceWidth && gx != 0.0};
  }

  // The horizontal stages of the two source rows in use; j only grows from row to row.
  const std::size_t rowValues = 3 * static_cast<std::size_t>(width);
  std::vector<int> lowerStage(rowValues), upperStage(rowValues);
  int lowerRow = -1, upperRow = -1;
  for (int i = 0; i < height; ++i) {
    const double fy = dy * i;
    int j = static_cast<int>(fy);
    const double gy = fy - j;
    j = std::min(j, sourceHeight - 1);
    const bool blend = j + 1 < sourceHeight && gy != 0.0;

    if (lowerRow != j) {
      if (upperRow == j) {
        lowerStage.swap(upperStage);
        std::swap(lowerRow, upperRow);
      } else {
        BlendSourceRow(source.Row(j), columns, lowerStage.data());
        lowerRow = j;
      }
    }
    BYTE* out = target.Row(i);
    if (!blend) {
      for (std::size_t v = 0; v < rowValues; ++v) out[v] = static_cast<BYTE>(lowerStage[v]);
      continue;
    }
    if (upperRow != j + 1) {
      BlendSourceRow(source.Row(j + 1), columns, upperStage.data());
      upperRow = j + 1;
    }
    for (std::size_t v = 0; v < rowValues; ++v) out[v] = static_cast<BYTE>(Lerp(lowerStage[v], upperStage[v], gy));
  }
}

// Source rows or columns [from, to) of one box.
struct BoxSpan {
  int from, to;
};

// The box of output row or column i: trunc(d * i + 0.5) up to trunc(d * (i + 1) + 0.5),
// cut at the source's size. A box that holds nothing (an output row of a frame whose
// height grows while its width shrinks by more than 2) takes the one source row at its
// start, the last row when it starts past the end: the row that sampling at d * i
// rounds to, and the row every one-row box of such a frame holds.
BoxSpan BoxOf(double d, int i, int size) {
  const int from = static_cast<int>(d * i + 0.5);
  const int to = std::min(static_cast<int>(d * (i + 1) + 0.5), size);
  if (from < to) return BoxSpan{from, to};
  const int row = std::min(from, size - 1);
  return BoxSpan{row, row + 1};
}

// One output row of box averages from the per-column sums of its source rows. Total is
// 32 bits when no box of the frame can overflow it, which saves 64-bit divisions.
template <typename Total>
void AverageBoxes(const std::vector<std::uint32_t>& sums, const std::vector<BoxSpan>& columns, unsigned rows,
                  BYTE* out) {
  for (const BoxSpan& column : columns) {
    Total blue = 0, green = 0, red = 0;
    for (int x = column.from; x < column.to; ++x) {
      blue += sums[3 * x];
      green += sums[3 * x + 1];
      red += sums[3 * x + 2];
    }
    const Total count = static_cast<Total>(column.to - column.from) * rows;
    out[0] = static_cast<BYTE>(blue / count);
    out[1] = static_cast<BYTE>(green / count);
    out[2] = static_cast<BYTE>(red / count);
    out += 3;
  }
}

// Box filter: each output pixel is the truncated mean of its source box. The rows of a
// box are summed per source column first, so every source pixel is read once.
void ResizeBox(const FrameLock& source, const FrameLock& target, double dx, double dy) {
  const int sourceWidth = source.width(), sourceHeight = source.height();
  const int width = target.width(), height = target.height();

  std::vector<BoxSpan> columns(width);
  int widestBox = 1;
  for (int k = 0; k < width; ++k) {
    columns[k] = BoxOf(dx, k, sourceWidth);
    widestBox = std::max(widestBox, columns[k].to - columns[k].from);
  }
  std::vector<BoxSpan> rows(height);
  int tallestBox = 1;
  for (int i = 0; i < height; ++i) {
    rows[i] = BoxOf(dy, i, sourceHeight);
    tallestBox = std::max(tallestBox, rows[i].to - rows[i].from);
  }
  const bool fits32 = static_cast<std::uint64_t>(widestBox) * static_cast<std::uint64_t>(tallestBox) * 255 <= UINT32_MAX;

  // A column's sum over a box's rows stays below 32767 x 255.
  const std::size_t rowBytes = 3 * static_cast<std::size_t>(sourceWidth);
  std::vector<std::uint32_t> sums(rowBytes);
  for (int i = 0; i < height; ++i) {
    std::fill(sums.begin(), sums.end(), 0u);
    for (int y = rows[i].from; y < rows[i].to; ++y) {
      const BYTE* pixels = source.Row(y);
      for (std::size_t b = 0; b < rowBytes; ++b) sums[b] += pixels[b];
    }
    const unsigned rowCount = static_cast<unsigned>(rows[i].to - rows[i].from);
    if (fits32) {
      AverageBoxes<std::uint32_t>(sums, columns, rowCount, target.Row(i));
    } else {
      AverageBoxes<std::uint64_t>(sums, columns, rowCount, target.Row(i));
    }
  }
}

// A side of the size settings: trunc(v + 0.5), held at INT_MAX for a size no frame can
// have (ResizeFrame then refuses it) instead of overflowing the conversion.
int RoundedSide(double value) {
  const double rounded = value + 0.5;
  return rounded >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(rounded);
}

}  // namespace

HGLOBAL ResizeFrame(HGLOBAL frame, int width, int height) {
  if (width < 1 || height < 1 || width > kLargestFrameSide || height > kLargestFrameSide) return nullptr;
  FrameLock source(frame);
  if (!source.Is24Bit()) return nullptr;
  const int sourceWidth = source.width(), sourceHeight = source.height();

  // The new frame keeps the source's header and colour table; only its size changes,
  // and with it the image size, which would otherwise describe the source's rows.
  const std::size_t headerBytes = source.layout().pixelOffset;
  const std::uint64_t blockBytes = headerBytes + static_cast<std::uint64_t>(RowStride(width, 24)) * height;
  if (blockBytes > 0x7FFFFFFF) return nullptr;
  OwnedGlobal result(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(blockBytes)));
  if (!result) return nullptr;
  {
    ScopedGlobalLock raw(result.get());
    if (!raw) return nullptr;
    std::memcpy(raw.data(), source.header(), headerBytes);
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(raw.data());
    header->biWidth = width;
    header->biHeight = height;
    header->biSizeImage = static_cast<DWORD>(blockBytes - headerBytes);
  }
  FrameLock target(result.get());
  if (!target.Is24Bit()) return nullptr;

  if (width == sourceWidth && height == sourceHeight) {
    // dx = dy = 1: every fraction is 0 and every output pixel its source pixel.
    const std::size_t bytes = 3 * static_cast<std::size_t>(width);
    for (int row = 0; row < height; ++row) std::memcpy(target.Row(row), source.Row(row), bytes);
    return result.release();
  }

  const double dx = static_cast<double>(sourceWidth) / width;
  const double dy = static_cast<double>(sourceHeight) / height;
  // The width factor alone chooses: halving exactly is still bilinear.
  if (dx <= 2.0) {
    ResizeBilinear(source, target, dx, dy);
  } else {
    ResizeBox(source, target, dx, dy);
  }
  return result.release();
}

HGLOBAL TemplateToFrame(HGLOBAL image) {
  OwnedGlobal input(image);  // consumed on every path
  FrameLock source(image);
  if (!source.ok()) return nullptr;
  const FrameLayout& layout = source.layout();
  if (layout.bitCount == 24) return input.release();
  const int bits = layout.bitCount;
  // The layout check gives an indexed image at least one table entry, so every
  // indexed image has colours to look up.
  if (bits != 1 && bits != 4 && bits != 8 && bits != 32) return nullptr;

  OwnedGlobal result(NewFrameImage(layout.width, layout.height, 24, 0));
  if (!result) return nullptr;
  FrameLock target(result.get());
  if (!target.Is24Bit()) return nullptr;
  const int width = layout.width;

  if (bits == 32) {
    for (int row = 0; row < layout.height; ++row) {
      const BYTE* from = source.Row(row);
      BYTE* to = target.Row(row);
      for (int x = 0; x < width; ++x, from += 4, to += 3) std::memcpy(to, from, 3);
    }
    return result.release();
  }

  // A GIF image's code size can exceed its colour table, so its indices may point past
  // the table: those pixels are black.
  BYTE palette[256][3] = {};
  for (int i = 0; i < layout.colourCount; ++i) {
    const RGBQUAD entry = source.colours()[i];
    palette[i][0] = entry.rgbBlue;
    palette[i][1] = entry.rgbGreen;
    palette[i][2] = entry.rgbRed;
  }
  for (int row = 0; row < layout.height; ++row) {
    const BYTE* from = source.Row(row);
    BYTE* to = target.Row(row);
    for (int x = 0; x < width; ++x, to += 3) {
      int index;
      switch (bits) {
        case 1: index = (from[x >> 3] >> (7 - (x & 7))) & 1; break;     // most significant bit first
        case 4: index = (from[x >> 1] >> ((x & 1) ? 0 : 4)) & 15; break;  // high nibble first
        default: index = from[x]; break;
      }
      std::memcpy(to, palette[index], 3);
    }
  }
  return result.release();
}

bool ResizeTarget(int method, int sizePixel, int width, int height, int* newWidth, int* newHeight) {
  if (sizePixel < 1 || width < 1 || height < 1) return false;
  const double w = width, h = height, side = sizePixel;
  double g;
  switch (method) {
    case kSizeLimitWidth:
      if (width <= sizePixel) return false;
      g = w / side;
      break;
    case kSizeFixWidth:
      g = w / side;
      break;
    case kSizeFitSquare:
      g = std::max(w / side, h / side);
      break;
    default:
      return false;
  }
  *newWidth = RoundedSide(w / g);
  *newHeight = RoundedSide(h / g);
  return true;
}
