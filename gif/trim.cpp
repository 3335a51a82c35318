#include "gif/trim.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "capture/frame_image.h"
#include "platform/scoped.h"

namespace {

// Frames narrower or lower than this keep their borders: too little picture to judge.
constexpr int kSmallestTrimmedSide = 64;

bool IsEmptyRect(const RECT& rect) { return rect.left >= rect.right || rect.top >= rect.bottom; }

// Every rectangle operation clamps the same way, in place, so the caller sees the
// rectangle that was used.
void ClampToFrame(RECT* rect, int width, int height) {
  rect->left = std::max<LONG>(rect->left, 0);
  rect->top = std::max<LONG>(rect->top, 0);
  rect->right = std::min<LONG>(rect->right, width);
  rect->bottom = std::min<LONG>(rect->bottom, height);
}

// True when pixels from..to-1 of a row all equal the pixel at from. Comparing the run
// with itself shifted by one pixel asks exactly that, in one memcmp.
bool IsFlatRun(const BYTE* row, int from, int to) {
  const std::size_t first = 3 * static_cast<std::size_t>(from);
  return std::memcmp(row + first, row + first + 3, 3 * static_cast<std::size_t>(to - from - 1)) == 0;
}

// The first of pixels 0..count-1 that differs between two rows, or count.
int FirstDifferentPixel(const BYTE* a, const BYTE* b, int count) {
  const std::size_t bytes = 3 * static_cast<std::size_t>(count);
  std::size_t i = 0;
  for (; i + 8 <= bytes; i += 8) {
    std::uint64_t x, y;
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    if (x != y) break;
  }
  while (i < bytes && a[i] == b[i]) ++i;
  return static_cast<int>(i / 3);
}

// The last of pixels from..count-1 that differs between two rows, or from - 1.
int LastDifferentPixel(const BYTE* a, const BYTE* b, int from, int count) {
  const std::size_t first = 3 * static_cast<std::size_t>(from);
  std::size_t end = 3 * static_cast<std::size_t>(count);
  for (; end >= first + 8; end -= 8) {
    std::uint64_t x, y;
    std::memcpy(&x, a + end - 8, 8);
    std::memcpy(&y, b + end - 8, 8);
    if (x != y) break;
  }
  while (end > first && a[end - 1] == b[end - 1]) --end;
  return end > first ? static_cast<int>((end - 1) / 3) : from - 1;
}

bool SamePixel(const BYTE* a, const BYTE* b) { return a[0] == b[0] && a[1] == b[1] && a[2] == b[2]; }

// Sets the pixels of a clamped, non-empty rectangle: its first row pixel by pixel,
// every other row as a copy of that one.
void FillLocked(const FrameLock& frame, const RECT& rect, RGBQUAD colour) {
  const int height = frame.height();
  const std::size_t offset = 3 * static_cast<std::size_t>(rect.left);
  const std::size_t bytes = 3 * static_cast<std::size_t>(rect.right - rect.left);
  BYTE* first = frame.Row(height - rect.top - 1) + offset;
  for (std::size_t i = 0; i < bytes; i += 3) {
    first[i] = colour.rgbBlue;
    first[i + 1] = colour.rgbGreen;
    first[i + 2] = colour.rgbRed;
  }
  for (LONG y = rect.top + 1; y < rect.bottom; ++y) std::memcpy(frame.Row(height - y - 1) + offset, first, bytes);
}

}  // namespace

int FindContentRect(HGLOBAL frame, RECT* rect) {
  FrameLock lock(frame);
  if (!lock.Is24Bit() || !rect) return 0;
  const int width = lock.width(), height = lock.height();
  if (width < kSmallestTrimmedSide || height < kSmallestTrimmedSide) return 0;

  // Only the middle half of a row or column is looked at, so a mark near the end of a
  // border (an icon on a title bar) does not make it content.
  const int rowFrom = width / 4, rowTo = 3 * width / 4;
  const int columnFrom = height / 4, columnTo = 3 * height / 4;
  RECT found{0, 0, width, height};

  // Bottom: the first storage row from the bottom that is not flat.
  int bottomRow = 0;
  while (bottomRow < height && IsFlatRun(lock.Row(bottomRow), rowFrom, rowTo)) ++bottomRow;
  if (bottomRow == height) return 0;  // flat rows only (horizontal stripes): nothing to keep
  found.bottom = height - bottomRow;

  // Top: the first storage row from the top that is not flat; bottomRow is one, so the
  // scan ends there at the latest.
  int topRow = height - 1;
  while (topRow > bottomRow && IsFlatRun(lock.Row(topRow), rowFrom, rowTo)) --topRow;
  found.top = height - 1 - topRow;

  // Left and right: a column is flat when its middle rows all equal its pixel in storage
  // row columnFrom. Walking the middle rows one by one against that row, instead of the
  // columns one by one, finds the same first and last non-flat columns while reading
  // memory in order: the first non-flat column from the left is the smallest first
  // difference of any row, and from the right the largest last difference right of
  // column 0 (the right scan stops at column 1).
  const BYTE* reference = lock.Row(columnFrom);
  int left = width;
  int right = 0;
  for (int row = columnFrom + 1; row < columnTo; ++row) {
    const BYTE* pixels = lock.Row(row);
    if (left > 0) left = std::min(left, FirstDifferentPixel(pixels, reference, left));
    if (right < width - 1) right = std::max(right, LastDifferentPixel(pixels, reference, right + 1, width));
    if (left == 0 && right == width - 1) break;
  }
  if (left == width || right == 0) return 0;  // vertical stripes: every column flat
  found.left = left;
  found.right = right + 1;

  *rect = found;
  return found.left != 0 || found.top != 0 || found.right != width || found.bottom != height;
}

int FindMotionRect(HGLOBAL frameA, HGLOBAL frameB, RECT* rect) {
  FrameLock a(frameA), b(frameB);
  if (!a.Is24Bit() || !b.Is24Bit() || !rect) return 0;
  const int width = a.width(), height = a.height();
  if (b.width() != width || b.height() != height) return 0;
  const std::size_t rowBytes = 3 * static_cast<std::size_t>(width);
  auto rowsDiffer = [&](int row) { return std::memcmp(a.Row(row), b.Row(row), rowBytes) != 0; };

  // The band of differing storage rows through the middle row. Both scans start at the
  // middle row itself: starting the downward one a row higher loses a band whose upper
  // edge is the middle row (its top would end below its bottom), and on a frame one or
  // two rows high it would read a row past the last.
  const int middle = height / 2;
  int above = middle;
  while (above < height && rowsDiffer(above)) ++above;
  int below = middle;
  while (below >= 0 && rowsDiffer(below)) --below;
  const int bandFrom = below + 1, bandTo = above;  // storage rows, bandTo exclusive; empty when middle is equal

  // Left: the first column with a difference anywhere in the band, found row by row.
  int left = width;
  for (int row = bandFrom; row < bandTo && left > 0; ++row) {
    left = std::min(left, FirstDifferentPixel(a.Row(row), b.Row(row), left));
  }

  // Right: the first column after left that is equal over the whole band.
  // Column by column: a differing column usually shows it in its first rows. With an
  // empty band (or left at the last column) this gives left + 1.
  int right = left + 1;
  for (; right < width; ++right) {
    const std::size_t offset = 3 * static_cast<std::size_t>(right);
    int row = bandFrom;
    while (row < bandTo && SamePixel(a.Row(row) + offset, b.Row(row) + offset)) ++row;
    if (row == bandTo) break;
  }

  *rect = RECT{left, height - above, right, height - below - 1};
  return 1;
}

HGLOBAL CropFrame(HGLOBAL frame, RECT* rect) {
  FrameLock source(frame);
  if (!source.Is24Bit() || !rect) return nullptr;
  const int height = source.height();
  ClampToFrame(rect, source.width(), height);
  if (IsEmptyRect(*rect)) return nullptr;

  const int newWidth = rect->right - rect->left, newHeight = rect->bottom - rect->top;
  OwnedGlobal result(NewFrameImage(newWidth, newHeight, 24, 0));
  if (!result) return nullptr;
  FrameLock target(result.get());
  if (!target.Is24Bit()) return nullptr;
  const std::size_t offset = 3 * static_cast<std::size_t>(rect->left);
  const std::size_t bytes = 3 * static_cast<std::size_t>(newWidth);
  for (int row = 0; row < newHeight; ++row) {
    std::memcpy(target.Row(row), source.Row(height - rect->bottom + row) + offset, bytes);
  }
  return result.release();
}

void FillFrameRect(HGLOBAL frame, RECT* rect, RGBQUAD colour) {
  FrameLock lock(frame);
  if (!lock.Is24Bit()) return;
  RECT area{0, 0, lock.width(), lock.height()};
  if (rect) {
    ClampToFrame(rect, lock.width(), lock.height());
    area = *rect;
  }
  if (!IsEmptyRect(area)) FillLocked(lock, area, colour);
}

void PasteFrame(HGLOBAL destination, const RECT* rect, const RGBQUAD* fill, HGLOBAL source) {
  if (!rect) return;
  // 64 bits: a rectangle from a caller may span more than a LONG can hold.
  std::int64_t w = std::int64_t{rect->right} - rect->left;
  std::int64_t h = std::int64_t{rect->bottom} - rect->top;
  if (w <= 0 || h <= 0) return;
  FrameLock to(destination), from(source);
  if (!to.Is24Bit() || !from.Is24Bit()) return;
  const int toWidth = to.width(), toHeight = to.height();
  const int fromWidth = from.width(), fromHeight = from.height();

  if (fill) {
    RECT area = *rect;
    ClampToFrame(&area, toWidth, toHeight);
    if (!IsEmptyRect(area)) FillLocked(to, area, *fill);
  }

  const std::int64_t x0 = fromWidth < w ? rect->left + (w - fromWidth) / 2 : rect->left;
  const std::int64_t y0 = fromHeight < h ? rect->top + (h - fromHeight) / 2 : rect->top;
  w = std::min<std::int64_t>(w, toWidth - x0);
  h = std::min<std::int64_t>(h, toHeight - y0);
  const std::int64_t columns = std::min<std::int64_t>(fromWidth, w);
  const std::int64_t rows = std::min<std::int64_t>(fromHeight, h);
  // A rectangle reaching past the left or top edge places the source partly outside the
  // destination; those pixels are skipped, so nothing is written outside the frame.
  const std::int64_t firstColumn = std::max<std::int64_t>(0, -x0);
  const std::int64_t firstRow = std::max<std::int64_t>(0, -y0);
  if (firstColumn >= columns) return;
  const std::size_t bytes = 3 * static_cast<std::size_t>(columns - firstColumn);
  for (std::int64_t k = firstRow; k < rows; ++k) {
    BYTE* target = to.Row(static_cast<int>(toHeight - 1 - (y0 + k))) + 3 * (x0 + firstColumn);
    const BYTE* pixels = from.Row(static_cast<int>(fromHeight - 1 - k)) + 3 * firstColumn;
    std::memmove(target, pixels, bytes);  // memmove: a frame pasted into itself overlaps
  }
}
