// The one include through which the engine reaches Win32 types and global memory:
// <windows.h> in the Windows build, the small stand-ins of compat.h natively.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include "platform/compat.h"
#endif
