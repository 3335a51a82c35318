// libFuzzer target: any bytes as a frame image, in a block of exactly their size, run
// through every engine operation that reads pixels. A header that does not fit its
// block must be refused before any pixel is read; one that fits must be read only
// inside the block, and every result must be a frame the engine accepts again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "capture/frame_image.h"
#include "gif/colour_reduction.h"
#include "gif/gif_writer.h"
#include "gif/resize.h"
#include "gif/shared_palette.h"
#include "gif/trim.h"

namespace {

HGLOBAL CopyToBlock(const std::uint8_t* data, std::size_t size) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!block) return nullptr;
  if (size > 0) {
    void* bytes = GlobalLock(block);
    if (!bytes) {
      GlobalFree(block);
      return nullptr;
    }
    std::memcpy(bytes, data, size);
    GlobalUnlock(block);
  }
  return block;
}

// A result, when there is one, must pass the check itself; then it is freed.
void CheckAndFree(HGLOBAL result) {
  if (!result) return;
  {
    FrameLock lock(result);
    if (!lock.ok()) std::abort();
  }
  GlobalFree(result);
}

// True when the raw header claims an indexed depth, whether or not it fits its block:
// the writer must refuse a bad one itself.
bool ClaimsIndexed(const std::uint8_t* data, std::size_t size) {
  if (size < sizeof(BITMAPINFOHEADER)) return false;
  BITMAPINFOHEADER header;
  std::memcpy(&header, data, sizeof header);
  return header.biBitCount == 1 || header.biBitCount == 4 || header.biBitCount == 8;
}

const RGBQUAD kPalette[4] = {{0, 0, 0, 0}, {255, 255, 255, 0}, {0, 0, 255, 0}, {40, 200, 90, 0}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  HGLOBAL frame = CopyToBlock(data, size);
  if (!frame) return 0;

  RECT content{};
  const bool hasContent = FindContentRect(frame, &content) != 0;
  RECT motion{};
  FindMotionRect(frame, frame, &motion);
  RECT cut{1, 2, 40, 30};
  CheckAndFree(CropFrame(frame, &cut));
  if (hasContent) CheckAndFree(CropFrame(frame, &content));
  CheckAndFree(ResizeFrame(frame, 7, 5));
  CheckAndFree(TemplateToFrame(CopyToBlock(data, size)));
  CheckAndFree(ReduceFrameColours(15, frame));
  CheckAndFree(MapFrameToPalette(kPalette, frame, 4));
  StartSharedPalette(31);
  AddFrameToSharedPalette(frame);
  SelectSharedPalette();

  if (ClaimsIndexed(data, size)) {
    static AnimeGifInfo job;
    job.transparentIndex = -1;
    job.frameCount = 1;
    job.frames[0] = AnimeGifFrame{frame, 10};
    WriteGifWithLocalTables(&job, "/dev/null", nullptr);
  }
  GlobalFree(frame);
  return 0;
}
