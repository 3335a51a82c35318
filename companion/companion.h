// Files shared with the companion programs in the data folder.
#pragma once

#include <cstddef>

#include "platform/platform.h"

// The exchange file "$pindle.gif" in the data folder into buffer (256 bytes): 1, else 0.
int GetPindleGifPath(char* buffer);
// Puts the program's line (id 35) into "$exec-list.txt": 1 when written, 0 when left alone.
int RegisterInExecList();

// The region-selection companion. QvRegisterWindow finds its window (class
// "Qv Touroku Kurasu") and remembers it; the later calls use the remembered one.
// Each returns 1 only when the message was delivered within the time-out.
int QvRegisterWindow(HWND panel);
int QvUnregisterWindow(HWND panel);
int QvRequestRegion();

// The clip companion: true when its window answers that it is editing and will take
// a GIF; the notice that the exchange file is ready.
bool PindleIsEditing();
void NotifyPindleFileReady();
