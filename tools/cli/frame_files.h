// Frame files of the command-line tool: 24-bit BMP (bottom-up or top-down), JPEG,
// and GIF (first image) read into 24-bit frame images.
#pragma once

#include <string>

#include "platform/platform.h"

// Reads the picture at path as a new 24-bit frame image. On failure returns null and
// sets *reason to a short text ("cannot be read", "not a supported bitmap: ...").
HGLOBAL LoadFrameFile(const std::string& path, std::string* reason);
