// The GIF reader: the file in memory, a walk over its blocks to the first image
// descriptor, then the GIF variant of LZW straight into an 8-bit frame image.
//
// The reader's one user is the credit screen's template, but the file is
// untrusted: every byte is read through ByteAt or behind an explicit length check,
// every pixel write is bounded by the image, and sizes are computed in 64 bits.
#include "gif/gif_reader.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "capture/frame_image.h"
#include "platform/scoped.h"

namespace {

// Behind "GIF8?a" and the logical screen descriptor: the global colour table or the first block.
constexpr std::size_t kFirstBlockOffset = 13;
constexpr std::size_t kScreenPackedOffset = 10;
constexpr std::size_t kShortestFile = 10;  // files of this length or shorter are refused
constexpr std::size_t kSpareZeroBytes = 512;
constexpr std::size_t kResultSpareBytes = 16;
constexpr std::size_t kImageDescriptorBytes = 10;

constexpr BYTE kImageSeparator = 0x2C;
constexpr BYTE kExtensionIntroducer = 0x21;
constexpr BYTE kTrailer = 0x3B;

constexpr int kLzwTableSize = 4096;
constexpr int kLzwWidestCode = 12;
constexpr int kStringStackSize = 4096;

struct LzwEntry {
  std::int32_t prefix;  // -1 for a root
  BYTE first;
  BYTE last;
};

// Everything one read works with: allocated once and zero-filled, so entries of the
// string table that a stream refers to before defining them read as {prefix 0, 0, 0}
// on every platform.
struct GifReadWork {
  const BYTE* file;
  std::size_t length;
  std::size_t position;

  int tableBits;  // b: the table has 2^b entries; 0 until a table or a descriptor sets it
  bool hasColourTable;
  RGBQUAD colours[256];

  int width;
  int height;
  bool interlaced;
  int pass2Row;  // first decode-order rows of interlace passes 2, 3 and 4
  int pass3Row;
  int pass4Row;

  BYTE* pixels;  // storage row 0 of the result
  std::size_t stride;
  int column;
  int rowsDone;  // decode-order rows completed
  BYTE* row;     // the row being written

  std::size_t blockLeft;  // data bytes left in the current sub-block
  std::uint32_t bitBuffer;
  int bitCount;

  BYTE stack[kStringStackSize];
  LzwEntry table[kLzwTableSize];
};

// The file image is followed by zero bytes (ReadWholeFile's 512 spare ones): a walk
// or an image descriptor that runs off the end reads zeros there. They are emulated
// rather than stored, so a file handed over from memory needs no padding; no read
// ever reaches more than a few bytes past the end.
BYTE ByteAt(const GifReadWork& work, std::size_t at) { return at < work.length ? work.file[at] : 0; }

int WordAt(const GifReadWork& work, std::size_t at) { return ByteAt(work, at) | ByteAt(work, at + 1) << 8; }

// Reads 2^bits red, green, blue triples at offset `at` as colour-table entries.
// A table must lie wholly inside the file: false when it runs past the end.
bool ReadColourTable(GifReadWork* work, std::size_t at, int bits) {
  const std::size_t entries = std::size_t{1} << bits;
  if (at > work->length || work->length - at < 3 * entries) return false;
  const BYTE* triple = work->file + at;
  for (std::size_t i = 0; i < entries; ++i, triple += 3) {
    work->colours[i] = RGBQUAD{triple[2], triple[1], triple[0], 0};
  }
  work->tableBits = bits;
  work->hasColourTable = true;
  return true;
}

// Walks the blocks from the read position to the first image descriptor. *found is
// false when the walk runs off the end of the file first.
int FindImageDescriptor(GifReadWork* work, bool* found) {
  *found = false;
  while (work->position < work->length) {
    const BYTE kind = work->file[work->position];
    if (kind == kImageSeparator) {
      *found = true;
      return kGifReadOk;
    }
    if (kind == kTrailer) return kGifReadTrailerBeforeImage;
    if (kind != kExtensionIntroducer) return kGifReadUnknownBlock;
    // Behind the introducer and the label: sub-blocks up to the zero-length terminator.
    // A sub-block that ends at the end of the file leaves no room for the terminator.
    std::size_t at = work->position + 2;
    for (;;) {
      const BYTE size = ByteAt(*work, at);
      ++at;
      if (size == 0) break;
      at += size;
      if (at >= work->length) return kGifReadExtensionOverrun;
    }
    work->position = at;
  }
  return kGifReadOk;
}

// Takes the image descriptor at the read position: size, interlace flag, local table.
int ReadImageDescriptor(GifReadWork* work) {
  const std::size_t at = work->position;
  work->width = WordAt(*work, at + 5);  // the left and top positions (at + 1, at + 3) are not used
  work->height = WordAt(*work, at + 7);
  // An image without a local table takes b from the screen even when there is no global table.
  work->tableBits = (ByteAt(*work, kScreenPackedOffset) & 7) + 1;
  const BYTE packed = ByteAt(*work, at + 9);
  work->interlaced = (packed & 0x40) != 0;
  work->position = at + kImageDescriptorBytes;
  if (packed & 0x80) {
    const int bits = (packed & 7) + 1;
    if (!ReadColourTable(work, work->position, bits)) return kGifReadTableOverrun;
    work->position += 3 * (std::size_t{1} << bits);
  }
  return kGifReadOk;
}

// Where decode-order row y lies in the result. Interlace passes hold picture rows
// 8k, 8k + 4, 4k + 2 and 2k + 1; the pass starts are the counts of those rows, so
// every y below the height maps to a row of the picture.
BYTE* RowAddress(const GifReadWork& work, int y) {
  int pictureRow = y;
  if (work.interlaced) {
    if (y < work.pass2Row) {
      pictureRow = 8 * y;
    } else if (y < work.pass3Row) {
      pictureRow = 8 * (y - work.pass2Row) + 4;
    } else if (y < work.pass4Row) {
      pictureRow = 4 * (y - work.pass3Row) + 2;
    } else {
      pictureRow = 2 * (y - work.pass4Row) + 1;
    }
  }
  const int storageRow = work.height - 1 - pictureRow;
  return work.pixels + work.stride * static_cast<std::size_t>(storageRow);
}

// Writes one colour index at the output position. False once the image is full:
// the last pixel of the last row has been written (or an earlier call wrote it).
bool WritePixel(GifReadWork* work, BYTE index) {
  if (work->rowsDone >= work->height) return false;
  work->row[work->column] = index;
  if (++work->column < work->width) return true;
  work->column = 0;
  if (++work->rowsDone >= work->height) return false;
  work->row = RowAddress(*work, work->rowsDone);
  return true;
}

// Writes the string of a code, first byte first. False when the image is full or
// the string is unusable: a code past the table, a string longer than the stack, a
// prefix that points to its own entry or outside the table. Entries are only ever
// added with a prefix below their own index, so every chain ends at a root; the
// checks stand guard all the same.
bool WriteString(GifReadWork* work, int code) {
  if (code < 0 || code >= kLzwTableSize) return false;
  int depth = 0;
  int entry = code;
  for (;;) {
    if (depth == kStringStackSize) return false;
    work->stack[depth++] = work->table[entry].last;
    const std::int32_t prefix = work->table[entry].prefix;
    if (prefix == -1) break;
    if (prefix == entry || prefix < 0 || prefix >= kLzwTableSize) return false;
    entry = prefix;
  }
  while (depth > 0) {
    if (!WritePixel(work, work->stack[--depth])) return false;
  }
  return true;
}

// The next data byte of the image's sub-blocks; false at the zero-length terminator
// or at the end of the file.
bool NextDataByte(GifReadWork* work, BYTE* byte) {
  if (work->blockLeft == 0) {
    if (work->position >= work->length) return false;
    const BYTE size = work->file[work->position++];
    if (size == 0) return false;
    work->blockLeft = size;
  }
  if (work->position >= work->length) return false;
  *byte = work->file[work->position++];
  --work->blockLeft;
  return true;
}

// The next code of `width` bits, least significant bit first. A code whose bits are
// not all there (the data ends inside it) is not used: the stream has broken off.
bool NextCode(GifReadWork* work, int width, int* code) {
  while (work->bitCount < width) {
    BYTE byte;
    if (!NextDataByte(work, &byte)) return false;
    work->bitBuffer |= static_cast<std::uint32_t>(byte) << work->bitCount;
    work->bitCount += 8;
  }
  *code = static_cast<int>(work->bitBuffer & ((1u << width) - 1));
  work->bitBuffer >>= width;
  work->bitCount -= width;
  return true;
}

// Decodes the image data at the read position into work->pixels. Decoding ends
// without error at the end code, at the end of the data or of the file, and when
// the image is full; what was not decoded stays colour index 0. The data
// sub-blocks behind the end are not walked: nothing after the first image is read.
int DecodeImageData(GifReadWork* work) {
  const int minimumSize = ByteAt(*work, work->position);
  ++work->position;
  if (minimumSize < 2 || minimumSize > 11) return kGifReadBadCodeSize;

  const int clearCode = 1 << minimumSize;
  const int endCode = clearCode + 1;
  // Roots of a code size above 8 bits keep the low byte of their code.
  for (int code = 0; code < clearCode; ++code) {
    work->table[code] = LzwEntry{-1, static_cast<BYTE>(code), static_cast<BYTE>(code)};
  }

  // A stream need not open with a clear code: it starts as if one had just been read.
  int width = minimumSize + 1;
  int nextCode = clearCode + 2;
  bool firstAfterClear = true;
  int previous = 0;
  int code;
  while (NextCode(work, width, &code)) {
    if (code == endCode) break;
    if (code == clearCode) {
      width = minimumSize + 1;
      nextCode = clearCode + 2;
      firstAfterClear = true;
      continue;
    }
    if (firstAfterClear) {
      if (code > clearCode) return kGifReadBadFirstCode;
      firstAfterClear = false;
      if (!WriteString(work, code)) break;
      previous = code;
      continue;
    }

    // The string is written first: when it fills the image, decoding ends before the
    // previous code is checked.
    LzwEntry added;
    if (code < nextCode) {
      if (!WriteString(work, code)) break;
      if (nextCode < kLzwTableSize && previous >= nextCode) return kGifReadUndefinedCode;
      added = LzwEntry{previous, work->table[previous].first, work->table[code].first};
    } else {
      // Any code at or above the next free one is taken as the one being defined.
      if (!WriteString(work, previous) || !WritePixel(work, work->table[previous].first)) break;
      if (nextCode < kLzwTableSize && previous >= nextCode) return kGifReadUndefinedNewCode;
      added = LzwEntry{previous, work->table[previous].first, work->table[previous].first};
    }
    // A full table adds nothing; its codes stay 12 bits wide until a clear code.
    if (nextCode < kLzwTableSize) {
      work->table[nextCode] = added;
      ++nextCode;
      if (nextCode == 1 << width && width < kLzwWidestCode) ++width;
    }
    previous = code;
  }
  return kGifReadOk;
}

// Builds the result block (header, colour table, zero rows) and decodes into it.
int DecodeIntoFrame(GifReadWork* work, HGLOBAL* image) {
  // Larger images cannot be frame images (their sides are kept in 16 signed bits
  // further on): refused like an allocation that fails.
  if (work->width > kLargestFrameSide || work->height > kLargestFrameSide) return kGifReadNoMemory;

  const int colourCount = 1 << work->tableBits;
  work->stride = RowStride(work->width, 8);
  // In 64 bits: the Windows build's size_t is 32 bits.
  const std::uint64_t imageBytes = static_cast<std::uint64_t>(work->stride) * static_cast<std::uint64_t>(work->height);
  const std::uint64_t blockBytes =
      sizeof(BITMAPINFOHEADER) + sizeof(RGBQUAD) * static_cast<std::uint64_t>(colourCount) + imageBytes + kResultSpareBytes;
  if (blockBytes > SIZE_MAX) return kGifReadNoMemory;
  OwnedGlobal result(GlobalAlloc(GHND, static_cast<SIZE_T>(blockBytes)));
  if (!result) return kGifReadNoMemory;
  {
    ScopedGlobalLock lock(result.get());
    if (!lock) return kGifReadNoMemory;
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = work->width;
    header.biHeight = work->height;
    header.biPlanes = 1;
    header.biBitCount = 8;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(imageBytes);
    header.biClrUsed = static_cast<DWORD>(colourCount);
    BYTE* data = lock.data();
    std::memcpy(data, &header, sizeof header);
    std::memcpy(data + sizeof header, work->colours, sizeof(RGBQUAD) * colourCount);

    work->pixels = data + sizeof header + sizeof(RGBQUAD) * colourCount;
    const int height = work->height;
    work->pass2Row = (height + 7) / 8;
    work->pass3Row = work->pass2Row + (height + 3) / 8;
    work->pass4Row = work->pass3Row + (height + 1) / 4;
    work->row = RowAddress(*work, 0);
    const int decoded = DecodeImageData(work);
    if (decoded != kGifReadOk) return decoded;
  }
  *image = result.release();
  return kGifReadOk;
}

}  // namespace

int ReadGifImage(const BYTE* file, std::size_t length, HGLOBAL* image) {
  *image = nullptr;
  std::unique_ptr<GifReadWork> work(new (std::nothrow) GifReadWork());
  if (!work) return kGifReadNoMemory;
  if (!file || length <= kShortestFile) return kGifReadFileError;
  work->file = file;
  work->length = length;

  if (std::memcmp(file, "GIF87a", 6) != 0 && std::memcmp(file, "GIF89a", 6) != 0) return kGifReadBadSignature;
  // Until an image descriptor says otherwise, the image is the logical screen.
  work->width = WordAt(*work, 6);
  work->height = WordAt(*work, 8);
  work->position = kFirstBlockOffset;
  const BYTE screenPacked = ByteAt(*work, kScreenPackedOffset);
  if (screenPacked & 0x80) {
    const int bits = (screenPacked & 7) + 1;
    if (!ReadColourTable(work.get(), work->position, bits)) return kGifReadTableOverrun;
    work->position += 3 * (std::size_t{1} << bits);
  }

  bool found;
  int result = FindImageDescriptor(work.get(), &found);
  if (result != kGifReadOk) return result;
  // Without an image the screen's values go on: a global table lets the decoder read
  // a code size of 0 behind the end (kGifReadBadCodeSize), no table leaves b at 0.
  if (found) {
    result = ReadImageDescriptor(work.get());
    if (result != kGifReadOk) return result;
  }

  if (work->tableBits < 1 || work->tableBits > 8) return kGifReadBadTableSize;
  if (!work->hasColourTable) return kGifReadNoColourTable;
  if (work->width == 0) return kGifReadZeroWidth;
  if (work->height == 0) return kGifReadZeroHeight;
  return DecodeIntoFrame(work.get(), image);
}

int ReadGifFile(const char* path, HGLOBAL* image) {
  *image = nullptr;
  std::size_t length = 0;
  OwnedGlobal file(ReadWholeFile(path, &length));
  if (!file || length <= kShortestFile) return kGifReadFileError;
  ScopedGlobalLock bytes(file.get());
  if (!bytes) return kGifReadNoMemory;
  return ReadGifImage(bytes.data(), length, image);
}

HGLOBAL ReadWholeFile(const char* path, std::size_t* length) {
  *length = 0;
  ScopedFile file(std::fopen(path, "rb"));
  if (!file) return nullptr;
  if (std::fseek(file.get(), 0, SEEK_END) != 0) return nullptr;
  const long size = std::ftell(file.get());
  if (size < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) return nullptr;
  const std::uint64_t blockBytes = static_cast<std::uint64_t>(size) + kSpareZeroBytes;
  if (blockBytes > SIZE_MAX) return nullptr;

  OwnedGlobal block(GlobalAlloc(GHND, static_cast<SIZE_T>(blockBytes)));
  if (!block) return nullptr;
  {
    ScopedGlobalLock data(block.get());
    if (!data) return nullptr;
    const std::size_t wanted = static_cast<std::size_t>(size);
    if (wanted > 0 && std::fread(data.data(), 1, wanted, file.get()) != wanted) return nullptr;
  }
  *length = static_cast<std::size_t>(size);
  return block.release();
}
