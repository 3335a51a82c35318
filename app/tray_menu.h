#pragma once

#include "platform/platform.h"

// The tray menu at the cursor; the main window checks RS_BUSY and RS_BUILDING first.
void ShowTrayMenu(HWND owner);
