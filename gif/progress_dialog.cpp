// The progress dialog of a GIF build. The build runs on the GUI thread and never
// returns to the main loop until it ends, so each report here is also the moment
// the rest of the program gets its messages: hot keys, timers, the control panel.
#include "gif/progress_dialog.h"

#include <commctrl.h>

#include <cstdio>

#include "app/app.h"
#include "app/main_window.h"
#include "res/resource.h"
#include "ui/dialog_placement.h"

namespace {

// Shared with the build for the dialog's lifetime; one build runs at a time.
DWORD startTick = 0;
unsigned shownSeconds = 0;

void ShowTimes(HWND dialog, int percent) {
  const unsigned seconds = (GetTickCount() - startTick) / 1000;  // unsigned: survives the tick's wrap
  if (seconds <= shownSeconds) return;
  shownSeconds = seconds;
  char text[32];
  FormatProgressTime(text, seconds);
  SetDlgItemTextA(dialog, IDC_ELAPSED, text);
  FormatProgressTime(text, RemainingSeconds(seconds, percent));
  SetDlgItemTextA(dialog, IDC_REMAINING, text);
}

// Everything waiting for the thread, for any window. A quit message taken here
// belongs to the main loop: it is put back and the build is asked to stop, since
// the program is ending.
void PumpMessages(HWND dialog) {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      CancelRequested = 1;
      return;
    }
    // Escape and Enter reach the cancel button as in any dialog.
    if (IsDialogMessageA(dialog, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void OnBuildProgress(HWND dialog, int percent) {
  if (percent < 0) percent = 0;
  if (percent > 100) percent = 100;
  if (percent > 0) ShowTimes(dialog, percent);
  PumpMessages(dialog);
  SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

void OnInitDialog(HWND dialog, const char* title) {
  PlaceDialogAtCursor(dialog);
  SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  CancelRequested = 0;
  startTick = GetTickCount();
  shownSeconds = 0;
  SetWindowTextA(dialog, title ? title : "");
  SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETPOS, 0, 0);
}

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(dialog, reinterpret_cast<const char*>(lParam));
      return TRUE;
    case WM_COMMAND:
      // The dialog stays until the build closes it at its next report.
      if (LOWORD(wParam) == IDCANCEL) CancelRequested = 1;
      return TRUE;
    case WM_BUILDPROGRESS:
      OnBuildProgress(dialog, static_cast<int>(wParam));
      return TRUE;
  }
  return FALSE;
}

void ShowStep(void* context, BuildStep step) {
  SetDlgItemTextA(static_cast<HWND>(context), IDC_STEPNAME, BuildStepName(step));
}

void SendProgress(void* context, int percent) {
  SendMessageA(static_cast<HWND>(context), WM_BUILDPROGRESS, static_cast<WPARAM>(percent), 0);
}

}  // namespace

HWND OpenProgressDialog(HWND owner, const char* title) {
  HWND parent = GifPanel ? GifPanel : owner;
  return CreateDialogParamA(AppInstance, MAKEINTRESOURCEA(IDD_PROGRESS), parent, ProgressDialogProc,
                            reinterpret_cast<LPARAM>(title));
}

ProgressSink ProgressDialogSink(HWND dialog) {
  if (!dialog) return {};
  return {ShowStep, SendProgress, dialog};
}

void FormatProgressTime(char* text, unsigned seconds) {
  std::sprintf(text, "%02d:%02d:%02d", static_cast<int>(seconds / 3600), static_cast<int>((seconds / 60) % 60),
               static_cast<int>(seconds % 60));
}

unsigned RemainingSeconds(unsigned elapsed, int percent) {
  if (percent <= 0) return 0;
  return static_cast<unsigned>(100 - percent) * elapsed / static_cast<unsigned>(percent);
}
