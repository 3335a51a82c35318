// libFuzzer target: any bytes as a GIF file. The reader must stay inside the bytes it
// is given (libFuzzer hands them over in a block of exactly their size) and inside
// its result, and whatever it returns must be a frame image the engine accepts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "capture/frame_image.h"
#include "gif/gif_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  HGLOBAL image = reinterpret_cast<HGLOBAL>(1);
  const int result = ReadGifImage(data, size, &image);
  if (result != kGifReadOk) {
    if (image) std::abort();  // no image with a failure
    return 0;
  }
  {
    FrameLock lock(image);
    if (!lock.ok() || lock.layout().bitCount != 8) std::abort();
    const int colours = lock.layout().colourCount;
    if (colours < 2 || colours > 256 || (colours & (colours - 1)) != 0) std::abort();
  }
  GlobalFree(image);
  return 0;
}
