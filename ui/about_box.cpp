// The about box: icon, name and version, all fixed in its dialog resource.
#include "ui/about_box.h"

#include "app/app.h"
#include "res/resource.h"
#include "ui/dialog_placement.h"

namespace {

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      PlaceDialogAtCursor(dialog);
      return TRUE;
    case WM_COMMAND:
      // The close button, Esc and the close box all arrive as id 2 (IDCANCEL).
      if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, -1);
      return 0;
  }
  return 0;
}

}  // namespace

void ShowAboutBox(HWND owner) {
  DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_ABOUT), owner, AboutProc, 0);
}
