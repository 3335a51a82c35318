// The build probe (see build_probe.h). It runs inside the program's GUI thread, in
// the middle of a build, and only reads the progress dialog's texts, except for the
// one cancel press it was asked for.
#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "tests/e2e/driver/probe/build_probe.h"

namespace {

constexpr int kStepText = 1020;
constexpr int kElapsedText = 1016;
constexpr int kRemainingText = 1017;

// Window handles fit 32 bits on both builds; the block keeps 64 for either.
unsigned long long HandleValue(HWND window) { return reinterpret_cast<UINT_PTR>(window); }

void Append(BuildProbeBlock* block, const char* line) {
  size_t length = std::strlen(line);
  long at = block->length;
  if (at + static_cast<long>(length) > static_cast<long>(sizeof block->text)) return;
  std::memcpy(block->text + at, line, length);
  MemoryBarrier();
  block->length = at + static_cast<long>(length);
}

struct DialogTexts {
  char step[128];
  char elapsed[32];
  char remaining[32];
};

void ReadTexts(HWND dialog, DialogTexts* texts) {
  texts->step[0] = texts->elapsed[0] = texts->remaining[0] = '\0';
  GetDlgItemTextA(dialog, kStepText, texts->step, sizeof texts->step);
  GetDlgItemTextA(dialog, kElapsedText, texts->elapsed, sizeof texts->elapsed);
  GetDlgItemTextA(dialog, kRemainingText, texts->remaining, sizeof texts->remaining);
}

void OnProgress(BuildProbeBlock* block, HWND dialog, int percent) {
  char line[512];
  if (block->dialog != HandleValue(dialog)) {
    block->dialog = HandleValue(dialog);
    char title[256] = "";
    GetWindowTextA(dialog, title, sizeof title);
    std::snprintf(line, sizeof line, "open\t0x%08lx\t%s\n", static_cast<unsigned long>(HandleValue(dialog)), title);
    Append(block, line);
  }
  DialogTexts texts;
  ReadTexts(dialog, &texts);
  std::snprintf(line, sizeof line, "progress\t%d\t%s\t%s\t%s\n", percent, texts.step, texts.elapsed, texts.remaining);
  Append(block, line);
  if (!block->cancelled && block->cancelStep[0] && std::strcmp(block->cancelStep, texts.step) == 0) {
    // What the button sends when clicked; the dialog's own pump, which runs right
    // after this hook, dispatches it before the build looks at its cancel flag.
    HWND button = GetDlgItem(dialog, IDCANCEL);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    block->cancelled = 1;
    std::snprintf(line, sizeof line, "cancel\t%s\t%d\n", texts.step, percent);
    Append(block, line);
  }
  if (block->slowMs) Sleep(block->slowMs);
}

void OnDestroy(BuildProbeBlock* block, HWND window) {
  if (block->dialog != HandleValue(window)) return;
  DialogTexts texts;
  ReadTexts(window, &texts);
  char line[512];
  std::snprintf(line, sizeof line, "closed\t%s\t%s\t%s\n", texts.step, texts.elapsed, texts.remaining);
  Append(block, line);
  block->dialog = 0;
  MemoryBarrier();
  block->closedDialogs = block->closedDialogs + 1;
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK BuildProbeCallWndProc(int code, WPARAM wParam, LPARAM lParam) {
  auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && (call->message == WM_BUILDPROGRESS || call->message == WM_DESTROY)) {
    // Opened at each event, never kept: the block belongs to one driver run, and the
    // DLL may stay in the program after that run unhooked it.
    if (HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, FRIMBOLA_BUILD_PROBE_BLOCK)) {
      if (auto* block = static_cast<BuildProbeBlock*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(BuildProbeBlock)))) {
        if (call->message == WM_BUILDPROGRESS) OnProgress(block, call->hwnd, static_cast<int>(call->wParam));
        else OnDestroy(block, call->hwnd);
        UnmapViewOfFile(block);
      }
      CloseHandle(mapping);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
