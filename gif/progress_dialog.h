// The build's progress dialog: a progress bar, the step's name, the elapsed and the
// remaining time and a cancel button. While a build runs it is also the program's
// message pump: every report dispatches what waits in the thread's queue.
#pragma once

#include "gif/build_progress.h"
#include "platform/platform.h"

// Opens the modeless dialog with the given title, parented to the control panel when
// it is open, else to owner. Null when the dialog cannot be made.
HWND OpenProgressDialog(HWND owner, const char* title);

// A sink that shows steps in the dialog's status text and sends it WM_BUILDPROGRESS.
ProgressSink ProgressDialogSink(HWND dialog);

// The elapsed or remaining time as the dialog shows it, "%02d:%02d:%02d".
void FormatProgressTime(char* text, unsigned seconds);
// The remaining seconds of a step at percent (1..100) after elapsed seconds in all.
unsigned RemainingSeconds(unsigned elapsed, int percent);
