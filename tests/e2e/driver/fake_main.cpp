// A stand-in for a running instance: a hidden window of the main window class that
// reports what a second start of the program hands over to it.
#include <cstdio>
#include <string>

#include "app/app.h"
#include "tests/e2e/driver/driver.h"

namespace {

const char* PrivateMessageName(UINT message) {
  switch (message) {
    case WM_SHOWTRAYMENU: return "WM_SHOWTRAYMENU";
    case WM_FRAMEREADY: return "WM_FRAMEREADY";
    case WM_OPENSETTINGS: return "WM_OPENSETTINGS";
    case WM_BUILDGIF: return "WM_BUILDGIF";
    case WM_OPENPANEL: return "WM_OPENPANEL";
    case WM_TRAYNOTIFY: return "WM_TRAYNOTIFY";
    default: return nullptr;
  }
}

void ReportCopyData(const COPYDATASTRUCT* copy) {
  const char* bytes = static_cast<const char*>(copy->lpData);
  std::string hex;
  size_t textLength = 0;
  while (textLength < copy->cbData && bytes[textLength]) ++textLength;
  for (DWORD i = 0; i < copy->cbData; ++i) {
    char digits[4];
    std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(bytes[i]));
    hex += digits;
  }
  PrintFormat("copydata\t%lu\t%lu\t%s\n", static_cast<unsigned long>(copy->dwData), copy->cbData, hex.c_str());
  PrintLine("copydata-text\t" + Utf8FromAnsi(bytes, static_cast<int>(textLength)));
}

LRESULT CALLBACK FakeMainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COPYDATA:
      ReportCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      if (message >= WM_USER && message < 0x8000) {
        const char* name = PrivateMessageName(message);
        if (name) PrintFormat("message\t%s\t%lu\t%ld\n", name, static_cast<unsigned long>(wParam), static_cast<long>(lParam));
        else PrintFormat("message\t%u\t%lu\t%ld\n", message, static_cast<unsigned long>(wParam), static_cast<long>(lParam));
        return 0;
      }
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

int FakeMain(int argc, char** argv) {
  DWORD ms = ParseMs(argc, argv, 0, 60000);
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = FakeMainProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "FrimBola";
  if (!RegisterClassA(&windowClass)) return Fail("RegisterClass failed (%lu)", GetLastError());
  HWND window = CreateWindowExA(0, "FrimBola", "", 0, 0, 0, 0, 0, nullptr, nullptr, windowClass.hInstance, nullptr);
  if (!window) return Fail("CreateWindow failed (%lu)", GetLastError());
  ServeWindowFor(window, ms);
  return 0;
}

const DriverCommand kCommands[] = {
    {"fake-main", "[MS]   a window of class \"FrimBola\" that prints \"ready<TAB>HWND\", then per WM_COPYDATA "
                  "\"copydata<TAB>DWDATA<TAB>CBDATA<TAB>HEX\" and \"copydata-text<TAB>TEXT\", per private message "
                  "\"message<TAB>NAME<TAB>WPARAM<TAB>LPARAM\"; ends on WM_CLOSE or after MS (60000)", FakeMain},
};

}  // namespace

std::span<const DriverCommand> FakeMainCommands() { return kCommands; }
