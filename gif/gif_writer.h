// The animated GIF writer: indexed frames (1, 4 or 8 bits) with their delays become
// one looping GIF, with one global colour table or a local table per frame.
#pragma once

#include <cstdint>

#include "gif/build_progress.h"
#include "platform/platform.h"

constexpr int kMostGifFrames = 257;  // 256 recorded frames and the credit frame

struct AnimeGifFrame {
  HGLOBAL image;        // an indexed frame image; the writer neither frees nor changes it
  std::int32_t delay;   // hundredths of a second; the low 16 bits are written
};

struct AnimeGifInfo {
  std::int32_t transparentIndex;  // negative: no transparent colour
  std::int32_t frameCount;        // 1..kMostGifFrames
  AnimeGifFrame frames[kMostGifFrames];
};

enum GifWriteResult {
  kGifWriteOk = 0,
  kGifWriteFileError = -1,     // cannot create the file, or a short write
  kGifWriteBadFrame = -4,      // no frames, an unusable first frame, or a frame without pixels
  kGifWriteNoMemory = -6,      // a frame cannot be locked, or a buffer cannot be had
  kGifWriteFrameMismatch = -7, // a frame's size or depth differs from the first frame's
  kGifWriteCancelled = -8,     // cancelled between frames
};

// One global colour table, taken from the first frame, serves every frame.
int WriteGifWithGlobalTable(const AnimeGifInfo* job, const char* path, const ProgressSink* progress);

// Every frame carries its own local colour table.
int WriteGifWithLocalTables(const AnimeGifInfo* job, const char* path, const ProgressSink* progress);
