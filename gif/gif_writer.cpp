// Placeholder until this module is written: every operation reports failure.
#include "gif/gif_writer.h"

int WriteGifWithGlobalTable(const AnimeGifInfo*, const char*, const ProgressSink*) { return kGifWriteBadFrame; }
int WriteGifWithLocalTables(const AnimeGifInfo*, const char*, const ProgressSink*) { return kGifWriteBadFrame; }
