#include "capture/player_capture.h"

#include <cstring>

#include "app/app.h"
#include "app/main_window.h"
#include "capture/frame_store.h"
#include "capture/screen_capture.h"
#include "gif/trim.h"
#include "platform/scoped.h"
#include "ui/dialog_placement.h"

HGLOBAL pendingFrame = nullptr;
HWND regionWindow = nullptr;
RECT cutRect = {0, 0, 0, 0};
HWND centreWindow = nullptr;

namespace {

// The media player's video window found by the last search, kept while it exists.
HWND videoWindow = nullptr;
// What the top-level search found.
HWND enumResult = nullptr;

// Classes and titles tested inside the enumerations are compared byte for byte,
// case included (FindWindow would also match other cases).
bool ClassIs(HWND window, const char* name) {
  char className[256];
  return GetClassNameA(window, className, sizeof className) > 0 && std::strcmp(className, name) == 0;
}

// Descendants of the skin host's plug-in host: the first video control container.
BOOL CALLBACK FindControlContainer(HWND window, LPARAM) {
  if (!ClassIs(window, "CWmpControlCntr")) return TRUE;
  enumResult = window;
  return FALSE;
}

// Top-level windows: the skin host titled "Windows Media Player" whose plug-in host
// holds a video control container.
BOOL CALLBACK FindSkinHostVideo(HWND window, LPARAM) {
  char title[256];
  if (GetWindowTextA(window, title, sizeof title) <= 0) return TRUE;
  if (std::strcmp(title, "Windows Media Player") != 0) return TRUE;
  if (!ClassIs(window, "WMP Skin Host")) return TRUE;
  HWND pluginHost = FindWindowExA(window, nullptr, "WMP Plugin UI Host", nullptr);
  if (!pluginHost) return TRUE;
  EnumChildWindows(pluginHost, FindControlContainer, 0);
  return enumResult == nullptr;
}

// Descendants of the player application's host: the first video window.
BOOL CALLBACK FindAppVideoWindow(HWND window, LPARAM) {
  if (!ClassIs(window, "WMPVideoWindow")) return TRUE;
  videoWindow = window;
  return FALSE;
}

int CaptureIntoPending(HWND window) {
  HGLOBAL frame = CaptureWindowArea(window);
  if (!frame) return 0;
  SetPendingFrame(frame);
  return 1;
}

// The player paths release the waiting frame before they capture, so a failed
// capture there leaves no frame pending.
int ReplacePendingWithCapture(HWND window) {
  DropPendingFrame();
  return CaptureIntoPending(window);
}

int CaptureRegionWindow() {
  if (regionWindow && !IsWindow(regionWindow)) regionWindow = nullptr;
  if (!regionWindow) return 0;
  OwnedGlobal whole(CaptureWindowArea(regionWindow));
  if (!whole) return 0;
  // The marked rectangle is in client coordinates but applied from the window's
  // top-left corner; for the borderless windows it is meant for the two coincide.
  HGLOBAL cut = CropFrame(whole.get(), &cutRect);
  if (!cut) return 0;
  SetPendingFrame(cut);
  return 1;
}

int CaptureCentreWindow() {
  if (centreWindow && !IsWindow(centreWindow)) centreWindow = nullptr;
  // The target is fixed at the first frame of a take and kept for the rest of it.
  if (!centreWindow && (OptionFlags & OF_MOTION) && GifPanel && FrameCount <= 0 && (OptionFlags & OF_GIFMODE)) {
    RECT panel, monitor;
    if (GetWindowRect(GifPanel, &panel)) {
      GetMonitorRectOfRect(&monitor, &panel);
      const POINT centre{monitor.left + (monitor.right - monitor.left) / 2,
                         monitor.top + (monitor.bottom - monitor.top) / 2};
      centreWindow = WindowFromPoint(centre);
    }
  }
  if (!centreWindow) return 0;
  if (CaptureIntoPending(centreWindow)) return 1;
  centreWindow = nullptr;
  return 0;
}

int CaptureMediaPlayer() {
  if (videoWindow && !IsWindow(videoWindow)) videoWindow = nullptr;
  if (!videoWindow) {
    enumResult = nullptr;
    EnumWindows(FindSkinHostVideo, 0);
    videoWindow = enumResult;
  }
  if (!videoWindow) {
    HWND player = FindWindowA("WMPlayerApp", nullptr);
    HWND host = player ? FindWindowExA(player, nullptr, "WMPAppHost", nullptr) : nullptr;
    if (!host) return 0;
    EnumChildWindows(host, FindAppVideoWindow, 0);
    if (!videoWindow) return 0;
  }
  return ReplacePendingWithCapture(videoWindow);
}

}  // namespace

void DropPendingFrame() {
  if (pendingFrame) GlobalFree(pendingFrame);
  pendingFrame = nullptr;
}

void SetPendingFrame(HGLOBAL frame) {
  DropPendingFrame();
  pendingFrame = frame;
  PostMessageA(MainWindow, WM_FRAMEREADY, 0, 0);
}

int CaptureFrame() {
  if (CaptureTargetWindow()) return 1;
  if (CapturePlayerApp()) return 1;
  // Once frames are recorded a missed frame is not worth interrupting the take for.
  if (FrameCount <= 0) ShowWarning(kWarnNothingToCapture, GifPanel);
  return 0;
}

int CaptureTargetWindow() {
  if (CaptureRegionWindow()) return 1;
  if (CaptureCentreWindow()) return 1;
  return CaptureMediaPlayer();
}

int CapturePlayerApp() {
  // A store application's frame that is there without its input sink ends the search:
  // that player is the one in use, and no other player is photographed in its place.
  static const char* const kStoreAppTitles[] = {"GOM Player App", "映画 & テレビ"};
  for (const char* title : kStoreAppTitles) {
    HWND frameWindow = FindWindowA("ApplicationFrameWindow", title);
    if (!frameWindow) continue;
    HWND inputSink = FindWindowExA(frameWindow, nullptr, "ApplicationFrameInputSinkWindow", nullptr);
    if (!inputSink) return 0;
    return CaptureIntoPending(inputSink);
  }
  // Asking the player for its picture through its copy key is not wired in yet;
  // with that option on, the player's window is not photographed either.
  if (OptionFlags & OF_KEYEMULATION) return 0;

  HWND player = FindWindowA("GomPlayer1.x", nullptr);
  HWND video = player ? FindWindowExA(player, nullptr, "GomVideo", nullptr) : nullptr;
  if (!video) return 0;
  HWND target = GetWindow(video, GW_CHILD);
  return ReplacePendingWithCapture(target ? target : video);
}
