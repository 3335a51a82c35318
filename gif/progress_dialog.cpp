#include "gif/progress_dialog.h"

HWND OpenProgressDialog(HWND, const char*) { return nullptr; }
ProgressSink ProgressDialogSink(HWND) { return {}; }
void FormatProgressTime(char* text, unsigned) { text[0] = 0; }
unsigned RemainingSeconds(unsigned, int) { return 0; }
