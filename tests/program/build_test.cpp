// The program's GIF build driven directly: the progress dialog as timer and message
// pump, the build command over the frame store (guard, counter, consumed recording,
// hand-off to the clip companion) and the calls to the region-selection companion.
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/app.h"
#include "app/main_window.h"
#include "capture/frame_store.h"
#include "companion/companion.h"
#include "gif/anime_gif.h"
#include "gif/gif_reader.h"
#include "gif/progress_dialog.h"
#include "res/resource.h"
#include "tests/program/program_paths.h"
#include "tests/support/test_frames.h"

namespace {

std::string DialogText(HWND dialog, int id) {
  char text[128] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

TEST(ProgressTimes, ElapsedAndRemainingAsTheDialogShowsThem) {
  struct Case {
    unsigned elapsed;
    int percent;
    const char* shownElapsed;
    const char* shownRemaining;
  } cases[] = {
      {30, 20, "00:00:30", "00:02:00"},
      {3661, 50, "01:01:01", "01:01:01"},
      {59, 99, "00:00:59", "00:00:00"},  // rounded down
      {7, 3, "00:00:07", "00:03:46"},    // 97 * 7 / 3 = 226
      {360000, 100, "100:00:00", "00:00:00"},
  };
  for (const Case& c : cases) {
    char text[32];
    FormatProgressTime(text, c.elapsed);
    EXPECT_STREQ(text, c.shownElapsed);
    FormatProgressTime(text, RemainingSeconds(c.elapsed, c.percent));
    EXPECT_STREQ(text, c.shownRemaining) << c.elapsed << " s at " << c.percent << " %";
  }
}

// A window whose posted message records that the dialog's pump dispatched it.
int pumpedMessages = 0;
LRESULT CALLBACK CountingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP + 1) ++pumpedMessages;
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeCountingWindow() {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = CountingWindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "FrimbolaTestCounting";
  RegisterClassA(&windowClass);
  return CreateWindowExA(0, "FrimbolaTestCounting", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

TEST(ProgressDialog, ShowsTheStepPumpsAtEachReportAndCarriesTheCancel) {
  AppInstance = GetModuleHandleA(nullptr);
  GifPanel = nullptr;
  HWND dialog = OpenProgressDialog(nullptr, "Frimbola [アニメGIFの作成]");
  ASSERT_NE(dialog, nullptr);
  char title[64] = {};
  GetWindowTextA(dialog, title, sizeof title);
  EXPECT_STREQ(title, "Frimbola [アニメGIFの作成]");
  EXPECT_NE(GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

  ProgressSink sink = ProgressDialogSink(dialog);
  ReportStep(&sink, BuildStep::Palette);
  EXPECT_EQ(DialogText(dialog, IDC_STEPNAME), "パレット作成");

  HWND counting = MakeCountingWindow();
  pumpedMessages = 0;
  PostMessageA(counting, WM_APP + 1, 0, 0);
  PostMessageA(counting, WM_APP + 1, 0, 0);
  EXPECT_FALSE(ReportProgress(&sink, 0));
  EXPECT_EQ(pumpedMessages, 2);
  // A first report at 0 % shows no times yet.
  EXPECT_EQ(DialogText(dialog, IDC_ELAPSED), "");
  EXPECT_EQ(DialogText(dialog, IDC_REMAINING), "");

  // The cancel button, pressed twice before the next report, cancels once.
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  EXPECT_TRUE(ReportProgress(&sink, 25));
  EXPECT_FALSE(ReportProgress(&sink, 50));
  EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0), 50);

  // The cancel button works from the keyboard too: the key pressed before a report
  // is dispatched by that report's pump and cancels at once.
  PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(ReportProgress(&sink, 60));
  EXPECT_FALSE(ReportProgress(&sink, 70));
  DestroyWindow(dialog);
  DestroyWindow(counting);
}

// The build command over a frame store of the test's own: output folder, settings
// file and held settings.
class BuildTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AppInstance = GetModuleHandleA(nullptr);
    UseOwnOutputFolder("gifs");
    for (int number = 1001; number <= 1003; ++number) DeleteFileA(GifName(number).c_str());
    saved_ = Settings;
    std::strcpy(Settings.prefix, "A");
    Settings.filecount = 1001;
    Settings.intervaltimer = 200;
    OptionFlags = OF_GIFMODE;
    RunState = 0;
    ClearFrameList();
    GifPanel = nullptr;  // no control panel: dialogs belong to the given owner
  }
  void TearDown() override {
    ClearFrameList();
    Settings = saved_;
    OptionFlags = 0;
    RunState = 0;
  }

  void Record(int frames, int width = 48, int height = 32) {
    for (int i = 0; i < frames; ++i) {
      FrameList[FrameCount] = MakeFrame24(width, height, [i](int x, int y) { return Noise(x + i, y); }).release();
      FrameTimes[FrameCount] = 1000 + 200 * static_cast<DWORD>(i);
      ++FrameCount;
    }
  }

  std::string GifName(int number) {
    char name[kPathSize + 32];
    std::snprintf(name, sizeof name, "%sA%07d.gif", OutputFolder, number);
    return name;
  }

  HeldSettings saved_;
};

TEST_F(BuildTest, BuildWritesTheNumberedFileAndConsumesTheRecording) {
  Record(3);
  CreateAnimeGif(nullptr);
  EXPECT_EQ(Settings.filecount, 1002);
  EXPECT_EQ(FrameCount, 0);
  EXPECT_EQ(FrameList[0], nullptr);
  EXPECT_EQ(RunState & RS_BUILDING, 0u);
  HGLOBAL first = nullptr;
  ASSERT_EQ(ReadGifFile(GifName(1001).c_str(), &first), kGifReadOk);
  EXPECT_EQ(FrameWidth(first), 48);
  EXPECT_EQ(FrameHeight(first), 32);
  GlobalFree(first);

  // Too little recorded: nothing at all happens.
  CreateAnimeGif(nullptr);
  EXPECT_EQ(Settings.filecount, 1002);
  OptionFlags |= OF_CREDIT;
  FrameList[0] = nullptr;  // the credit slot alone
  FrameCount = 1;
  CreateAnimeGif(nullptr);
  EXPECT_EQ(FrameCount, 1);
  EXPECT_EQ(Settings.filecount, 1002);
}

// What arrives while the build pumps messages: a second build request and the
// main window's destruction, which frees the frame list.
bool nestedBuildRan = false;
int countDuringNestedBuild = -1;
LRESULT CALLBACK InterruptingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_BUILDGIF) {
    nestedBuildRan = true;
    CreateAnimeGif(window);
    countDuringNestedBuild = FrameCount;
    ClearFrameList();
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(BuildTest, RequestsDuringABuildLeaveItsFramesAlone) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = InterruptingWindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "FrimbolaTestInterrupting";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(0, "FrimbolaTestInterrupting", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                nullptr);
  Record(4);
  nestedBuildRan = false;
  PostMessageA(window, WM_BUILDGIF, 0, 0);
  CreateAnimeGif(nullptr);
  EXPECT_TRUE(nestedBuildRan);
  EXPECT_EQ(countDuringNestedBuild, 4);
  // One build, complete: the file holds the frames the recording had.
  EXPECT_EQ(Settings.filecount, 1002);
  EXPECT_EQ(FrameCount, 0);
  std::vector<std::uint8_t> bytes = ReadFileBytes(GifName(1001));
  int images = 0;
  for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
    if (bytes[i] == 0x21 && bytes[i + 1] == 0xF9) ++images;  // a graphic control block per frame
  }
  EXPECT_EQ(images, 4);
  EXPECT_EQ(GetFileAttributesA(GifName(1002).c_str()), INVALID_FILE_ATTRIBUTES);
  DestroyWindow(window);
  UnregisterClassA("FrimbolaTestInterrupting", GetModuleHandleA(nullptr));
}

// The clip companion's window, in this process: answers the editing query and
// notes the file-ready notice with the exchange file's size at that moment.
LRESULT pindleAnswer = 1;
std::vector<std::pair<WPARAM, LPARAM>> pindleMessages;
long exchangeSizeAtNotice = -1;
std::string exchangePath;
LRESULT CALLBACK PindleWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER + 37) {
    pindleMessages.emplace_back(wParam, lParam);
    if (lParam == 1) {
      std::vector<std::uint8_t> bytes = ReadFileBytes(exchangePath);
      exchangeSizeAtNotice = static_cast<long>(bytes.size());
    }
    return wParam == 1 ? pindleAnswer : 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(BuildTest, EditingCompanionGetsTheExchangeFileAndTheCounterStays) {
  char folder[MAX_PATH];
  ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, folder, CSIDL_APPDATA, TRUE));
  std::strcat(folder, "\\Qv");
  CreateDirectoryA(folder, nullptr);
  exchangePath = std::string(folder) + "\\$pindle.gif";
  DeleteFileA(exchangePath.c_str());

  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = PindleWindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "Pindle API-kurasu";
  RegisterClassA(&windowClass);
  HWND pindle = CreateWindowExA(0, "Pindle API-kurasu", "Pindle TSR", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                nullptr, nullptr);
  pindleAnswer = 1;
  pindleMessages.clear();
  OptionFlags |= OF_PINDLE;
  Record(2);
  CreateAnimeGif(nullptr);
  EXPECT_EQ(pindleMessages, (std::vector<std::pair<WPARAM, LPARAM>>{{1, 0}, {0, 1}}));
  EXPECT_GT(exchangeSizeAtNotice, 13);
  EXPECT_EQ(Settings.filecount, 1001);
  EXPECT_EQ(FrameCount, 0);
  EXPECT_EQ(GetFileAttributesA(GifName(1001).c_str()), INVALID_FILE_ATTRIBUTES);
  HGLOBAL first = nullptr;
  EXPECT_EQ(ReadGifFile(exchangePath.c_str(), &first), kGifReadOk);
  if (first) GlobalFree(first);
  DestroyWindow(pindle);
  UnregisterClassA("Pindle API-kurasu", GetModuleHandleA(nullptr));
}

// The region-selection companion's window on a thread of its own, pumping its
// messages or, when hung, not.
struct QvCompanion {
  explicit QvCompanion(bool hung) {
    thread = std::thread([this, hung] {
      WNDCLASSA windowClass = {};
      windowClass.lpfnWndProc = QvWindowProc;
      windowClass.hInstance = GetModuleHandleA(nullptr);
      windowClass.lpszClassName = "Qv Touroku Kurasu";
      RegisterClassA(&windowClass);
      window = CreateWindowExA(0, "Qv Touroku Kurasu", "Qv", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                               nullptr);
      threadId = GetCurrentThreadId();
      SetEvent(ready);
      if (hung) {
        WaitForSingleObject(release, 30000);
      } else {
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
      }
      DestroyWindow(window);
      UnregisterClassA("Qv Touroku Kurasu", GetModuleHandleA(nullptr));
    });
    WaitForSingleObject(ready, 10000);
  }
  ~QvCompanion() {
    SetEvent(release);
    PostThreadMessageA(threadId, WM_QUIT, 0, 0);
    thread.join();
    CloseHandle(ready);
    CloseHandle(release);
  }
  static LRESULT CALLBACK QvWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER + 80) {
      received.emplace_back(wParam, lParam);
      return 1;
    }
    return DefWindowProcA(window, message, wParam, lParam);
  }
  static inline std::vector<std::pair<WPARAM, LPARAM>> received;
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HWND window = nullptr;
  DWORD threadId = 0;
  std::thread thread;
};

TEST(QvCompanion, PanelRegistersAsksAndUnregistersThroughTheWindowFoundAtRegistration) {
  HWND panel = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  const WPARAM panelParam = reinterpret_cast<WPARAM>(panel);
  {
    // Not running when the panel opens: nothing is sent, even once it runs.
    EXPECT_EQ(QvRegisterWindow(panel), 0);
    QvCompanion qv(false);
    QvCompanion::received.clear();
    EXPECT_EQ(QvRequestRegion(), 0);
    EXPECT_EQ(QvUnregisterWindow(panel), 0);
    EXPECT_TRUE(QvCompanion::received.empty());

    EXPECT_EQ(QvRegisterWindow(panel), 1);
    EXPECT_EQ(QvRequestRegion(), 1);
    EXPECT_EQ(QvUnregisterWindow(panel), 1);
    EXPECT_EQ(QvCompanion::received,
              (std::vector<std::pair<WPARAM, LPARAM>>{{panelParam, 1104}, {0, 2}, {panelParam, 0}}));
  }
  {
    // A companion that stopped answering holds the panel for 5 s, then the call fails.
    QvCompanion qv(true);
    const DWORD start = GetTickCount();
    EXPECT_EQ(QvRegisterWindow(panel), 0);
    EXPECT_GE(GetTickCount() - start, 4500u);
  }
  DestroyWindow(panel);
}

}  // namespace
