// Placeholder until this module is written: every operation reports failure.
#include "gif/shared_palette.h"

void StartSharedPalette(int) {}
void AddFrameToSharedPalette(HGLOBAL) {}
void SelectSharedPalette() {}
const RGBQUAD* SharedPalette(int* count) {
  static RGBQUAD none[1];
  *count = 0;
  return none;
}
