// Where every captured frame ends: the frame list of GIF mode, or the next
// numbered JPEG file.
#pragma once

#include "platform/platform.h"

constexpr int kFrameListSize = 256;

extern HGLOBAL FrameList[kFrameListSize];
extern DWORD FrameTimes[kFrameListSize];
extern int FrameCount;
extern int SavedFileCount;  // JPEG files written since start

// Takes pendingFrame into the frame list (GIF mode) or writes it as a JPEG file.
void StoreFrame(HWND owner);

// Frees every frame of the list and sets FrameCount to 0 (clear command, window
// destruction). While a build holds the list it frees nothing: the build empties
// the list itself when it ends.
void ClearFrameList();

// A build takes the list for its whole run; ClearFrameList leaves it alone meanwhile.
void BeginFrameListUse();
void EndFrameListUse();
bool FrameListInUse();
