// Placeholder until this module is written: every operation reports failure.
#include "capture/jpeg_frame.h"

int PrepareJpegFrame(HGLOBAL*, bool, int, int) { return kJpegFrameReady; }
bool FormatNumberedFileName(char*, std::size_t, const char*, const char*, int, const char*) { return false; }
