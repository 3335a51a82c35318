// The parts of the build command that depend on the recording as a whole: the
// palette size of the colour setting, the frame delays, and motion extraction.
#pragma once

#include "gif/build_progress.h"
#include "platform/platform.h"

// Palette entries asked of colour reduction for the colors setting: 0..3 give
// 15, 31, 63, 127; any other value 255.
int ColourCount(int colorsSetting);

// The delay list, hundredths of a second, one per slot. Every delay is animeTimer,
// raised to intervalTimer / 10; with followTimes each frame but the last lasts until
// the next capture (the unsigned tick difference / 10), never longer than that.
void MakeDelayList(const DWORD* captureTimes, int count, int animeTimer, int intervalTimer, bool followTimes,
                   int* delays);

// Cuts frames first..count-1 to the union of the moving areas of consecutive frames
// (from the first pair FindMotionRect accepts). A failed crop leaves its slot. Reports
// j * 100 / count before slot j; there is no cancel here. Returns true when frames
// were cut.
bool ExtractMotion(HGLOBAL* frames, int count, int first, const ProgressSink* progress);
