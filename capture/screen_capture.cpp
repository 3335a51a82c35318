#include "capture/screen_capture.h"

#include <algorithm>

#include "capture/frame_image.h"
#include "platform/scoped.h"
#include "platform/scoped_win.h"

namespace {

// A frame is at least this many pixels wide and high.
constexpr int kSmallestFrameSide = 16;

// Copies the width x height area at (left, top) of source into memory at (0, 0), but
// only the part of it that lies on the virtual screen; the rest is made black. Windows
// copies the on-screen part of a rectangle that reaches past the screen's edge by
// itself, while Wine's BitBlt then copies nothing at all, so a window partly off the
// screen would come out wholly black there. Copying the visible part alone gives the
// same frame on both.
void CopyOnScreenPart(HDC memory, HDC source, int left, int top, int width, int height) {
  const RECT wanted{left, top, left + width, top + height};
  const int screenLeft = GetSystemMetrics(SM_XVIRTUALSCREEN);
  const int screenTop = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const RECT screen{screenLeft, screenTop, screenLeft + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                    screenTop + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  RECT visible;
  if (!IntersectRect(&visible, &wanted, &screen)) SetRectEmpty(&visible);
  // A new compatible bitmap's contents are undefined.
  if (!EqualRect(&visible, &wanted)) PatBlt(memory, 0, 0, width, height, BLACKNESS);
  if (!IsRectEmpty(&visible)) {
    BitBlt(memory, visible.left - left, visible.top - top, visible.right - visible.left,
           visible.bottom - visible.top, source, visible.left, visible.top, SRCCOPY);
  }
}

}  // namespace

HGLOBAL CaptureScreenRect(HWND sourceWindow, int x1, int y1, int x2, int y2) {
  const int left = std::min(x1, x2), top = std::min(y1, y2);
  // In 64 bits: corners far apart would overflow an int.
  const long long width = static_cast<long long>(std::max(x1, x2)) - left;
  const long long height = static_cast<long long>(std::max(y1, y2)) - top;

  HGLOBAL frame = nullptr;
  // Larger sides than a frame image may have are refused before any bitmap is made.
  if (width >= kSmallestFrameSide && height >= kSmallestFrameSide && width <= kLargestFrameSide &&
      height <= kLargestFrameSide) {
    // Declared first so that it goes last: the memory context and the source context are
    // released before the bitmap is deleted.
    ScopedGdiObject<HBITMAP> bitmap;
    ScopedGetDC source(sourceWindow);
    ScopedMemoryDC memory(source.get());
    if (source.get() && memory.get()) {
      bitmap.reset(CreateCompatibleBitmap(source.get(), static_cast<int>(width), static_cast<int>(height)));
    }
    if (bitmap.get()) {
      bool copied = false;
      {
        ScopedSelectObject selected(memory.get(), bitmap.get());
        if (selected.ok()) {
          CopyOnScreenPart(memory.get(), source.get(), left, top, static_cast<int>(width), static_cast<int>(height));
          copied = true;
        }
      }  // GetDIBits needs the bitmap out of every device context
      if (copied) frame = BitmapToFrameImage(source.get(), bitmap.get());
    }
  }
  return frame;
}

HGLOBAL CaptureWindowArea(HWND window) {
  RECT area;
  if (!GetWindowRect(window, &area)) return nullptr;
  return CaptureScreenRect(GetDesktopWindow(), area.right, area.bottom, area.left, area.top);
}

HGLOBAL BitmapToFrameImage(HDC dc, HBITMAP bitmap) {
  BITMAP info;
  if (!GetObjectA(bitmap, sizeof info, &info)) return nullptr;
  // Header as GetDIBits is to deliver the rows: 24 bits, bottom-up, no colour table.
  OwnedGlobal frame(NewFrameImage(info.bmWidth, info.bmHeight, 24, 0));
  if (!frame) return nullptr;
  {
    ScopedGlobalLock lock(frame.get());
    if (!lock) return nullptr;
    auto* format = reinterpret_cast<BITMAPINFO*>(lock.data());
    if (!GetDIBits(dc, bitmap, 0, static_cast<UINT>(info.bmHeight), lock.data() + sizeof(BITMAPINFOHEADER), format,
                   DIB_RGB_COLORS)) {
      return nullptr;
    }
  }
  return frame.release();
}
