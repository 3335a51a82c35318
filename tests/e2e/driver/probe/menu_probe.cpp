// The probe DLL (see menu_probe.h). It runs inside the program's GUI thread while
// TrackPopupMenu's loop dispatches the driver's message, and only reads the menu.
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "tests/e2e/driver/probe/menu_probe.h"

#ifndef MN_GETHMENU
#define MN_GETHMENU 0x01E1
#endif

namespace {

void Append(ProbeBlock* block, const char* text) {
  size_t length = std::strlen(text);
  if (block->length + length > sizeof block->text) return;
  std::memcpy(block->text + block->length, text, length);
  block->length += static_cast<unsigned long>(length);
}

void WriteItems(HMENU menu, ProbeBlock* block) {
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    char text[512] = "";
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = sizeof text - 1;
    if (!GetMenuItemInfoA(menu, i, TRUE, &info)) continue;
    if (info.fType & MFT_SEPARATOR) {
      Append(block, "-\n");
      continue;
    }
    char id[16];
    std::snprintf(id, sizeof id, "%u\t", info.wID);
    Append(block, id);
    Append(block, text);
    if (info.fState & MFS_GRAYED) Append(block, "\tgrayed");
    if ((info.fState & MFS_DISABLED) && !(info.fState & MFS_GRAYED)) Append(block, "\tdisabled");
    if (info.fState & MFS_CHECKED) Append(block, "\tchecked");
    if (info.hSubMenu) Append(block, "\tsubmenu");
    Append(block, "\n");
  }
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK ProbeCallWndProc(int code, WPARAM wParam, LPARAM lParam) {
  static const UINT probeMessage = RegisterWindowMessageA(FRIMBOLA_PROBE_MESSAGE);
  auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && call->message == probeMessage) {
    if (HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, FRIMBOLA_PROBE_BLOCK)) {
      if (auto* block = static_cast<ProbeBlock*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(ProbeBlock)))) {
        block->length = 0;
        if (HMENU menu = reinterpret_cast<HMENU>(SendMessageA(call->hwnd, MN_GETHMENU, 0, 0))) WriteItems(menu, block);
        block->ready = 1;
        UnmapViewOfFile(block);
      }
      CloseHandle(mapping);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
