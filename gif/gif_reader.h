// The GIF reader: the first image of a GIF87a or GIF89a file as an 8-bit frame
// image with its colour table. Whatever the file holds, nothing is read outside
// the file's bytes (and the zero bytes that stand behind them) or written outside
// the result.
#pragma once

#include <cstddef>

#include "platform/platform.h"

enum GifReadResult {
  kGifReadOk = 0,
  kGifReadFileError = -1,           // unreadable, or 10 bytes or shorter
  kGifReadBadSignature = -3,        // not "GIF87a" or "GIF89a"
  kGifReadNoMemory = -6,            // also an image wider or taller than kLargestFrameSide
  kGifReadExtensionOverrun = -20,   // an extension's sub-blocks run past the end of the file
  kGifReadTrailerBeforeImage = -21,
  kGifReadUnknownBlock = -22,
  kGifReadTableOverrun = -23,       // a global or local colour table runs past the end of the file
  kGifReadBadTableSize = -24,       // colour-table size exponent outside 1..8
  kGifReadNoColourTable = -25,
  kGifReadZeroWidth = -26,
  kGifReadZeroHeight = -27,
  kGifReadBadCodeSize = -28,        // LZW minimum code size outside 2..11
  kGifReadBadFirstCode = -29,       // first code after a clear above the clear code
  kGifReadUndefinedCode = -30,      // a code whose prefix is not yet in the table
  kGifReadUndefinedNewCode = -31,   // the same, for the code being defined
};

// Reads the first image of the GIF file at path. On kGifReadOk *image is a new
// 8-bit frame image (the caller's); on any other result it is null.
int ReadGifFile(const char* path, HGLOBAL* image);

// The same for a file already in memory (length bytes at file).
int ReadGifImage(const BYTE* file, std::size_t length, HGLOBAL* image);

// The whole file in a movable block followed by 512 zero bytes, and its length;
// null when it cannot be opened, positioned or read completely.
HGLOBAL ReadWholeFile(const char* path, std::size_t* length);
