// Placeholder until this module is written: every operation reports failure.
#include "gif/resize.h"

HGLOBAL ResizeFrame(HGLOBAL, int, int) { return nullptr; }
HGLOBAL TemplateToFrame(HGLOBAL image) {
  if (image) GlobalFree(image);
  return nullptr;
}
bool ResizeTarget(int, int, int, int, int*, int*) { return false; }
