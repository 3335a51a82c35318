// What every group of subcommands uses: messages, text conversion, numbers, windows.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/app.h"
#include "tests/e2e/driver/driver.h"

int Fail(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::fputs("driver: ", stderr);
  std::vfprintf(stderr, format, args);
  std::fputc('\n', stderr);
  std::fflush(stderr);
  va_end(args);
  return 1;
}

std::string Utf8FromAnsi(const char* text, int length) {
  if (length < 0) length = static_cast<int>(std::strlen(text));
  if (length == 0) return {};
  int wide = MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
  std::vector<wchar_t> buffer(wide);
  MultiByteToWideChar(CP_ACP, 0, text, length, buffer.data(), wide);
  int bytes = WideCharToMultiByte(CP_UTF8, 0, buffer.data(), wide, nullptr, 0, nullptr, nullptr);
  std::string result(bytes, '\0');
  WideCharToMultiByte(CP_UTF8, 0, buffer.data(), wide, result.data(), bytes, nullptr, nullptr);
  return result;
}

void PrintLine(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void PrintFormat(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fflush(stdout);
}

namespace {

struct NamedNumber {
  const char* name;
  long long value;
};

const NamedNumber kNames[] = {
    {"WM_CLOSE", WM_CLOSE},
    {"WM_QUERYENDSESSION", WM_QUERYENDSESSION},
    {"WM_COMMAND", WM_COMMAND},
    {"WM_KEYDOWN", WM_KEYDOWN},
    {"WM_KEYUP", WM_KEYUP},
    {"WM_CHAR", WM_CHAR},
    {"WM_HOTKEY", WM_HOTKEY},
    {"WM_TIMER", WM_TIMER},
    {"WM_LBUTTONDOWN", WM_LBUTTONDOWN},
    {"WM_LBUTTONUP", WM_LBUTTONUP},
    {"WM_RBUTTONDOWN", WM_RBUTTONDOWN},
    {"WM_RBUTTONUP", WM_RBUTTONUP},
    {"WM_MOUSEMOVE", WM_MOUSEMOVE},
    {"WM_USER", WM_USER},
    {"WM_SHOWTRAYMENU", WM_SHOWTRAYMENU},
    {"WM_FRAMEREADY", WM_FRAMEREADY},
    {"WM_OPENSETTINGS", WM_OPENSETTINGS},
    {"WM_BUILDGIF", WM_BUILDGIF},
    {"WM_PANELUPDATE", WM_PANELUPDATE},
    {"WM_OPENPANEL", WM_OPENPANEL},
    {"WM_PASTETITLE", WM_PASTETITLE},
    {"WM_PINDLE", WM_PINDLE},
    {"WM_TRAYNOTIFY", WM_TRAYNOTIFY},
    {"WM_BUILDPROGRESS", WM_BUILDPROGRESS},
    {"WM_REGIONSELECTED", WM_REGIONSELECTED},
    {"IDOK", IDOK},
    {"IDCANCEL", IDCANCEL},
    {"IDYES", IDYES},
    {"IDNO", IDNO},
};

}  // namespace

bool ParseNumber(const char* text, long long* value) {
  for (const NamedNumber& named : kNames) {
    if (std::strcmp(named.name, text) == 0) {
      *value = named.value;
      return true;
    }
  }
  if (*text == '\0') return false;
  char* end = nullptr;
  *value = std::strtoll(text, &end, 0);
  return *end == '\0';
}

DWORD ParseMs(int argc, char** argv, int index, DWORD fallback) {
  long long ms = 0;
  if (index < argc && ParseNumber(argv[index], &ms) && ms >= 0) return static_cast<DWORD>(ms);
  return fallback;
}

HWND FindTarget(const char* name) {
  if (name[0] == '0' && (name[1] == 'x' || name[1] == 'X')) {
    HWND window = reinterpret_cast<HWND>(std::strtoul(name, nullptr, 16));
    return IsWindow(window) ? window : nullptr;
  }
  return FindWindowA(name, nullptr);
}

void ServeWindowFor(HWND window, DWORD ms) {
  PrintFormat("ready\t0x%08lx\n", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(window)));
  SetTimer(window, 1, ms, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_TIMER && msg.hwnd == window) {
      DestroyWindow(window);
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

HWND WaitFor(DWORD ms, HWND (*find)(const void* context), const void* context) {
  DWORD start = GetTickCount();
  for (;;) {
    if (HWND window = find(context)) return window;
    if (GetTickCount() - start >= ms) return nullptr;
    Sleep(50);
  }
}

namespace {

struct TopLevelQuery {
  const char* className;
  const char* title;
  HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM context) {
  auto* query = reinterpret_cast<TopLevelQuery*>(context);
  if (!IsWindowVisible(window) || ClassNameOf(window) != query->className) return TRUE;
  if (query->title && TextOf(window) != query->title) return TRUE;
  query->found = window;
  return FALSE;
}

}  // namespace

HWND FindVisibleTopLevel(const char* className, const char* title) {
  TopLevelQuery query{className, title, nullptr};
  EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

std::string ClassNameOf(HWND window) {
  char name[256] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::string TextOf(HWND window) {
  char text[1024] = "";
  // WM_GETTEXT with a time limit: a hung program must not hang the driver.
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                           SMTO_ABORTIFHUNG, 5000, &length)) {
    return {};
  }
  return std::string(text, std::strlen(text));
}
