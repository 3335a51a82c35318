// The GIF build from outside: its progress dialog (through the build probe, see
// probe/build_probe.h), a stand-in for the companion clip program that takes finished
// GIFs, and the credit title's measure.
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/scoped_win.h"
#include "tests/e2e/driver/driver.h"
#include "tests/e2e/driver/probe/build_probe.h"
#include "tests/e2e/driver/probe/menu_probe.h"

namespace {

// The probe DLL beside the driver.
HMODULE LoadProbe() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  char* slash = std::strrchr(path, '\\');
  if (!length || !slash) return nullptr;
  std::snprintf(slash + 1, MAX_PATH - (slash + 1 - path), "%s", FRIMBOLA_PROBE_DLL);
  return LoadLibraryA(path);
}

// Prints the block's new lines (UTF-8) from *printed on.
void PrintNewLines(const BuildProbeBlock* block, long* printed) {
  long length = block->length;
  MemoryBarrier();
  while (*printed < length) {
    const char* start = block->text + *printed;
    const char* end = static_cast<const char*>(std::memchr(start, '\n', length - *printed));
    if (!end) break;
    PrintLine(Utf8FromAnsi(start, static_cast<int>(end - start)));
    *printed = static_cast<long>(end - block->text) + 1;
  }
}

int BuildWatch(int argc, char** argv) {
  const char* cancelStep = "";
  DWORD slowMs = 0, ms = 60000;
  long dialogs = 1;
  for (int i = 0; i < argc; ++i) {
    long long value = 0;
    if (std::strcmp(argv[i], "--cancel-at") == 0 && i + 1 < argc) cancelStep = argv[++i];
    else if (std::strcmp(argv[i], "--slow") == 0 && i + 1 < argc) slowMs = ParseMs(argc, argv, ++i, 0);
    else if (std::strcmp(argv[i], "--ms") == 0 && i + 1 < argc) ms = ParseMs(argc, argv, ++i, ms);
    else if (std::strcmp(argv[i], "--dialogs") == 0 && i + 1 < argc && ParseNumber(argv[++i], &value) && value > 0)
      dialogs = static_cast<long>(value);
    else return Fail("unexpected argument \"%s\"", argv[i]);
  }
  if (std::strlen(cancelStep) >= sizeof(BuildProbeBlock::cancelStep)) return Fail("step name too long");
  HWND mainWindow = FindWindowA("FrimBola", nullptr);
  if (!mainWindow) return Fail("no main window of class \"FrimBola\"");
  DWORD thread = GetWindowThreadProcessId(mainWindow, nullptr);

  HMODULE probe = LoadProbe();
  auto hook = probe ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(probe, FRIMBOLA_BUILD_PROBE_HOOK)))
                    : nullptr;
  if (!hook) return Fail("cannot load the probe's build hook (%lu)", GetLastError());
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(BuildProbeBlock),
                                     FRIMBOLA_BUILD_PROBE_BLOCK);
  auto* block = mapping ? static_cast<BuildProbeBlock*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(BuildProbeBlock)))
                        : nullptr;
  int result = 0;
  if (!block) {
    result = Fail("no shared block (%lu)", GetLastError());
  } else {
    block->length = 0;
    block->closedDialogs = 0;
    block->slowMs = slowMs;
    std::snprintf(block->cancelStep, sizeof block->cancelStep, "%s", cancelStep);
    block->cancelled = 0;
    block->dialog = 0;
    HHOOK installed = SetWindowsHookExA(WH_CALLWNDPROC, hook, probe, thread);
    if (!installed) {
      result = Fail("SetWindowsHookEx failed (%lu)", GetLastError());
    } else {
      // The scenario starts the build once it reads this line.
      PrintLine("hooked");
      long printed = 0;
      DWORD start = GetTickCount();
      while (block->closedDialogs < dialogs) {
        PrintNewLines(block, &printed);
        if (GetTickCount() - start >= ms) {
          result = Fail("%ld of %ld progress dialogs closed within %lu ms", static_cast<long>(block->closedDialogs), dialogs, ms);
          break;
        }
        if (!IsWindow(mainWindow)) {
          result = Fail("the program's main window went away during the build");
          break;
        }
        Sleep(20);
      }
      PrintNewLines(block, &printed);
      UnhookWindowsHookEx(installed);
    }
  }
  if (block) UnmapViewOfFile(block);
  if (mapping) CloseHandle(mapping);
  FreeLibrary(probe);
  return result;
}

// The companion clip program as the program sees it: a window of its class and title
// that answers the editing query (message 1061, wParam 1) and logs every 1061 with the
// state of the exchange file at that moment.
constexpr UINT kPindleMessage = WM_USER + 37;

struct PindleState {
  LRESULT answer;
  char exchangeFile[MAX_PATH];
};
PindleState Pindle;

LRESULT CALLBACK PindleProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kPindleMessage) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    std::string file = "absent";
    if (GetFileAttributesExA(Pindle.exchangeFile, GetFileExInfoStandard, &data)) {
      file = std::to_string((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
    }
    PrintFormat("message\t%lu\t%ld\t%s\n", static_cast<unsigned long>(wParam), static_cast<long>(lParam), file.c_str());
    return wParam == 1 ? Pindle.answer : 0;
  }
  switch (message) {
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

int PindleWindow(int argc, char** argv) {
  long long answer = 0;
  if (argc < 1 || !ParseNumber(argv[0], &answer)) return Fail("pindle needs the answer to the editing query");
  DWORD ms = ParseMs(argc, argv, 1, 60000);
  Pindle.answer = static_cast<LRESULT>(answer);
  char folder[MAX_PATH] = "";
  if (!SHGetSpecialFolderPathA(nullptr, folder, CSIDL_APPDATA, FALSE)) return Fail("no application-data folder");
  std::snprintf(Pindle.exchangeFile, sizeof Pindle.exchangeFile, "%s\\Qv\\$pindle.gif", folder);

  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = PindleProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "Pindle API-kurasu";
  if (!RegisterClassA(&windowClass)) return Fail("RegisterClass failed (%lu)", GetLastError());
  HWND window = CreateWindowExA(0, windowClass.lpszClassName, "Pindle TSR", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                windowClass.hInstance, nullptr);
  if (!window) return Fail("CreateWindow failed (%lu)", GetLastError());
  ServeWindowFor(window, ms);
  PrintLine("closed");
  return 0;
}

// The credit title as the program draws it: the font it measures and draws with, the
// text at (0, 0) of a monochrome bitmap of the text's extent, black on white, so that
// a scenario knows the title's exact pixels.
LOGFONTA CreditFont(const char* face, LONG height) {
  LOGFONTA logFont{};
  logFont.lfHeight = height;
  logFont.lfCharSet = SHIFTJIS_CHARSET;
  logFont.lfOutPrecision = OUT_TT_PRECIS;
  logFont.lfPitchAndFamily = FF_MODERN;
  std::snprintf(logFont.lfFaceName, sizeof logFont.lfFaceName, "%s", face);
  return logFont;
}

int CreditText(int argc, char** argv, bool mask) {
  long long height = 0;
  if (argc < 3 || !ParseNumber(argv[1], &height)) return Fail("needs FONT HEIGHT TEXT");
  const LOGFONTA logFont = CreditFont(argv[0], static_cast<LONG>(height));
  const char* text = argv[2];
  const int length = static_cast<int>(std::strlen(text));
  SIZE extent{};
  std::string rows;
  {
    // Declared first so that they go last, once no device context holds them.
    ScopedGdiObject<HFONT> font(CreateFontIndirectA(&logFont));
    ScopedGdiObject<HBITMAP> bitmap;
    ScopedGetDC screen(nullptr);
    ScopedMemoryDC memory(screen.get());
    ScopedSelectObject selectedFont(memory.get(), font.get());
    if (!selectedFont.ok() || !GetTextExtentPoint32A(memory.get(), text, length, &extent)) {
      return Fail("GetTextExtentPoint32 failed (%lu)", GetLastError());
    }
    if (mask && extent.cx > 0 && extent.cy > 0) {
      bitmap.reset(CreateBitmap(extent.cx, extent.cy, 1, 1, nullptr));
      ScopedSelectObject selectedBitmap(memory.get(), bitmap.get());
      if (!selectedBitmap.ok() || !ExtTextOutA(memory.get(), 0, 0, 0, nullptr, text, length, nullptr)) {
        return Fail("the text was not drawn (%lu)", GetLastError());
      }
      for (LONG y = 0; y < extent.cy; ++y) {
        for (LONG x = 0; x < extent.cx; ++x) rows += GetPixel(memory.get(), x, y) == 0 ? '#' : '.';
        rows += '\n';
      }
    }
  }
  PrintFormat("%ld\t%ld\n", extent.cx, extent.cy);
  std::fwrite(rows.data(), 1, rows.size(), stdout);
  return 0;
}

int TextExtent(int argc, char** argv) { return CreditText(argc, argv, false); }
int TextMask(int argc, char** argv) { return CreditText(argc, argv, true); }

const DriverCommand kCommands[] = {
    {"build-watch", "[--cancel-at STEP] [--slow MS] [--dialogs N] [--ms MS]   hooks the program's thread, prints "
                    "\"hooked\", then the progress dialog's events (open, progress, cancel, closed: "
                    "probe/build_probe.h) until N dialogs (1) closed; presses cancel at the first report of STEP; "
                    "holds each report MS", BuildWatch},
    {"pindle", "ANSWER [MS]   a window \"Pindle TSR\" of class \"Pindle API-kurasu\" that answers message 1061 with "
               "wParam 1 by ANSWER; prints \"ready<TAB>HWND\", then per 1061 \"message<TAB>WPARAM<TAB>LPARAM<TAB>SIZE\" "
               "(SIZE of $pindle.gif in the data folder then, or \"absent\"); ends on WM_CLOSE or after MS (60000)",
     PindleWindow},
    {"text-extent", "FONT HEIGHT TEXT   prints \"W<TAB>H\" of the text in the credit title's font", TextExtent},
    {"text-mask", "FONT HEIGHT TEXT   prints \"W<TAB>H\", then H rows of W characters: \"#\" where the title's text "
                  "is drawn, \".\" elsewhere", TextMask},
};

}  // namespace

std::span<const DriverCommand> GifCommands() { return kCommands; }
