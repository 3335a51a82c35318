// Where dialogs open: centred on the cursor, kept on the cursor's monitor.
#pragma once

#include "platform/platform.h"

void PlaceDialogAtCursor(HWND window);
// The full rectangle of the monitor sharing most area with rect (primary when none).
void GetMonitorRectOfRect(RECT* monitor, const RECT* rect);
