// Choosing the window to photograph and taking one frame of it.
#pragma once

#include "platform/platform.h"

extern HGLOBAL pendingFrame;  // the newest frame, waiting for the frame store
extern HWND regionWindow;     // marked through the region-selection companion
extern RECT cutRect;          // the marked rectangle in regionWindow's coordinates
extern HWND centreWindow;     // the window under the panel monitor's centre (motion extraction)

// 1 when a frame was taken (pending, WM_FRAMEREADY posted) or requested, else 0
// (with the "nothing to capture" warning while no frame is recorded).
int CaptureFrame();
int CaptureTargetWindow();
int CapturePlayerApp();
// Replaces pendingFrame (freeing the old one) and posts WM_FRAMEREADY.
void SetPendingFrame(HGLOBAL frame);
// Frees pendingFrame, if any.
void DropPendingFrame();
