// Top-level windows: listing, waiting, and messages to them.
#include <cstdio>
#include <cstring>
#include <vector>

#include "tests/e2e/driver/driver.h"

namespace {

BOOL CALLBACK PrintWindowLine(HWND window, LPARAM) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  PrintFormat("0x%08lx\t%lu\t%s\t%s\t", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(window)), pid,
              IsWindowVisible(window) ? "visible" : "hidden", Utf8FromAnsi(ClassNameOf(window).c_str()).c_str());
  PrintLine(Utf8FromAnsi(TextOf(window).c_str()));
  return TRUE;
}

int ListWindows(int, char**) {
  EnumWindows(PrintWindowLine, 0);
  return 0;
}

struct WindowQuery {
  const char* className;
  const char* title;  // null: any title
};

HWND FindAnyTopLevel(const void* context) {
  auto* query = static_cast<const WindowQuery*>(context);
  return FindWindowA(query->className, query->title);
}

int WaitWindow(int argc, char** argv) {
  if (argc < 1) return Fail("wait-window needs a class name");
  WindowQuery query{argv[0], argc > 1 && argv[1][0] ? argv[1] : nullptr};
  DWORD ms = ParseMs(argc, argv, 2, 10000);
  HWND window = WaitFor(ms, FindAnyTopLevel, &query);
  if (!window) return Fail("no window of class \"%s\" within %lu ms", argv[0], ms);
  PrintFormat("0x%08lx\n", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(window)));
  return 0;
}

HWND NoWindowLeft(const void* context) {
  // WaitFor wants a window: any non-null handle stands for "the wait is over".
  return FindAnyTopLevel(context) ? nullptr : GetDesktopWindow();
}

int WaitGone(int argc, char** argv) {
  if (argc < 1) return Fail("wait-gone needs a class name or a window handle");
  DWORD ms = ParseMs(argc, argv, 1, 10000);
  if (argv[0][0] == '0' && argv[0][1] == 'x') {
    DWORD start = GetTickCount();
    while (FindTarget(argv[0])) {
      if (GetTickCount() - start >= ms) return Fail("window %s still exists after %lu ms", argv[0], ms);
      Sleep(50);
    }
    return 0;
  }
  WindowQuery query{argv[0], nullptr};
  if (!WaitFor(ms, NoWindowLeft, &query)) return Fail("a window of class \"%s\" still exists after %lu ms", argv[0], ms);
  return 0;
}

bool ParseMessage(int argc, char** argv, HWND* window, UINT* message, WPARAM* wParam, LPARAM* lParam) {
  long long values[3] = {0, 0, 0};
  if (argc < 2) return Fail("needs WINDOW MESSAGE [WPARAM [LPARAM]]"), false;
  *window = FindTarget(argv[0]);
  if (!*window) return Fail("no window \"%s\"", argv[0]), false;
  for (int i = 1; i < argc && i < 4; ++i) {
    if (!ParseNumber(argv[i], &values[i - 1])) return Fail("not a number: \"%s\"", argv[i]), false;
  }
  *message = static_cast<UINT>(values[0]);
  *wParam = static_cast<WPARAM>(values[1]);
  *lParam = static_cast<LPARAM>(values[2]);
  return true;
}

int Post(int argc, char** argv) {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  if (!ParseMessage(argc, argv, &window, &message, &wParam, &lParam)) return 1;
  if (!PostMessageA(window, message, wParam, lParam)) return Fail("PostMessage failed (%lu)", GetLastError());
  return 0;
}

int Send(int argc, char** argv) {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  if (!ParseMessage(argc, argv, &window, &message, &wParam, &lParam)) return 1;
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 10000, &result)) {
    return Fail("the window did not answer within 10 s (%lu)", GetLastError());
  }
  PrintFormat("%ld\n", static_cast<long>(result));
  return 0;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// WM_COPYDATA as a second instance sends it, or malformed on purpose: the data is the
// text (ANSI, as the command line gave it) with its zero, or without it, or raw bytes.
int CopyData(int argc, char** argv) {
  if (argc < 3) return Fail("copydata needs WINDOW DWDATA TEXT");
  HWND window = FindTarget(argv[0]);
  if (!window) return Fail("no window \"%s\"", argv[0]);
  long long dwData = 0;
  if (!ParseNumber(argv[1], &dwData)) return Fail("not a number: \"%s\"", argv[1]);
  bool terminator = true;
  bool hex = false;
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--no-terminator") == 0) terminator = false;
    else if (std::strcmp(argv[i], "--hex") == 0) hex = true;
    else return Fail("unknown option \"%s\"", argv[i]);
  }
  std::vector<char> data;
  if (hex) {
    for (const char* p = argv[2]; p[0] && p[1]; p += 2) {
      if (HexDigit(p[0]) < 0 || HexDigit(p[1]) < 0) return Fail("not hexadecimal: \"%s\"", argv[2]);
      data.push_back(static_cast<char>(HexDigit(p[0]) * 16 + HexDigit(p[1])));
    }
  } else {
    data.assign(argv[2], argv[2] + std::strlen(argv[2]));
    if (terminator) data.push_back('\0');
  }
  // The bytes sit in a buffer exactly cbData long, followed by nothing of ours.
  COPYDATASTRUCT copy{static_cast<ULONG_PTR>(dwData), static_cast<DWORD>(data.size()), data.empty() ? nullptr : data.data()};
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy), SMTO_ABORTIFHUNG, 10000, &result)) {
    return Fail("WM_COPYDATA was not answered within 10 s (%lu)", GetLastError());
  }
  PrintFormat("%ld\n", static_cast<long>(result));
  return 0;
}

// The process id of a window's owner, for a scenario that must tell two instances apart.
int WindowPid(int argc, char** argv) {
  if (argc < 1) return Fail("window-pid needs a window");
  HWND window = FindTarget(argv[0]);
  if (!window) return Fail("no window \"%s\"", argv[0]);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  PrintFormat("%lu\n", pid);
  return 0;
}

int CountWindows(int argc, char** argv) {
  if (argc < 1) return Fail("count-windows needs a class name");
  int count = 0;
  for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, argv[0], nullptr)) != nullptr;) ++count;
  PrintFormat("%d\n", count);
  return 0;
}

BOOL CALLBACK PrintChildLine(HWND window, LPARAM) {
  RECT rect{};
  GetWindowRect(window, &rect);
  PrintFormat("0x%08lx\t%s\t%ld,%ld,%ld,%ld\t%s\t", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(window)),
              IsWindowVisible(window) ? "visible" : "hidden", rect.left, rect.top, rect.right, rect.bottom,
              Utf8FromAnsi(ClassNameOf(window).c_str()).c_str());
  PrintLine(Utf8FromAnsi(TextOf(window).c_str()));
  return TRUE;
}

// Child windows at every depth, with their screen rectangles.
int Children(int argc, char** argv) {
  if (argc < 1) return Fail("children needs a window");
  HWND window = FindTarget(argv[0]);
  if (!window) return Fail("no window \"%s\"", argv[0]);
  EnumChildWindows(window, PrintChildLine, 0);
  return 0;
}

const DriverCommand kCommands[] = {
    {"list-windows", "", ListWindows},
    {"children", "CLASS|0xHWND   prints \"HWND<TAB>STATE<TAB>L,T,R,B<TAB>CLASS<TAB>TITLE\" per child window", Children},
    {"wait-window", "CLASS [TITLE|\"\"] [MS]   prints the handle", WaitWindow},
    {"wait-gone", "CLASS|0xHWND [MS]", WaitGone},
    {"post", "CLASS|0xHWND MESSAGE [WPARAM [LPARAM]]   numbers or names (WM_CLOSE, WM_OPENPANEL, ...)", Post},
    {"send", "CLASS|0xHWND MESSAGE [WPARAM [LPARAM]]   prints the result", Send},
    {"copydata", "CLASS|0xHWND DWDATA TEXT|HEX [--no-terminator] [--hex]   prints the result", CopyData},
    {"window-pid", "CLASS|0xHWND", WindowPid},
    {"count-windows", "CLASS   top-level windows of the class, hidden ones too", CountWindows},
};

}  // namespace

std::span<const DriverCommand> WindowCommands() { return kCommands; }
