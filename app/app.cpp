#include "app/app.h"

#include <mbstring.h>
#include <sys/stat.h>

#include <cstring>
#include <string>

DWORD RunState = 0;
DWORD OptionFlags = 0;
HINSTANCE AppInstance = nullptr;
char AppDataFolder[kPathSize];
char IniPath[kPathSize];
char ExeFolder[kPathSize];
char OutputFolder[kPathSize];
HeldSettings Settings = {"A", 1001, 10000, 123, MOD_CONTROL, 80};

namespace {

// Indexes 0, 9 and 10 are unused. The half-width "､" and "ｰ" of 4 and 5 and the
// full-width "．" of 11 are the texts as they have always read.
const char* const MessageTable[] = {
    "",
    "システム異常です.",
    "フォルダが作成できません.",
    "キーが入力されていません.",
    "このホットキーは､有効です.",
    "このホットキーｰは､無効です.",
    "アニメGIFが作成できませんでした.",
    "サイズ変換できませんでした.",
    "切り取る範囲が指定されていません.",
    "",
    "",
    "Pindleの編集中ではありません．\nアニメGIFのファイルを作成します．",
};

}  // namespace

const char* MessageText(int index) {
  if (index < 0 || index >= static_cast<int>(std::size(MessageTable))) return "";
  return MessageTable[index];
}

void ShowWarning(int index, HWND owner) {
  MessageBeep(0);
  MessageBoxA(owner, MessageText(index), "Frimbola", MB_TOPMOST | MB_ICONEXCLAMATION);
}

bool QueryYesNo(const char* text, HWND owner) {
  std::string question = text;
  question += "\nよろしいですか?";
  return MessageBoxA(owner, question.c_str(), "Frimbola", MB_TOPMOST | MB_ICONQUESTION | MB_YESNO) == IDYES;
}

bool AppendPath(char* path, const char* text) {
  std::size_t used = strnlen(path, kPathSize);
  std::size_t length = std::strlen(text);
  if (used + length >= kPathSize) return false;
  std::memcpy(path + used, text, length + 1);
  return true;
}

int IsUsableFolder(char* path) {
  std::size_t length = strnlen(path, kPathSize);
  if (length == 0 || length >= kPathSize || length < 3 || path[1] != ':' || path[2] != '\\') return 0;
  char root[4] = {path[0], path[1], path[2], 0};
  if (GetDriveTypeA(root) == DRIVE_UNKNOWN) return 0;
  if (length == 3) return 1;  // a drive root needs no status query

  // Multibyte-aware: a trail byte of a Shift-JIS character may be 0x5C.
  auto* last = reinterpret_cast<char*>(_mbsrchr(reinterpret_cast<unsigned char*>(path), '\\'));
  if (!last) return 0;
  bool removed = last[1] == 0;
  // A folder of 255 characters has no room left for its backslash.
  if (!removed && length + 1 >= kPathSize) return 0;
  if (removed) *last = 0;
  struct _stat64i32 status;
  if (_stat64i32(path, &status) == 0 && (status.st_mode & _S_IFDIR)) {
    std::size_t end = std::strlen(path);
    path[end] = '\\';
    path[end + 1] = 0;
    return 1;
  }
  if (removed) *last = '\\';
  return 0;
}
