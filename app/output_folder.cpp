// Dressing a new output folder so Explorer shows it with the program's icon and
// it holds a shortcut to the sibling program. Every failure here is silent: the
// folder simply has no icon or no shortcut.
#include "app/output_folder.h"

#include <mbstring.h>
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdlib>
#include <cstring>

#include "app/app.h"
#include "platform/scoped_win.h"

char* ToUtf7(const char* text) {
  if (!text || !*text) return nullptr;
  int wideLength = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (wideLength <= 0) return nullptr;
  auto* wide = static_cast<wchar_t*>(std::malloc(sizeof(wchar_t) * static_cast<std::size_t>(wideLength)));
  if (!wide) return nullptr;
  char* utf7 = nullptr;
  if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide, wideLength) > 0) {
    int length = WideCharToMultiByte(CP_UTF7, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (length > 0 && (utf7 = static_cast<char*>(std::malloc(static_cast<std::size_t>(length))))) {
      if (WideCharToMultiByte(CP_UTF7, 0, wide, -1, utf7, length, nullptr, nullptr) <= 0) {
        std::free(utf7);
        utf7 = nullptr;
      }
    }
  }
  std::free(wide);
  return utf7;
}

void SetFolderIcon(const char* iconFile, char* folder) {
  std::size_t length = std::strlen(folder);
  if (length + sizeof "Desktop.ini" > kPathSize) return;
  std::strcpy(folder + length, "Desktop.ini");
  WritePrivateProfileStringA(".ShellClassInfo", "IconFile", iconFile, folder);
  WritePrivateProfileStringA(".ShellClassInfo", "IconIndex", "0", folder);
  WritePrivateProfileStringA(".ShellClassInfo.A", "IconFile", iconFile, folder);
  if (char* utf7 = ToUtf7(iconFile)) {
    WritePrivateProfileStringA(".ShellClassInfo.W", "IconFile", utf7, folder);
    std::free(utf7);
  }
  SetFileAttributesA(folder, FILE_ATTRIBUTE_HIDDEN);
  // Explorer reads Desktop.ini only in a folder marked as a system folder.
  folder[length - 1] = 0;
  PathMakeSystemFolderA(folder);
  folder[length - 1] = '\\';
  folder[length] = 0;
}

HRESULT CreateShortcut(const char* linkPath, const char* targetPath) {
  ScopedCom com;
  if (com.result() != S_OK) return com.result();
  ComRef<IShellLinkA> link;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                    reinterpret_cast<void**>(link.out()));
  if (FAILED(result)) return result;
  link->SetPath(targetPath);
  link->SetDescription("Frimbola");
  link->SetArguments(linkPath);
  link->SetIconLocation(targetPath, 1);
  ComRef<IPersistFile> file;
  result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.out()));
  if (SUCCEEDED(result)) {
    wchar_t widePath[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, linkPath, -1, widePath, MAX_PATH);
    widePath[MAX_PATH - 1] = 0;
    result = file->Save(widePath, TRUE);
  }
  return result;
}
