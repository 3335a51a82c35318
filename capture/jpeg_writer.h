// The JPEG writer: one 24-bit (or 8-bit with colour table) frame image as a
// baseline JFIF file through libjpeg, with the program's own row source and
// 4096-byte file destination, followed by the four bytes "c-QZ".
#pragma once

#include <cstdio>

#include "platform/platform.h"

// Results of WriteJpegFrame besides the library's own error codes (J_MESSAGE_CODE,
// all positive; a write error is JERR_FILE_WRITE).
enum JpegWriteResult {
  kJpegWriteOk = 0,
  kJpegWriteNoFile = -1,            // no stream was given (the frame is not touched)
  kJpegWriteLockFailed = -2,        // the frame cannot be locked
  kJpegWriteUnsupportedFrame = -3,  // not an 8- or 24-bit frame whose header fits its block
};

// Writes frame as JPEG of the given quality into file, which is closed in every
// case. Returns 0 on success, any other value on failure (JpegWriteResult or the
// library's error code); the frame is left unlocked on every path.
int WriteJpegFrame(std::FILE* file, HGLOBAL frame, int quality);
