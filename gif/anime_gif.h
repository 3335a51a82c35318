// The GIF build of the program: the recording becomes one animated GIF in the output
// folder, or the companion clip program's exchange file.
#pragma once

#include "platform/platform.h"

// Builds the recorded frames into a GIF and empties the recording, whatever the
// outcome. Returns at once while a build runs or when too little was recorded.
void CreateAnimeGif(HWND owner);

// The pipeline under the progress dialog: 1 when the file was written, else 0 after
// the warning box. The frame list stays the caller's; its entries may be replaced.
int BuildAnimeGif(HWND owner, HGLOBAL* frames, int count, const char* path, int colourCount, const int* delays);
