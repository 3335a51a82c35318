// The credit frame that opens an animation: the template "frame.gif" from the data
// folder fitted to the recording, the title in its upper half and a half-size copy of
// the first recorded frame below it.
#pragma once

#include "platform/platform.h"

// Fills slot 0 of frames with a new 24-bit credit frame at the size of slot 1, or
// leaves it empty when the template cannot be read. owner gives the display context.
void ComposeCreditFrame(HWND owner, HGLOBAL* frames);

// The title's extent in the credit font at fontHeight pixels: 1, else 0.
int MeasureCreditTitle(const char* title, const char* fontName, int fontHeight, SIZE* extent);

// Draws the title into rect of a 24-bit frame, in exactly two colours: textColour on
// backColour (both COLORREF-style 0x00bbggrr as the pixel's blue, green, red bytes).
void RenderCreditTitle(HGLOBAL frame, RECT* rect, HDC dc, const char* title, int fontHeight, COLORREF textColour,
                       COLORREF backColour, const char* fontName);

// Puts the default template that comes inside the program into the data folder as
// "frame.gif" when no file of that name is there; an existing file, the user's own
// picture or one put there earlier, is never replaced. 1 when the file was written.
int InstallCreditTemplate();
