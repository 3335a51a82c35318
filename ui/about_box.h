#pragma once

#include "platform/platform.h"

// The modal about box (dialog 155).
void ShowAboutBox(HWND owner);
