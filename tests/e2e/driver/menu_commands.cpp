// The tray menu: open it through the tray callback, read its items, choose one.
// Items are read by the probe DLL inside the program (menu_probe.h); an item is
// chosen as a user would with the keyboard: posted arrow keys and a posted Enter
// reach TrackPopupMenu's own message loop, so TPM_RETURNCMD returns the item's id.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/app.h"
#include "tests/e2e/driver/driver.h"
#include "tests/e2e/driver/probe/menu_probe.h"

namespace {

struct MenuItem {
  bool separator;
  unsigned id;
  std::string line;  // "ID<TAB>TEXT..." in UTF-8
};

// The program's visible popup menu window (class "#32768").
HWND FindOpenMenu(const void* context) {
  DWORD programPid = *static_cast<const DWORD*>(context);
  for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, "#32768", nullptr)) != nullptr;) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (IsWindowVisible(window) && pid == programPid) return window;
  }
  return nullptr;
}

HWND NoOpenMenu(const void* context) { return FindOpenMenu(context) ? nullptr : GetDesktopWindow(); }

bool ProgramPid(HWND mainWindow, DWORD* pid) {
  *pid = 0;
  GetWindowThreadProcessId(mainWindow, pid);
  return *pid != 0;
}

bool ReadItems(HWND menuWindow, std::vector<MenuItem>* items) {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  char* slash = std::strrchr(path, '\\');
  if (!length || !slash) return Fail("no path of the driver"), false;
  std::snprintf(slash + 1, MAX_PATH - (slash + 1 - path), "%s", FRIMBOLA_PROBE_DLL);
  HMODULE probe = LoadLibraryA(path);
  if (!probe) return Fail("cannot load %s (%lu)", path, GetLastError()), false;
  auto hook = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(probe, FRIMBOLA_PROBE_HOOK)));
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(ProbeBlock), FRIMBOLA_PROBE_BLOCK);
  auto* block = mapping ? static_cast<ProbeBlock*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(ProbeBlock))) : nullptr;
  bool ok = false;
  if (!hook || !block) {
    Fail("probe set-up failed (%lu)", GetLastError());
  } else {
    block->ready = 0;
    DWORD thread = GetWindowThreadProcessId(menuWindow, nullptr);
    if (HHOOK installed = SetWindowsHookExA(WH_CALLWNDPROC, hook, probe, thread)) {
      DWORD_PTR result = 0;
      SendMessageTimeoutA(menuWindow, RegisterWindowMessageA(FRIMBOLA_PROBE_MESSAGE), 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
      UnhookWindowsHookEx(installed);
      ok = block->ready == 1;
      if (!ok) Fail("the probe did not answer from the menu's process");
    } else {
      Fail("SetWindowsHookEx failed (%lu)", GetLastError());
    }
  }
  if (ok) {
    std::string text(block->text, block->length);
    for (size_t start = 0; start < text.size();) {
      size_t end = text.find('\n', start);
      std::string line = text.substr(start, end - start);
      start = end + 1;
      MenuItem item{line == "-", 0, Utf8FromAnsi(line.c_str())};
      if (!item.separator) item.id = static_cast<unsigned>(std::strtoul(line.c_str(), nullptr, 10));
      items->push_back(item);
    }
  }
  if (block) UnmapViewOfFile(block);
  if (mapping) CloseHandle(mapping);
  FreeLibrary(probe);
  return ok;
}

// Opens the tray menu as a press on the tray icon does, unless one is open already.
HWND OpenTrayMenu(DWORD* pid) {
  HWND mainWindow = FindWindowA("FrimBola", nullptr);
  if (!mainWindow || !ProgramPid(mainWindow, pid)) return Fail("no main window of class \"FrimBola\""), nullptr;
  if (HWND open = FindOpenMenu(pid)) return open;
  PostMessageA(mainWindow, WM_TRAYNOTIFY, 0, WM_RBUTTONDOWN);
  HWND menu = WaitFor(10000, FindOpenMenu, pid);
  if (!menu) Fail("the tray menu did not open within 10 s");
  return menu;
}

bool CloseMenu(HWND menu, const DWORD* pid) {
  PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  if (!WaitFor(10000, NoOpenMenu, pid)) return Fail("the menu did not close within 10 s"), false;
  return true;
}

int TrayMenu(int argc, char** argv) {
  bool keepOpen = argc > 0 && std::strcmp(argv[0], "--keep-open") == 0;
  DWORD pid = 0;
  HWND menu = OpenTrayMenu(&pid);
  std::vector<MenuItem> items;
  if (!menu || !ReadItems(menu, &items)) return 1;
  for (const MenuItem& item : items) PrintLine(item.line);
  if (!keepOpen && !CloseMenu(menu, &pid)) return 1;
  return 0;
}

// A menu the program opened by itself (a folder handed over, WM_SHOWTRAYMENU).
int MenuWait(int argc, char** argv) {
  bool keepOpen = false;
  DWORD ms = 10000;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--keep-open") == 0) keepOpen = true;
    else ms = ParseMs(argc, argv, i, ms);
  }
  HWND mainWindow = FindWindowA("FrimBola", nullptr);
  DWORD pid = 0;
  if (!mainWindow || !ProgramPid(mainWindow, &pid)) return Fail("no main window of class \"FrimBola\"");
  HWND menu = WaitFor(ms, FindOpenMenu, &pid);
  if (!menu) return Fail("no menu opened within %lu ms", ms);
  std::vector<MenuItem> items;
  if (!ReadItems(menu, &items)) return 1;
  for (const MenuItem& item : items) PrintLine(item.line);
  if (!keepOpen && !CloseMenu(menu, &pid)) return 1;
  return 0;
}

int MenuChoose(int argc, char** argv) {
  long long id = 0;
  if (argc < 1 || !ParseNumber(argv[0], &id)) return Fail("menu-choose needs an item id");
  DWORD pid = 0;
  HWND menu = OpenTrayMenu(&pid);
  std::vector<MenuItem> items;
  if (!menu || !ReadItems(menu, &items)) return 1;
  // Arrow-down from "nothing selected" selects the first item and skips separators.
  int steps = 0;
  const MenuItem* chosen = nullptr;
  for (const MenuItem& item : items) {
    if (item.separator) continue;
    ++steps;
    if (item.id == id) {
      chosen = &item;
      break;
    }
  }
  if (!chosen) {
    CloseMenu(menu, &pid);
    return Fail("the menu has no item %lld", id);
  }
  for (int i = 0; i < steps; ++i) PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageA(menu, WM_CHAR, '\r', 0);
  if (!WaitFor(10000, NoOpenMenu, &pid)) return Fail("the menu did not close within 10 s after Enter");
  PrintLine(chosen->line);
  return 0;
}

int MenuClose(int, char**) {
  HWND mainWindow = FindWindowA("FrimBola", nullptr);
  DWORD pid = 0;
  if (!mainWindow || !ProgramPid(mainWindow, &pid)) return Fail("no main window of class \"FrimBola\"");
  HWND menu = FindOpenMenu(&pid);
  if (!menu) return Fail("no menu is open");
  return CloseMenu(menu, &pid) ? 0 : 1;
}

const DriverCommand kCommands[] = {
    {"tray-menu", "[--keep-open]   opens the menu by the tray callback, prints \"ID<TAB>TEXT\" lines, closes it", TrayMenu},
    {"menu-wait", "[MS] [--keep-open]   waits for the program to open its menu by itself, prints and closes it", MenuWait},
    {"menu-choose", "ID   chooses an item of the open tray menu (opening it first when needed)", MenuChoose},
    {"menu-close", "   closes the open tray menu with Esc", MenuClose},
};

}  // namespace

std::span<const DriverCommand> MenuCommands() { return kCommands; }
