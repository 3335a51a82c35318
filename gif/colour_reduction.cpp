// Placeholder until this module is written: every operation reports failure.
#include "gif/colour_reduction.h"

int ColourCellKey(int, int, int) { return 0; }
void InitColourHistogram(ColourCellEntry*) {}
int SelectPalette(ColourCellEntry*, int, RGBQUAD*) { return 0; }
HGLOBAL BuildFramePalette(HGLOBAL, int) { return nullptr; }
HGLOBAL MapFrameToPalette(const RGBQUAD*, HGLOBAL, int) { return nullptr; }
HGLOBAL ReduceFrameColours(int, HGLOBAL) { return nullptr; }
DWORD ColourDistance(RGBQUAD, RGBQUAD) { return 0; }
