// One palette for a whole recording: a histogram gathered over all frames, which
// weighs colours by how brightness changes along runs of one hue, then the same
// selection as a frame's own palette. State is process-wide, rebuilt by each build.
#pragma once

#include "platform/platform.h"

// Forgets the previous palette and histogram; the palette will have at most colourCount
// entries (15..256; the pipeline keeps it within 15..255). Outside that range the
// selection chooses nothing and the palette stays empty, so mapping onto it fails.
void StartSharedPalette(int colourCount);

// Counts one frame's colours into the shared histogram; frames that are not 24-bit add nothing.
void AddFrameToSharedPalette(HGLOBAL frame);

// Chooses the palette from the histogram (whose counts it consumes), black and white
// always among its colours.
void SelectSharedPalette();

// The palette chosen last, in colour-table order (blue, green, red, 0), and its size.
const RGBQUAD* SharedPalette(int* count);
