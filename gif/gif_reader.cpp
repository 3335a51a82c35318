// Placeholder until this module is written: every operation reports failure.
#include "gif/gif_reader.h"

int ReadGifFile(const char*, HGLOBAL* image) {
  *image = nullptr;
  return kGifReadFileError;
}
int ReadGifImage(const BYTE*, std::size_t, HGLOBAL* image) {
  *image = nullptr;
  return kGifReadFileError;
}
HGLOBAL ReadWholeFile(const char*, std::size_t*) { return nullptr; }
