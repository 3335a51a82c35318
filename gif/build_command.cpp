#include "gif/build_command.h"

#include <algorithm>
#include <cstdint>

#include "gif/trim.h"

int ColourCount(int colorsSetting) {
  switch (colorsSetting) {
    case 0: return 15;
    case 1: return 31;
    case 2: return 63;
    case 3: return 127;
    default: return 255;
  }
}

void MakeDelayList(const DWORD* captureTimes, int count, int animeTimer, int intervalTimer, bool followTimes,
                   int* delays) {
  // A frame never shows shorter than the capture interval asks for.
  const int longest = std::max(animeTimer, intervalTimer / 10);
  for (int i = 0; i < count; ++i) delays[i] = longest;
  if (!followTimes) return;
  for (int i = 0; i + 1 < count; ++i) {
    // Unsigned tick difference: the tick count wraps after 49.7 days, and a recording
    // across the wrap still has its real gaps.
    const DWORD gap = static_cast<DWORD>(captureTimes[i + 1] - captureTimes[i]) / 10;
    if (static_cast<std::int64_t>(gap) < longest) delays[i] = static_cast<int>(gap);
  }
}

bool ExtractMotion(HGLOBAL* frames, int count, int first, const ProgressSink* progress) {
  RECT moving;
  int next = first + 1;
  // The first pair of frames the comparison accepts gives the starting rectangle,
  // empty or not; every later accepted pair widens it.
  for (; next < count; ++next) {
    if (FindMotionRect(frames[next - 1], frames[next], &moving)) break;
  }
  if (next >= count) return false;
  for (++next; next < count; ++next) {
    RECT pair;
    if (!FindMotionRect(frames[next - 1], frames[next], &pair)) continue;
    moving.left = std::min(moving.left, pair.left);
    moving.top = std::min(moving.top, pair.top);
    moving.right = std::max(moving.right, pair.right);
    moving.bottom = std::max(moving.bottom, pair.bottom);
  }
  for (int slot = first; slot < count; ++slot) {
    ReportPercent(progress, slot * 100 / count);
    RECT cut = moving;
    HGLOBAL motion = CropFrame(frames[slot], &cut);
    if (motion) {
      GlobalFree(frames[slot]);
      frames[slot] = motion;
    }
  }
  return true;
}
