#include "gif/gif_writer.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "capture/frame_image.h"
#include "gif/lzw_encoder.h"
#include "platform/scoped.h"  // ScopedGlobalLock

namespace {

constexpr std::size_t kFileBufferBytes = 1 << 16;
constexpr std::size_t kSubBlockBytes = 255;

// How a frame is coded: its colour count C, the LZW minimum code size K, and the colour
// table exponent T (a table of 2^T entries).
struct FrameCoding {
  int colourCount;
  int codeSize;
  int tableBits;
};

// K covers every colour index and the transparent index; T equals K except that a
// two-colour frame gets a two-entry table while its code size stays 2 (the least GIF allows).
FrameCoding CodingOf(int colourCount, std::int32_t transparentIndex) {
  const std::int64_t indices = transparentIndex < colourCount ? colourCount : std::int64_t{transparentIndex} + 1;
  int codeSize = 2;
  while (codeSize < 8 && (std::int64_t{1} << codeSize) < indices) ++codeSize;
  const int tableBits = (codeSize == 2 && colourCount == 2) ? 1 : codeSize;
  return FrameCoding{colourCount, codeSize, tableBits};
}

// Bytes of a block, gathered before one write.
struct BlockBytes {
  BYTE bytes[32 + 3 * 256];  // the largest: a frame's control block, descriptor and table
  std::size_t length = 0;

  void Add(BYTE b) { bytes[length++] = b; }
  void Add16(unsigned value) {
    Add(static_cast<BYTE>(value & 0xFF));
    Add(static_cast<BYTE>((value >> 8) & 0xFF));
  }
  void AddText(const char* text) {
    for (; *text; ++text) Add(static_cast<BYTE>(*text));
  }
  // 2^T entries of red, green, blue from the first C entries of a frame's table (blue,
  // green, red, reserved); the entries beyond C are zeros, never read from the frame.
  void AddColourTable(const RGBQUAD* colours, const FrameCoding& coding) {
    const int entries = 1 << coding.tableBits;
    for (int i = 0; i < entries; ++i) {
      if (i < coding.colourCount) {
        Add(colours[i].rgbRed);
        Add(colours[i].rgbGreen);
        Add(colours[i].rgbBlue);
      } else {
        Add(0);
        Add(0);
        Add(0);
      }
    }
  }
};

// Everything one writer call holds; released on every exit by its destructor.
struct GifWriteContext {
  const AnimeGifInfo* job = nullptr;
  const ProgressSink* progress = nullptr;
  bool globalTable = false;
  std::FILE* file = nullptr;
  std::optional<FrameLock> frame;  // the frame image being read
  LzwEncoder lzw;
  BYTE* rowBuffer = nullptr;  // one row of a 1- or 4-bit frame unpacked to a byte a pixel

  // The first frame's geometry and coding: the logical screen, the global colour table
  // and, with a global table, the place of every frame's pixel rows.
  int width = 0;
  int height = 0;
  int bitCount = 0;
  FrameCoding firstCoding{};

  GifWriteContext() = default;
  GifWriteContext(const GifWriteContext&) = delete;
  GifWriteContext& operator=(const GifWriteContext&) = delete;
  ~GifWriteContext() {
    // A file left by a failed call is closed, not deleted.
    if (file) std::fclose(file);
    frame.reset();
    LzwRelease(&lzw);
    std::free(rowBuffer);
  }
};

bool Put(GifWriteContext* gif, const void* bytes, std::size_t count) {
  return std::fwrite(bytes, 1, count, gif->file) == count;
}

bool Put(GifWriteContext* gif, const BlockBytes& block) { return Put(gif, block.bytes, block.length); }

// Locks the frame image, the one held before being unlocked first. A frame that cannot be
// locked at all is a memory fault; one whose header does not fit its block is treated like
// a frame of the wrong depth.
int LockFrame(GifWriteContext* gif, HGLOBAL image, int wrongDepthResult) {
  gif->frame.reset();
  gif->frame.emplace(image);
  if (gif->frame->ok()) return kGifWriteOk;
  ScopedGlobalLock probe(image);
  return probe ? wrongDepthResult : kGifWriteNoMemory;
}

int WriteHeader(GifWriteContext* gif) {
  BlockBytes block;
  block.AddText("GIF87a");
  block.Add16(static_cast<unsigned>(gif->width));
  block.Add16(static_cast<unsigned>(gif->height));
  if (gif->globalTable) {
    block.Add(static_cast<BYTE>(0xF0 | (gif->firstCoding.tableBits - 1)));
    block.Add(0);  // background colour index
    block.Add(0);  // pixel aspect ratio
    block.AddColourTable(gif->frame->colours(), gif->firstCoding);
  } else {
    block.Add(0x00);
    block.Add(0);
    block.Add(0);
  }
  if (!Put(gif, block)) return kGifWriteFileError;

  BlockBytes extensions;
  extensions.Add(0x21);
  extensions.Add(0xFE);
  extensions.Add(3);
  extensions.AddText("MII");
  extensions.Add(0);
  // One frame does not animate, so only a longer job gets the endless loop.
  if (gif->job->frameCount > 1) {
    extensions.Add(0x21);
    extensions.Add(0xFF);
    extensions.Add(11);
    extensions.AddText("NETSCAPE2.0");
    extensions.Add(3);
    extensions.Add(1);
    extensions.Add16(0);  // loop count 0: for ever
    extensions.Add(0);
  }
  return Put(gif, extensions) ? kGifWriteOk : kGifWriteFileError;
}

// Where the locked frame's pixel rows start, or null when they do not lie inside its block.
// With a global table they follow the first frame's number of colour-table entries, as all
// frames of such a job are to have the first frame's table; a later frame with a shorter
// table must still hold all its rows after that offset.
const BYTE* PixelRows(GifWriteContext* gif, HGLOBAL image) {
  const FrameLock& frame = *gif->frame;
  if (!gif->globalTable) return frame.pixels();
  const std::size_t offset = sizeof(BITMAPINFOHEADER) + sizeof(RGBQUAD) * static_cast<std::size_t>(gif->firstCoding.colourCount);
  if (offset + frame.layout().imageBytes > GlobalSize(image)) return nullptr;
  return reinterpret_cast<const BYTE*>(frame.header()) + offset;
}

// Feeds the frame's pixels to the coder from the top row of the picture (the last row
// stored) down, left to right; 1- and 4-bit rows are unpacked to a byte a pixel first.
int CompressFrame(GifWriteContext* gif, const BYTE* rows, int codeSize) {
  const std::size_t stride = gif->frame->stride();
  const int width = gif->width;
  int result = LzwStartFrame(&gif->lzw, codeSize);
  for (int row = 0; result == kLzwOk && row < gif->height; ++row) {
    const BYTE* stored = rows + stride * static_cast<std::size_t>(gif->height - 1 - row);
    const BYTE* pixels = stored;
    if (gif->bitCount == 4) {
      for (int x = 0; x < width; ++x) gif->rowBuffer[x] = (x & 1) ? (stored[x >> 1] & 0x0F) : (stored[x >> 1] >> 4);
      pixels = gif->rowBuffer;
    } else if (gif->bitCount == 1) {
      for (int x = 0; x < width; ++x) gif->rowBuffer[x] = (stored[x >> 3] >> (7 - (x & 7))) & 1;
      pixels = gif->rowBuffer;
    }
    result = LzwAddPixels(&gif->lzw, pixels, static_cast<std::size_t>(width));
  }
  if (result == kLzwOk) result = LzwFinishFrame(&gif->lzw);
  switch (result) {
    case kLzwOk: return kGifWriteOk;
    case kLzwNoMemory: return kGifWriteNoMemory;
    default: return kGifWriteBadFrame;
  }
}

// A frame is locked and checked before any of its bytes is written, so a refused frame
// leaves the file ending after the frame before it.
int WriteFrame(GifWriteContext* gif, int index) {
  const AnimeGifFrame& entry = gif->job->frames[index];
  if (index > 0) {
    const int locked = LockFrame(gif, entry.image, kGifWriteFrameMismatch);
    if (locked != kGifWriteOk) return locked;
  }
  const FrameLock& frame = *gif->frame;
  if (frame.width() != gif->width || frame.height() != gif->height || frame.layout().bitCount != gif->bitCount) {
    return kGifWriteFrameMismatch;
  }
  const BYTE* rows = PixelRows(gif, entry.image);
  if (!rows) return kGifWriteFrameMismatch;

  const std::int32_t transparent = gif->job->transparentIndex;
  const FrameCoding coding = gif->globalTable ? gif->firstCoding : CodingOf(frame.layout().colourCount, transparent);

  BlockBytes block;
  // Graphic control: restore to background after the frame, no user input, the delay.
  block.Add(0x21);
  block.Add(0xF9);
  block.Add(4);
  block.Add(static_cast<BYTE>(0x08 | (transparent >= 0 ? 1 : 0)));
  block.Add16(static_cast<std::uint32_t>(entry.delay) & 0xFFFF);
  block.Add(transparent >= 0 ? static_cast<BYTE>(transparent & 0xFF) : 0);
  block.Add(0);
  // Image descriptor: the whole logical screen, not interlaced.
  block.Add(0x2C);
  block.Add16(0);
  block.Add16(0);
  block.Add16(static_cast<unsigned>(gif->width));
  block.Add16(static_cast<unsigned>(gif->height));
  if (gif->globalTable) {
    block.Add(0x00);
  } else {
    block.Add(static_cast<BYTE>(0x80 | (coding.tableBits - 1)));
    block.AddColourTable(frame.colours(), coding);
  }
  block.Add(static_cast<BYTE>(coding.codeSize));

  if (!Put(gif, block)) return kGifWriteFileError;

  // The frame is compressed whole in memory, then written in sub-blocks.
  const int compressed = CompressFrame(gif, rows, coding.codeSize);
  if (compressed != kGifWriteOk) return compressed;

  const BYTE* data = gif->lzw.output;
  std::size_t left = gif->lzw.length;
  while (left > 0) {
    const BYTE length = static_cast<BYTE>(left < kSubBlockBytes ? left : kSubBlockBytes);
    if (!Put(gif, &length, 1) || !Put(gif, data, length)) return kGifWriteFileError;
    data += length;
    left -= length;
  }
  const BYTE terminator = 0;
  return Put(gif, &terminator, 1) ? kGifWriteOk : kGifWriteFileError;
}

int WriteGif(const AnimeGifInfo* job, const char* path, const ProgressSink* progress, bool globalTable) {
  // The frame count is checked before the file is made, so a job without frames leaves
  // no file; one above the array's size is refused the same way rather than read past it.
  if (!job || job->frameCount < 1 || job->frameCount > kMostGifFrames) return kGifWriteBadFrame;
  if (!path) return kGifWriteFileError;

  GifWriteContext gif;
  gif.job = job;
  gif.progress = progress;
  gif.globalTable = globalTable;

  gif.file = std::fopen(path, "wb");
  if (!gif.file) return kGifWriteFileError;
  std::setvbuf(gif.file, nullptr, _IOFBF, kFileBufferBytes);

  const int locked = LockFrame(&gif, job->frames[0].image, kGifWriteBadFrame);
  if (locked != kGifWriteOk) return locked;
  const FrameLayout& first = gif.frame->layout();
  if (first.bitCount != 1 && first.bitCount != 4 && first.bitCount != 8) return kGifWriteBadFrame;
  gif.width = first.width;
  gif.height = first.height;
  gif.bitCount = first.bitCount;
  gif.firstCoding = CodingOf(first.colourCount, job->transparentIndex);

  if (LzwAllocate(&gif.lzw) != kLzwOk) return kGifWriteNoMemory;
  if (gif.bitCount < 8) {
    gif.rowBuffer = static_cast<BYTE*>(std::malloc(static_cast<std::size_t>(gif.width)));
    if (!gif.rowBuffer) return kGifWriteNoMemory;
  }

  int result = WriteHeader(&gif);
  for (int i = 0; result == kGifWriteOk && i < job->frameCount; ++i) {
    // Progress runs 0, 100/n, ... and never reaches 100 here; the cancel is read after
    // the report, before any byte of frame i.
    if (ReportProgress(progress, 100 * i / job->frameCount)) return kGifWriteCancelled;
    result = WriteFrame(&gif, i);
  }
  if (result != kGifWriteOk) return result;

  const BYTE trailer = 0x3B;
  if (!Put(&gif, &trailer, 1)) return kGifWriteFileError;
  // Buffered bytes reach the file only here: a failure to store them is a short write too.
  std::FILE* file = gif.file;
  gif.file = nullptr;
  return std::fclose(file) == 0 ? kGifWriteOk : kGifWriteFileError;
}

}  // namespace

int WriteGifWithGlobalTable(const AnimeGifInfo* job, const char* path, const ProgressSink* progress) {
  return WriteGif(job, path, progress, true);
}

int WriteGifWithLocalTables(const AnimeGifInfo* job, const char* path, const ProgressSink* progress) {
  return WriteGif(job, path, progress, false);
}
