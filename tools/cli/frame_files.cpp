#include "tools/cli/frame_files.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>

#include "capture/frame_image.h"
#include "gif/gif_reader.h"
#include "gif/resize.h"
#include "platform/scoped.h"

namespace {

bool ReadWhole(const std::string& path, std::vector<BYTE>* bytes) {
  ScopedFile file(std::fopen(path.c_str(), "rb"));
  if (!file) return false;
  BYTE buffer[1 << 16];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) bytes->insert(bytes->end(), buffer, buffer + got);
  return !std::ferror(file.get());
}

std::uint32_t Read32(const BYTE* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24; }
std::uint16_t Read16(const BYTE* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

HGLOBAL LoadBmp(const std::vector<BYTE>& file, std::string* reason) {
  constexpr std::size_t kFileHeader = 14;
  if (file.size() < kFileHeader + 40) {
    *reason = "not a supported bitmap: the BMP headers are cut short";
    return nullptr;
  }
  const BYTE* info = file.data() + kFileHeader;
  const std::uint32_t infoSize = Read32(info);
  const std::int32_t width = static_cast<std::int32_t>(Read32(info + 4));
  const std::int32_t height = static_cast<std::int32_t>(Read32(info + 8));
  const std::uint16_t bits = Read16(info + 14);
  const std::uint32_t compression = Read32(info + 16);
  // The later header versions (V4, V5) add colour-space fields in front of the same rows.
  if (infoSize < 40 || infoSize > file.size() - kFileHeader || bits != 24 || compression != BI_RGB) {
    *reason = "not a supported bitmap: only uncompressed 24-bit BMP files are read";
    return nullptr;
  }
  const std::int64_t rows = height < 0 ? -static_cast<std::int64_t>(height) : height;
  if (width < 1 || width > kLargestFrameSide || rows < 1 || rows > kLargestFrameSide) {
    *reason = "not a supported bitmap: its size is out of range";
    return nullptr;
  }
  const std::size_t stride = RowStride(width, 24);
  const std::uint64_t offset = Read32(file.data() + 10);
  if (offset + static_cast<std::uint64_t>(stride) * rows > file.size()) {
    *reason = "not a supported bitmap: its pixel rows run past the end of the file";
    return nullptr;
  }
  HGLOBAL frame = NewFrameImage(width, static_cast<int>(rows), 24, 0);
  FrameLock lock(frame);
  if (!lock.ok()) {
    if (frame) GlobalFree(frame);
    *reason = "out of memory";
    return nullptr;
  }
  for (int row = 0; row < rows; ++row) {
    // A negative height stores the top row first; frames always store the bottom row first.
    const int source = height < 0 ? static_cast<int>(rows) - 1 - row : row;
    std::memcpy(lock.Row(row), file.data() + offset + stride * source, stride);
  }
  return frame;
}

struct JpegErrorExit {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void OnJpegError(j_common_ptr info) {
  auto* error = reinterpret_cast<JpegErrorExit*>(info->err);
  info->err->format_message(info, error->message);
  std::longjmp(error->jump, 1);
}

// The library's errors come back through longjmp, which skips destructors: so this
// function holds nothing in C++ owners and releases the frame by hand on that path.
HGLOBAL DecodeJpeg(const std::vector<BYTE>& file, std::string* reason) {
  jpeg_decompress_struct info;
  JpegErrorExit error;
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = OnJpegError;
  HGLOBAL volatile frame = nullptr;
  BYTE* volatile pixels = nullptr;
  if (setjmp(error.jump)) {
    jpeg_destroy_decompress(&info);
    if (pixels) GlobalUnlock(frame);
    if (frame) GlobalFree(frame);
    *reason = std::string("not a supported bitmap: ") + error.message;
    return nullptr;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_EXT_BGR;  // frame images store blue, green, red
  jpeg_start_decompress(&info);
  const int width = static_cast<int>(info.output_width), height = static_cast<int>(info.output_height);
  frame = NewFrameImage(width, height, 24, 0);
  if (!frame) {
    jpeg_destroy_decompress(&info);
    *reason = "not a supported bitmap: its size is out of range";
    return nullptr;
  }
  pixels = static_cast<BYTE*>(GlobalLock(frame)) + sizeof(BITMAPINFOHEADER);
  const std::size_t stride = RowStride(width, 24);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = pixels + stride * (height - 1 - info.output_scanline);
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  GlobalUnlock(frame);
  return frame;
}

HGLOBAL LoadGif(const std::vector<BYTE>& file, std::string* reason) {
  HGLOBAL image = nullptr;
  const int result = ReadGifImage(file.data(), file.size(), &image);
  if (result != kGifReadOk) {
    *reason = "not a supported bitmap: the GIF reader refused it (code " + std::to_string(result) + ")";
    return nullptr;
  }
  HGLOBAL frame = TemplateToFrame(image);
  if (!frame) *reason = "out of memory";
  return frame;
}

}  // namespace

HGLOBAL LoadFrameFile(const std::string& path, std::string* reason) {
  std::vector<BYTE> file;
  if (!ReadWhole(path, &file)) {
    *reason = "cannot be read";
    return nullptr;
  }
  if (file.size() >= 2 && file[0] == 'B' && file[1] == 'M') return LoadBmp(file, reason);
  if (file.size() >= 3 && file[0] == 0xFF && file[1] == 0xD8 && file[2] == 0xFF) return DecodeJpeg(file, reason);
  if (file.size() >= 6 && std::memcmp(file.data(), "GIF8", 4) == 0) return LoadGif(file, reason);
  *reason = "not a supported bitmap: expected a 24-bit BMP, JPEG or GIF file";
  return nullptr;
}
