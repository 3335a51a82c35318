// The files in the data folder that the companion programs share with us.
#include "companion/companion.h"

#include <io.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/app.h"
#include "companion/exec_list.h"
#include "platform/scoped.h"

namespace {

// The region-selection companion's window, found when the control panel opens.
HWND QvWindow = nullptr;

const char kPindleClass[] = "Pindle API-kurasu";
const char kPindleTitle[] = "Pindle TSR";

// Delivered within 5 s, or at once waiting as long as the companion keeps working.
int SendToQv(WPARAM wParam, LPARAM lParam) {
  if (!QvWindow) return 0;
  DWORD_PTR answer = 0;
  return SendMessageTimeoutA(QvWindow, WM_REGIONSELECTED, wParam, lParam, SMTO_NOTIMEOUTIFNOTHUNG, 5000, &answer)
             ? 1
             : 0;
}

// The data folder "...\Qv\" into buffer; false when it does not exist or does not fit.
bool CompanionFolder(char* buffer) {
  buffer[0] = 0;
  if (!SHGetSpecialFolderPathA(nullptr, buffer, CSIDL_APPDATA, FALSE)) return false;
  buffer[kPathSize - 1] = 0;
  return AppendPath(buffer, "\\Qv\\") && _access(buffer, 0) == 0;
}

// The whole file, or nothing when it cannot be read (an absent list).
std::vector<char> ReadList(const char* path) {
  std::vector<char> text;
  ScopedFile file(std::fopen(path, "rb"));
  if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) return text;
  long size = std::ftell(file.get());
  if (size <= 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) return text;
  text.resize(static_cast<std::size_t>(size));
  text.resize(std::fread(text.data(), 1, text.size(), file.get()));
  return text;
}

}  // namespace

int GetPindleGifPath(char* buffer) {
  if (!CompanionFolder(buffer)) return 0;
  return AppendPath(buffer, "$pindle.gif") ? 1 : 0;
}

int RegisterInExecList() {
  char path[kPathSize];
  if (!CompanionFolder(path) || !AppendPath(path, "$exec-list.txt")) return 0;
  char exePath[kPathSize] = {};
  GetModuleFileNameA(nullptr, exePath, sizeof exePath);
  exePath[sizeof exePath - 1] = 0;

  std::vector<char> old = ReadList(path);
  std::string content;
  if (!UpdateExecList(old.data(), old.size(), ExecListLine(exePath), &content)) return 0;
  // A failure to write is not the launcher's concern at start-up; the entry was tried.
  ScopedFile file(std::fopen(path, "wb"));
  if (file) std::fwrite(content.data(), 1, content.size(), file.get());
  return 1;
}

int QvRegisterWindow(HWND panel) {
  QvWindow = FindWindowA("Qv Touroku Kurasu", nullptr);
  return SendToQv(reinterpret_cast<WPARAM>(panel), WM_REGIONSELECTED);
}

int QvUnregisterWindow(HWND panel) { return SendToQv(reinterpret_cast<WPARAM>(panel), 0); }

int QvRequestRegion() { return SendToQv(0, 2); }

bool PindleIsEditing() {
  HWND pindle = FindWindowA(kPindleClass, kPindleTitle);
  return pindle && SendMessageA(pindle, WM_PINDLE, 1, 0) == 1;
}

void NotifyPindleFileReady() {
  if (HWND pindle = FindWindowA(kPindleClass, kPindleTitle)) SendMessageA(pindle, WM_PINDLE, 0, 1);
}
