// Frames from the screen: a rectangle of the screen as a 24-bit frame image.
#pragma once

#include "platform/platform.h"

// The screen rectangle between two corners (either order) from sourceWindow's device
// context, at least 16 x 16 pixels, else null. A part off the screen comes out black.
HGLOBAL CaptureScreenRect(HWND sourceWindow, int x1, int y1, int x2, int y2);
// The screen area under the window's whole rectangle (frame and title bar included).
HGLOBAL CaptureWindowArea(HWND window);
// Any HBITMAP as a 24-bit frame image, converted through dc.
HGLOBAL BitmapToFrameImage(HDC dc, HBITMAP bitmap);
