// The steps of an animated GIF build over a prepared frame list: space removal,
// resizing, palette creation and writing, with progress and cancel between frames.
// The program's build dialog and the command-line tool both run it.
#pragma once

#include "gif/build_progress.h"
#include "platform/platform.h"

struct GifBuildOptions {
  bool removeBorders = false;  // cut every frame to the content found on frame 0
  bool sharedPalette = false;  // one palette for all frames, one global colour table
  int sizeMethod = 0;          // SizeMethod
  int sizePixel = 430;
};

// Builds the GIF at path from count 24-bit frames of one size with their delays
// (hundredths of a second). Entries of frames are replaced in place when a step makes
// a new image (the old one is freed); the list stays the caller's. colourCount is
// clamped to 15..255. Returns kGifWriteOk, kGifWriteCancelled when cancelled between
// frames, or the writer's failure code.
int RunBuildPipeline(HGLOBAL* frames, int count, const char* path, int colourCount, const int* delays,
                     const GifBuildOptions& options, const ProgressSink* progress);
