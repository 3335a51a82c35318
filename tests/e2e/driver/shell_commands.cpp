// Files as Windows sees them: shell links, attributes, special folders, INI values.
#include <shlobj.h>

#include <cstring>
#include <string>

#include "tests/e2e/driver/driver.h"

namespace {

// COM for the length of one subcommand.
class ScopedCom {
 public:
  ScopedCom() : ok_(SUCCEEDED(CoInitialize(nullptr))) {}
  ~ScopedCom() {
    if (ok_) CoUninitialize();
  }
  ScopedCom(const ScopedCom&) = delete;
  ScopedCom& operator=(const ScopedCom&) = delete;
  explicit operator bool() const { return ok_; }

 private:
  bool ok_;
};

int ReadLink(int argc, char** argv) {
  if (argc < 1) return Fail("read-link needs a path");
  ScopedCom com;
  if (!com) return Fail("CoInitialize failed");
  IShellLinkA* link = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, reinterpret_cast<void**>(&link));
  if (FAILED(hr)) return Fail("no shell link object (0x%08lx)", hr);
  IPersistFile* file = nullptr;
  hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  if (SUCCEEDED(hr)) {
    wchar_t path[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, argv[0], -1, path, MAX_PATH);
    hr = file->Load(path, STGM_READ);
    file->Release();
  }
  if (FAILED(hr)) {
    link->Release();
    return Fail("cannot load the link \"%s\" (0x%08lx)", Utf8FromAnsi(argv[0]).c_str(), hr);
  }
  char text[1024];
  int icon = 0;
  text[0] = '\0';
  link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH);
  PrintLine("target\t" + Utf8FromAnsi(text));
  text[0] = '\0';
  link->GetArguments(text, sizeof text);
  PrintLine("arguments\t" + Utf8FromAnsi(text));
  text[0] = '\0';
  link->GetIconLocation(text, sizeof text, &icon);
  PrintLine("icon\t" + Utf8FromAnsi(text) + "," + std::to_string(icon));
  text[0] = '\0';
  link->GetDescription(text, sizeof text);
  PrintLine("description\t" + Utf8FromAnsi(text));
  text[0] = '\0';
  link->GetWorkingDirectory(text, sizeof text);
  PrintLine("workdir\t" + Utf8FromAnsi(text));
  link->Release();
  return 0;
}

struct NamedBit {
  DWORD bit;
  const char* name;
};

int Attributes(int argc, char** argv) {
  if (argc < 1) return Fail("attributes needs a path");
  DWORD attributes = GetFileAttributesA(argv[0]);
  if (attributes == INVALID_FILE_ATTRIBUTES) return Fail("no file \"%s\" (%lu)", Utf8FromAnsi(argv[0]).c_str(), GetLastError());
  static const NamedBit kBits[] = {
      {FILE_ATTRIBUTE_READONLY, "readonly"}, {FILE_ATTRIBUTE_HIDDEN, "hidden"},   {FILE_ATTRIBUTE_SYSTEM, "system"},
      {FILE_ATTRIBUTE_DIRECTORY, "directory"}, {FILE_ATTRIBUTE_ARCHIVE, "archive"}, {FILE_ATTRIBUTE_NORMAL, "normal"},
  };
  PrintFormat("0x%lx", attributes);
  for (const NamedBit& named : kBits) {
    if (attributes & named.bit) PrintFormat(" %s", named.name);
  }
  PrintFormat("\n");
  return 0;
}

struct NamedFolder {
  const char* name;
  int csidl;
};

int SpecialFolder(int argc, char** argv) {
  static const NamedFolder kFolders[] = {
      {"appdata", CSIDL_APPDATA}, {"mypictures", CSIDL_MYPICTURES}, {"personal", CSIDL_PERSONAL}, {"desktop", CSIDL_DESKTOPDIRECTORY},
  };
  if (argc < 1) return Fail("special-folder needs appdata, mypictures, personal or desktop");
  for (const NamedFolder& folder : kFolders) {
    if (std::strcmp(folder.name, argv[0]) != 0) continue;
    char path[MAX_PATH] = "";
    if (!SHGetSpecialFolderPathA(nullptr, path, folder.csidl, FALSE) || !path[0]) return Fail("no folder %s", argv[0]);
    PrintLine(Utf8FromAnsi(path));
    return 0;
  }
  return Fail("unknown folder \"%s\"", argv[0]);
}

// A value as the private-profile functions read it; a missing key is an error.
int IniRead(int argc, char** argv) {
  if (argc < 3) return Fail("ini-read needs FILE SECTION KEY");
  char value[4096];
  const char* missing = "\x01missing\x01";
  GetPrivateProfileStringA(argv[1], argv[2], missing, value, sizeof value, argv[0]);
  if (std::strcmp(value, missing) == 0) return Fail("no key [%s] %s", argv[1], argv[2]);
  PrintLine(Utf8FromAnsi(value));
  return 0;
}

// The text (ANSI) in UTF-7 as Windows writes it (code page 65000).
int Utf7(int argc, char** argv) {
  if (argc < 1) return Fail("utf7 needs a text");
  int wide = MultiByteToWideChar(CP_ACP, 0, argv[0], -1, nullptr, 0);
  std::wstring text(wide, L'\0');
  MultiByteToWideChar(CP_ACP, 0, argv[0], -1, text.data(), wide);
  int bytes = WideCharToMultiByte(65000, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf7(bytes, '\0');
  WideCharToMultiByte(65000, 0, text.c_str(), -1, utf7.data(), bytes, nullptr, nullptr);
  PrintLine(utf7.c_str());
  return 0;
}

const DriverCommand kCommands[] = {
    {"read-link", "PATH   prints target, arguments, icon (path,index), description, workdir", ReadLink},
    {"attributes", "PATH   prints the attribute word and its names", Attributes},
    {"special-folder", "appdata|mypictures|personal|desktop", SpecialFolder},
    {"ini-read", "FILE SECTION KEY", IniRead},
    {"utf7", "TEXT   the text in UTF-7 (code page 65000)", Utf7},
};

}  // namespace

std::span<const DriverCommand> ShellCommands() { return kCommands; }
