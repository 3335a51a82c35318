#include "gif/lzw_encoder.h"

#include <bit>
#include <cstdlib>
#include <cstring>

// Why these lookups give the same codes as a scan of the dictionary.
//
// The coder is greedy LZW: with S the string being extended and p the next pixel, it
// extends S to S+p when S+p is in the dictionary, else writes the code of S, enters S+p
// under the next free code (while there is one) and starts again from p. A string is
// entered only when it was just found missing, so every string stands in the dictionary
// at most once, and it enters as (code of S, p). The string S+p is therefore present
// exactly when the pair (code of S, p) was entered since the last clear, and then under
// that pair's code. A lookup keyed by (prefix code, pixel) answers "is S+p present, and
// under which code" exactly as a scan that compares whole strings does; the scan's
// shortcuts (start above the current code, skip while no string is long enough) only
// leave out entries that cannot match. Codes, widths and clear points depend on nothing
// else, so the bytes agree.
//
// Pairs: codeOfString[prefix code << 8 | pixel] holds the code last given to that pair,
// stringOfCode[code] the pair a code was last given to; the pair is present when the two
// agree. Neither table is emptied at a clear or between frames: a clear only forgets the
// pairs of the codes it frees, so a stale codeOfString entry points at a code that is
// either forgotten or has since been given to another pair, and is rejected either way.
//
// Runs: every prefix of a dictionary string is in the dictionary too, so the strings made
// of one pixel v repeated are exactly v, vv, ... up to some longest length runMax[v].
// While the string being extended is such a run and the next pixels are v again, the
// greedy coder walks up that list one pixel at a time until it passes runMax[v], writes
// the longest run's code, enters the run one longer, and starts again from v. Knowing how
// many v follow, the coder takes each of those steps at once from runCode, the code of
// every run by its pixel and length: one step per code written instead of a dependent
// lookup per pixel. This pays even for two equal pixels, and on flat pictures it is most
// of the work. Run strings are entered only into runCode: the string being extended is
// always known to be a run or not (runLength), a pair (run, its own pixel) is only ever
// looked up there, and no other pair makes a run, so codeOfString never needs them.

namespace {

static_assert(std::endian::native == std::endian::little, "the bit writer stores whole words");

constexpr int kCodeCount = 4096;
constexpr std::uint32_t kFirstUnusableCode = 4095;  // codes from here on are never handed out
constexpr std::size_t kFirstCapacity = 4096;
constexpr std::size_t kStringSlots = std::size_t{kCodeCount} << 8;  // every (prefix code, pixel)
constexpr std::size_t kRunSlots = std::size_t{kCodeCount} << 8;     // every (length, pixel)

void ForgetCodes(std::uint32_t* stringOfCode, std::uint32_t from) {
  std::memset(stringOfCode + from, 0xFF, (kCodeCount - from) * sizeof *stringOfCode);
}

void ForgetRuns(std::uint16_t* runMax) {
  for (int v = 0; v < 256; ++v) runMax[v] = 1;
}

// Makes room for `more` bytes after the current length, plus the 8 bytes the bit
// writer stores at a time. Geometric growth: the bytes written do not depend on it.
bool Reserve(LzwEncoder* lzw, std::size_t more) {
  const std::size_t needed = lzw->length + more + 8;
  if (needed <= lzw->capacity) return true;
  std::size_t capacity = lzw->capacity ? lzw->capacity : kFirstCapacity;
  while (capacity < needed) capacity *= 2;
  void* grown = std::realloc(lzw->output, capacity);
  if (!grown) return false;
  lzw->output = static_cast<std::uint8_t*>(grown);
  lzw->capacity = capacity;
  return true;
}

// Appends a code of `width` bits. The caller has reserved room: the store writes 8 bytes
// and keeps only the whole ones, the partial byte staying in the accumulator.
inline void PutCode(std::uint8_t*& out, std::uint64_t& bits, int& bitCount, std::uint32_t code, int width) {
  bits |= static_cast<std::uint64_t>(code) << bitCount;
  bitCount += width;
  std::memcpy(out, &bits, sizeof bits);
  out += bitCount >> 3;
  bits >>= bitCount & ~7;
  bitCount &= 7;
}

// How many of pixels[from .. count) equal pixels[from], at least 1.
inline std::size_t RunLength(const std::uint8_t* pixels, std::size_t from, std::size_t count) {
  const std::uint8_t value = pixels[from];
  const std::uint64_t pattern = value * 0x0101010101010101ull;
  std::size_t end = from + 1;
  while (end + 8 <= count) {
    std::uint64_t word;
    std::memcpy(&word, pixels + end, sizeof word);
    const std::uint64_t differ = word ^ pattern;
    if (differ) return end + (std::countr_zero(differ) >> 3) - from;
    end += 8;
  }
  while (end < count && pixels[end] == value) ++end;
  return end - from;
}

}  // namespace

int LzwAllocate(LzwEncoder* lzw) {
  if (!lzw->codeOfString) {
    // Zero-filled: an entry never written points at code 0, whose pair is always forgotten.
    lzw->codeOfString = static_cast<std::uint16_t*>(std::calloc(kStringSlots, sizeof(std::uint16_t)));
    if (!lzw->codeOfString) return kLzwNoMemory;
  }
  if (!lzw->stringOfCode) {
    lzw->stringOfCode = static_cast<std::uint32_t*>(std::malloc(kCodeCount * sizeof(std::uint32_t)));
    if (!lzw->stringOfCode) return kLzwNoMemory;
  }
  if (!lzw->runCode) {
    // Only the entries up to runMax are ever read, so the rest may stay untouched.
    lzw->runCode = static_cast<std::uint16_t*>(std::malloc(kRunSlots * sizeof(std::uint16_t)));
    if (!lzw->runCode) return kLzwNoMemory;
    for (int v = 0; v < 256; ++v) lzw->runCode[1 << 8 | v] = static_cast<std::uint16_t>(v);
  }
  return Reserve(lzw, 0) ? kLzwOk : kLzwNoMemory;
}

int LzwStartFrame(LzwEncoder* lzw, int minCodeSize) {
  // The tables are sized for keys of at most 12 + 8 bits.
  if (minCodeSize < 2 || minCodeSize > 8) return kLzwBadCodeSize;
  if (LzwAllocate(lzw) != kLzwOk) return kLzwNoMemory;
  lzw->length = 0;
  if (!Reserve(lzw, 2)) return kLzwNoMemory;
  ForgetCodes(lzw->stringOfCode, 0);
  ForgetRuns(lzw->runMax);
  lzw->pendingBits = 0;
  lzw->pendingBitCount = 0;
  lzw->minCodeSize = minCodeSize;
  lzw->codeWidth = minCodeSize + 1;
  lzw->widthLimit = 1 << lzw->codeWidth;
  const int clearCode = 1 << minCodeSize;
  lzw->nextCode = clearCode + 2;
  lzw->currentCode = -1;
  lzw->runLength = 0;
  lzw->runPixel = 0;
  lzw->pixelMask = static_cast<std::uint8_t>(clearCode - 1);

  std::uint8_t* out = lzw->output;
  PutCode(out, lzw->pendingBits, lzw->pendingBitCount, clearCode, lzw->codeWidth);
  lzw->length = out - lzw->output;
  return kLzwOk;
}

int LzwAddPixels(LzwEncoder* lzw, const std::uint8_t* pixels, std::size_t count) {
  if (count == 0) return kLzwOk;
  const std::uint32_t mask = lzw->pixelMask;
  if (lzw->currentCode < 0) {
    const int first = pixels[0] & mask;
    lzw->currentCode = first;
    lzw->runLength = 1;
    lzw->runPixel = first;
    ++pixels;
    --count;
  }

  const int minCodeSize = lzw->minCodeSize;
  const std::uint32_t clearCode = 1u << minCodeSize;
  std::uint16_t* const codeOfString = lzw->codeOfString;
  std::uint32_t* const stringOfCode = lzw->stringOfCode;
  std::uint16_t* const runCode = lzw->runCode;
  std::uint16_t* const runMax = lzw->runMax;
  std::uint32_t current = static_cast<std::uint32_t>(lzw->currentCode);
  std::uint32_t runLength = static_cast<std::uint32_t>(lzw->runLength);
  std::uint32_t runPixel = static_cast<std::uint32_t>(lzw->runPixel);
  std::uint32_t nextCode = static_cast<std::uint32_t>(lzw->nextCode);
  std::uint32_t widthLimit = static_cast<std::uint32_t>(lzw->widthLimit);
  int width = lzw->codeWidth;
  std::uint64_t bits = lzw->pendingBits;
  int bitCount = lzw->pendingBitCount;

  // After a code is written for a missing string: the next free code goes to that string
  // (the width grows once that code needs another bit), or, once code 4094 is taken, a
  // clear code follows at the current width and the dictionary starts again.
  auto takeCode = [&](std::uint8_t*& out) -> bool {
    if (nextCode < kFirstUnusableCode) {
      if (nextCode >= widthLimit) {
        ++width;
        widthLimit <<= 1;
      }
      ++nextCode;
      return true;
    }
    PutCode(out, bits, bitCount, clearCode, width);
    ForgetCodes(stringOfCode, clearCode + 2);
    ForgetRuns(runMax);
    width = minCodeSize + 1;
    widthLimit = 1u << width;
    nextCode = clearCode + 2;
    return false;
  };

  // A pixel writes at most one code and a clear code (24 bits), so room for 3 bytes a
  // pixel, reserved per chunk, keeps the inner loop free of capacity checks.
  constexpr std::size_t kChunk = 1 << 16;
  while (count > 0) {
    const std::size_t chunk = count < kChunk ? count : kChunk;
    if (!Reserve(lzw, 3 * chunk)) {
      lzw->currentCode = -1;
      return kLzwNoMemory;
    }
    std::uint8_t* out = lzw->output + lzw->length;
    std::size_t i = 0;
    while (i < chunk) {
      const std::uint32_t pixel = pixels[i] & mask;
      if (pixel == runPixel && runLength != 0) {
        // The string is runLength pixels v and `left` more v follow.
        std::size_t left = RunLength(pixels, i, chunk);
        i += left;
        std::uint16_t* const runs = runCode + pixel;  // runs[L << 8]: the code of L pixels v
        std::uint32_t longest = runMax[pixel];
        while (runLength + left > longest) {
          left -= longest - runLength + 1;
          PutCode(out, bits, bitCount, runs[longest << 8], width);
          const std::uint32_t code = nextCode;
          if (takeCode(out)) {
            runs[(longest + 1) << 8] = static_cast<std::uint16_t>(code);
            runMax[pixel] = static_cast<std::uint16_t>(++longest);
          } else {
            longest = 1;
          }
          runLength = 1;
        }
        runLength += static_cast<std::uint32_t>(left);
        current = runs[runLength << 8];
        continue;
      }

      const std::uint32_t key = current << 8 | pixel;
      const std::uint32_t code = codeOfString[key];
      ++i;
      if (stringOfCode[code] == key) {
        current = code;
        runLength = 0;
        continue;
      }
      PutCode(out, bits, bitCount, current, width);
      const std::uint32_t newCode = nextCode;
      if (takeCode(out)) {
        codeOfString[key] = static_cast<std::uint16_t>(newCode);
        stringOfCode[newCode] = key;
      }
      current = pixel;
      runLength = 1;
      runPixel = pixel;
    }
    lzw->length = out - lzw->output;
    pixels += chunk;
    count -= chunk;
  }

  lzw->currentCode = static_cast<int>(current);
  lzw->runLength = static_cast<int>(runLength);
  lzw->runPixel = static_cast<int>(runPixel);
  lzw->nextCode = static_cast<int>(nextCode);
  lzw->widthLimit = static_cast<int>(widthLimit);
  lzw->codeWidth = width;
  lzw->pendingBits = bits;
  lzw->pendingBitCount = bitCount;
  return kLzwOk;
}

int LzwFinishFrame(LzwEncoder* lzw) {
  if (lzw->currentCode < 0) return kLzwNoPixels;
  if (!Reserve(lzw, 4)) return kLzwNoMemory;
  std::uint8_t* out = lzw->output + lzw->length;
  const std::uint32_t endCode = (1u << lzw->minCodeSize) + 1;
  PutCode(out, lzw->pendingBits, lzw->pendingBitCount, static_cast<std::uint32_t>(lzw->currentCode), lzw->codeWidth);
  PutCode(out, lzw->pendingBits, lzw->pendingBitCount, endCode, lzw->codeWidth);
  // A partly filled last byte counts whole; its free bits are zero.
  if (lzw->pendingBitCount > 0) *out++ = static_cast<std::uint8_t>(lzw->pendingBits);
  lzw->pendingBits = 0;
  lzw->pendingBitCount = 0;
  lzw->length = out - lzw->output;
  lzw->currentCode = -1;
  return kLzwOk;
}

void LzwRelease(LzwEncoder* lzw) {
  std::free(lzw->output);
  std::free(lzw->codeOfString);
  std::free(lzw->stringOfCode);
  std::free(lzw->runCode);
  *lzw = LzwEncoder{};
}
