// What JPEG mode does to a captured frame before writing it: the content cut
// inside flat borders and the size setting; and the numbered file names.
#pragma once

#include <cstddef>

#include "platform/platform.h"

enum JpegFrameResult {
  kJpegFrameReady = 0,
  kJpegFrameLockFailed,    // the frame cannot be read for its size: warning 1
  kJpegFrameResizeFailed,  // resizing gave nothing: warning 7
};

// Cuts *frame to its content (when removeBorders and a content rectangle is found)
// and resizes it by sizeMethod and sizePixel. A new frame replaces *frame and the
// old one is freed. On kJpegFrameLockFailed and kJpegFrameResizeFailed the frame is
// freed and *frame is null: nothing is to be written.
int PrepareJpegFrame(HGLOBAL* frame, bool removeBorders, int sizeMethod, int sizePixel);

// "%s%s%07d.<extension>" from folder (ending in a backslash), prefix and number.
// Returns false when the name does not fit into size bytes.
bool FormatNumberedFileName(char* name, std::size_t size, const char* folder, const char* prefix, int number,
                            const char* extension);
