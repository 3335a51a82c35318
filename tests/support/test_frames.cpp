#include "tests/support/test_frames.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "capture/frame_image.h"

UniqueFrame MakeFrame24(int width, int height, const std::function<Rgb(int x, int y)>& colour) {
  UniqueFrame frame(NewFrameImage(width, height, 24, 0));
  FrameLock lock(frame.get());
  for (int y = 0; y < height; ++y) {
    BYTE* row = lock.Row(height - 1 - y);
    for (int x = 0; x < width; ++x) {
      const Rgb c = colour(x, y);
      row[3 * x] = c.blue;
      row[3 * x + 1] = c.green;
      row[3 * x + 2] = c.red;
    }
  }
  return frame;
}

Rgb Noise(int x, int y, std::uint32_t seed) {
  std::uint32_t h = (static_cast<std::uint32_t>(x) * 73856093u) ^ (static_cast<std::uint32_t>(y) * 19349663u) ^ (seed * 83492791u);
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  return Rgb{static_cast<std::uint8_t>(h), static_cast<std::uint8_t>(h >> 8), static_cast<std::uint8_t>(h >> 16)};
}

UniqueFrame MakeIndexedFrame(int width, int height, int bitCount, const std::vector<Rgb>& table,
                             const std::function<int(int x, int y)>& index) {
  UniqueFrame frame(NewFrameImage(width, height, bitCount, static_cast<int>(table.size())));
  FrameLock lock(frame.get());
  for (std::size_t i = 0; i < table.size(); ++i) {
    lock.colours()[i] = RGBQUAD{table[i].blue, table[i].green, table[i].red, 0};
  }
  for (int y = 0; y < height; ++y) {
    BYTE* row = lock.Row(height - 1 - y);
    for (int x = 0; x < width; ++x) {
      const int value = index(x, y);
      switch (bitCount) {
        case 1: row[x / 8] |= static_cast<BYTE>((value & 1) << (7 - x % 8)); break;
        case 4: row[x / 2] |= static_cast<BYTE>((value & 15) << (x % 2 ? 0 : 4)); break;
        default: row[x] = static_cast<BYTE>(value); break;
      }
    }
  }
  return frame;
}

int IndexAt(HGLOBAL frame, int x, int y) {
  FrameLock lock(frame);
  if (!lock.ok()) return -1;
  const BYTE* row = lock.Row(lock.height() - 1 - y);
  switch (lock.layout().bitCount) {
    case 1: return (row[x / 8] >> (7 - x % 8)) & 1;
    case 4: return (row[x / 2] >> (x % 2 ? 0 : 4)) & 15;
    case 8: return row[x];
    default: return -1;
  }
}

Rgb PixelAt(HGLOBAL frame, int x, int y) {
  FrameLock lock(frame);
  if (!lock.ok()) return {};
  const BYTE* row = lock.Row(lock.height() - 1 - y);
  const int bits = lock.layout().bitCount;
  if (bits == 24 || bits == 32) {
    const BYTE* p = row + x * (bits / 8);
    return Rgb{p[2], p[1], p[0]};
  }
  const int index = IndexAt(frame, x, y);
  const RGBQUAD q = lock.colours()[index];
  return Rgb{q.rgbRed, q.rgbGreen, q.rgbBlue};
}

int FrameWidth(HGLOBAL frame) {
  FrameLock lock(frame);
  return lock.ok() ? lock.width() : 0;
}

int FrameHeight(HGLOBAL frame) {
  FrameLock lock(frame);
  return lock.ok() ? lock.height() : 0;
}

int FrameBitCount(HGLOBAL frame) {
  FrameLock lock(frame);
  return lock.ok() ? lock.layout().bitCount : 0;
}

std::vector<Rgb> ColourTable(HGLOBAL frame) {
  FrameLock lock(frame);
  std::vector<Rgb> table;
  if (!lock.ok()) return table;
  for (int i = 0; i < lock.layout().colourCount; ++i) {
    const RGBQUAD q = lock.colours()[i];
    table.push_back(Rgb{q.rgbRed, q.rgbGreen, q.rgbBlue});
  }
  return table;
}

bool SamePixels(HGLOBAL a, HGLOBAL b) {
  const int width = FrameWidth(a), height = FrameHeight(a);
  if (width == 0 || width != FrameWidth(b) || height != FrameHeight(b)) return false;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (!(PixelAt(a, x, y) == PixelAt(b, x, y))) return false;
    }
  }
  return true;
}

namespace {
// One folder per test process, removed when the process ends.
struct TempFolder {
  std::filesystem::path path;
  TempFolder() {
    path = std::filesystem::path(testing::TempDir()) / ("frimbola-tests-" + std::to_string(getpid()));
    std::filesystem::create_directories(path);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};
}  // namespace

std::string TempPath(const std::string& name) {
  static const TempFolder folder;
  return (folder.path / name).string();
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return bytes;
  std::uint8_t buffer[65536];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
  std::fclose(file);
  return bytes;
}

void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << path;
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}
