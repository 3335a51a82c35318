#include "capture/jpeg_writer.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <jerror.h>

#ifndef _WIN32
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

#include "capture/frame_image.h"
#include "tests/support/test_frames.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Smooth ramps, hard edges, saturated patches and noise, so the colour conversion,
// the DCT's clamping and most Huffman codes are exercised.
Rgb TestPicture(int x, int y) {
  std::uint32_t h = static_cast<std::uint32_t>(x) * 73856093u ^ static_cast<std::uint32_t>(y) * 19349663u;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  if ((x / 16 + y / 16) % 5 == 0) return Rgb{255, 255, static_cast<std::uint8_t>(h)};
  if ((x / 16 + y / 16) % 7 == 1) return Rgb{0, static_cast<std::uint8_t>(h >> 8), 0};
  return Rgb{static_cast<std::uint8_t>(x * 5 + (h & 31)), static_cast<std::uint8_t>(y * 3 ^ ((h >> 8) & 63)),
             static_cast<std::uint8_t>(h >> 16)};
}

void WritePpm(const std::string& path, int width, int height, Rgb (*colour)(int, int)) {
  const std::string header = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
  Bytes bytes(header.begin(), header.end());
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Rgb c = colour(x, y);
      bytes.insert(bytes.end(), {c.red, c.green, c.blue});
    }
  }
  WriteFileBytes(path, bytes);
}

#ifdef _WIN32
// The build hands the tool's Unix path; under Wine the Unix root is drive Z:.
std::string WindowsPath(std::string path) {
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

// Runs a program and waits for it; its exit status, or -1 when it cannot be started.
int RunProgram(const std::vector<std::string>& arguments) {
  std::string commandLine;
  for (const std::string& argument : arguments) {
    if (!commandLine.empty()) commandLine += ' ';
    commandLine += '"' + argument + '"';
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                      &startup, &process)) {
    return -1;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 1;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(status);
}
#else
std::string WindowsPath(std::string path) { return path; }

int RunProgram(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t child;
  if (posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}
#endif

// libjpeg-turbo's own encoder with the parameters the writer promises, on the same
// picture given as RGB (a PPM: a BMP would put its density into the JFIF header).
Bytes CjpegBytes(int width, int height, int quality) {
  const std::string ppm = TempPath("cjpeg-in.ppm");
  const std::string jpeg = TempPath("cjpeg-out.jpg");
  WritePpm(ppm, width, height, TestPicture);
  std::remove(jpeg.c_str());
  const int status = RunProgram({WindowsPath(FRIMBOLA_CJPEG), "-quality", std::to_string(quality), "-dct", "fast",
                                 "-sample", "2x2,1x1,1x1", "-outfile", jpeg, ppm});
  EXPECT_EQ(status, 0) << "cjpeg failed: " << FRIMBOLA_CJPEG;
  return ReadFileBytes(jpeg);
}

// WriteJpegFrame into a fresh file; the file's bytes, or nothing when the file cannot be made.
Bytes WriterBytes(HGLOBAL frame, int quality, int* result) {
  const std::string path = TempPath("writer-out.jpg");
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    ADD_FAILURE() << "cannot create " << path;
    return {};
  }
  *result = WriteJpegFrame(file, frame, quality);
  return ReadFileBytes(path);
}

Bytes WithTrailer(Bytes bytes) {
  bytes.insert(bytes.end(), {'c', '-', 'Q', 'Z'});
  return bytes;
}

// True when the block has no lock left on it (GlobalUnlock reports the count reaching 0).
bool IsUnlocked(HGLOBAL frame) {
  if (!GlobalLock(frame)) return false;
  return GlobalUnlock(frame) == 0;
}

}  // namespace

TEST(WriteJpegFrameTest, WritesCjpegsBytesFollowedByTheTrailer) {
  const struct {
    int width, height;
  } sizes[] = {{1, 1}, {17, 9}, {33, 31}, {64, 48}, {640, 360}};
  for (const auto& size : sizes) {
    UniqueFrame frame = MakeFrame24(size.width, size.height, TestPicture);
    for (int quality : {30, 80, 100}) {
      SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height) + " quality " +
                   std::to_string(quality));
      const Bytes expected = CjpegBytes(size.width, size.height, quality);
      ASSERT_GT(expected.size(), 100u);
      int result = -1;
      const Bytes written = WriterBytes(frame.get(), quality, &result);
      EXPECT_EQ(result, kJpegWriteOk);
      EXPECT_TRUE(written == WithTrailer(expected)) << "wrote " << written.size() << " bytes, cjpeg "
                                                    << expected.size() << " + 4";
      EXPECT_TRUE(IsUnlocked(frame.get()));
    }
  }
}

TEST(WriteJpegFrameTest, IndexedFrameWritesLikeItsTrueColourExpansion) {
  std::vector<Rgb> fullTable;
  for (int i = 0; i < 256; ++i) fullTable.push_back(TestPicture(i * 7, i * 3));
  const std::vector<Rgb> shortTable = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {250, 240, 10}, {9, 99, 199}};
  const auto index = [](int x, int y) { return static_cast<int>(TestPicture(x, y).blue); };
  const struct {
    const char* name;
    int width, height;
    const std::vector<Rgb>& table;
  } cases[] = {
      {"256 colours, odd width", 37, 21, fullTable},
      // Indices past the table's 5 entries are black: nothing is read beyond the table.
      {"5 colours, indices up to 255", 33, 17, shortTable},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    UniqueFrame indexed = MakeIndexedFrame(c.width, c.height, 8, c.table, index);
    UniqueFrame expansion = MakeFrame24(c.width, c.height, [&](int x, int y) {
      const int i = index(x, y);
      return i < static_cast<int>(c.table.size()) ? c.table[i] : Rgb{0, 0, 0};
    });
    int indexedResult = -1, expansionResult = -1;
    const Bytes fromIndexed = WriterBytes(indexed.get(), 80, &indexedResult);
    const Bytes fromExpansion = WriterBytes(expansion.get(), 80, &expansionResult);
    EXPECT_EQ(indexedResult, kJpegWriteOk);
    EXPECT_EQ(expansionResult, kJpegWriteOk);
    EXPECT_GT(fromExpansion.size(), 100u);
    EXPECT_TRUE(fromIndexed == fromExpansion);
  }
}

TEST(WriteJpegFrameTest, TrueColourRowsStartAfterAnOptimisationColourTable) {
  const int width = 19, height = 13;
  UniqueFrame plain = MakeFrame24(width, height, TestPicture);
  UniqueFrame withTable(NewFrameImage(width, height, 24, 3));
  {
    FrameLock source(plain.get()), target(withTable.get());
    ASSERT_TRUE(source.ok() && target.ok());
    std::memset(target.colours(), 0xAB, 3 * sizeof(RGBQUAD));
    std::memcpy(target.pixels(), source.pixels(), source.layout().imageBytes);
  }
  int plainResult = -1, tableResult = -1;
  const Bytes fromPlain = WriterBytes(plain.get(), 80, &plainResult);
  const Bytes fromTable = WriterBytes(withTable.get(), 80, &tableResult);
  EXPECT_EQ(tableResult, kJpegWriteOk);
  EXPECT_TRUE(fromTable == fromPlain);
}

TEST(WriteJpegFrameTest, RefusedFramesWriteNothingAndCloseTheFile) {
  UniqueFrame frame32(NewFrameImage(16, 8, 32, 0));
  UniqueFrame frame4 = MakeIndexedFrame(16, 8, 4, {{0, 0, 0}, {255, 255, 255}}, [](int x, int) { return x & 1; });
  UniqueFrame tooShort(NewFrameImage(16, 8, 24, 0));
  {
    FrameLock lock(tooShort.get());
    lock.header()->biHeight = 9;  // one row more than the block holds
  }
  const struct {
    const char* name;
    HGLOBAL frame;
    int result;
  } cases[] = {
      {"32 bits", frame32.get(), kJpegWriteUnsupportedFrame},
      {"4 bits", frame4.get(), kJpegWriteUnsupportedFrame},
      {"header larger than its block", tooShort.get(), kJpegWriteUnsupportedFrame},
      {"no frame", nullptr, kJpegWriteLockFailed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = TempPath("refused.jpg");
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    // A byte left in the stream's buffer reaches the file only when the stream is closed.
    std::fputc('x', file);
    EXPECT_EQ(WriteJpegFrame(file, c.frame, 80), c.result);
    EXPECT_EQ(ReadFileBytes(path), Bytes{'x'});
    if (c.frame) {
      EXPECT_TRUE(IsUnlocked(c.frame));
    }
  }
}

TEST(WriteJpegFrameTest, WriteFailuresAreReported) {
  // 1x1 fits the first buffer, so its bytes fail at the final write and flush; the
  // 640x360 picture fails when the first full buffer is written.
  UniqueFrame small = MakeFrame24(1, 1, TestPicture);
  UniqueFrame large = MakeFrame24(640, 360, TestPicture);
  const std::string readOnlyPath = TempPath("read-only.jpg");
  WriteFileBytes(readOnlyPath, {'o', 'l', 'd'});

  struct Target {
    const char* name;
    const char* path;
    const char* mode;
  };
  std::vector<Target> targets = {{"read-only stream", readOnlyPath.c_str(), "rb"}};
#ifndef _WIN32
  // Wine has no full device; the read-only stream covers both builds.
  targets.push_back({"full device", "/dev/full", "wb"});
#endif
  for (const Target& target : targets) {
    for (HGLOBAL frame : {small.get(), large.get()}) {
      SCOPED_TRACE(std::string(target.name) + ", " + std::to_string(FrameWidth(frame)) + " wide");
      std::FILE* file = std::fopen(target.path, target.mode);
      ASSERT_NE(file, nullptr);
      EXPECT_EQ(WriteJpegFrame(file, frame, 80), JERR_FILE_WRITE);
      EXPECT_TRUE(IsUnlocked(frame));
    }
  }
  EXPECT_EQ(ReadFileBytes(readOnlyPath), (Bytes{'o', 'l', 'd'}));
}
