#include "gif/gif_writer.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "capture/frame_image.h"
#include "gif/lzw_encoder.h"
#include "tests/support/test_frames.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Writer = int (*)(const AnimeGifInfo*, const char*, const ProgressSink*);

struct WriterCase {
  const char* name;
  Writer write;
  bool globalTable;
};
const WriterCase kWriters[] = {
    {"global table", WriteGifWithGlobalTable, true},
    {"local tables", WriteGifWithLocalTables, false},
};

std::vector<Rgb> Palette(int colours) {
  std::vector<Rgb> table;
  for (int i = 0; i < colours; ++i) {
    table.push_back(Rgb{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i * 7 + 1)});
  }
  return table;
}

// The job record is large; the tests keep theirs on the heap.
std::unique_ptr<AnimeGifInfo> Job(const std::vector<HGLOBAL>& images, const std::vector<int>& delays, int transparent = -1) {
  auto job = std::make_unique<AnimeGifInfo>();
  std::memset(job.get(), 0, sizeof *job);
  job->transparentIndex = transparent;
  job->frameCount = static_cast<int>(images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    job->frames[i].image = images[i];
    job->frames[i].delay = i < delays.size() ? delays[i] : 0;
  }
  return job;
}

// The indices of a frame, top row first, as a GIF holds them.
std::vector<int> Indices(HGLOBAL frame) {
  std::vector<int> indices;
  for (int y = 0; y < FrameHeight(frame); ++y) {
    for (int x = 0; x < FrameWidth(frame); ++x) indices.push_back(IndexAt(frame, x, y));
  }
  return indices;
}

// A GIF LZW decoder reading code widths as giflib does; stops after `count` pixels.
std::vector<int> DecodeLzw(const Bytes& data, int codeSize, std::size_t count) {
  const int clearCode = 1 << codeSize, endCode = clearCode + 1;
  std::vector<int> prefix(4096, -1), suffix(4096, 0), out;
  for (int i = 0; i < clearCode; ++i) suffix[i] = i;
  int width = codeSize + 1, next = clearCode + 2, previous = -1, codesSinceClear = 0;
  std::size_t bit = 0;
  auto firstPixel = [&](int code) {
    while (prefix[code] >= 0) code = prefix[code];
    return suffix[code];
  };
  while (out.size() < count && bit + width <= 8 * data.size()) {
    int code = 0;
    for (int k = 0; k < width; ++k, ++bit) code |= ((data[bit / 8] >> (bit % 8)) & 1) << k;
    if (code == clearCode) {
      width = codeSize + 1;
      next = clearCode + 2;
      previous = -1;
      codesSinceClear = 0;
      continue;
    }
    if (code == endCode) break;
    int first;
    if (code < next && (code < clearCode || code > endCode)) {
      first = firstPixel(code);
    } else if (code == next && previous >= 0) {
      first = firstPixel(previous);
    } else {
      ADD_FAILURE() << "code " << code << " out of order";
      return out;
    }
    if (previous >= 0 && next < 4096) {
      prefix[next] = previous;
      suffix[next] = first;
      ++next;
    }
    std::vector<int> string;
    for (int c = code; c >= 0; c = prefix[c]) string.push_back(suffix[c]);
    out.insert(out.end(), string.rbegin(), string.rend());
    previous = code;
    ++codesSinceClear;
    if (clearCode + 1 + codesSinceClear >= (1 << width) && width < 12) ++width;
  }
  out.resize(std::min(out.size(), count));
  return out;
}

// Reads a GIF front to back. Every check records a failure and reading goes on, so
// one run shows every wrong byte.
class GifReader {
 public:
  explicit GifReader(Bytes bytes) : bytes_(std::move(bytes)) {}

  int Byte() {
    if (at_ >= bytes_.size()) {
      if (!endReported_) ADD_FAILURE() << "the file ends early at " << at_;
      endReported_ = true;
      return -1;
    }
    return bytes_[at_++];
  }
  int U16() {
    const int low = Byte();
    return low | Byte() << 8;
  }
  Bytes Take(std::size_t count) {
    Bytes taken;
    for (std::size_t i = 0; i < count; ++i) taken.push_back(static_cast<std::uint8_t>(Byte()));
    return taken;
  }
  void Expect(const Bytes& expected, const std::string& what) { EXPECT_EQ(Take(expected.size()), expected) << what; }
  // Data sub-blocks up to the terminator; their lengths go to *lengths.
  Bytes SubBlocks(std::vector<int>* lengths = nullptr) {
    Bytes data;
    for (int length = Byte(); length > 0; length = Byte()) {
      if (lengths) lengths->push_back(length);
      const Bytes block = Take(length);
      data.insert(data.end(), block.begin(), block.end());
    }
    return data;
  }
  bool AtEnd() const { return at_ == bytes_.size(); }
  int Peek() const { return at_ < bytes_.size() ? bytes_[at_] : -1; }
  std::size_t Offset() const { return at_; }

 private:
  Bytes bytes_;
  std::size_t at_ = 0;
  bool endReported_ = false;
};

// The bytes of a colour table of `entries` entries: the palette first, zeros after.
Bytes TableBytes(const std::vector<Rgb>& palette, int entries) {
  Bytes bytes;
  for (int i = 0; i < entries; ++i) {
    const Rgb c = i < static_cast<int>(palette.size()) ? palette[i] : Rgb{0, 0, 0};
    bytes.insert(bytes.end(), {c.red, c.green, c.blue});
  }
  return bytes;
}

const Bytes kComment = {0x21, 0xFE, 0x03, 'M', 'I', 'I', 0x00};
const Bytes kLoop = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 0x03, 0x01, 0x00, 0x00, 0x00};

// Reads the header up to the first frame: signature, screen, optional global table,
// comment and, when expected, the loop extension.
void ExpectHeader(GifReader* gif, int width, int height, int packed, const Bytes& globalTable, bool loop) {
  gif->Expect({'G', 'I', 'F', '8', '7', 'a'}, "signature");
  gif->Expect({static_cast<std::uint8_t>(width), static_cast<std::uint8_t>(width >> 8), static_cast<std::uint8_t>(height),
               static_cast<std::uint8_t>(height >> 8), static_cast<std::uint8_t>(packed), 0, 0},
              "logical screen descriptor");
  gif->Expect(globalTable, "global colour table");
  gif->Expect(kComment, "comment extension");
  if (loop) gif->Expect(kLoop, "loop extension");
}

struct FrameExpectation {
  int delay;
  int width, height;
  int descriptorPacked;
  Bytes localTable;
  int codeSize;
  std::vector<int> indices;
  int controlPacked = 0x08;
  int transparentByte = 0;
};

// Reads one frame: control extension, descriptor, local table, code size, data.
void ExpectFrame(GifReader* gif, const FrameExpectation& frame, std::vector<int>* subBlockLengths = nullptr) {
  gif->Expect({0x21, 0xF9, 0x04, static_cast<std::uint8_t>(frame.controlPacked), static_cast<std::uint8_t>(frame.delay & 0xFF),
               static_cast<std::uint8_t>((frame.delay >> 8) & 0xFF), static_cast<std::uint8_t>(frame.transparentByte), 0x00},
              "graphic control extension");
  gif->Expect({0x2C, 0, 0, 0, 0, static_cast<std::uint8_t>(frame.width), static_cast<std::uint8_t>(frame.width >> 8),
               static_cast<std::uint8_t>(frame.height), static_cast<std::uint8_t>(frame.height >> 8),
               static_cast<std::uint8_t>(frame.descriptorPacked)},
              "image descriptor");
  gif->Expect(frame.localTable, "local colour table");
  EXPECT_EQ(gif->Byte(), frame.codeSize) << "minimum code size";
  const Bytes data = gif->SubBlocks(subBlockLengths);
  EXPECT_EQ(DecodeLzw(data, frame.codeSize, frame.indices.size()), frame.indices);
}

std::string Path(const std::string& name) {
  const std::string path = TempPath("writer-" + name);
  std::filesystem::remove(path);
  return path;
}

}  // namespace

TEST(GifWriterTest, WorkedExampleTwoFramesOf255Colours) {
  const std::vector<Rgb> palette = Palette(255);
  UniqueFrame first = MakeIndexedFrame(100, 50, 8, palette, [](int x, int y) { return (x * 3 + y * 5) % 255; });
  UniqueFrame second = MakeIndexedFrame(100, 50, 8, palette, [](int x, int y) { return x < 50 ? 254 : (x ^ y) % 200; });
  const auto job = Job({first.get(), second.get()}, {10, 20});
  const Bytes table = TableBytes(palette, 256);
  ASSERT_EQ(table.size(), 768u);
  ASSERT_EQ(Bytes(table.end() - 3, table.end()), Bytes({0, 0, 0})) << "entry 255 lies beyond the palette";

  for (const WriterCase& writer : kWriters) {
    SCOPED_TRACE(writer.name);
    const std::string path = Path("worked.gif");
    ASSERT_EQ(writer.write(job.get(), path.c_str(), nullptr), kGifWriteOk);
    GifReader gif(ReadFileBytes(path));
    // 64 00 32 00 F7 00 00 and the table, or 64 00 32 00 00 00 00 and none.
    ExpectHeader(&gif, 100, 50, writer.globalTable ? 0xF7 : 0x00, writer.globalTable ? table : Bytes{}, true);
    // Descriptor packed byte 00 with a global table, 87 and the frame's table without.
    ExpectFrame(&gif, {10, 100, 50, writer.globalTable ? 0x00 : 0x87, writer.globalTable ? Bytes{} : table, 8, Indices(first.get())});
    ExpectFrame(&gif, {20, 100, 50, writer.globalTable ? 0x00 : 0x87, writer.globalTable ? Bytes{} : table, 8, Indices(second.get())});
    EXPECT_EQ(gif.Byte(), 0x3B) << "trailer";
    EXPECT_TRUE(gif.AtEnd());
  }
}

TEST(GifWriterTest, OneFrameHasNoLoopExtensionAndKeepsTheLow16BitsOfItsDelay) {
  const std::vector<Rgb> palette = Palette(4);
  UniqueFrame frame = MakeIndexedFrame(3, 2, 8, palette, [](int x, int y) { return (x + y) % 4; });
  const auto job = Job({frame.get()}, {0x12345});
  for (const WriterCase& writer : kWriters) {
    SCOPED_TRACE(writer.name);
    const std::string path = Path("one.gif");
    ASSERT_EQ(writer.write(job.get(), path.c_str(), nullptr), kGifWriteOk);
    GifReader gif(ReadFileBytes(path));
    ExpectHeader(&gif, 3, 2, writer.globalTable ? 0xF1 : 0x00, writer.globalTable ? TableBytes(palette, 4) : Bytes{}, false);
    ExpectFrame(&gif, {0x2345, 3, 2, writer.globalTable ? 0x00 : 0x81, writer.globalTable ? Bytes{} : TableBytes(palette, 4), 2,
                       Indices(frame.get())});
    EXPECT_EQ(gif.Byte(), 0x3B);
    EXPECT_TRUE(gif.AtEnd());
  }
}

TEST(GifWriterTest, ColourCountAndTransparentIndexSetTableSizeAndCodeSize) {
  struct Case {
    int bits, colours, transparent;
    int tableBits, codeSize;
    int transparentByte;
  } cases[] = {
      {1, 2, -1, 1, 2, 0},     // two colours: a 2-entry table, code size 2
      {8, 2, -1, 1, 2, 0},     //
      {8, 1, -1, 2, 2, 0},     // one colour: 4 entries
      {8, 3, -1, 2, 2, 0},     //
      {4, 5, -1, 3, 3, 0},     //
      {4, 16, -1, 4, 4, 0},    //
      {8, 17, -1, 5, 5, 0},    //
      {8, 64, -1, 6, 6, 0},    //
      {8, 65, -1, 7, 7, 0},    //
      {8, 129, -1, 8, 8, 0},   //
      {8, 255, -1, 8, 8, 0},   // 256 entries, the last one zero
      {8, 256, -1, 8, 8, 0},   //
      {8, 16, 3, 4, 4, 3},     // a transparent index inside the table changes nothing
      {8, 4, 4, 3, 3, 4},      // N = t + 1 = 5
      {8, 2, 3, 1, 2, 3},      // N = 4: code size 2, and two colours keep a 2-entry table
      {8, 31, 200, 8, 8, 200}, //
      {8, 31, 300, 8, 8, 44},  // only the index's low byte has room
  };
  for (const Case& c : cases) {
    const std::vector<Rgb> palette = Palette(c.colours);
    // Width 7: no row is a whole number of 4-byte words at 1, 4 or 8 bits.
    UniqueFrame frame = MakeIndexedFrame(7, 5, c.bits, palette, [&](int x, int y) { return (x * 5 + y * 3) % c.colours; });
    const auto job = Job({frame.get(), frame.get()}, {1, 2}, c.transparent);
    const Bytes table = TableBytes(palette, 1 << c.tableBits);
    for (const WriterCase& writer : kWriters) {
      SCOPED_TRACE(std::string(writer.name) + ", " + std::to_string(c.bits) + " bits, " + std::to_string(c.colours) +
                   " colours, transparent " + std::to_string(c.transparent));
      const std::string path = Path("sizes.gif");
      ASSERT_EQ(writer.write(job.get(), path.c_str(), nullptr), kGifWriteOk);
      GifReader gif(ReadFileBytes(path));
      ExpectHeader(&gif, 7, 5, writer.globalTable ? 0xF0 | (c.tableBits - 1) : 0x00, writer.globalTable ? table : Bytes{}, true);
      FrameExpectation expected{1, 7, 5, writer.globalTable ? 0x00 : 0x80 | (c.tableBits - 1), writer.globalTable ? Bytes{} : table,
                                c.codeSize, Indices(frame.get())};
      expected.controlPacked = c.transparent >= 0 ? 0x09 : 0x08;
      expected.transparentByte = c.transparentByte;
      ExpectFrame(&gif, expected);
      expected.delay = 2;
      ExpectFrame(&gif, expected);
      EXPECT_EQ(gif.Byte(), 0x3B);
    }
  }
}

TEST(GifWriterTest, LocalTablesFollowEachFramesOwnColourCount) {
  const std::vector<Rgb> small = Palette(3), large = Palette(40);
  UniqueFrame first = MakeIndexedFrame(9, 4, 8, small, [](int x, int) { return x % 3; });
  UniqueFrame second = MakeIndexedFrame(9, 4, 8, large, [](int x, int y) { return (x * 4 + y) % 40; });
  const auto job = Job({first.get(), second.get()}, {5, 6});
  const std::string path = Path("local.gif");
  ASSERT_EQ(WriteGifWithLocalTables(job.get(), path.c_str(), nullptr), kGifWriteOk);
  GifReader gif(ReadFileBytes(path));
  ExpectHeader(&gif, 9, 4, 0x00, {}, true);
  ExpectFrame(&gif, {5, 9, 4, 0x81, TableBytes(small, 4), 2, Indices(first.get())});
  ExpectFrame(&gif, {6, 9, 4, 0x85, TableBytes(large, 64), 6, Indices(second.get())});
  EXPECT_EQ(gif.Byte(), 0x3B);
}

TEST(GifWriterTest, LowDepthFramesAndOddWidthsRoundTrip) {
  std::mt19937 random(5);
  for (int bits : {1, 4, 8}) {
    const int colours = 1 << bits;
    for (int width : {1, 2, 3, 5, 8, 9, 15, 31, 33}) {
      const int height = 1 + width % 4;
      std::uniform_int_distribution<int> pick(0, colours - 1);
      std::vector<UniqueFrame> frames;
      std::vector<HGLOBAL> images;
      for (int f = 0; f < 3; ++f) {
        frames.push_back(MakeIndexedFrame(width, height, bits, Palette(colours), [&](int, int) { return pick(random); }));
        images.push_back(frames.back().get());
      }
      const auto job = Job(images, {1, 2, 3});
      for (const WriterCase& writer : kWriters) {
        SCOPED_TRACE(std::string(writer.name) + ", " + std::to_string(bits) + " bits, width " + std::to_string(width));
        const std::string path = Path("depth.gif");
        ASSERT_EQ(writer.write(job.get(), path.c_str(), nullptr), kGifWriteOk);
        GifReader gif(ReadFileBytes(path));
        const int tableBits = bits == 1 ? 1 : bits;
        const Bytes table = TableBytes(Palette(colours), 1 << tableBits);
        ExpectHeader(&gif, width, height, writer.globalTable ? 0xF0 | (tableBits - 1) : 0, writer.globalTable ? table : Bytes{}, true);
        for (int f = 0; f < 3; ++f) {
          ExpectFrame(&gif, {f + 1, width, height, writer.globalTable ? 0 : 0x80 | (tableBits - 1), writer.globalTable ? Bytes{} : table,
                             bits == 1 ? 2 : bits, Indices(images[f])});
        }
        EXPECT_EQ(gif.Byte(), 0x3B);
      }
    }
  }
}

TEST(GifWriterTest, DataOfWholeSubBlocksEndsWithTheTerminatorAlone) {
  // Search for a frame whose compressed data is exactly 2 x 255 bytes.
  std::mt19937 random(17);
  std::vector<int> pixels(2000);
  for (int& p : pixels) p = std::uniform_int_distribution<int>(0, 255)(random);
  int width = 0;
  LzwEncoder lzw;
  for (int w = 200; w < 2000 && width == 0; ++w) {
    Bytes row(pixels.begin(), pixels.begin() + w);
    ASSERT_EQ(LzwStartFrame(&lzw, 8), kLzwOk);
    LzwAddPixels(&lzw, row.data(), row.size());
    ASSERT_EQ(LzwFinishFrame(&lzw), kLzwOk);
    if (lzw.length == 510) width = w;
  }
  LzwRelease(&lzw);
  ASSERT_NE(width, 0) << "no width gives 510 bytes";

  UniqueFrame frame = MakeIndexedFrame(width, 1, 8, Palette(256), [&](int x, int) { return pixels[x]; });
  const auto job = Job({frame.get()}, {7});
  const std::string path = Path("whole.gif");
  ASSERT_EQ(WriteGifWithLocalTables(job.get(), path.c_str(), nullptr), kGifWriteOk);
  GifReader gif(ReadFileBytes(path));
  ExpectHeader(&gif, width, 1, 0x00, {}, false);
  std::vector<int> lengths;
  ExpectFrame(&gif, {7, width, 1, 0x87, TableBytes(Palette(256), 256), 8, Indices(frame.get())}, &lengths);
  EXPECT_EQ(lengths, std::vector<int>({255, 255}));
  EXPECT_EQ(gif.Byte(), 0x3B);
  EXPECT_TRUE(gif.AtEnd());
}

TEST(GifWriterTest, AFrameThatFillsTheDictionaryWritesTheClearCodeAtTwelveBits) {
  for (int codeSize : {8, 2}) {
    SCOPED_TRACE("code size " + std::to_string(codeSize));
    std::mt19937 random(23);
    const int colours = 1 << codeSize;
    std::uniform_int_distribution<int> pick(0, colours - 1);
    UniqueFrame frame = MakeIndexedFrame(200, 200, 8, Palette(colours), [&](int, int) { return pick(random); });
    const auto job = Job({frame.get()}, {1});
    const std::string path = Path("full.gif");
    ASSERT_EQ(WriteGifWithLocalTables(job.get(), path.c_str(), nullptr), kGifWriteOk);
    GifReader gif(ReadFileBytes(path));
    ExpectHeader(&gif, 200, 200, 0x00, {}, false);
    FrameExpectation expected{1, 200, 200, 0x80 | (codeSize - 1), TableBytes(Palette(colours), colours), codeSize, Indices(frame.get())};
    gif.Expect({0x21, 0xF9, 0x04, 0x08, 1, 0, 0, 0}, "graphic control extension");
    gif.Take(10 + 3 * colours);
    ASSERT_EQ(gif.Byte(), codeSize);
    const Bytes data = gif.SubBlocks();
    EXPECT_EQ(DecodeLzw(data, codeSize, 40000), expected.indices);

    // The codes from the start: the clear, then one code for each of the 4095 - (2^K + 2)
    // strings entered, one more code, and the clear again: at 12 bits, the code after it
    // at K + 1 bits.
    const int clearCode = 1 << codeSize;
    const int codesBeforeClear = 4095 - (clearCode + 2) + 1;
    std::size_t bit = codeSize + 1;  // past the first clear
    for (int j = 0; j < codesBeforeClear; ++j) {
      bit += std::max(codeSize + 1, static_cast<int>(std::bit_width(static_cast<unsigned>(std::min(clearCode + 1 + j, 4094)))));
    }
    auto codeAt = [&](std::size_t at, int width) {
      int code = 0;
      for (int k = 0; k < width; ++k) code |= ((data[(at + k) / 8] >> ((at + k) % 8)) & 1) << k;
      return code;
    };
    EXPECT_EQ(codeAt(bit, 12), clearCode);
    EXPECT_LT(codeAt(bit + 12, codeSize + 1), clearCode) << "the first code after the clear is a pixel";
  }
}

TEST(GifWriterTest, IndicesBeyondTheColourCountStayInsideTheCodeSize) {
  // The caller's fault: 4 colours (code size 2) but pixels up to 255.
  UniqueFrame frame = MakeIndexedFrame(37, 11, 8, Palette(4), [](int x, int y) { return (x * 29 + y * 7) % 256; });
  const auto job = Job({frame.get()}, {1});
  const std::string path = Path("beyond.gif");
  ASSERT_EQ(WriteGifWithLocalTables(job.get(), path.c_str(), nullptr), kGifWriteOk);
  std::vector<int> masked = Indices(frame.get());
  for (int& index : masked) index &= 3;
  GifReader gif(ReadFileBytes(path));
  ExpectHeader(&gif, 37, 11, 0x00, {}, false);
  ExpectFrame(&gif, {1, 37, 11, 0x81, TableBytes(Palette(4), 4), 2, masked});
}

TEST(GifWriterTest, FrameFaults) {
  const std::vector<Rgb> palette = Palette(256);
  auto frame8 = [&](int width, int height) { return MakeIndexedFrame(width, height, 8, palette, [](int x, int) { return x % 256; }); };
  UniqueFrame good = frame8(6, 4);
  UniqueFrame wider = frame8(7, 4), taller = frame8(6, 5);
  UniqueFrame fourBit = MakeIndexedFrame(6, 4, 4, Palette(16), [](int x, int) { return x; });
  UniqueFrame trueColour = MakeFlatFrame24(6, 4, Rgb{1, 2, 3});
  // 8 bits, 2 colours: with a global table its rows would lie after the first frame's
  // 256 entries, beyond its block.
  UniqueFrame shortTable = MakeIndexedFrame(6, 4, 8, Palette(2), [](int x, int) { return x % 2; });
  // A header announcing more rows than its block holds fails the frame check.
  UniqueFrame broken = frame8(6, 4);
  {
    FrameLock lock(broken.get());
    lock.header()->biHeight = 400;
  }

  struct Case {
    const char* name;
    std::vector<HGLOBAL> images;
    int globalResult, localResult;
    bool fileMade;
    int framesWritten;
  } cases[] = {
      {"no frames", {}, kGifWriteBadFrame, kGifWriteBadFrame, false, 0},
      {"first frame true colour", {trueColour.get(), good.get()}, kGifWriteBadFrame, kGifWriteBadFrame, true, 0},
      {"first frame broken", {broken.get(), good.get()}, kGifWriteBadFrame, kGifWriteBadFrame, true, 0},
      {"first frame missing", {nullptr, good.get()}, kGifWriteNoMemory, kGifWriteNoMemory, true, 0},
      {"second frame wider", {good.get(), wider.get()}, kGifWriteFrameMismatch, kGifWriteFrameMismatch, true, 1},
      {"second frame taller", {good.get(), taller.get()}, kGifWriteFrameMismatch, kGifWriteFrameMismatch, true, 1},
      {"second frame 4 bits", {good.get(), fourBit.get()}, kGifWriteFrameMismatch, kGifWriteFrameMismatch, true, 1},
      {"second frame true colour", {good.get(), trueColour.get()}, kGifWriteFrameMismatch, kGifWriteFrameMismatch, true, 1},
      {"third frame broken", {good.get(), good.get(), broken.get()}, kGifWriteFrameMismatch, kGifWriteFrameMismatch, true, 2},
      {"second frame missing", {good.get(), nullptr}, kGifWriteNoMemory, kGifWriteNoMemory, true, 1},
      {"second frame with a shorter table", {good.get(), shortTable.get()}, kGifWriteFrameMismatch, kGifWriteOk, true, 1},
  };
  for (const Case& c : cases) {
    for (const WriterCase& writer : kWriters) {
      SCOPED_TRACE(std::string(c.name) + ", " + writer.name);
      const std::string path = Path("fault.gif");
      const auto job = Job(c.images, {});
      const int expected = writer.globalTable ? c.globalResult : c.localResult;
      EXPECT_EQ(writer.write(job.get(), path.c_str(), nullptr), expected);
      EXPECT_EQ(std::filesystem::exists(path), c.fileMade);
      if (expected == kGifWriteOk || c.framesWritten == 0) continue;
      // The file written so far stays: the header and the frames before the faulty one.
      GifReader gif(ReadFileBytes(path));
      ExpectHeader(&gif, 6, 4, writer.globalTable ? 0xF7 : 0x00, writer.globalTable ? TableBytes(palette, 256) : Bytes{}, true);
      for (int f = 0; f < c.framesWritten; ++f) {
        ExpectFrame(&gif, {0, 6, 4, writer.globalTable ? 0 : 0x87, writer.globalTable ? Bytes{} : TableBytes(palette, 256), 8, Indices(good.get())});
      }
      EXPECT_TRUE(gif.AtEnd());
    }
  }

  auto tooMany = Job({good.get()}, {});
  tooMany->frameCount = kMostGifFrames + 1;
  const std::string path = Path("many.gif");
  EXPECT_EQ(WriteGifWithGlobalTable(tooMany.get(), path.c_str(), nullptr), kGifWriteBadFrame);
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(GifWriterTest, FileFaults) {
  UniqueFrame frame = MakeIndexedFrame(4, 4, 8, Palette(4), [](int x, int) { return x; });
  const auto job = Job({frame.get()}, {1});
  EXPECT_EQ(WriteGifWithGlobalTable(job.get(), nullptr, nullptr), kGifWriteFileError);
  EXPECT_EQ(WriteGifWithLocalTables(job.get(), TempPath("no such folder/x.gif").c_str(), nullptr), kGifWriteFileError);
#ifndef _WIN32
  // Every write to /dev/full fails once the buffered bytes are stored.
  EXPECT_EQ(WriteGifWithLocalTables(job.get(), "/dev/full", nullptr), kGifWriteFileError);
#endif
}

namespace {
struct ProgressLog {
  std::vector<int> percents;
  int cancelAt = -1;  // the percentage whose report presses Cancel
};

void LogProgress(void* context, int percent) {
  auto* log = static_cast<ProgressLog*>(context);
  log->percents.push_back(percent);
  if (percent == log->cancelAt) CancelRequested = 1;
}
}  // namespace

TEST(GifWriterTest, ProgressBeforeEachFrameAndCancel) {
  const std::vector<Rgb> palette = Palette(16);
  UniqueFrame frame = MakeIndexedFrame(5, 3, 8, palette, [](int x, int y) { return x + y; });
  for (const WriterCase& writer : kWriters) {
    SCOPED_TRACE(writer.name);
    ProgressLog log;
    const ProgressSink sink{nullptr, LogProgress, &log};
    const std::string path = Path("progress.gif");

    const auto three = Job({frame.get(), frame.get(), frame.get()}, {});
    EXPECT_EQ(writer.write(three.get(), path.c_str(), &sink), kGifWriteOk);
    EXPECT_EQ(log.percents, std::vector<int>({0, 33, 66}));

    // Cancel pressed while frame 2 of 4 is reported: frames 0 and 1 are in the file.
    log = ProgressLog{{}, 50};
    const auto four = Job({frame.get(), frame.get(), frame.get(), frame.get()}, {});
    EXPECT_EQ(writer.write(four.get(), path.c_str(), &sink), kGifWriteCancelled);
    EXPECT_EQ(log.percents, std::vector<int>({0, 25, 50}));
    EXPECT_EQ(CancelRequested.load(), 0) << "the writer clears the flag it acted on";
    GifReader gif(ReadFileBytes(path));
    ExpectHeader(&gif, 5, 3, writer.globalTable ? 0xF3 : 0x00, writer.globalTable ? TableBytes(palette, 16) : Bytes{}, true);
    for (int f = 0; f < 2; ++f) {
      ExpectFrame(&gif, {0, 5, 3, writer.globalTable ? 0 : 0x83, writer.globalTable ? Bytes{} : TableBytes(palette, 16), 4, Indices(frame.get())});
    }
    EXPECT_TRUE(gif.AtEnd());

    // Cancelled at the first frame: nothing after the header.
    log = ProgressLog{{}, 0};
    EXPECT_EQ(writer.write(four.get(), path.c_str(), &sink), kGifWriteCancelled);
    EXPECT_EQ(log.percents, std::vector<int>({0}));

    // Without a sink there is no progress and no cancel, whatever the flag says.
    CancelRequested = 1;
    EXPECT_EQ(writer.write(four.get(), path.c_str(), nullptr), kGifWriteOk);
    CancelRequested = 0;
  }
}
