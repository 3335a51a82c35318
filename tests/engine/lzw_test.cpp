#include "gif/lzw_encoder.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

// The straightforward coder, step by step as the compressor is described: a dictionary of
// 4096 (prefix, length, last pixel) entries, a linear FindExtension scan that compares
// strings from the end, the longest-length shortcut, and codes packed a bit field at a
// time into the last byte. Slow, and meant to be: the fast coder must give its bytes.
struct ReferenceEntry {
  std::int32_t prefix;
  std::int32_t length;
  std::uint8_t last;
};

class ReferenceLzw {
 public:
  Bytes Encode(const Bytes& pixels, int minCodeSize) {
    dictionary_.assign(4096, ReferenceEntry{0, 0, 0});
    out_.clear();
    usedBits_ = 0;
    const int clearCode = 1 << minCodeSize;
    const int endCode = clearCode + 1;
    width_ = minCodeSize + 1;
    int widthLimit = 1 << width_;
    int nextCode = clearCode + 2;
    int longest = 1;
    for (int code = 0; code < clearCode; ++code) dictionary_[code] = {-1, 1, static_cast<std::uint8_t>(code)};
    dictionary_[clearCode] = dictionary_[endCode] = {-1, 0, 0};

    PutCode(clearCode);
    if (pixels.empty()) return {};
    int current = pixels[0];
    int searchFrom = endCode;
    for (std::size_t i = 1; i < pixels.size(); ++i) {
      const std::uint8_t p = pixels[i];
      if (longest > dictionary_[current].length) {
        const int found = FindExtension(current, p, searchFrom, nextCode);
        if (found >= 0) {
          current = found;
          searchFrom = found;
          continue;
        }
      }
      PutCode(current);
      searchFrom = endCode;
      if (nextCode < 4095) {
        const int length = dictionary_[current].length + 1;
        dictionary_[nextCode] = {current, length, p};
        if (length > longest) longest = length;
        if (nextCode >= widthLimit) {
          ++width_;
          widthLimit = 1 << width_;
        }
        ++nextCode;
      } else {
        PutCode(clearCode);
        width_ = minCodeSize + 1;
        widthLimit = 1 << width_;
        nextCode = clearCode + 2;
        longest = 1;
      }
      current = p;
    }
    PutCode(current);
    PutCode(endCode);
    return out_;
  }

 private:
  int FindExtension(int current, std::uint8_t p, int searchFrom, int nextCode) const {
    const int length = dictionary_[current].length;
    for (int code = searchFrom + 1; code <= nextCode - 1; ++code) {
      const ReferenceEntry& entry = dictionary_[code];
      if (entry.length != length + 1 || entry.last != p) continue;
      int a = current;
      int b = entry.prefix;
      bool same = true;
      for (int step = 0; step < length && same; ++step) {
        if (a == -1 || b == -1 || dictionary_[a].last != dictionary_[b].last) {
          same = false;
        } else {
          a = dictionary_[a].prefix;
          b = dictionary_[b].prefix;
        }
      }
      if (same) return code;
    }
    return -1;
  }

  void PutCode(int code) {
    int left = width_;
    while (left > 0) {
      if (usedBits_ == 0) out_.push_back(0);
      const int take = std::min(8 - usedBits_, left);
      out_.back() = static_cast<std::uint8_t>(out_.back() | ((code & ((1 << take) - 1)) << usedBits_));
      code >>= take;
      left -= take;
      usedBits_ = (usedBits_ + take) % 8;
    }
  }

  std::vector<ReferenceEntry> dictionary_;
  Bytes out_;
  int usedBits_ = 0;
  int width_ = 0;
};

// The fast coder's bytes for one frame, the pixels handed over in pieces of the given
// sizes (repeated; 0 = all at once).
Bytes FastEncode(LzwEncoder* lzw, const Bytes& pixels, int minCodeSize, const std::vector<std::size_t>& pieces = {0}) {
  EXPECT_EQ(LzwStartFrame(lzw, minCodeSize), kLzwOk);
  std::size_t at = 0;
  for (std::size_t k = 0; at < pixels.size(); ++k) {
    std::size_t piece = pieces[k % pieces.size()];
    if (piece == 0 || piece > pixels.size() - at) piece = pixels.size() - at;
    EXPECT_EQ(LzwAddPixels(lzw, pixels.data() + at, piece), kLzwOk);
    at += piece;
  }
  EXPECT_EQ(LzwFinishFrame(lzw), kLzwOk);
  return Bytes(lzw->output, lzw->output + lzw->length);
}

Bytes FastEncode(const Bytes& pixels, int minCodeSize, const std::vector<std::size_t>& pieces = {0}) {
  LzwEncoder lzw;
  Bytes bytes = FastEncode(&lzw, pixels, minCodeSize, pieces);
  LzwRelease(&lzw);
  return bytes;
}

Bytes RandomPixels(std::mt19937* random, std::size_t count, int values) {
  std::uniform_int_distribution<int> pick(0, values - 1);
  Bytes pixels(count);
  for (auto& p : pixels) p = static_cast<std::uint8_t>(pick(*random));
  return pixels;
}

// Runs of random length (1..longestRun) of random values below `values`.
Bytes RandomRuns(std::mt19937* random, std::size_t count, int values, int longestRun) {
  std::uniform_int_distribution<int> pick(0, values - 1), length(1, longestRun);
  Bytes pixels;
  while (pixels.size() < count) pixels.insert(pixels.end(), length(*random), static_cast<std::uint8_t>(pick(*random)));
  pixels.resize(count);
  return pixels;
}

// How many clear codes the stream holds, codes read at the widths a decoder uses.
int ClearCodes(const Bytes& stream, int minCodeSize) {
  const int clearCode = 1 << minCodeSize;
  int clears = 0, width = minCodeSize + 1, highest = clearCode + 1;
  std::size_t bit = 0;
  while (bit + width <= 8 * stream.size()) {
    int code = 0;
    for (int k = 0; k < width; ++k, ++bit) code |= ((stream[bit / 8] >> (bit % 8)) & 1) << k;
    if (code == clearCode + 1) break;
    if (code == clearCode) {
      ++clears;
      highest = clearCode + 1;
    } else if (highest < 4094) {
      ++highest;
    }
    width = std::max(minCodeSize + 1, static_cast<int>(std::bit_width(static_cast<unsigned>(highest))));
  }
  return clears;
}

}  // namespace

TEST(LzwReferenceTest, FourEqualPixelsAtCodeSizeTwo) {
  // clear 4, 0, 6 (the string 00), 0, end 5, at 3 bits each, least significant bit first.
  const Bytes expected = {0x84, 0x51};
  EXPECT_EQ(ReferenceLzw().Encode({0, 0, 0, 0}, 2), expected);
  EXPECT_EQ(FastEncode({0, 0, 0, 0}, 2), expected);
}

TEST(LzwEncoderTest, MatchesTheReferenceOnRandomIndicesAtEveryCodeSize) {
  std::mt19937 random(20240601);
  ReferenceLzw reference;
  for (int codeSize = 2; codeSize <= 8; ++codeSize) {
    for (std::size_t count : {1u, 2u, 3u, 17u, 640u, 12000u}) {
      for (int values : {2, 1 << codeSize}) {
        const Bytes pixels = RandomPixels(&random, count, values);
        EXPECT_EQ(FastEncode(pixels, codeSize), reference.Encode(pixels, codeSize))
            << "code size " << codeSize << ", " << count << " pixels below " << values;
      }
    }
  }
}

TEST(LzwEncoderTest, MatchesTheReferenceOnRunsAndRepeatingPatterns) {
  std::mt19937 random(7);
  ReferenceLzw reference;
  struct Case {
    const char* name;
    int codeSize;
    Bytes pixels;
  };
  Bytes ramp(30000), stripes(30000), blocks(40000);
  for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<std::uint8_t>(i % 251);
  for (std::size_t i = 0; i < stripes.size(); ++i) stripes[i] = static_cast<std::uint8_t>((i / 3) % 2);
  for (std::size_t i = 0; i < blocks.size(); ++i) blocks[i] = static_cast<std::uint8_t>((i % 97) / 13 + 4 * ((i / 500) % 3));
  const Case cases[] = {
      {"one long run", 8, Bytes(100000, 200)},
      {"one long run, code size 2", 2, Bytes(70000, 3)},
      {"short runs of few values", 2, RandomRuns(&random, 60000, 4, 6)},
      {"runs up to 300 of 16 values", 4, RandomRuns(&random, 100000, 16, 300)},
      {"runs up to 40 of 256 values", 8, RandomRuns(&random, 60000, 256, 40)},
      {"runs of two values", 3, RandomRuns(&random, 60000, 2, 12)},
      {"ramp", 8, ramp},
      {"stripes", 2, stripes},
      {"blocks", 4, blocks},
  };
  for (const Case& c : cases) {
    const Bytes expected = reference.Encode(c.pixels, c.codeSize);
    EXPECT_EQ(FastEncode(c.pixels, c.codeSize), expected) << c.name;
    // Rows of a width that is no multiple of 4, and pieces that cut runs anywhere.
    EXPECT_EQ(FastEncode(c.pixels, c.codeSize, {333}), expected) << c.name << " in rows of 333";
    EXPECT_EQ(FastEncode(c.pixels, c.codeSize, {1, 7, 2, 64, 1, 1000}), expected) << c.name << " in odd pieces";
  }
}

TEST(LzwEncoderTest, FillsTheDictionarySeveralTimes) {
  std::mt19937 random(99);
  ReferenceLzw reference;
  const struct {
    int codeSize;
    Bytes pixels;
  } cases[] = {
      {8, RandomPixels(&random, 40000, 256)},
      {2, RandomPixels(&random, 40000, 4)},
      {5, RandomRuns(&random, 80000, 32, 5)},
  };
  for (const auto& c : cases) {
    const Bytes expected = reference.Encode(c.pixels, c.codeSize);
    ASSERT_GE(ClearCodes(expected, c.codeSize), 3) << "the case must fill the dictionary again and again";
    EXPECT_EQ(FastEncode(c.pixels, c.codeSize, {0}), expected) << "code size " << c.codeSize;
    EXPECT_EQ(FastEncode(c.pixels, c.codeSize, {101}), expected) << "code size " << c.codeSize;
  }
}

TEST(LzwEncoderTest, OneEncoderServesFramesOfDifferentCodeSizes) {
  // The dictionary is not emptied between frames; what the previous frame left must not
  // change the next frame's bytes.
  std::mt19937 random(3);
  ReferenceLzw reference;
  LzwEncoder lzw;
  const struct {
    int codeSize;
    Bytes pixels;
  } frames[] = {
      {8, RandomRuns(&random, 30000, 256, 20)}, {2, RandomRuns(&random, 30000, 4, 20)},
      {8, RandomRuns(&random, 30000, 256, 20)}, {8, RandomPixels(&random, 9000, 256)},
      {4, RandomPixels(&random, 20000, 16)},    {2, Bytes(1, 1)},
      {3, RandomRuns(&random, 30000, 8, 50)},
  };
  for (const auto& frame : frames) {
    EXPECT_EQ(FastEncode(&lzw, frame.pixels, frame.codeSize, {97}), reference.Encode(frame.pixels, frame.codeSize))
        << "code size " << frame.codeSize;
  }
  LzwRelease(&lzw);
}

TEST(LzwEncoderTest, OnePixelFrames) {
  ReferenceLzw reference;
  for (int codeSize = 2; codeSize <= 8; ++codeSize) {
    const Bytes pixels = {static_cast<std::uint8_t>((1 << codeSize) - 1)};
    EXPECT_EQ(FastEncode(pixels, codeSize), reference.Encode(pixels, codeSize)) << codeSize;
  }
}

TEST(LzwEncoderTest, IndicesBeyondTheCodeSizeAreTakenModuloItsRange) {
  std::mt19937 random(11);
  const Bytes pixels = RandomRuns(&random, 20000, 256, 9);
  for (int codeSize = 2; codeSize <= 7; ++codeSize) {
    Bytes masked = pixels;
    for (auto& p : masked) p &= static_cast<std::uint8_t>((1 << codeSize) - 1);
    EXPECT_EQ(FastEncode(pixels, codeSize, {50}), ReferenceLzw().Encode(masked, codeSize)) << codeSize;
  }
}

TEST(LzwEncoderTest, RefusesAFrameWithoutPixelsAndABadCodeSize) {
  LzwEncoder lzw;
  ASSERT_EQ(LzwStartFrame(&lzw, 8), kLzwOk);
  EXPECT_EQ(LzwFinishFrame(&lzw), kLzwNoPixels);
  EXPECT_EQ(LzwStartFrame(&lzw, 1), kLzwBadCodeSize);
  EXPECT_EQ(LzwStartFrame(&lzw, 9), kLzwBadCodeSize);
  LzwRelease(&lzw);
}
