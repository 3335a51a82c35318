// Placeholder until this module is written: every operation reports failure.
#include "gif/trim.h"

int FindContentRect(HGLOBAL, RECT*) { return 0; }
int FindMotionRect(HGLOBAL, HGLOBAL, RECT*) { return 0; }
HGLOBAL CropFrame(HGLOBAL, RECT*) { return nullptr; }
void FillFrameRect(HGLOBAL, RECT*, RGBQUAD) {}
void PasteFrame(HGLOBAL, const RECT*, const RGBQUAD*, HGLOBAL) {}
