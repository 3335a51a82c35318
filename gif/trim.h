// Rectangle operations on 24-bit frame images: the content inside flat borders,
// the area where two frames differ, cutting, filling and pasting. Rectangles are
// in picture coordinates (y = 0 is the top row), right and bottom exclusive.
// Every operation refuses (0 or null) a missing frame, a failed lock or any depth
// other than 24 bits; frames passed in stay the caller's.
#pragma once

#include "platform/platform.h"

// 1 when the frame has flat borders to remove (rect set to the content), else 0.
int FindContentRect(HGLOBAL frame, RECT* rect);

// 1 when both frames are 24-bit and of equal size (rect set to the moving area,
// which may be empty), else 0. The moving area is the run of differing rows through
// the middle row (storage row H / 2), and within it the first run of differing columns
// from the left; when the middle rows are equal it is {W, H - H/2, W + 1, H - H/2 - 1}.
int FindMotionRect(HGLOBAL frameA, HGLOBAL frameB, RECT* rect);

// A new frame image of the rectangle, which is clamped in place to the frame; null
// when the clamped rectangle is empty.
HGLOBAL CropFrame(HGLOBAL frame, RECT* rect);

// Sets every pixel of the rectangle (clamped in place), or of the whole frame when
// rect is null, to the colour (its reserved byte is ignored).
void FillFrameRect(HGLOBAL frame, RECT* rect, RGBQUAD colour);

// Copies source into the rectangle of destination: centred where it is smaller,
// its top-left part where it is larger; the rectangle is first filled with *fill
// when fill is not null.
void PasteFrame(HGLOBAL destination, const RECT* rect, const RGBQUAD* fill, HGLOBAL source);
