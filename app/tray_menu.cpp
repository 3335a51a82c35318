// The tray menu: built anew at each press of the tray icon, at the cursor, with
// items that follow the state (hot key, automatic capture, recorded frames).
#include "app/tray_menu.h"

#include <shellapi.h>

#include <cstdio>
#include <string>

#include "app/app.h"
#include "app/main_window.h"
#include "app/menu_text.h"
#include "capture/frame_store.h"
#include "capture/player_capture.h"
#include "res/resource.h"
#include "ui/about_box.h"
#include "ui/dialog_placement.h"

namespace {

enum MenuItem : UINT {
  kItemCapture = 1,
  kItemQuit = 2,
  kItemRestart = 4,
  kItemStartAuto = 6,
  kItemStopOrBuild = 7,
  kItemOpenFolder = 8,
  kItemSettings = 10,
  kItemManual = 11,
  kItemClearFrames = 13,
  kItemOpenPanel = 14,
  kItemAbout = 15,
  kItemCloseMenu = 99,
};

const char kManualAddress[] = "https://help.drennic.example/frimbola/help.html";

// The click that closed the menu outside it must not reopen it when it lands on
// the tray icon itself.
bool MenuDismissedByClick = false;
DWORD MenuDismissTime = 0;

HWND MenuAnchor = nullptr;

// The anchor is the menu's owner: a tiny transparent popup placed at the cursor
// that can take the foreground, so the menu closes when the user clicks elsewhere.
INT_PTR CALLBACK AnchorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      PlaceDialogAtCursor(dialog);
      return TRUE;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) DestroyWindow(dialog);
      return 0;
    case WM_DESTROY:
      if (MenuAnchor == dialog) MenuAnchor = nullptr;
      return 0;
  }
  return 0;
}

std::string AutoCaptureText(const char* action) {
  char interval[32];
  std::snprintf(interval, sizeof interval, "[%dms毎]>", Settings.intervaltimer);
  std::string text = "自動キャプチャー";
  text += interval;
  text += action;
  if (OptionFlags & OF_HOTKEYTOGGLE) AppendHotKeyText(&text, Settings.hotkey, Settings.hotkeymod);
  return text;
}

std::string CountedText(const char* text) {
  char count[16];
  std::snprintf(count, sizeof count, "%d]", FrameCount);
  return std::string(text) + count;
}

HMENU BuildMenu() {
  HMENU menu = CreatePopupMenu();
  if (!menu) return nullptr;
  auto add = [menu](UINT id, const std::string& text) { AppendMenuA(menu, MF_STRING, id, text.c_str()); };
  auto separator = [menu] { AppendMenuA(menu, MF_SEPARATOR, 0, nullptr); };

  std::string capture = "キャプチャー ";
  if (!(OptionFlags & OF_HOTKEYTOGGLE)) AppendHotKeyText(&capture, Settings.hotkey, Settings.hotkeymod);
  add(kItemCapture, capture);
  bool autoCapture = RunState & RS_AUTOCAPTURE;
  if (autoCapture)
    add(kItemStopOrBuild, AutoCaptureText("終了"));
  else if (FrameCount <= 0)
    add(kItemStartAuto, AutoCaptureText("開始"));
  else
    add(kItemStopOrBuild, CountedText("アニメGIFを作成する["));
  if (FrameCount > 0) add(kItemClearFrames, CountedText("アニメGIF用に記録している画像をクリアする["));
  if (OptionFlags & OF_GIFMODE) add(kItemOpenPanel, "アニメGIFコントロールを開く");
  separator();
  add(kItemOpenFolder, NextFileItemText(Settings.prefix, Settings.filecount, SavedFileCount));
  separator();
  add(kItemSettings, "設定ボックスを開く");
  add(kItemManual, "説明書を開く");
  add(kItemAbout, "『Frimbola』について");
  separator();
  add(kItemRestart, "リスタート");
  add(kItemQuit, "『Frimbola』を終了する");
  add(kItemCloseMenu, "メニューを閉じる");
  return menu;
}

// Gives the anchor the keyboard focus although another program is in front.
void TakeFocus(HWND anchor) {
  HWND foreground = GetForegroundWindow();
  DWORD other = foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0;
  DWORD self = GetCurrentThreadId();
  if (other && other != self && AttachThreadInput(self, other, TRUE)) {
    SetFocus(anchor);
    AttachThreadInput(self, other, FALSE);
  }
}

void Act(UINT id, HWND owner) {
  switch (id) {
    case kItemCapture:
      if (CaptureFrame()) RunState |= RS_STOREPENDING;
      break;
    case kItemQuit:
      PostMessageA(owner, WM_CLOSE, 0, 0);
      break;
    case kItemRestart:
      RunState |= RS_RESTART;
      PostMessageA(owner, WM_CLOSE, 0, 0);
      break;
    case kItemStartAuto:
      RunState |= RS_AUTOCAPTURE;  // the timer starts when the menu is gone
      ShowCaptureIcon();
      break;
    case kItemStopOrBuild:
      StopAutoCapture();
      if (OptionFlags & OF_GIFMODE) PostMessageA(MainWindow, WM_BUILDGIF, 0, 0);
      break;
    case kItemOpenFolder:
      ShellExecuteA(owner, "open", OutputFolder, nullptr, nullptr, SW_SHOW);
      break;
    case kItemSettings:
      PostMessageA(owner, WM_OPENSETTINGS, 0, 0);
      break;
    case kItemManual:
      ShellExecuteA(nullptr, "open", kManualAddress, nullptr, nullptr, SW_SHOW);
      break;
    case kItemClearFrames:
      if (RunState & RS_AUTOCAPTURE) StopAutoCapture();
      ClearFrameList();
      if (GifPanel) PostMessageA(GifPanel, WM_PANELUPDATE, 0, 0);
      break;
    case kItemOpenPanel:
      OpenGifPanel();
      break;
    case kItemAbout:
      ShowAboutBox(owner);
      break;
    default:
      if ((GetAsyncKeyState(VK_RBUTTON) & 0x8000) || (GetAsyncKeyState(VK_LBUTTON) & 0x8000)) {
        MenuDismissTime = GetTickCount();
        MenuDismissedByClick = true;
      }
      break;
  }
}

}  // namespace

void ShowTrayMenu(HWND owner) {
  if (MenuDismissedByClick) {
    MenuDismissedByClick = false;
    if (GetTickCount() - MenuDismissTime < 1000) return;
  }
  if (GifPanel) {
    DestroyWindow(GifPanel);
    GifPanel = nullptr;
  }
  RunState |= RS_BUSY;
  if (RunState & RS_AUTOCAPTURE) PauseAutoCaptureTimer();  // capture pauses while the menu is open

  POINT cursor = {};
  GetCursorPos(&cursor);
  SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
  MenuAnchor = CreateDialogParamA(AppInstance, MAKEINTRESOURCEA(IDD_MENUANCHOR), owner, AnchorProc, 0);
  if (MenuAnchor) TakeFocus(MenuAnchor);

  if (HMENU menu = BuildMenu()) {
    UINT id = static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0,
                                               MenuAnchor ? MenuAnchor : owner, nullptr));
    Act(id, owner);
    DestroyMenu(menu);
  }
  if (MenuAnchor) DestroyWindow(MenuAnchor);

  if (RunState & RS_AUTOCAPTURE) RestartAutoCaptureTimer();  // a full interval after the menu
  RunState &= ~RS_BUSY;
}
