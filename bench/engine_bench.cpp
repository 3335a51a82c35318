// Per-stage throughput of the engine on frame sets, side by side with peers run in
// the same process on the same data: giflib's encoder (EGifPutLine) against our LZW,
// and libjpeg driven as cjpeg drives it against our JPEG writer.
// Usage: engine_bench NAME:FOLDER...   (each folder holds the BMP frames of one set)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gif_lib.h>
#include <jpeglib.h>

#include "capture/frame_image.h"
#include "capture/jpeg_writer.h"
#include "gif/colour_reduction.h"
#include "gif/gif_writer.h"
#include "gif/lzw_encoder.h"
#include "gif/resize.h"
#include "gif/shared_palette.h"
#include "gif/trim.h"
#include "tools/cli/frame_files.h"

namespace {

struct FrameSet {
  std::string name;
  std::vector<HGLOBAL> frames;
  int width = 0, height = 0;
  double megapixels() const { return static_cast<double>(width) * height * frames.size() / 1e6; }
};

// The best of a few runs, in seconds: the least disturbed by the rest of the machine.
double BestSeconds(const std::function<void()>& work, int runs = 3) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

// Ours and a peer, run by turns so that both meet the same state of the machine; the best
// of each.
std::pair<double, double> BestSecondsByTurns(const std::function<void()>& ours, const std::function<void()>& peer,
                                             int runs = 7) {
  double bestOurs = 1e30, bestPeer = 1e30;
  for (int i = 0; i < runs; ++i) {
    bestOurs = std::min(bestOurs, BestSeconds(ours, 1));
    bestPeer = std::min(bestPeer, BestSeconds(peer, 1));
  }
  return {bestOurs, bestPeer};
}

void FreeAll(std::vector<HGLOBAL>* frames) {
  for (HGLOBAL frame : *frames) {
    if (frame) GlobalFree(frame);
  }
  frames->clear();
}

void PrintRow(const char* stage, double ours, const char* peer = nullptr, double theirs = 0) {
  if (peer) {
    std::printf("  %-34s %9.1f Mpx/s   %-26s %9.1f Mpx/s   ours/peer %5.2fx\n", stage, ours, peer, theirs, ours / theirs);
  } else {
    std::printf("  %-34s %9.1f Mpx/s\n", stage, ours);
  }
}

// Top-down rows of an 8-bit frame's indices, as both LZW coders take them.
std::vector<std::vector<std::uint8_t>> IndexRows(HGLOBAL frame) {
  FrameLock lock(frame);
  std::vector<std::vector<std::uint8_t>> rows;
  for (int y = 0; y < lock.height(); ++y) {
    const BYTE* row = lock.Row(lock.height() - 1 - y);
    rows.emplace_back(row, row + lock.width());
  }
  return rows;
}

int CountBytes(GifFileType* gif, const GifByteType*, int length) {
  *static_cast<std::size_t*>(gif->UserData) += static_cast<std::size_t>(length);
  return length;
}

// giflib encoding the frames (8 bits, 256-entry local tables) into memory.
std::size_t GiflibEncode(const std::vector<std::vector<std::vector<std::uint8_t>>>& frames, int width, int height) {
  std::size_t bytes = 0;
  int error = 0;
  GifFileType* gif = EGifOpen(&bytes, CountBytes, &error);
  ColorMapObject* map = GifMakeMapObject(256, nullptr);
  EGifPutScreenDesc(gif, width, height, 8, 0, nullptr);
  std::vector<GifPixelType> line(width);
  for (const auto& rows : frames) {
    EGifPutImageDesc(gif, 0, 0, width, height, false, map);
    for (const auto& row : rows) {
      std::copy(row.begin(), row.end(), line.begin());  // EGifPutLine masks the line in place
      EGifPutLine(gif, line.data(), width);
    }
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return bytes;
}

std::size_t OurLzw(const std::vector<std::vector<std::vector<std::uint8_t>>>& frames) {
  LzwEncoder lzw;
  std::size_t bytes = 0;
  for (const auto& rows : frames) {
    LzwStartFrame(&lzw, 8);
    for (const auto& row : rows) LzwAddPixels(&lzw, row.data(), row.size());
    LzwFinishFrame(&lzw);
    bytes += lzw.length;
  }
  LzwRelease(&lzw);
  return bytes;
}

// libjpeg with the settings cjpeg uses for `-quality 80 -dct fast -sample 2x2,1x1,1x1`
// on a PPM picture, writing to the null device: cjpeg's work without its process start.
void CjpegSettingsEncode(const std::vector<std::uint8_t>& rgb, int width, int height, std::FILE* out) {
  jpeg_compress_struct info;
  jpeg_error_mgr error;
  info.err = jpeg_std_error(&error);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, out);
  info.image_width = width;
  info.image_height = height;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 80, FALSE);
  info.dct_method = JDCT_IFAST;
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rgb.data() + static_cast<std::size_t>(info.next_scanline) * width * 3);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
}

std::vector<std::uint8_t> TopDownRgb(HGLOBAL frame) {
  FrameLock lock(frame);
  std::vector<std::uint8_t> rgb;
  for (int y = 0; y < lock.height(); ++y) {
    const BYTE* row = lock.Row(lock.height() - 1 - y);
    for (int x = 0; x < lock.width(); ++x) {
      rgb.push_back(row[3 * x + 2]);
      rgb.push_back(row[3 * x + 1]);
      rgb.push_back(row[3 * x]);
    }
  }
  return rgb;
}

void RunSet(const FrameSet& set) {
  const double mpx = set.megapixels();
  std::printf("\n%s: %zu frames of %dx%d (%.1f Mpx)\n", set.name.c_str(), set.frames.size(), set.width, set.height, mpx);

  std::vector<HGLOBAL> made;
  const double trim = BestSeconds([&] {
    for (HGLOBAL frame : set.frames) {
      RECT content;
      if (!FindContentRect(frame, &content)) content = RECT{8, 8, set.width - 8, set.height - 8};
      made.push_back(CropFrame(frame, &content));
    }
    FreeAll(&made);
  });
  PrintRow("trimming (content + crop)", mpx / trim);

  const double motion = BestSeconds([&] {
    RECT moving;
    for (std::size_t i = 1; i < set.frames.size(); ++i) FindMotionRect(set.frames[i - 1], set.frames[i], &moving);
  });
  PrintRow("motion rectangle", mpx / motion);

  const int bilinearWidth = set.width * 2 / 3, boxWidth = set.width / 3;
  const double bilinear = BestSeconds([&] {
    for (HGLOBAL frame : set.frames) made.push_back(ResizeFrame(frame, bilinearWidth, set.height * 2 / 3));
    FreeAll(&made);
  });
  PrintRow("resize 2/3 (bilinear)", mpx / bilinear);
  const double box = BestSeconds([&] {
    for (HGLOBAL frame : set.frames) made.push_back(ResizeFrame(frame, boxWidth, set.height / 3));
    FreeAll(&made);
  });
  PrintRow("resize 1/3 (box average)", mpx / box);

  const double reduce = BestSeconds([&] {
    for (HGLOBAL frame : set.frames) made.push_back(ReduceFrameColours(255, frame));
    FreeAll(&made);
  });
  PrintRow("colour reduction, 255 per frame", mpx / reduce);

  const double shared = BestSeconds([&] {
    StartSharedPalette(255);
    for (HGLOBAL frame : set.frames) AddFrameToSharedPalette(frame);
    SelectSharedPalette();
    int count;
    const RGBQUAD* palette = SharedPalette(&count);
    for (HGLOBAL frame : set.frames) made.push_back(MapFrameToPalette(palette, frame, count));
    FreeAll(&made);
  });
  PrintRow("shared palette 255 (count + map)", mpx / shared);

  // The indexed frames both LZW coders get.
  std::vector<std::vector<std::vector<std::uint8_t>>> indexed;
  for (HGLOBAL frame : set.frames) {
    HGLOBAL reduced = ReduceFrameColours(255, frame);
    indexed.push_back(IndexRows(reduced));
    GlobalFree(reduced);
  }
  std::size_t ourBytes = 0, giflibBytes = 0;
  const auto [ours, giflib] = BestSecondsByTurns([&] { ourBytes = OurLzw(indexed); },
                                                 [&] { giflibBytes = GiflibEncode(indexed, set.width, set.height); });
  PrintRow("LZW of 8-bit frames", mpx / ours, "giflib EGifPutLine", mpx / giflib);
  std::printf("  %-34s %9zu bytes        %-26s %9zu bytes\n", "  compressed", ourBytes, "", giflibBytes);

  std::vector<std::vector<std::uint8_t>> rgb;
  for (HGLOBAL frame : set.frames) rgb.push_back(TopDownRgb(frame));
  const auto [jpegOurs, jpegPeer] = BestSecondsByTurns(
      [&] {
        for (HGLOBAL frame : set.frames) WriteJpegFrame(std::fopen("/dev/null", "wb"), frame, 80);
      },
      [&] {
        std::FILE* out = std::fopen("/dev/null", "wb");
        for (const auto& picture : rgb) CjpegSettingsEncode(picture, set.width, set.height, out);
        std::fclose(out);
      });
  PrintRow("JPEG q80 (WriteJpegFrame)", mpx / jpegOurs, "libjpeg as cjpeg drives it", mpx / jpegPeer);
  std::printf("  %-34s %9.2f ms/frame     %-26s %9.2f ms/frame\n", "", 1e3 * jpegOurs / set.frames.size(), "",
              1e3 * jpegPeer / set.frames.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: engine_bench NAME:FOLDER...\n");
    return 2;
  }
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const std::size_t colon = arg.find(':');
    FrameSet set;
    set.name = arg.substr(0, colon);
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(arg.substr(colon + 1))) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
      std::string reason;
      HGLOBAL frame = LoadFrameFile(file.string(), &reason);
      if (!frame) {
        std::fprintf(stderr, "engine_bench: %s: %s\n", file.string().c_str(), reason.c_str());
        return 1;
      }
      set.frames.push_back(frame);
    }
    set.width = FrameLock(set.frames[0]).width();
    set.height = FrameLock(set.frames[0]).height();
    RunSet(set);
    FreeAll(&set.frames);
  }
  return 0;
}
