// GIFs made by other encoders (ffmpeg, ImageMagick, giflib's own encoder) read
// with ReadGifFile to exactly the first image that giflib decodes from them.
#include <gif_lib.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "capture/frame_image.h"
#include "gif/gif_reader.h"
#include "tests/support/test_frames.h"

namespace {

struct FirstImage {
  int width = 0;
  int height = 0;
  bool interlaced = false;
  bool localTable = false;
  std::vector<int> indices;  // picture order, top row first
  std::vector<Rgb> table;
};

// The first image as giflib's DGifSlurp gives it (it undoes interlacing).
bool DecodeWithGiflib(const std::string& path, FirstImage* image) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (!gif) return false;
  const bool ok = DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0;
  if (ok) {
    const SavedImage& first = gif->SavedImages[0];
    image->width = first.ImageDesc.Width;
    image->height = first.ImageDesc.Height;
    image->interlaced = first.ImageDesc.Interlace;
    image->localTable = first.ImageDesc.ColorMap != nullptr;
    image->indices.assign(first.RasterBits, first.RasterBits + image->width * image->height);
    const ColorMapObject* map = first.ImageDesc.ColorMap ? first.ImageDesc.ColorMap : gif->SColorMap;
    for (int i = 0; map && i < map->ColorCount; ++i) {
      image->table.push_back(Rgb{map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue});
    }
  }
  DGifCloseFile(gif, &error);
  return ok;
}

bool ReadWithReader(const std::string& path, FirstImage* image) {
  HGLOBAL frame = nullptr;
  if (ReadGifFile(path.c_str(), &frame) != kGifReadOk) return false;
  UniqueFrame owned(frame);
  FrameLock lock(frame);
  if (!lock.ok() || lock.layout().bitCount != 8) return false;
  image->width = lock.width();
  image->height = lock.height();
  for (int y = 0; y < lock.height(); ++y) {
    const BYTE* row = lock.Row(lock.height() - 1 - y);
    image->indices.insert(image->indices.end(), row, row + lock.width());
  }
  image->table = ColourTable(frame);
  return true;
}

// Reads the file both ways and compares; giflib's view is handed back for checks of
// what the file holds.
FirstImage ExpectSameAsGiflib(const std::string& path) {
  FirstImage expected, actual;
  EXPECT_TRUE(DecodeWithGiflib(path, &expected)) << path;
  EXPECT_TRUE(ReadWithReader(path, &actual)) << path;
  EXPECT_EQ(actual.width, expected.width) << path;
  EXPECT_EQ(actual.height, expected.height) << path;
  EXPECT_EQ(actual.table, expected.table) << path;
  EXPECT_TRUE(actual.indices == expected.indices) << path;
  return expected;
}

bool HaveTool(const char* name) { return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0; }

bool RunQuietly(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

TEST(GifReaderInteropTest, FfmpegGifs) {
  if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
  // Sources with a duration: palettegen waits for the end of its input.
  const std::string still = TempPath("ffmpeg-still.gif");
  ASSERT_TRUE(RunQuietly("ffmpeg -v error -y -f lavfi -i testsrc=size=64x48:rate=1:duration=1 -vf "
                  "\"split[a][b];[a]palettegen=max_colors=64[p];[b][p]paletteuse\" " + still));
  ExpectSameAsGiflib(still);

  // Later frames carry their own palettes and smaller rectangles; the first image counts.
  const std::string animated = TempPath("ffmpeg-animated.gif");
  ASSERT_TRUE(RunQuietly("ffmpeg -v error -y -f lavfi -i testsrc2=size=160x90:rate=10:duration=0.5 -vf "
                  "\"split[a][b];[a]palettegen=stats_mode=single[p];[b][p]paletteuse=new=1\" " + animated));
  const FirstImage first = ExpectSameAsGiflib(animated);
  EXPECT_EQ(first.width, 160);
}

TEST(GifReaderInteropTest, ImageMagickGifs) {
  if (!HaveTool("convert")) GTEST_SKIP() << "ImageMagick's convert is not installed";
  const std::string interlaced = TempPath("im-interlaced.gif");
  ASSERT_TRUE(RunQuietly("convert -size 41x29 gradient:red-blue -colors 30 -interlace GIF " + interlaced));
  EXPECT_TRUE(ExpectSameAsGiflib(interlaced).interlaced);

  const std::string twoColours = TempPath("im-two-colours.gif");
  ASSERT_TRUE(RunQuietly("convert -size 33x17 pattern:checkerboard -colors 2 " + twoColours));
  EXPECT_EQ(ExpectSameAsGiflib(twoColours).table.size(), 2u);

  // Detailed enough to fill the code table many times over.
  const std::string detailed = TempPath("im-plasma.gif");
  ASSERT_TRUE(RunQuietly("convert -seed 3 -size 200x150 plasma:fractal -colors 250 " + detailed));
  ExpectSameAsGiflib(detailed);

  const std::string old = TempPath("im-87a.gif");
  ASSERT_TRUE(RunQuietly("convert -size 20x20 xc:red -fill blue -draw \"circle 10,10 5,5\" GIF87:" + old));
  ExpectSameAsGiflib(old);

  const std::string animated = TempPath("im-animated.gif");
  ASSERT_TRUE(RunQuietly("convert -delay 10 -size 30x20 xc:yellow \\( -size 12x9 gradient:green-blue \\) -colors 20 " +
                  animated));
  EXPECT_EQ(ExpectSameAsGiflib(animated).width, 30);
}

// giflib's encoder writes what the other two do not: a first image with only a local
// table (no global one), interlaced, smaller than the screen, with a second image behind it.
TEST(GifReaderInteropTest, GiflibLocalTablesOnly) {
  const std::string path = TempPath("giflib-local.gif");
  const int width = 23, height = 11;
  int error = 0;
  GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
  ASSERT_NE(gif, nullptr);
  GifColorType colours[16];
  for (int i = 0; i < 16; ++i) colours[i] = GifColorType{static_cast<GifByteType>(16 * i), static_cast<GifByteType>(255 - 9 * i), static_cast<GifByteType>(i * i)};
  ColorMapObject* first = GifMakeMapObject(16, colours);
  ColorMapObject* second = GifMakeMapObject(4, colours + 5);
  bool ok = EGifPutScreenDesc(gif, 40, 30, 8, 0, nullptr) == GIF_OK &&
            EGifPutImageDesc(gif, 3, 2, width, height, true, first) == GIF_OK;
  // An interlaced image is handed to giflib in pass order.
  const int passes[4][2] = {{0, 8}, {4, 8}, {2, 4}, {1, 2}};
  for (const auto& [start, step] : passes) {
    for (int y = start; ok && y < height; y += step) {
      GifPixelType line[width];
      for (int x = 0; x < width; ++x) line[x] = static_cast<GifPixelType>((x * 5 + y * 3) % 16);
      ok = EGifPutLine(gif, line, width) == GIF_OK;
    }
  }
  ok = ok && EGifPutImageDesc(gif, 0, 0, 40, 30, false, second) == GIF_OK;
  for (int y = 0; ok && y < 30; ++y) {
    GifPixelType line[40] = {};
    ok = EGifPutLine(gif, line, 40) == GIF_OK;
  }
  GifFreeMapObject(first);
  GifFreeMapObject(second);
  ASSERT_EQ(EGifCloseFile(gif, &error), GIF_OK);
  ASSERT_TRUE(ok);

  const FirstImage image = ExpectSameAsGiflib(path);
  EXPECT_TRUE(image.localTable);
  EXPECT_TRUE(image.interlaced);
  EXPECT_EQ(image.width, width);
  EXPECT_EQ(image.table.size(), 16u);
}

}  // namespace
