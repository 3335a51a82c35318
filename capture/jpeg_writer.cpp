#include "capture/jpeg_writer.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

#include "capture/frame_image.h"

// libjpeg reports errors by calling error_exit, which must not return. Ours longjmps
// back into CompressFrame, so every frame the jump can cross is C-style: the library
// itself, the callbacks below and CompressFrame, none holding an object with a
// destructor. The C++ side (the frame lock, the file) lives in WriteJpegFrame,
// outside the jump.

namespace {

// Bytes handed to fwrite at a time.
constexpr std::size_t kOutputBufferBytes = 4096;

// The four bytes after the end-of-image marker of every file, without a terminating zero.
constexpr char kTrailer[4] = {'c', '-', 'Q', 'Z'};

struct ErrorExit {
  jpeg_error_mgr manager;  // first, so the library's pointer is also ours
  std::jmp_buf jump;
};

struct FileDestination {
  jpeg_destination_mgr manager;  // first, as above
  std::FILE* file;
  JOCTET buffer[kOutputBufferBytes];
};

// Everything the library works on during one frame. It lives in WriteJpegFrame's frame,
// not in CompressFrame's, so nothing local to the function that calls setjmp is changed
// between the setjmp and a longjmp.
struct Compression {
  jpeg_compress_struct cinfo;
  ErrorExit error;
  FileDestination destination;
};

// Where the rows of a checked frame lie.
struct FrameRows {
  const BYTE* bottomRow;  // storage row 0
  std::size_t stride;
  int width;
  int height;
  int bitCount;            // 24 or 8
  const RGBQUAD* colours;  // the colour table of an 8-bit frame
  int colourCount;
};

void ExitToCompressFrame(j_common_ptr cinfo) {
  auto* error = reinterpret_cast<ErrorExit*>(cinfo->err);
  std::longjmp(error->jump, 1);
}

// A program without a console prints no library warnings.
void DropMessage(j_common_ptr) {}

void InitDestination(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<FileDestination*>(cinfo->dest);
  destination->manager.next_output_byte = destination->buffer;
  destination->manager.free_in_buffer = kOutputBufferBytes;
}

// Called when the buffer is full: the whole buffer goes out, whatever free_in_buffer says.
boolean EmptyDestination(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<FileDestination*>(cinfo->dest);
  if (std::fwrite(destination->buffer, 1, kOutputBufferBytes, destination->file) != kOutputBufferBytes) {
    ERREXIT(cinfo, JERR_FILE_WRITE);
  }
  destination->manager.next_output_byte = destination->buffer;
  destination->manager.free_in_buffer = kOutputBufferBytes;
  return TRUE;
}

// Called by jpeg_finish_compress after the end-of-image marker.
void TermDestination(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<FileDestination*>(cinfo->dest);
  const std::size_t rest = kOutputBufferBytes - destination->manager.free_in_buffer;
  if (rest > 0 && std::fwrite(destination->buffer, 1, rest, destination->file) != rest) {
    ERREXIT(cinfo, JERR_FILE_WRITE);
  }
  std::fflush(destination->file);
  if (std::ferror(destination->file)) ERREXIT(cinfo, JERR_FILE_WRITE);
}

// Compresses the rows into file. Returns 0, or the library's message code of the error
// that stopped it; the library's memory is released on both paths.
int CompressFrame(Compression* job, std::FILE* file, const FrameRows* rows, int quality) {
  jpeg_compress_struct* cinfo = &job->cinfo;
  cinfo->err = jpeg_std_error(&job->error.manager);
  job->error.manager.error_exit = ExitToCompressFrame;
  job->error.manager.output_message = DropMessage;
  if (setjmp(job->error.jump)) {
    const int code = job->error.manager.msg_code;
    jpeg_destroy_compress(cinfo);
    return code != 0 ? code : JERR_FILE_WRITE;  // never 0: a failure is never taken for success
  }
  jpeg_create_compress(cinfo);

  job->destination.file = file;
  job->destination.manager.init_destination = InitDestination;
  job->destination.manager.empty_output_buffer = EmptyDestination;
  job->destination.manager.term_destination = TermDestination;
  cinfo->dest = &job->destination.manager;

  cinfo->image_width = static_cast<JDIMENSION>(rows->width);
  cinfo->image_height = static_cast<JDIMENSION>(rows->height);
  cinfo->input_components = 3;
  // 24-bit rows are stored blue, green, red. libjpeg-turbo's extended colour space
  // JCS_EXT_BGR takes them as they lie, so the library reads straight from the frame
  // instead of a row swapped into a buffer; its colour conversion is the same
  // arithmetic as for RGB, and the tests check the bytes against cjpeg given RGB.
  // 8-bit rows are expanded through the colour table into one RGB row.
  cinfo->in_color_space = rows->bitCount == 24 ? JCS_EXT_BGR : JCS_RGB;
  jpeg_set_defaults(cinfo);  // YCbCr, components 1, 2, 3, JFIF 1.01, standard Huffman tables

  // The parameters every file is written with; most equal the defaults and are set
  // anyway so the list is complete here.
  cinfo->comp_info[0].h_samp_factor = 2;
  cinfo->comp_info[0].v_samp_factor = 2;
  cinfo->comp_info[1].h_samp_factor = 1;
  cinfo->comp_info[1].v_samp_factor = 1;
  cinfo->comp_info[2].h_samp_factor = 1;
  cinfo->comp_info[2].v_samp_factor = 1;
  jpeg_set_quality(cinfo, quality, FALSE);
  cinfo->dct_method = JDCT_IFAST;
  cinfo->optimize_coding = FALSE;
  cinfo->restart_interval = 0;
  cinfo->restart_in_rows = 0;
  cinfo->write_JFIF_header = TRUE;
  cinfo->JFIF_major_version = 1;
  cinfo->JFIF_minor_version = 1;
  cinfo->density_unit = 0;
  cinfo->X_density = 1;
  cinfo->Y_density = 1;
  cinfo->write_Adobe_marker = FALSE;

  jpeg_start_compress(cinfo, TRUE);

  // Rows go to the library top-down; the frame stores them bottom-up.
  if (rows->bitCount == 24) {
    // Walking the rows downwards in memory defeats the processor's prefetching (it
    // follows ascending addresses), which cost a quarter of the time; asking for the
    // row two steps ahead gives it back.
    constexpr int kPrefetchRows = 2;
    const std::size_t rowBytes = 3 * static_cast<std::size_t>(rows->width);
    for (int y = 0; y < rows->height; ++y) {
      const int storageRow = rows->height - 1 - y;
      if (storageRow >= kPrefetchRows) {
        const BYTE* ahead = rows->bottomRow + rows->stride * static_cast<std::size_t>(storageRow - kPrefetchRows);
        for (std::size_t offset = 0; offset < rowBytes; offset += 64) __builtin_prefetch(ahead + offset);
      }
      JSAMPROW row = const_cast<JSAMPROW>(rows->bottomRow + rows->stride * static_cast<std::size_t>(storageRow));
      jpeg_write_scanlines(cinfo, &row, 1);
    }
  } else {
    // Indices beyond the colour table give black, so no pixel is read outside the table.
    JSAMPLE palette[256][3] = {};
    for (int i = 0; i < rows->colourCount; ++i) {
      palette[i][0] = rows->colours[i].rgbRed;
      palette[i][1] = rows->colours[i].rgbGreen;
      palette[i][2] = rows->colours[i].rgbBlue;
    }
    // In the library's pool, so jpeg_destroy_compress frees it on every path.
    JSAMPARRAY buffer = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                     static_cast<JDIMENSION>(3 * rows->width), 1);
    for (int y = 0; y < rows->height; ++y) {
      const BYTE* indices = rows->bottomRow + rows->stride * static_cast<std::size_t>(rows->height - 1 - y);
      JSAMPLE* out = buffer[0];
      for (int x = 0; x < rows->width; ++x, out += 3) {
        const JSAMPLE* colour = palette[indices[x]];
        out[0] = colour[0];
        out[1] = colour[1];
        out[2] = colour[2];
      }
      jpeg_write_scanlines(cinfo, buffer, 1);
    }
  }

  jpeg_finish_compress(cinfo);
  jpeg_destroy_compress(cinfo);
  return 0;
}

}  // namespace

int WriteJpegFrame(std::FILE* file, HGLOBAL frame, int quality) {
  if (!file) return kJpegWriteNoFile;
  FrameLock lock(frame);  // released on return, after the file is closed
  if (!lock.header()) {
    std::fclose(file);
    return kJpegWriteLockFailed;
  }
  // FrameLock has checked the header against the block: one plane, BI_RGB, a colour
  // table of at most 256 entries, sides of at most kLargestFrameSide (below the
  // 65535 a JPEG frame header can hold). What is left to refuse is the depth.
  const FrameLayout& layout = lock.layout();
  if (!lock.ok() || (layout.bitCount != 24 && layout.bitCount != 8)) {
    std::fclose(file);
    return kJpegWriteUnsupportedFrame;
  }
  const FrameRows rows = {lock.pixels(), layout.stride, layout.width, layout.height,
                          layout.bitCount, lock.colours(), layout.colourCount};
  // The library's state and the output buffer (about 5 KB) stay on the stack: one
  // frame is compressed at a time and nothing is kept between frames.
  Compression job;
  int result = CompressFrame(&job, file, &rows, quality);

  // The trailer follows the flushed end-of-image marker. A file that loses it, or
  // whose close fails, was not written completely and is reported like a write error.
  if (result == 0 && std::fwrite(kTrailer, 1, sizeof kTrailer, file) != sizeof kTrailer) result = JERR_FILE_WRITE;
  if (std::fclose(file) != 0 && result == 0) result = JERR_FILE_WRITE;
  return result;
}
