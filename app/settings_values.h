// The pure rules of the settings values: how a stored text becomes a number, the
// clamps applied at start, the hot-key text of the settings dialog, the credit
// colour and the panel rectangle. No Win32 calls: the engine and its tests use them.
#pragma once

#include <cstddef>

#include "platform/platform.h"

// atoi of the first 15 bytes of text (what a 16-byte read buffer keeps): leading
// digits count, anything else reads as 0, and values beyond int saturate instead
// of overflowing.
int ParseIniInt(const char* text);

int ClampIntervalTimer(int value);  // below 10 becomes 10
int ClampJpegQuality(int value);    // 30..100

// The settings dialog's hot-key text as a virtual-key code: "F1".."F12" (either
// case) give 0x70..0x7B, a digit or letter its upper-case code, anything else 0.
int HotKeyFromText(const char* text);

// "rrggbb" (read like sscanf "%02x%02x%02x") as a COLORREF; false when it does not parse.
bool ParseCreditColour(const char* text, COLORREF* colour);
// Writes "rrggbb" (lower case) into text, which holds at least 7 bytes.
void FormatCreditColour(COLORREF colour, char* text);

// "left,top,right,bottom": all four zero when the text is empty or lacks a comma.
void ParseWindowRect(const char* text, RECT* rect);
