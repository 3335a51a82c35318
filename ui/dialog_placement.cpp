// Dialogs open where the user looks: centred on the cursor and kept on the
// monitor under it. The multi-monitor functions are looked up at run time; where
// the system lacks them, the primary screen is the one monitor.
#include "ui/dialog_placement.h"

namespace {

using MonitorFromPointFunction = HMONITOR(WINAPI*)(POINT, DWORD);
using MonitorFromRectFunction = HMONITOR(WINAPI*)(LPCRECT, DWORD);
using GetMonitorInfoFunction = BOOL(WINAPI*)(HMONITOR, LPMONITORINFO);

struct MonitorFunctions {
  MonitorFromPointFunction fromPoint = nullptr;
  MonitorFromRectFunction fromRect = nullptr;
  GetMonitorInfoFunction info = nullptr;
};

const MonitorFunctions& Monitors() {
  static const MonitorFunctions functions = [] {
    MonitorFunctions found;
    if (HMODULE user = GetModuleHandleA("USER32")) {
      found.fromPoint = reinterpret_cast<MonitorFromPointFunction>(
          reinterpret_cast<void*>(GetProcAddress(user, "MonitorFromPoint")));
      found.fromRect = reinterpret_cast<MonitorFromRectFunction>(
          reinterpret_cast<void*>(GetProcAddress(user, "MonitorFromRect")));
      found.info = reinterpret_cast<GetMonitorInfoFunction>(
          reinterpret_cast<void*>(GetProcAddress(user, "GetMonitorInfoA")));
    }
    if (!found.fromPoint || !found.fromRect || !found.info) found = MonitorFunctions{};
    return found;
  }();
  return functions;
}

RECT PrimaryScreen() { return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

// The full monitor (taskbar included), never the work area.
RECT MonitorRect(HMONITOR monitor) {
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  if (monitor && Monitors().info(monitor, &info)) return info.rcMonitor;
  return PrimaryScreen();
}

}  // namespace

void PlaceDialogAtCursor(HWND window) {
  RECT frame = {};
  GetWindowRect(window, &frame);
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;
  POINT cursor = {};
  GetCursorPos(&cursor);
  RECT monitor = Monitors().fromPoint ? MonitorRect(Monitors().fromPoint(cursor, MONITOR_DEFAULTTOPRIMARY))
                                      : PrimaryScreen();
  // The order of the tests keeps an oversized dialog at the left and bottom edges.
  int x = cursor.x - width / 2;
  if (x + width > monitor.right) x = monitor.right - width;
  if (x < monitor.left) x = monitor.left;
  int y = cursor.y - height / 2;
  if (y < monitor.top) y = monitor.top;
  if (y + height > monitor.bottom) y = monitor.bottom - height;
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void GetMonitorRectOfRect(RECT* monitor, const RECT* rect) {
  *monitor = Monitors().fromRect ? MonitorRect(Monitors().fromRect(rect, MONITOR_DEFAULTTOPRIMARY))
                                 : PrimaryScreen();
}
