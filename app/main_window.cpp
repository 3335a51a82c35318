// The hidden main window: the program's presence in the tray, its hot key and
// timers, its place in the clipboard-viewer chain, and the switchboard that turns
// the private messages into work.
#include "app/main_window.h"

#include <shellapi.h>

#include <cstring>

#include "app/app.h"
#include "app/settings.h"
#include "app/tray_menu.h"
#include "capture/frame_store.h"
#include "capture/player_capture.h"
#include "gif/anime_gif.h"

HWND MainWindow = nullptr;
HWND GifPanel = nullptr;

namespace {

constexpr UINT kTrayIconId = 101;
constexpr int kHotKeyId = 1;
constexpr UINT_PTR kClipboardWaitTimer = 2;
constexpr UINT_PTR kAutoCaptureTimer = 3;

NOTIFYICONDATAA TrayIconData;
static_assert(sizeof(NOTIFYICONDATAA) == (sizeof(void*) == 4 ? 508 : 528), "the tray icon data the shell expects of this program");
HICON IdleIcon = nullptr;
HICON CaptureIcon = nullptr;
bool HotKeyRegistered = false;
HWND NextClipboardViewer = nullptr;
// Sent by Explorer to every top-level window when it (re)starts: the tray is new
// and empty, so the icon is added again.
UINT TaskbarCreatedMessage = 0;

HICON LoadTrayIcon(int id) {
  return static_cast<HICON>(LoadImageA(AppInstance, MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
}

void ShowTrayIcon(HICON icon) {
  TrayIconData.hIcon = icon;
  TrayIconData.uFlags = NIF_ICON;
  Shell_NotifyIconA(NIM_MODIFY, &TrayIconData);
}

bool ModifierHeld() {
  return (GetAsyncKeyState(VK_SHIFT) & 0x8000) || (GetAsyncKeyState(VK_CONTROL) & 0x8000) ||
         (GetAsyncKeyState(VK_MENU) & 0x8000);
}

bool AddTrayIcon(HWND hwnd) {
  TrayIconData = {};
  TrayIconData.cbSize = sizeof TrayIconData;
  TrayIconData.hWnd = hwnd;
  TrayIconData.uID = kTrayIconId;
  TrayIconData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  TrayIconData.uCallbackMessage = WM_TRAYNOTIFY;
  TrayIconData.hIcon = (RunState & RS_AUTOCAPTURE) ? CaptureIcon : IdleIcon;
  std::strcpy(TrayIconData.szTip, "Frimbola");
  if (Shell_NotifyIconA(NIM_ADD, &TrayIconData)) return true;
  // A shell that is busy starting answers with a time-out: wait and try again.
  while (GetLastError() == ERROR_TIMEOUT) {
    Sleep(1000);
    if (Shell_NotifyIconA(NIM_MODIFY, &TrayIconData) || Shell_NotifyIconA(NIM_ADD, &TrayIconData)) return true;
  }
  return false;
}

LRESULT OnCreate(HWND hwnd) {
  MainWindow = hwnd;
  RegisterCaptureHotKey();
  NextClipboardViewer = SetClipboardViewer(hwnd);
  IdleIcon = LoadTrayIcon(101);
  CaptureIcon = LoadTrayIcon(102);
  TaskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
  if (!AddTrayIcon(hwnd)) {
    // Without its icon the program cannot be reached: build a new window.
    RunState |= RS_RESTART;
    PostMessageA(hwnd, WM_CLOSE, 0, 0);
    return 0;
  }
  if ((RunState & RS_CMDFOLDER) && !(RunState & RS_DEFINE)) PostMessageA(hwnd, WM_SHOWTRAYMENU, 0, 0);
  if (RunState & RS_DEFINE) PostMessageA(hwnd, WM_OPENSETTINGS, 0, 0);
  PostMessageA(hwnd, WM_OPENPANEL, 0, 0);
  return 0;
}

void OnDestroy(HWND hwnd) {
  if (GifPanel) DestroyWindow(GifPanel);
  GifPanel = nullptr;
  KillTimer(hwnd, kAutoCaptureTimer);
  KillTimer(hwnd, kClipboardWaitTimer);
  UnregisterCaptureHotKey();
  Shell_NotifyIconA(NIM_DELETE, &TrayIconData);
  if (IdleIcon) DestroyIcon(IdleIcon);
  if (CaptureIcon) DestroyIcon(CaptureIcon);
  IdleIcon = CaptureIcon = nullptr;
  if (NextClipboardViewer) ChangeClipboardChain(hwnd, NextClipboardViewer);
  NextClipboardViewer = nullptr;
  DropPendingFrame();
  ClearFrameList();  // leaves the list to a build that still runs
  MainWindow = nullptr;
  PostQuitMessage(0);
}

// A folder handed over by a second start. The text comes from another process:
// it is read within cbData only, whether or not it carries its terminator.
void OnCopyData(HWND hwnd, const COPYDATASTRUCT* data) {
  if (!data) return;
  if (data->lpData && data->cbData > 0) {
    const char* text = static_cast<const char*>(data->lpData);
    std::size_t limit = data->cbData < kPathSize ? data->cbData : kPathSize;
    std::size_t length = strnlen(text, limit);
    if (length < kPathSize) {
      char folder[kPathSize];
      std::memcpy(folder, text, length);
      folder[length] = 0;
      if (IsUsableFolder(folder)) {
        if (std::strcmp(folder, OutputFolder) != 0) {
          if (RunState & RS_AUTOCAPTURE) StopAutoCapture();
          std::memcpy(OutputFolder, folder, sizeof OutputFolder);
        }
        if (data->dwData == 0) PostMessageA(hwnd, WM_SHOWTRAYMENU, 0, 0);
      }
    }
  }
  if (data->dwData == 1) PostMessageA(hwnd, WM_OPENSETTINGS, 0, 0);
}

void OnTimer(HWND hwnd, UINT_PTR id) {
  if (id == kClipboardWaitTimer) {
    KillTimer(hwnd, kClipboardWaitTimer);
    RunState &= ~(RS_CLIPWAIT | RS_STOREPENDING);
  } else if (id == kAutoCaptureTimer) {
    if (RunState & (RS_BUSY | RS_STOREPENDING)) return;
    if (ModifierHeld()) return;  // the user is pressing a key combination: no frame now
    // Busy while it runs: the warning box of a failed capture dispatches the next
    // ticks, which must not open a second box behind the first.
    RunState |= RS_BUSY;
    CaptureFrame();
    RunState &= ~RS_BUSY;
  }
}

void OnHotKey(HWND hwnd) {
  if (RunState & RS_BUSY) return;
  if (RunState & RS_AUTOCAPTURE) {
    if (!(OptionFlags & OF_HOTKEYTOGGLE)) return;
    StopAutoCapture();
    if (OptionFlags & OF_GIFMODE) PostMessageA(hwnd, WM_BUILDGIF, 0, 0);
    return;
  }
  if (OptionFlags & OF_HOTKEYTOGGLE) {
    StartAutoCapture();  // the first frame comes with the first tick
    return;
  }
  RunState |= RS_BUSY;
  if (CaptureFrame()) RunState |= RS_STOREPENDING;
  RunState &= ~RS_BUSY;
}

void OnShowTrayMenu(HWND hwnd) {
  if (RunState & (RS_BUILDING | RS_BUSY)) return;
  ShowTrayMenu(hwnd);
}

void OnFrameReady(HWND hwnd) {
  if (RunState & RS_BUILDING) return;  // the frame stays pending; the next capture replaces it
  StoreFrame(hwnd);
  if (RunState & RS_STOREPENDING) {
    // The next automatic frame comes a full interval after this single one.
    if (RunState & RS_AUTOCAPTURE) RestartAutoCaptureTimer();
    RunState &= ~RS_STOREPENDING;
  }
}

}  // namespace

int RegisterCaptureHotKey() {
  UnregisterCaptureHotKey();
  if (Settings.hotkey == 0) return 0;
  if (!RegisterHotKey(MainWindow, kHotKeyId, static_cast<UINT>(Settings.hotkeymod), static_cast<UINT>(Settings.hotkey)))
    return 0;
  HotKeyRegistered = true;
  return 1;
}

void UnregisterCaptureHotKey() {
  if (!HotKeyRegistered) return;
  UnregisterHotKey(MainWindow, kHotKeyId);
  HotKeyRegistered = false;
}

void ShowCaptureIcon() { ShowTrayIcon(CaptureIcon); }
void ShowIdleIcon() { ShowTrayIcon(IdleIcon); }

void PauseAutoCaptureTimer() { KillTimer(MainWindow, kAutoCaptureTimer); }

void RestartAutoCaptureTimer() {
  KillTimer(MainWindow, kAutoCaptureTimer);
  SetTimer(MainWindow, kAutoCaptureTimer, static_cast<UINT>(Settings.intervaltimer), nullptr);
}

void StartAutoCapture() {
  RunState |= RS_AUTOCAPTURE;
  ShowCaptureIcon();
  RestartAutoCaptureTimer();
  if (GifPanel) PostMessageA(GifPanel, WM_PANELUPDATE, 0, 0);
}

void StopAutoCapture() {
  KillTimer(MainWindow, kAutoCaptureTimer);
  RunState &= ~RS_AUTOCAPTURE;
  ShowIdleIcon();
}

// The control panel arrives with GIF building; until then there is nothing to open.
void OpenGifPanel() {}

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate(hwnd);
    case WM_DESTROY:
      OnDestroy(hwnd);
      return 0;
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_QUERYENDSESSION:
      WriteIniInt("option", "filecount", Settings.filecount);
      DestroyWindow(hwnd);
      return TRUE;
    case WM_COPYDATA:
      OnCopyData(hwnd, reinterpret_cast<const COPYDATASTRUCT*>(lParam));
      break;
    case WM_TIMER:
      OnTimer(hwnd, wParam);
      break;
    case WM_DRAWCLIPBOARD:
      if (NextClipboardViewer) SendMessageA(NextClipboardViewer, message, wParam, lParam);
      // Frames from the clipboard come with the player's copy key, which is not built yet.
      return 1;
    case WM_CHANGECBCHAIN:
      if (reinterpret_cast<HWND>(wParam) == NextClipboardViewer)
        NextClipboardViewer = reinterpret_cast<HWND>(lParam);
      else if (NextClipboardViewer)
        SendMessageA(NextClipboardViewer, message, wParam, lParam);
      return 1;
    case WM_HOTKEY:
      OnHotKey(hwnd);
      break;
    case WM_SHOWTRAYMENU:
      OnShowTrayMenu(hwnd);
      break;
    case WM_TRAYNOTIFY:
      if (lParam == WM_LBUTTONDOWN || lParam == WM_RBUTTONDOWN) OnShowTrayMenu(hwnd);
      break;
    case WM_FRAMEREADY:
      OnFrameReady(hwnd);
      break;
    case WM_OPENPANEL:
      if ((OptionFlags & OF_GIFMODE) && !GifPanel) OpenGifPanel();
      break;
    case WM_BUILDGIF:
      CreateAnimeGif(hwnd);
      break;
    case WM_OPENSETTINGS:
      // The settings dialog is not built yet: accepted, nothing done.
      break;
    default:
      if (message == TaskbarCreatedMessage && message != 0) {
        AddTrayIcon(hwnd);
        return 0;
      }
      break;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}
