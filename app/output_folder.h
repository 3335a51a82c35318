// Dressing a newly made output folder: its icon and the sibling program's shortcut.
#pragma once

#include "platform/platform.h"

// Writes Desktop.ini into folder (ending in a backslash; unchanged on return).
void SetFolderIcon(const char* iconFile, char* folder);
// The ANSI text as UTF-7 in a new heap string (free with std::free), or null.
char* ToUtf7(const char* text);
HRESULT CreateShortcut(const char* linkPath, const char* targetPath);
