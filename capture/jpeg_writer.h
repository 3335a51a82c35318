// The JPEG writer: one 24-bit (or 8-bit with colour table) frame image as a
// baseline JFIF file through libjpeg, with the program's own row source and
// 4096-byte file destination, followed by the four bytes "c-QZ".
#pragma once

#include <cstdio>

#include "platform/platform.h"

// Writes frame as JPEG of the given quality into file, which is closed in every
// case. Returns 0 on success, any other value on failure (-2: the frame cannot be
// locked; otherwise the library's error code).
int WriteJpegFrame(std::FILE* file, HGLOBAL frame, int quality);
