#include "gif/gif_reader.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "capture/frame_image.h"
#include "tests/support/test_frames.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes Text(const char* text) { return Bytes(text, text + std::strlen(text)); }

Bytes Word(int value) { return {static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8)}; }

// Signature and logical screen descriptor; globalBits 0 means no global table (the
// packed byte's size field then stays 0, so an image without a local table gets b = 1).
Bytes Screen(int width, int height, int globalBits, const char* signature = "GIF89a") {
  const std::uint8_t packed = globalBits ? static_cast<std::uint8_t>(0xF0 | (globalBits - 1)) : 0;
  return Join({Text(signature), Word(width), Word(height), {packed, 0, 0}});
}

Rgb TableColour(int i, int salt) {
  return Rgb{static_cast<std::uint8_t>(i * 7 + salt), static_cast<std::uint8_t>(i * 13 + 2 * salt),
             static_cast<std::uint8_t>(255 - i - salt)};
}

std::vector<Rgb> Colours(int bits, int salt) {
  std::vector<Rgb> colours;
  for (int i = 0; i < (1 << bits); ++i) colours.push_back(TableColour(i, salt));
  return colours;
}

// A colour table of 2^bits red, green, blue triples; salt tells tables apart.
Bytes Table(int bits, int salt = 0) {
  Bytes table;
  for (const Rgb& c : Colours(bits, salt)) table.insert(table.end(), {c.red, c.green, c.blue});
  return table;
}

Bytes Descriptor(int width, int height, int localBits = 0, bool interlaced = false) {
  std::uint8_t packed = interlaced ? 0x40 : 0;
  if (localBits) packed |= static_cast<std::uint8_t>(0x80 | (localBits - 1));
  return Join({{0x2C, 1, 0, 2, 0}, Word(width), Word(height), {packed}});
}

// Codes packed least significant bit first at the widths a GIF decoder reads them:
// m + 1 bits after a clear code, one bit more each time the next free code reaches
// 2^width, at most 12.
Bytes PackCodes(int minimumSize, const std::vector<int>& codes) {
  const int clear = 1 << minimumSize;
  int width = minimumSize + 1, next = clear + 2;
  bool first = true;
  Bytes data;
  std::uint32_t buffer = 0;
  int bits = 0;
  for (int code : codes) {
    buffer |= static_cast<std::uint32_t>(code) << bits;
    bits += width;
    for (; bits >= 8; bits -= 8, buffer >>= 8) data.push_back(static_cast<std::uint8_t>(buffer));
    if (code == clear) {
      width = minimumSize + 1;
      next = clear + 2;
      first = true;
    } else if (code == clear + 1) {
    } else if (first) {
      first = false;
    } else if (next < 4096 && ++next == 1 << width && width < 12) {
      ++width;
    }
  }
  if (bits > 0) data.push_back(static_cast<std::uint8_t>(buffer));
  return data;
}

Bytes SubBlocks(const Bytes& data, bool terminator = true) {
  Bytes blocks;
  for (std::size_t at = 0; at < data.size(); at += 255) {
    const std::size_t size = std::min<std::size_t>(255, data.size() - at);
    blocks.push_back(static_cast<std::uint8_t>(size));
    blocks.insert(blocks.end(), data.begin() + at, data.begin() + at + size);
  }
  if (terminator) blocks.push_back(0);
  return blocks;
}

Bytes ImageData(int minimumSize, const std::vector<int>& codes) {
  return Join({{static_cast<std::uint8_t>(minimumSize)}, SubBlocks(PackCodes(minimumSize, codes))});
}

// Every index as its own root code, between a clear code and the end code.
Bytes PixelData(int minimumSize, const std::vector<int>& indices) {
  std::vector<int> codes{1 << minimumSize};
  codes.insert(codes.end(), indices.begin(), indices.end());
  codes.push_back((1 << minimumSize) + 1);
  return ImageData(minimumSize, codes);
}

std::vector<int> Pattern(int width, int height, int modulo) {
  std::vector<int> indices;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) indices.push_back((x + 3 * y + 1) % modulo);
  }
  return indices;
}

const Bytes kTrailer{0x3B};

// The 5 x 4 picture of most cases: a 4-colour global table and one image.
Bytes SmallGif() {
  return Join({Screen(5, 4, 2), Table(2), Descriptor(5, 4), PixelData(2, Pattern(5, 4, 4)), kTrailer});
}

struct ReadResult {
  int result;
  UniqueFrame image;
};

ReadResult Read(const Bytes& file) {
  HGLOBAL image = reinterpret_cast<HGLOBAL>(1);
  const int result = ReadGifImage(file.data(), file.size(), &image);
  return {result, UniqueFrame(image)};
}

Bytes BlockBytes(HGLOBAL block) {
  const BYTE* data = static_cast<const BYTE*>(GlobalLock(block));
  if (!data) return {};
  Bytes bytes(data, data + GlobalSize(block));
  GlobalUnlock(block);
  return bytes;
}

// Colour indices in picture order (top row first), through one lock.
std::vector<int> Indices(HGLOBAL frame) {
  FrameLock lock(frame);
  std::vector<int> indices;
  if (!lock.ok() || lock.layout().bitCount != 8) return indices;
  for (int y = 0; y < lock.height(); ++y) {
    const BYTE* row = lock.Row(lock.height() - 1 - y);
    indices.insert(indices.end(), row, row + lock.width());
  }
  return indices;
}

TEST(GifReaderTest, ResultCodes) {
  const Bytes global = Join({Screen(5, 4, 2), Table(2)});
  const Bytes image = Join({Descriptor(5, 4), PixelData(2, Pattern(5, 4, 4)), kTrailer});
  struct Case {
    const char* name;
    Bytes file;
    int result;
  } cases[] = {
      {"a whole image", SmallGif(), kGifReadOk},
      {"empty file", {}, kGifReadFileError},
      {"ten bytes", Join({Text("GIF89a"), Word(5), Word(4)}), kGifReadFileError},
      {"GIF87a", Join({Screen(5, 4, 2, "GIF87a"), Table(2), image}), kGifReadOk},
      {"unknown version", Join({Screen(5, 4, 2, "GIF88a"), Table(2), image}), kGifReadBadSignature},
      {"lower-case signature", Join({Screen(5, 4, 2, "gif89a"), Table(2), image}), kGifReadBadSignature},
      {"width 32768", Join({global, Descriptor(32768, 4), PixelData(2, {1})}), kGifReadNoMemory},
      {"height 65535", Join({global, Descriptor(5, 65535), PixelData(2, {1})}), kGifReadNoMemory},
      {"sub-block past the end", Join({global, {0x21, 0xFE, 5, 'a', 'b'}}), kGifReadExtensionOverrun},
      {"sub-block ending at the end", Join({global, {0x21, 0xFE, 2, 'a', 'b'}}), kGifReadExtensionOverrun},
      {"trailer first", Join({Screen(5, 4, 0), kTrailer, image}), kGifReadTrailerBeforeImage},
      {"trailer behind an extension", Join({global, {0x21, 0xFE, 1, 'a', 0}, kTrailer}),
       kGifReadTrailerBeforeImage},
      {"unknown block", Join({global, {0x00}, image}), kGifReadUnknownBlock},
      {"global table past the end", Join({Screen(5, 4, 3), Bytes(23, 1)}), kGifReadTableOverrun},
      {"11-byte file with a global table", Join({Text("GIF89a"), Word(5), Word(4), {0x80}}), kGifReadTableOverrun},
      {"local table past the end", Join({global, Descriptor(5, 4, 8), Table(7)}), kGifReadTableOverrun},
      {"no image, no table", Screen(5, 4, 0), kGifReadBadTableSize},
      {"no image behind an extension, no table", Join({Screen(5, 4, 0), {0x21, 0xFE, 1, 'a', 0}}),
       kGifReadBadTableSize},
      {"neither global nor local table", Join({Screen(5, 4, 0), image}), kGifReadNoColourTable},
      {"image width 0", Join({global, Descriptor(0, 4), PixelData(2, {1})}), kGifReadZeroWidth},
      {"image height 0", Join({global, Descriptor(5, 0), PixelData(2, {1})}), kGifReadZeroHeight},
      {"no image, screen width 0", Join({Screen(0, 4, 2), Table(2)}), kGifReadZeroWidth},
      {"code size 1", Join({global, Descriptor(5, 4), {1, 1, 0x0C, 0}}), kGifReadBadCodeSize},
      {"code size 12", Join({global, Descriptor(5, 4), {12, 2, 0, 0x10, 0}}), kGifReadBadCodeSize},
      // A walk that runs off the end goes on with the screen and reads a code size of 0 behind it.
      {"no image, global table ending at the end", global, kGifReadBadCodeSize},
      {"extension label at the end", Join({global, {0x21, 0xFE}}), kGifReadBadCodeSize},
      {"descriptor at the end", Join({global, Descriptor(5, 4)}), kGifReadBadCodeSize},
      {"first code above the clear code", Join({global, Descriptor(5, 4), ImageData(2, {4, 6, 5})}),
       kGifReadBadFirstCode},
      {"first code of the stream above the clear code", Join({global, Descriptor(5, 4), ImageData(2, {7, 5})}),
       kGifReadBadFirstCode},
      // 7 is taken as the code being defined (6) and becomes the previous code, undefined.
      {"code behind an undefined previous code", Join({global, Descriptor(5, 4), ImageData(2, {4, 1, 7, 2, 5})}),
       kGifReadUndefinedCode},
      {"new code behind an undefined previous code",
       Join({global, Descriptor(5, 4), ImageData(2, {4, 1, 7, 7, 5})}), kGifReadUndefinedNewCode},
  };
  for (const Case& c : cases) {
    const ReadResult read = Read(c.file);
    EXPECT_EQ(read.result, c.result) << c.name;
    EXPECT_EQ(read.image != nullptr, c.result == kGifReadOk) << c.name;
  }
}

TEST(GifReaderTest, MakesAnEightBitFrameWithTheTableAndBottomUpRows) {
  const ReadResult read = Read(SmallGif());
  ASSERT_EQ(read.result, kGifReadOk);
  // Header, 4 table entries, 4 rows of 8 bytes, 16 spare bytes.
  EXPECT_EQ(GlobalSize(read.image.get()), 40u + 16u + 32u + 16u);
  FrameLock lock(read.image.get());
  ASSERT_TRUE(lock.ok());
  const BITMAPINFOHEADER& h = *lock.header();
  EXPECT_EQ(h.biSize, 40u);
  EXPECT_EQ(h.biWidth, 5);
  EXPECT_EQ(h.biHeight, 4);
  EXPECT_EQ(h.biPlanes, 1);
  EXPECT_EQ(h.biBitCount, 8);
  EXPECT_EQ(h.biCompression, static_cast<DWORD>(BI_RGB));
  EXPECT_EQ(h.biSizeImage, 32u);
  EXPECT_EQ(h.biClrUsed, 4u);
  EXPECT_EQ(h.biXPelsPerMeter, 0);
  EXPECT_EQ(h.biClrImportant, 0u);
  for (int i = 0; i < 4; ++i) {
    const RGBQUAD q = lock.colours()[i];
    EXPECT_EQ((Rgb{q.rgbRed, q.rgbGreen, q.rgbBlue}), TableColour(i, 0)) << i;
    EXPECT_EQ(q.rgbReserved, 0) << i;
  }
  // The top row of the picture is the last stored row; padding bytes stay 0.
  const BYTE bottomRow[8] = {2, 3, 0, 1, 2, 0, 0, 0};
  EXPECT_EQ(std::memcmp(lock.Row(0), bottomRow, 8), 0);
  EXPECT_EQ(Indices(read.image.get()), Pattern(5, 4, 4));
}

TEST(GifReaderTest, ExtensionsBeforeTheImageChangeNothing) {
  const Bytes comment = Join({{0x21, 0xFE, 5}, Text("hello"), {3}, Text("abc"), {0}});
  const Bytes application = Join({{0x21, 0xFF, 11}, Text("NETSCAPE2.0"), {3, 1, 0, 0, 0}});
  const Bytes control{0x21, 0xF9, 4, 0x04, 10, 0, 0, 0};
  const Bytes image = Join({Descriptor(5, 4), PixelData(2, Pattern(5, 4, 4)), kTrailer});
  const ReadResult plain = Read(SmallGif());
  const ReadResult dressed = Read(Join({Screen(5, 4, 2), Table(2), application, comment, control, image}));
  ASSERT_EQ(plain.result, kGifReadOk);
  ASSERT_EQ(dressed.result, kGifReadOk);
  EXPECT_EQ(BlockBytes(plain.image.get()), BlockBytes(dressed.image.get()));
}

TEST(GifReaderTest, InterlacedRowsComeOutInPictureOrder) {
  for (int height = 1; height <= 17; ++height) {
    std::vector<int> picture, passOrder;
    for (int i = 0; i < 3 * height; ++i) picture.push_back(i);
    // Passes of rows 8k, 8k + 4, 4k + 2, 2k + 1.
    const int passes[4][2] = {{0, 8}, {4, 8}, {2, 4}, {1, 2}};
    for (const auto& [start, step] : passes) {
      for (int y = start; y < height; y += step) passOrder.insert(passOrder.end(), {3 * y, 3 * y + 1, 3 * y + 2});
    }
    const ReadResult read =
        Read(Join({Screen(3, height, 8), Table(8), Descriptor(3, height, 0, true), PixelData(8, passOrder), kTrailer}));
    ASSERT_EQ(read.result, kGifReadOk) << height;
    EXPECT_EQ(Indices(read.image.get()), picture) << "height " << height;
  }
}

TEST(GifReaderTest, ChoosesTheImagesColourTable) {
  struct Case {
    const char* name;
    Bytes file;
    std::vector<Rgb> table;
  } cases[] = {
      {"local table only", Join({Screen(6, 3, 0), Descriptor(6, 3, 3), Table(3, 5), PixelData(3, Pattern(6, 3, 8))}),
       Colours(3, 5)},
      {"local table over a global one",
       Join({Screen(6, 3, 1), Table(1, 9), Descriptor(6, 3, 4), Table(4, 5), PixelData(4, Pattern(6, 3, 8))}),
       Colours(4, 5)},
      {"two-colour global table", Join({Screen(6, 3, 1), Table(1, 9), Descriptor(6, 3), PixelData(2, Pattern(6, 3, 2))}),
       Colours(1, 9)},
  };
  for (const Case& c : cases) {
    const ReadResult read = Read(c.file);
    ASSERT_EQ(read.result, kGifReadOk) << c.name;
    FrameLock lock(read.image.get());
    ASSERT_TRUE(lock.ok()) << c.name;
    EXPECT_EQ(lock.layout().bitCount, 8) << c.name;
    EXPECT_EQ(lock.header()->biClrUsed, c.table.size()) << c.name;
    EXPECT_EQ(ColourTable(read.image.get()), c.table) << c.name;
    EXPECT_EQ(Indices(read.image.get()), Pattern(6, 3, c.table.size() == 2 ? 2 : 8)) << c.name;
  }
}

TEST(GifReaderTest, AnimatedGifGivesItsFirstImageAtItsOwnSize) {
  const Bytes application = Join({{0x21, 0xFF, 11}, Text("NETSCAPE2.0"), {3, 1, 0, 0, 0}});
  const Bytes control{0x21, 0xF9, 4, 0x04, 10, 0, 0, 0};
  const ReadResult read = Read(Join({Screen(10, 8, 2), Table(2), application, control, Descriptor(4, 3),
                                     PixelData(2, Pattern(4, 3, 4)), control, Descriptor(10, 8, 2), Table(2, 7),
                                     PixelData(2, Pattern(10, 8, 3)), kTrailer}));
  ASSERT_EQ(read.result, kGifReadOk);
  EXPECT_EQ(FrameWidth(read.image.get()), 4);
  EXPECT_EQ(FrameHeight(read.image.get()), 3);
  EXPECT_EQ(ColourTable(read.image.get()), Colours(2, 0));
  EXPECT_EQ(Indices(read.image.get()), Pattern(4, 3, 4));
}

// Streams that decode without error to the given first pixels of a 5 x 4 image (the rest 0).
TEST(GifReaderTest, DecodesWhatTheStreamHolds) {
  const Bytes global = Join({Screen(5, 4, 2), Table(2)});
  const std::vector<int> pattern = Pattern(5, 4, 4);
  std::vector<int> sevenCodes{4};
  sevenCodes.insert(sevenCodes.end(), pattern.begin(), pattern.begin() + 7);  // with the clear code, 24 bits
  struct Case {
    const char* name;
    Bytes file;
    std::vector<int> pixels;
  } cases[] = {
      {"strings of defined codes and of the code being defined",
       Join({global, Descriptor(5, 4), ImageData(2, {4, 1, 2, 6, 7, 9, 9, 5})}),
       {1, 2, 1, 2, 2, 1, 2, 1, 2, 2, 1, 2}},
      {"no clear code first", Join({global, Descriptor(5, 4), ImageData(2, {1, 2, 3, 5})}), {1, 2, 3}},
      {"a clear code resets the widths", Join({global, Descriptor(5, 4), ImageData(2, {4, 3, 3, 3, 4, 2, 2, 5})}),
       {3, 3, 3, 2, 2}},
      {"a code above the next free one stands for it", Join({global, Descriptor(5, 4), ImageData(2, {4, 1, 7, 5})}),
       {1, 1, 1}},
      {"nothing behind the end code", Join({global, Descriptor(5, 4), ImageData(2, {4, 1, 2, 5, 3, 3})}), {1, 2}},
      {"end of the sub-blocks without an end code",
       Join({global, Descriptor(5, 4), {2}, SubBlocks(PackCodes(2, sevenCodes)), kTrailer}),
       {pattern.begin(), pattern.begin() + 7}},
      {"end of the file inside the data",
       Join({global, Descriptor(5, 4), {2}, SubBlocks(PackCodes(2, sevenCodes), false)}),
       {pattern.begin(), pattern.begin() + 7}},
      {"sub-block longer than the file", Join({global, Descriptor(5, 4), {2, 200}, PackCodes(2, sevenCodes)}),
       {pattern.begin(), pattern.begin() + 7}},
      {"no data at all", Join({global, Descriptor(5, 4), {2, 0}}), {}},
  };
  for (const Case& c : cases) {
    const ReadResult read = Read(c.file);
    ASSERT_EQ(read.result, kGifReadOk) << c.name;
    std::vector<int> expected = c.pixels;
    expected.resize(20, 0);
    EXPECT_EQ(Indices(read.image.get()), expected) << c.name;
  }
}

// Decoding stops when the last pixel is written, before anything else is looked at.
TEST(GifReaderTest, StopsWhenTheImageIsFull) {
  const Bytes global = Join({Screen(5, 4, 2), Table(2)});
  struct Case {
    const char* name;
    int width, height;
    std::vector<int> codes;
    std::vector<int> pixels;
  } cases[] = {
      {"inside a string", 1, 2, {4, 1, 2, 6, 5}, {1, 2}},
      {"before the undefined previous code is seen", 1, 3, {4, 1, 7, 2, 5}, {1, 1, 1}},
      {"before a bad first code", 2, 1, {4, 1, 2, 4, 7}, {1, 2}},
  };
  for (const Case& c : cases) {
    const ReadResult read = Read(Join({global, Descriptor(c.width, c.height), ImageData(2, c.codes)}));
    ASSERT_EQ(read.result, kGifReadOk) << c.name;
    EXPECT_EQ(Indices(read.image.get()), c.pixels) << c.name;
  }
}

TEST(GifReaderTest, FullTableKeepsTwelveBitCodes) {
  // 4096 root codes of code size 2: the table is full after 4091 of them, and the rest
  // are read at 12 bits; with a clear code in the middle the widths start over.
  const std::vector<int> pattern = Pattern(64, 64, 4);
  std::vector<int> withClear(pattern.begin(), pattern.begin() + 3000);
  withClear.push_back(4);
  withClear.insert(withClear.end(), pattern.begin() + 3000, pattern.end());
  for (const std::vector<int>& indices : {pattern, withClear}) {
    const ReadResult read = Read(Join({Screen(64, 64, 2), Table(2), Descriptor(64, 64), PixelData(2, indices), kTrailer}));
    ASSERT_EQ(read.result, kGifReadOk);
    EXPECT_EQ(Indices(read.image.get()), pattern);
  }
}

// The reader keeps what the code gives, even indices past the colour table (the
// template conversion checks them) and, for code sizes above 8, the code's low byte.
TEST(GifReaderTest, KeepsIndicesBeyondTheTable) {
  const Bytes global = Join({Screen(3, 1, 1), Table(1)});
  const ReadResult eight = Read(Join({global, Descriptor(3, 1), PixelData(8, {200, 1, 255})}));
  ASSERT_EQ(eight.result, kGifReadOk);
  EXPECT_EQ(Indices(eight.image.get()), (std::vector<int>{200, 1, 255}));
  EXPECT_EQ(ColourTable(eight.image.get()).size(), 2u);
  const ReadResult eleven = Read(Join({global, Descriptor(3, 1), PixelData(11, {0x7FF, 0x123, 5})}));
  ASSERT_EQ(eleven.result, kGifReadOk);
  EXPECT_EQ(Indices(eleven.image.get()), (std::vector<int>{0xFF, 0x23, 5}));
}

TEST(GifReaderTest, ReadsFiles) {
  const std::string path = TempPath("reader-small.gif");
  const Bytes file = SmallGif();
  WriteFileBytes(path, file);

  std::size_t length = 0;
  UniqueFrame whole(ReadWholeFile(path.c_str(), &length));
  ASSERT_TRUE(whole);
  EXPECT_EQ(length, file.size());
  EXPECT_EQ(BlockBytes(whole.get()), Join({file, Bytes(512, 0)}));

  HGLOBAL image = nullptr;
  ASSERT_EQ(ReadGifFile(path.c_str(), &image), kGifReadOk);
  UniqueFrame owned(image);
  EXPECT_EQ(BlockBytes(owned.get()), BlockBytes(Read(file).image.get()));

  const std::string shortPath = TempPath("reader-short.gif");
  WriteFileBytes(shortPath, Join({Text("GIF89a"), Word(5), Word(4)}));
  const std::string missing = TempPath("reader-missing.gif");
  for (const std::string& bad : {shortPath, missing}) {
    image = reinterpret_cast<HGLOBAL>(1);
    EXPECT_EQ(ReadGifFile(bad.c_str(), &image), kGifReadFileError) << bad;
    EXPECT_EQ(image, nullptr);
  }
  length = 1;
  EXPECT_EQ(ReadWholeFile(missing.c_str(), &length), nullptr);
  EXPECT_EQ(length, 0u);
}

}  // namespace
