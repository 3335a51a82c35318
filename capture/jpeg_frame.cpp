#include "capture/jpeg_frame.h"

#include <cstdio>

#include "capture/frame_image.h"
#include "gif/resize.h"
#include "gif/trim.h"

namespace {

// Puts replacement in place of *frame and frees the old block at once, so a frame is
// never held twice for longer than the copy takes.
void ReplaceFrame(HGLOBAL* frame, HGLOBAL replacement) {
  GlobalFree(*frame);
  *frame = replacement;
}

}  // namespace

int PrepareJpegFrame(HGLOBAL* frame, bool removeBorders, int sizeMethod, int sizePixel) {
  // The cut comes first, so the size setting applies to the content that is kept.
  // A frame without borders, or a crop that fails, goes on unchanged.
  if (removeBorders) {
    RECT content;
    if (FindContentRect(*frame, &content)) {
      if (HGLOBAL cut = CropFrame(*frame, &content)) ReplaceFrame(frame, cut);
    }
  }

  if (sizeMethod != kSizeLimitWidth && sizeMethod != kSizeFixWidth && sizeMethod != kSizeFitSquare) {
    return kJpegFrameReady;
  }
  int width = 0, height = 0;
  {
    FrameLock lock(*frame);
    if (lock.ok()) {
      width = lock.width();
      height = lock.height();
    }
  }
  if (width == 0) {  // no frame, a failed lock or a header that does not fit its block
    ReplaceFrame(frame, nullptr);
    return kJpegFrameLockFailed;
  }
  int newWidth, newHeight;
  if (!ResizeTarget(sizeMethod, sizePixel, width, height, &newWidth, &newHeight)) return kJpegFrameReady;
  HGLOBAL resized = ResizeFrame(*frame, newWidth, newHeight);
  ReplaceFrame(frame, resized);  // a failed resize drops the frame: nothing is written
  return resized ? kJpegFrameReady : kJpegFrameResizeFailed;
}

bool FormatNumberedFileName(char* name, std::size_t size, const char* folder, const char* prefix, int number,
                            const char* extension) {
  if (size == 0) return false;
  const int length = std::snprintf(name, size, "%s%s%07d.%s", folder, prefix, number, extension);
  if (length < 0 || static_cast<std::size_t>(length) >= size) {
    name[0] = '\0';  // a cut name must never be used to create a file
    return false;
  }
  return true;
}
