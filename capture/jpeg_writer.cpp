// Placeholder until this module is written: every operation reports failure.
#include "capture/jpeg_writer.h"

int WriteJpegFrame(std::FILE* file, HGLOBAL, int) {
  if (file) std::fclose(file);
  return -1;
}
