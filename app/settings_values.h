// The pure rules of the settings values: how a stored text becomes a number, the
// clamps applied at start, the hot-key text of the settings dialog, the credit
// colour and the panel rectangle. No Win32 calls: the engine and its tests use them.
#pragma once

#include <cstddef>

#include "platform/platform.h"

// atoi of the first 15 bytes of text (what a 16-byte read buffer keeps): leading
// white space and a sign, then the leading digits count; anything else reads as 0.
// Values beyond int saturate (as the Windows C runtime's atoi does) instead of
// overflowing. A null text reads as 0.
int ParseIniInt(const char* text);

int ClampIntervalTimer(int value);  // below 10 becomes 10
int ClampJpegQuality(int value);    // 30..100

// The settings dialog's hot-key text as a virtual-key code: "F" or "f" followed by
// more characters is a function key, atoi of the rest plus 111, valid for 1..12
// ("F1x" is F1); otherwise the first character, upper-cased, when it is an ASCII
// digit or letter ("F" alone is the letter). Anything else gives 0.
int HotKeyFromText(const char* text);

// "rrggbb" read like sscanf with "%02x%02x%02x" into red, green and blue that start
// at 0: each field skips white space, then takes one or two hexadecimal digits (no
// sign or "0x" prefix: the stored form never has one). *colour always gets the
// channels read so far; the result is true only when all three were read.
bool ParseCreditColour(const char* text, COLORREF* colour);
// Writes "rrggbb" (lower case) into text, which holds at least 7 bytes.
void FormatCreditColour(COLORREF colour, char* text);

// "left,top,right,bottom", each read like atoi: all four zero when the text is
// empty or lacks one of the three commas.
void ParseWindowRect(const char* text, RECT* rect);
