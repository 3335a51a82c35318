// Start-up and the main loop: one instance per user, the data and output folders,
// the settings held for the run, and the hidden main window, rebuilt on restart.
#include <io.h>
#include <shlobj.h>
#include <commctrl.h>
#include <mbstring.h>

#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "app/command_line.h"
#include "app/main_window.h"
#include "app/output_folder.h"
#include "app/settings.h"
#include "app/settings_values.h"
#include "companion/companion.h"
#include "gif/credit_screen.h"

namespace {

const char kMainClass[] = "FrimBola";

// Hands the folder of the command line (or a request for the panel) to the
// instance that already runs.
void HandOver(HWND running) {
  if (RunState & RS_CMDFOLDER) {
    COPYDATASTRUCT data = {};
    data.dwData = (RunState & RS_DEFINE) ? 1 : 0;
    data.cbData = static_cast<DWORD>(std::strlen(OutputFolder) + 1);
    data.lpData = OutputFolder;
    SendMessageA(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
  } else {
    PostMessageA(running, WM_OPENPANEL, 0, 0);
  }
}

// The pictures folder's "Frimbola", made and dressed when it is new.
bool UseDefaultOutputFolder(const char* exePath) {
  OutputFolder[0] = 0;
  if (!SHGetSpecialFolderPathA(nullptr, OutputFolder, CSIDL_MYPICTURES, FALSE) || !OutputFolder[0]) {
    ShowWarning(kWarnSystemFault, nullptr);
    return false;
  }
  if (!AppendPath(OutputFolder, "\\Frimbola")) {
    ShowWarning(kWarnFolderNotCreated, nullptr);
    return false;
  }
  if (_access(OutputFolder, 0) != 0) {
    if (!CreateDirectoryA(OutputFolder, nullptr)) {
      ShowWarning(kWarnFolderNotCreated, nullptr);
      return false;
    }
    AppendPath(OutputFolder, "\\");
    SetFolderIcon(exePath, OutputFolder);
    char link[kPathSize];
    char target[kPathSize];
    if (std::snprintf(link, sizeof link, "%s_tavelo.lnk", OutputFolder) < kPathSize &&
        std::snprintf(target, sizeof target, "%stavelo.exe", ExeFolder) < kPathSize) {
      CreateShortcut(link, target);
    }
  } else {
    AppendPath(OutputFolder, "\\");
  }
  WriteIniText("option", "outputfolder", OutputFolder);
  return true;
}

void ReadHeldSettings() {
  ReadIniText("option", "prefix", "A", Settings.prefix, sizeof Settings.prefix);
  Settings.filecount = ReadIniInt("option", "filecount", 1001);
  Settings.intervaltimer = ClampIntervalTimer(ReadIniInt("option", "intervaltimer", 10000));
  Settings.hotkey = ReadIniInt("option", "hotkey", 123);
  Settings.hotkeymod = ReadIniInt("option", "hotkeymod", MOD_CONTROL);
  Settings.jpegquality = ClampJpegQuality(ReadIniInt("option", "jpegquality", 80));
}

bool RegisterMainClass() {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = AppInstance;
  windowClass.hIcon = LoadIconA(AppInstance, MAKEINTRESOURCEA(101));
  windowClass.lpszClassName = kMainClass;
  return RegisterClassA(&windowClass) != 0;
}

void RunMainLoop() {
  for (;;) {
    CreateWindowExA(0, kMainClass, "", 0, 0, 0, 0, 0, nullptr, nullptr, AppInstance, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (!(RunState & RS_RESTART)) return;
    RunState = 0;  // a restarted window starts fresh, with the same settings and folder
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  AppInstance = instance;
  OutputFolder[0] = 0;

  bool define = false;
  ParseCommandLine(commandLine ? commandLine : "", OutputFolder, sizeof OutputFolder, &define);
  if (define) RunState |= RS_DEFINE;
  if (OutputFolder[0] && IsUsableFolder(OutputFolder)) RunState |= RS_CMDFOLDER;

  if (HWND running = FindWindowA(kMainClass, nullptr)) {
    HandOver(running);
    return 0;
  }

  AppDataFolder[0] = 0;
  if (!SHGetSpecialFolderPathA(nullptr, AppDataFolder, CSIDL_APPDATA, FALSE) || !AppDataFolder[0]) {
    ShowWarning(kWarnSystemFault, nullptr);
    return 0;
  }
  if (!AppendPath(AppDataFolder, "\\Qv\\")) {
    ShowWarning(kWarnFolderNotCreated, nullptr);
    return 0;
  }
  if (_access(AppDataFolder, 0) != 0 && !CreateDirectoryA(AppDataFolder, nullptr)) {
    ShowWarning(kWarnFolderNotCreated, nullptr);
    return 0;
  }
  std::snprintf(IniPath, sizeof IniPath, "%sfrimbola.ini", AppDataFolder);
  InstallCreditTemplate();

  OptionFlags = static_cast<DWORD>(ReadIniInt("option", "flags", 0));

  char exePath[kPathSize] = {};
  GetModuleFileNameA(nullptr, exePath, sizeof exePath);
  exePath[sizeof exePath - 1] = 0;
  if (!(OptionFlags & OF_EXECLISTDONE)) {
    // The flag reaches the settings file at exit, so this happens at the first start only.
    OptionFlags |= OF_EXECLISTDONE;
    RegisterInExecList();
  }

  std::memcpy(ExeFolder, exePath, sizeof ExeFolder);
  auto* slash = reinterpret_cast<char*>(_mbsrchr(reinterpret_cast<unsigned char*>(ExeFolder), '\\'));
  if (!slash) {
    ShowWarning(kWarnSystemFault, nullptr);
    return 0;
  }
  slash[1] = 0;

  // A folder from the command line holds for this run only and is never stored.
  if (!(RunState & RS_CMDFOLDER)) ReadIniText("option", "outputfolder", "", OutputFolder, sizeof OutputFolder);
  if (!IsUsableFolder(OutputFolder) && !UseDefaultOutputFolder(exePath)) return 0;

  ReadHeldSettings();
  if (!RegisterMainClass()) return 0;
  InitCommonControls();

  RunMainLoop();

  WriteIniInt("option", "filecount", Settings.filecount);
  WriteIniInt("option", "flags", static_cast<int>(OptionFlags));
  return 0;
}
