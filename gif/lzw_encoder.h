// The GIF variant of LZW compression for one frame's colour indices: variable-width
// codes (minimum code size K, codes from K + 1 up to 12 bits, packed least significant
// bit first), a clear code before the first pixel and whenever code 4094 has been
// handed out, an end code after the last pixel.
//
// One encoder serves a whole GIF: its output buffer and dictionary are kept from frame
// to frame. A frame is LzwStartFrame, any number of LzwAddPixels (a row at a time, or
// the whole frame; the split never changes the bytes), then LzwFinishFrame; the frame's
// compressed bytes are then output[0 .. length). LzwRelease frees everything. The
// dictionary's tables take about 4 MiB of address space, of which a frame touches only
// what its strings need.
#pragma once

#include <cstddef>
#include <cstdint>

// kLzwNoPixels and kLzwNoMemory have the numbers of the GIF writer's codes for the same faults.
enum LzwResult {
  kLzwOk = 0,
  kLzwNoPixels = -4,     // LzwFinishFrame on a frame that got no pixel
  kLzwBadCodeSize = -5,  // LzwStartFrame with a minimum code size outside 2..8
  kLzwNoMemory = -6,     // the output buffer or the dictionary cannot be had; the frame is lost
};

struct LzwEncoder {
  // The frame's compressed bytes (complete after LzwFinishFrame).
  std::uint8_t* output = nullptr;
  std::size_t length = 0;
  std::size_t capacity = 0;

  // The dictionary. Strings of one repeated pixel ("runs") are kept apart from the
  // others: runCode[L << 8 | v] is the code of L pixels v, for L up to runMax[v].
  // Every other string is found through codeOfString[prefix code << 8 | pixel], the
  // code last given to that pair, which stringOfCode[code] confirms.
  std::uint16_t* codeOfString = nullptr;
  std::uint32_t* stringOfCode = nullptr;
  std::uint16_t* runCode = nullptr;
  std::uint16_t runMax[256] = {};

  // Bits written but not yet stored as whole bytes.
  std::uint64_t pendingBits = 0;
  int pendingBitCount = 0;

  int minCodeSize = 0;   // K
  int codeWidth = 0;     // W
  int widthLimit = 0;    // 2^W
  int nextCode = 0;      // next free code
  int currentCode = -1;  // code of the string being extended; -1 before the first pixel
  int runLength = 0;     // the length of that string when it is a run, else 0
  int runPixel = 0;      // and the run's pixel
  std::uint8_t pixelMask = 0;  // 2^K - 1
};

// Allocates the output buffer and the dictionary unless they are there already:
// kLzwNoMemory when that fails. LzwStartFrame does it too; calling it first lets a
// caller learn of a memory shortage before it writes anything.
int LzwAllocate(LzwEncoder* lzw);

// Begins a frame with minimum code size 2..8 and writes its clear code. LzwAddPixels
// and LzwFinishFrame may only follow a successful start.
int LzwStartFrame(LzwEncoder* lzw, int minCodeSize);

// Compresses the next pixels of the frame. A value of 2^K or more is taken modulo 2^K
// (the caller's fault; the bytes stay a valid code stream).
int LzwAddPixels(LzwEncoder* lzw, const std::uint8_t* pixels, std::size_t count);

// Writes the last string's code and the end code and pads the last byte with zero bits.
int LzwFinishFrame(LzwEncoder* lzw);

// Frees the buffers; the encoder can start again afterwards.
void LzwRelease(LzwEncoder* lzw);
