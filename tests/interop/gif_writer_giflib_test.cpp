// Every GIF the writers make, read back by giflib: the same indices, palettes, delays,
// disposal, transparency and loop as went in.
#include <gif_lib.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gif/gif_writer.h"
#include "tests/support/test_frames.h"

namespace {

using Writer = int (*)(const AnimeGifInfo*, const char*, const ProgressSink*);

std::vector<Rgb> RandomPalette(std::mt19937* random, int colours) {
  std::uniform_int_distribution<int> channel(0, 255);
  std::vector<Rgb> palette;
  for (int i = 0; i < colours; ++i) {
    palette.push_back(Rgb{static_cast<std::uint8_t>(channel(*random)), static_cast<std::uint8_t>(channel(*random)),
                          static_cast<std::uint8_t>(channel(*random))});
  }
  return palette;
}

// Video-like content: flat bands that move from frame to frame, with a noisy patch.
UniqueFrame MakeFrame(std::mt19937* random, int width, int height, int bits, const std::vector<Rgb>& palette, int frame) {
  const int colours = static_cast<int>(palette.size());
  std::uniform_int_distribution<int> pick(0, colours - 1);
  return MakeIndexedFrame(width, height, bits, palette, [&](int x, int y) {
    if (x > width / 2 && y > height / 2) return pick(*random);
    return ((x + 3 * frame) / 9 + y / 7) % colours;
  });
}

struct GifFile {
  GifFileType* gif = nullptr;
  explicit GifFile(const std::string& path) {
    int error = 0;
    gif = DGifOpenFileName(path.c_str(), &error);
  }
  ~GifFile() {
    int error = 0;
    if (gif) DGifCloseFile(gif, &error);
  }
};

// The table holds 2^T entries: T is the code size that covers the colours and the
// transparent index, or 1 for two colours.
int TableBits(int colours, int transparent) {
  const int indices = transparent < colours ? colours : transparent + 1;
  int codeSize = 2;
  while (codeSize < 8 && (1 << codeSize) < indices) ++codeSize;
  return codeSize == 2 && colours == 2 ? 1 : codeSize;
}

void ExpectColourMap(const ColorMapObject* map, const std::vector<Rgb>& palette, int transparent, const std::string& what) {
  ASSERT_NE(map, nullptr) << what;
  EXPECT_EQ(map->ColorCount, 1 << TableBits(static_cast<int>(palette.size()), transparent)) << what;
  for (int i = 0; i < map->ColorCount; ++i) {
    const Rgb expected = i < static_cast<int>(palette.size()) ? palette[i] : Rgb{0, 0, 0};
    const GifColorType got = map->Colors[i];
    EXPECT_EQ((Rgb{got.Red, got.Green, got.Blue}), expected) << what << ", entry " << i;
  }
}

const ExtensionBlock* FindExtension(const SavedImage& image, int function, const char* start) {
  for (int i = 0; i < image.ExtensionBlockCount; ++i) {
    const ExtensionBlock& block = image.ExtensionBlocks[i];
    if (block.Function == function && block.ByteCount >= static_cast<int>(std::strlen(start)) &&
        std::memcmp(block.Bytes, start, std::strlen(start)) == 0) {
      return &block;
    }
  }
  return nullptr;
}

struct Case {
  int width, height, bits, frames, transparent;
};

void CheckWriter(Writer write, bool globalTable, const Case& c, std::mt19937* random) {
  SCOPED_TRACE(std::string(globalTable ? "global" : "local") + " table, " + std::to_string(c.width) + "x" +
               std::to_string(c.height) + ", " + std::to_string(c.bits) + " bits, " + std::to_string(c.frames) + " frames");
  // Palettes of every size the depth allows; a global table serves all frames.
  std::uniform_int_distribution<int> colourCount(c.bits == 1 ? 1 : 2, 1 << c.bits);
  const std::vector<Rgb> shared = RandomPalette(random, colourCount(*random));
  std::vector<std::vector<Rgb>> palettes;
  std::vector<UniqueFrame> frames;
  auto job = std::make_unique<AnimeGifInfo>();
  std::memset(job.get(), 0, sizeof *job);
  job->transparentIndex = c.transparent;
  job->frameCount = c.frames;
  for (int f = 0; f < c.frames; ++f) {
    palettes.push_back(globalTable ? shared : RandomPalette(random, colourCount(*random)));
    frames.push_back(MakeFrame(random, c.width, c.height, c.bits, palettes.back(), f));
    job->frames[f].image = frames.back().get();
    job->frames[f].delay = f == 1 ? 0x10005 : 3 + 7 * f;
  }

  const std::string path = TempPath("writer-giflib.gif");
  ASSERT_EQ(write(job.get(), path.c_str(), nullptr), kGifWriteOk);
  GifFile file(path);
  ASSERT_NE(file.gif, nullptr);
  ASSERT_EQ(DGifSlurp(file.gif), GIF_OK);
  GifFileType* gif = file.gif;
  EXPECT_EQ(gif->SWidth, c.width);
  EXPECT_EQ(gif->SHeight, c.height);
  ASSERT_EQ(gif->ImageCount, c.frames);
  if (globalTable) {
    ExpectColourMap(gif->SColorMap, shared, c.transparent, "global table");
  } else {
    EXPECT_EQ(gif->SColorMap, nullptr);
  }

  const SavedImage& first = gif->SavedImages[0];
  EXPECT_NE(FindExtension(first, COMMENT_EXT_FUNC_CODE, "MII"), nullptr);
  const ExtensionBlock* loop = FindExtension(first, APPLICATION_EXT_FUNC_CODE, "NETSCAPE2.0");
  if (c.frames > 1) {
    ASSERT_NE(loop, nullptr);
    ASSERT_LT(loop + 1, first.ExtensionBlocks + first.ExtensionBlockCount);
    EXPECT_EQ(loop[1].Function, CONTINUE_EXT_FUNC_CODE);
    ASSERT_EQ(loop[1].ByteCount, 3);
    EXPECT_EQ(std::vector<int>(loop[1].Bytes, loop[1].Bytes + 3), std::vector<int>({1, 0, 0})) << "loop for ever";
  } else {
    EXPECT_EQ(loop, nullptr);
  }

  for (int f = 0; f < c.frames; ++f) {
    SCOPED_TRACE("frame " + std::to_string(f));
    const SavedImage& image = gif->SavedImages[f];
    EXPECT_EQ(image.ImageDesc.Left, 0);
    EXPECT_EQ(image.ImageDesc.Top, 0);
    EXPECT_EQ(image.ImageDesc.Width, c.width);
    EXPECT_EQ(image.ImageDesc.Height, c.height);
    EXPECT_FALSE(image.ImageDesc.Interlace);
    if (globalTable) {
      EXPECT_EQ(image.ImageDesc.ColorMap, nullptr);
    } else {
      ExpectColourMap(image.ImageDesc.ColorMap, palettes[f], c.transparent, "local table");
    }
    std::vector<int> indices, expected;
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) {
        indices.push_back(image.RasterBits[y * c.width + x]);
        expected.push_back(IndexAt(frames[f].get(), x, y));
      }
    }
    EXPECT_EQ(indices, expected);

    GraphicsControlBlock control{};
    ASSERT_EQ(DGifSavedExtensionToGCB(gif, f, &control), GIF_OK);
    EXPECT_EQ(control.DisposalMode, DISPOSE_BACKGROUND);
    EXPECT_FALSE(control.UserInputFlag);
    EXPECT_EQ(control.DelayTime, job->frames[f].delay & 0xFFFF);
    EXPECT_EQ(control.TransparentColor, c.transparent >= 0 ? c.transparent : NO_TRANSPARENT_COLOR);
  }
}

}  // namespace

TEST(GifWriterGiflibTest, GiflibReadsBackWhatWentIn) {
  std::mt19937 random(1234);
  const Case cases[] = {
      {1, 1, 8, 1, -1},     {1, 1, 1, 2, -1},   {7, 3, 1, 3, -1},     {7, 3, 4, 3, -1},    {33, 17, 8, 4, -1},
      {33, 17, 4, 2, 5},    {31, 9, 1, 5, 1},   {101, 57, 8, 12, -1}, {640, 360, 8, 4, -1}, {640, 360, 4, 2, -1},
      {640, 360, 1, 2, -1}, {63, 40, 8, 3, 7},
  };
  for (const Case& c : cases) {
    CheckWriter(WriteGifWithGlobalTable, true, c, &random);
    CheckWriter(WriteGifWithLocalTables, false, c, &random);
  }
}

TEST(GifWriterGiflibTest, AFullJobOfFrames) {
  std::mt19937 random(77);
  const Case full = {48, 27, 8, kMostGifFrames, -1};
  CheckWriter(WriteGifWithGlobalTable, true, full, &random);
  CheckWriter(WriteGifWithLocalTables, false, full, &random);
}
