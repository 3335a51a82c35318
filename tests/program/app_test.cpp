// The program's shell modules driven directly: folder checks, the settings file,
// the folder hand-over from another process, the main window's release of the
// frame list, the output folder's dressing, the launcher list and dialog placement.
#include <objbase.h>
#include <shlobj.h>

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "app/app.h"
#include "app/main_window.h"
#include "app/output_folder.h"
#include "app/settings.h"
#include "capture/frame_store.h"
#include "companion/companion.h"
#include "tests/program/program_paths.h"
#include "tests/support/test_frames.h"
#include "ui/dialog_placement.h"

namespace {

std::string Folder(const std::string& name) {
  std::string path = WindowsPath(TempPath(name));
  CreateDirectoryA(path.c_str(), nullptr);
  return path;
}

TEST(IsUsableFolder, NormalisesUsableFoldersAndRefusesTheRest) {
  std::string existing = Folder("usable");
  // An existing folder of 255 characters: usable only if its backslash fits the 256 bytes.
  std::string longest = existing + "\\" + std::string(255 - existing.size() - 1, 'y');
  std::string nearly = existing + "\\" + std::string(254 - existing.size() - 1, 'z');
  ASSERT_TRUE(CreateDirectoryA(longest.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(nearly.c_str(), nullptr));
  struct Case {
    std::string path;
    int result;
    std::string after;
  } cases[] = {
      {"C:\\", 1, "C:\\"},
      {existing, 1, existing + "\\"},
      {existing + "\\", 1, existing + "\\"},
      {existing + "\\missing", 0, existing + "\\missing"},
      {existing + "\\missing\\", 0, existing + "\\missing\\"},
      {"\\\\server\\share\\x", 0, "\\\\server\\share\\x"},
      {longest, 0, longest},
      {longest + "\\", 0, longest + "\\"},
      {nearly, 1, nearly + "\\"},
      {"C:", 0, "C:"},
      {"", 0, ""},
      {"C:\\" + std::string(253, 'x'), 0, "C:\\" + std::string(253, 'x')},
  };
  for (const Case& c : cases) {
    char path[kPathSize + 8] = {};
    std::strncpy(path, c.path.c_str(), sizeof path - 1);
    EXPECT_EQ(IsUsableFolder(path), c.result) << c.path;
    EXPECT_EQ(std::string(path), c.after) << c.path;
  }
}

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string path = WindowsPath(TempPath("frimbola.ini"));
    std::strcpy(IniPath, path.c_str());
    DeleteFileA(IniPath);
  }
};

TEST_F(SettingsFile, ValuesOfAnyTextReadSafely) {
  struct Case {
    const char* text;
    int value;
  } cases[] = {
      {"abc", 0}, {"42abc", 42}, {"-7", -7}, {"99999999999999999999", 2147483647}, {"", 0}, {"\x81\x40", 0},
  };
  for (const Case& c : cases) {
    WritePrivateProfileStringA("option", "jpegquality", c.text, IniPath);
    EXPECT_EQ(ReadIniInt("option", "jpegquality", 80), c.value) << c.text;
  }
  EXPECT_EQ(ReadIniInt("option", "missing", 1001), 1001);

  std::string longText(300, '7');
  WritePrivateProfileStringA("option", "prefix", longText.c_str(), IniPath);
  char prefix[12];
  ReadIniText("option", "prefix", "A", prefix, sizeof prefix);
  EXPECT_EQ(std::string(prefix), std::string(11, '7'));

  RECT rect = {1, 2, 3, 4};
  WritePrivateProfileStringA("window", "rect", "10,20,300", IniPath);
  ReadWindowRect(&rect);
  EXPECT_TRUE(rect.left == 0 && rect.top == 0 && rect.right == 0 && rect.bottom == 0);
  RECT saved = {-5, 6, 700, 800};
  WriteWindowRect(&saved);
  ReadWindowRect(&rect);
  EXPECT_TRUE(EqualRect(&rect, &saved));
}

// The main window as the program makes it, for the messages another process sends.
class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AppInstance = GetModuleHandleA(nullptr);
    static bool registered = [] {
      WNDCLASSA windowClass = {};
      windowClass.lpfnWndProc = MainWindowProc;
      windowClass.hInstance = GetModuleHandleA(nullptr);
      windowClass.lpszClassName = "FrimBolaTest";
      return RegisterClassA(&windowClass) != 0;
    }();
    ASSERT_TRUE(registered);
    RunState = 0;
    OptionFlags = 0;
    Settings.hotkey = 0;  // no global hot key from a test
    window_ = CreateWindowExA(0, "FrimBolaTest", "", 0, 0, 0, 0, 0, nullptr, nullptr, AppInstance, nullptr);
    ASSERT_TRUE(window_);
    Drain();
  }
  void TearDown() override {
    if (IsWindow(window_)) DestroyWindow(window_);
    Drain();
  }
  // Takes the posted messages off the queue and returns the private ones seen.
  DWORD Drain() {
    DWORD seen = 0;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_SHOWTRAYMENU) seen |= 1;
      if (message.message == WM_OPENSETTINGS) seen |= 2;
      if (message.message == WM_QUIT) seen |= 4;
    }
    return seen;
  }
  HWND window_ = nullptr;
};

// The hand-over text lies at the very end of a page followed by an inaccessible
// one: reading one byte past cbData faults.
TEST_F(MainWindowTest, FolderHandOverIsReadWithinItsLength) {
  std::string folder = Folder("handover") + "\\";
  std::strcpy(OutputFolder, "C:\\");
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  auto* pages = static_cast<char*>(VirtualAlloc(nullptr, system.dwPageSize * 2, MEM_COMMIT, PAGE_READWRITE));
  ASSERT_TRUE(pages);
  DWORD old;
  VirtualProtect(pages + system.dwPageSize, system.dwPageSize, PAGE_NOACCESS, &old);

  // Without its terminator: the text is exactly cbData bytes.
  char* text = pages + system.dwPageSize - folder.size();
  std::memcpy(text, folder.data(), folder.size());
  COPYDATASTRUCT data = {0, static_cast<DWORD>(folder.size()), text};
  SendMessageA(window_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
  EXPECT_EQ(std::string(OutputFolder), folder);
  EXPECT_EQ(Drain(), 1u);  // the tray menu, as for every hand-over without the settings request

  // A text that fills its 256 bytes without a terminator is too long: only the settings request counts.
  std::strcpy(OutputFolder, "C:\\");
  char* full = pages + system.dwPageSize - kPathSize;
  std::memset(full, 'x', kPathSize);
  std::memcpy(full, "C:\\", 3);
  COPYDATASTRUCT tooLong = {1, kPathSize, full};
  SendMessageA(window_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&tooLong));
  EXPECT_EQ(std::string(OutputFolder), "C:\\");
  EXPECT_EQ(Drain(), 2u);

  // No data at all.
  COPYDATASTRUCT empty = {0, 0, nullptr};
  SendMessageA(window_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&empty));
  EXPECT_EQ(std::string(OutputFolder), "C:\\");
  VirtualFree(pages, 0, MEM_RELEASE);
}

TEST_F(MainWindowTest, DestructionLeavesTheFramesOfARunningBuild) {
  FrameCount = 0;
  HGLOBAL frame = MakeFlatFrame24(16, 16, {1, 2, 3}).release();
  FrameList[0] = frame;
  FrameCount = 1;
  BeginFrameListUse();
  DestroyWindow(window_);
  EXPECT_EQ(FrameCount, 1);
  EXPECT_EQ(FrameList[0], frame);
  EXPECT_EQ(PixelAt(frame, 0, 0), (Rgb{1, 2, 3}));
  EndFrameListUse();
  ClearFrameList();
  EXPECT_EQ(FrameCount, 0);
  EXPECT_TRUE(Drain() & 4);
}

TEST(OutputFolder, DesktopIniCarriesTheIconInEveryForm) {
  std::string folder = Folder("dressed") + "\\";
  char buffer[kPathSize];
  std::strcpy(buffer, folder.c_str());
  // "日本" in Shift-JIS: a program path with characters beyond ASCII.
  std::string icon = "C:\\\x93\xfa\x96\x7b\\frimbola.exe";
  SetFolderIcon(icon.c_str(), buffer);
  EXPECT_EQ(std::string(buffer), folder);

  std::string ini = folder + "Desktop.ini";
  char value[kPathSize];
  GetPrivateProfileStringA(".ShellClassInfo", "IconFile", "", value, sizeof value, ini.c_str());
  EXPECT_EQ(std::string(value), icon);
  GetPrivateProfileStringA(".ShellClassInfo", "IconIndex", "", value, sizeof value, ini.c_str());
  EXPECT_EQ(std::string(value), "0");
  GetPrivateProfileStringA(".ShellClassInfo.A", "IconFile", "", value, sizeof value, ini.c_str());
  EXPECT_EQ(std::string(value), icon);
  GetPrivateProfileStringA(".ShellClassInfo.W", "IconFile", "", value, sizeof value, ini.c_str());
  // UTF-7 codes the backslashes too: one run for "\\日本\\".
  EXPECT_EQ(std::string(value), "C:+AFxl5WcsAFw-frimbola.exe");
  EXPECT_EQ(GetFileAttributesA(ini.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(ToUtf7(""), nullptr);
}

TEST(OutputFolder, ShortcutReadsBackThroughTheShellLink) {
  std::string folder = Folder("linked") + "\\";
  std::string link = folder + "_tavelo.lnk";
  std::string target = "C:\\Program Files\\Frimbola\\tavelo.exe";
  ASSERT_EQ(CreateShortcut(link.c_str(), target.c_str()), S_OK);

  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  IShellLinkA* shellLink = nullptr;
  IPersistFile* file = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                             reinterpret_cast<void**>(&shellLink)),
            S_OK);
  ASSERT_EQ(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
  wchar_t widePath[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, widePath, MAX_PATH);
  ASSERT_EQ(file->Load(widePath, STGM_READ), S_OK);
  char text[MAX_PATH];
  int index = -1;
  shellLink->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
  EXPECT_EQ(std::string(text), target);
  shellLink->GetArguments(text, MAX_PATH);
  EXPECT_EQ(std::string(text), link);
  shellLink->GetDescription(text, MAX_PATH);
  EXPECT_EQ(std::string(text), "Frimbola");
  shellLink->GetIconLocation(text, MAX_PATH, &index);
  EXPECT_EQ(std::string(text), target);
  EXPECT_EQ(index, 1);
  file->Release();
  shellLink->Release();
  CoUninitialize();
}

TEST(Companion, LauncherListAndExchangePathLiveInTheDataFolder) {
  char appData[MAX_PATH] = {};
  ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, appData, CSIDL_APPDATA, TRUE));
  std::string qv = std::string(appData) + "\\Qv\\";
  CreateDirectoryA(qv.c_str(), nullptr);
  std::string list = qv + "$exec-list.txt";
  WriteFileBytes(list, {'1', '\t', 'a', '\r', '\n', '3', '5', '\t', 'o', 'l', 'd', '\r', '\n', '9', '\t', 'z'});

  ASSERT_EQ(RegisterInExecList(), 1);
  char exePath[MAX_PATH];
  GetModuleFileNameA(nullptr, exePath, MAX_PATH);
  std::string expected = "1\ta\r\n35\tFrimbola\tFrimbola(アニメGIF作成)\t\"" + std::string(exePath) + "\"\r\n9\tz";
  std::vector<std::uint8_t> bytes = ReadFileBytes(list);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), expected);

  char path[256];
  ASSERT_EQ(GetPindleGifPath(path), 1);
  EXPECT_EQ(std::string(path), qv + "$pindle.gif");
  DeleteFileA(list.c_str());
}

TEST(DialogPlacement, CentresOnTheCursorAndStaysOnTheMonitor) {
  HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(window);
  int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  struct Case {
    POINT cursor;
    POINT topLeft;
  } cases[] = {
      {{screenWidth / 2, screenHeight / 2}, {screenWidth / 2 - 100, screenHeight / 2 - 50}},
      {{screenWidth - 1, screenHeight - 1}, {screenWidth - 200, screenHeight - 100}},
      {{0, 0}, {0, 0}},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(SetCursorPos(c.cursor.x, c.cursor.y));
    PlaceDialogAtCursor(window);
    RECT placed;
    GetWindowRect(window, &placed);
    EXPECT_EQ(placed.left, c.topLeft.x) << c.cursor.x;
    EXPECT_EQ(placed.top, c.topLeft.y) << c.cursor.y;
  }
  DestroyWindow(window);

  RECT outside = {-30000, -30000, -29000, -29000};
  RECT monitor;
  GetMonitorRectOfRect(&monitor, &outside);
  EXPECT_EQ(monitor.left, 0);
  EXPECT_EQ(monitor.right, screenWidth);
  EXPECT_EQ(monitor.bottom, screenHeight);
}

}  // namespace
