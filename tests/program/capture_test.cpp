// The capture modules on a real screen: rectangles of the screen as frames, the
// choice of the window to photograph among windows of the player classes made
// here, and the frame store in both modes.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/app.h"
#include "app/main_window.h"
#include "capture/frame_image.h"
#include "capture/frame_store.h"
#include "capture/player_capture.h"
#include "capture/screen_capture.h"
#include "tests/program/program_paths.h"
#include "tests/support/test_frames.h"

namespace {

// Windows made here paint Noise(x, y, seed) over their client area; the seed comes in
// through CreateWindowEx's parameter.
LRESULT CALLBACK PatternWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE: {
      const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      break;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT client;
      GetClientRect(window, &client);
      const auto seed = static_cast<std::uint32_t>(GetWindowLongPtrA(window, GWLP_USERDATA));
      if (client.right > 0 && client.bottom > 0) {
        UniqueFrame picture = MakeFrame24(client.right, client.bottom, [seed](int x, int y) { return Noise(x, y, seed); });
        FrameLock lock(picture.get());
        SetDIBitsToDevice(dc, 0, 0, client.right, client.bottom, 0, 0, 0, client.bottom, lock.pixels(),
                          reinterpret_cast<BITMAPINFO*>(lock.header()), DIB_RGB_COLORS);
      }
      EndPaint(window, &paint);
      return 0;
    }
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

bool TakePosted(HWND window, UINT message) {
  MSG msg;
  return PeekMessageA(&msg, window, message, message, PM_REMOVE) != 0;
}

RECT VirtualScreen() {
  const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  return RECT{left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN), top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

// The frame is the window's whole rectangle: its pattern where the screen shows it,
// black where the rectangle lies off the screen.
testing::AssertionResult ShowsWindow(HGLOBAL frame, HWND window, std::uint32_t seed) {
  RECT area;
  GetWindowRect(window, &area);
  const int width = area.right - area.left, height = area.bottom - area.top;
  if (FrameWidth(frame) != width || FrameHeight(frame) != height) {
    return testing::AssertionFailure() << "frame " << FrameWidth(frame) << "x" << FrameHeight(frame) << ", window "
                                       << width << "x" << height;
  }
  const RECT screen = VirtualScreen();
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const POINT onScreen{area.left + x, area.top + y};
      const Rgb expected = PtInRect(&screen, onScreen) ? Noise(x, y, seed) : Rgb{0, 0, 0};
      const Rgb got = PixelAt(frame, x, y);
      if (!(got == expected)) {
        return testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << int(got.red) << ","
                                           << int(got.green) << "," << int(got.blue) << ", expected "
                                           << int(expected.red) << "," << int(expected.green) << ","
                                           << int(expected.blue);
      }
    }
  }
  return testing::AssertionSuccess();
}

// Windows appear on the X display a moment after they are shown: wait (boundedly)
// until the screen shows the window's pattern.
testing::AssertionResult WaitUntilShown(HWND window, std::uint32_t seed) {
  testing::AssertionResult result = testing::AssertionFailure();
  for (int attempt = 0; attempt < 100; ++attempt) {
    PumpMessages();
    UniqueFrame frame(CaptureWindowArea(window));
    result = ShowsWindow(frame.get(), window, seed);
    if (result) break;
    Sleep(50);
  }
  return result;
}

// Each test builds the windows it needs under class names of its own choice and
// removes them and their classes again. A stand-in main window and control panel
// (message-only windows) receive what the modules post.
class CaptureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MainWindow = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    panel_ = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    GifPanel = nullptr;
    OptionFlags = 0;
    RunState = 0;
    regionWindow = nullptr;
    centreWindow = nullptr;
    DropPendingFrame();
    // A recording under way: a capture that finds nothing stays silent instead of
    // opening the modal warning box.
    FrameList[0] = nullptr;
    FrameCount = 1;
    PumpMessages();
  }

  void TearDown() override {
    for (HWND window : topLevels_) DestroyWindow(window);
    for (const std::string& name : classes_) UnregisterClassA(name.c_str(), GetModuleHandleA(nullptr));
    DropPendingFrame();
    ClearFrameList();
    DestroyWindow(MainWindow);
    DestroyWindow(panel_);
    MainWindow = nullptr;
    GifPanel = nullptr;
    OptionFlags = 0;
    RunState = 0;
  }

  // A window painted with its pattern: top-level (a borderless popup) when parent is
  // null, else a child at (x, y) of its parent's client area. Windows that only need
  // to exist stay hidden: under Wine without a window manager, hiding or destroying a
  // shown top-level window waits two seconds for a window manager's answer.
  HWND MakeWindow(const char* className, const char* title, HWND parent, int x, int y, int width, int height,
                  std::uint32_t seed, bool visible = true) {
    WNDCLASSA known;
    if (!GetClassInfoA(GetModuleHandleA(nullptr), className, &known)) {
      WNDCLASSA windowClass = {};
      windowClass.lpfnWndProc = PatternWindowProc;
      windowClass.hInstance = GetModuleHandleA(nullptr);
      windowClass.lpszClassName = className;
      if (!RegisterClassA(&windowClass)) ADD_FAILURE() << "class " << className << " not registered";
      classes_.push_back(className);
    }
    const DWORD style =
        (parent ? WS_CHILD : WS_POPUP) | (visible ? WS_VISIBLE : 0) | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    const DWORD extended = parent ? 0 : WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
    HWND window = CreateWindowExA(extended, className, title, style, x, y, width, height, parent, nullptr,
                                  GetModuleHandleA(nullptr), reinterpret_cast<void*>(static_cast<UINT_PTR>(seed)));
    EXPECT_NE(window, nullptr) << className;
    if (!parent) topLevels_.push_back(window);
    return window;
  }

  // The skin host of the media player with its plug-in host, an intermediate window
  // and the video control container inside that; returns the container.
  HWND MakeSkinHost(const char* hostClass, const char* title, bool visible = true) {
    HWND host = MakeWindow(hostClass, title, nullptr, 300, 300, 200, 150, 11, visible);
    HWND plugin = MakeWindow("WMP Plugin UI Host", "", host, 0, 0, 200, 150, 12);
    HWND middle = MakeWindow("FrimbolaTestMiddle", "", plugin, 10, 10, 180, 130, 13);
    return MakeWindow("CWmpControlCntr", "", middle, 20, 10, 120, 90, 14);
  }

  HWND panel_ = nullptr;
  std::vector<HWND> topLevels_;
  std::vector<std::string> classes_;
};

TEST_F(CaptureTest, ScreenRectangleIsTheScreenWithCornersInEitherOrder) {
  HWND window = MakeWindow("FrimbolaTestPattern", "", nullptr, 100, 120, 64, 48, 3);
  ASSERT_TRUE(WaitUntilShown(window, 3));
  const int corners[][4] = {{100, 120, 164, 168}, {164, 168, 100, 120}, {164, 120, 100, 168}, {100, 168, 164, 120}};
  for (const auto& c : corners) {
    UniqueFrame frame(CaptureScreenRect(GetDesktopWindow(), c[0], c[1], c[2], c[3]));
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(ShowsWindow(frame.get(), window, 3)) << c[0] << "," << c[1] << " " << c[2] << "," << c[3];
    FrameLock lock(frame.get());
    ASSERT_TRUE(lock.Is24Bit());
    EXPECT_EQ(lock.header()->biSizeImage, 192u * 48u);
    EXPECT_EQ(GlobalSize(frame.get()), 40u + 192u * 48u);
  }
}

TEST_F(CaptureTest, FrameSizesAndRowStrides) {
  struct Case {
    int width, height;
    DWORD stride;  // 0: no frame
  } cases[] = {
      {15, 40, 0}, {40, 15, 0}, {15, 15, 0}, {16, 16, 48}, {17, 16, 52}, {18, 16, 56}, {19, 16, 60}, {20, 16, 60},
  };
  for (const Case& c : cases) {
    UniqueFrame frame(CaptureScreenRect(GetDesktopWindow(), 50, 60, 50 + c.width, 60 + c.height));
    if (c.stride == 0) {
      EXPECT_EQ(frame, nullptr) << c.width << "x" << c.height;
      continue;
    }
    ASSERT_NE(frame, nullptr) << c.width << "x" << c.height;
    FrameLock lock(frame.get());
    ASSERT_TRUE(lock.Is24Bit());
    const BITMAPINFOHEADER& header = *lock.header();
    EXPECT_EQ(header.biWidth, c.width);
    EXPECT_EQ(header.biHeight, c.height);
    EXPECT_EQ(header.biPlanes, 1);
    EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(header.biClrUsed, 0u);
    EXPECT_EQ(lock.stride(), c.stride) << c.width;
    EXPECT_EQ(header.biSizeImage, c.stride * c.height) << c.width;
    EXPECT_EQ(GlobalSize(frame.get()), 40 + c.stride * c.height) << c.width;
  }
}

TEST_F(CaptureTest, WindowPartlyOffTheScreenIsTakenAtFullSize) {
  const RECT screen = VirtualScreen();
  HWND window = MakeWindow("FrimbolaTestPattern", "", nullptr, 100, 100, 64, 40, 5);
  struct Case {
    int x, y;
  } cases[] = {
      {screen.right - 24, 200},             // past the right edge
      {screen.left - 20, screen.top - 10},  // past the top-left corner
      {300, screen.bottom - 16},            // past the bottom edge
  };
  for (const Case& c : cases) {
    SetWindowPos(window, nullptr, c.x, c.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT area;
    GetWindowRect(window, &area);
    ASSERT_EQ(area.left, c.x) << "the window was moved onto the screen";
    ASSERT_EQ(area.top, c.y) << "the window was moved onto the screen";
    EXPECT_TRUE(WaitUntilShown(window, 5)) << c.x << "," << c.y;
  }
}

TEST_F(CaptureTest, MediaPlayerVideoControlOfTheSkinHost) {
  HWND control = MakeSkinHost("WMP Skin Host", "Windows Media Player");
  HWND host = topLevels_.back();
  ASSERT_TRUE(WaitUntilShown(control, 14));

  ASSERT_EQ(CaptureFrame(), 1);
  EXPECT_TRUE(ShowsWindow(pendingFrame, control, 14));
  EXPECT_TRUE(TakePosted(MainWindow, WM_FRAMEREADY));

  // The window found is remembered: a second capture takes it without searching, so
  // it is still found when its host no longer carries the title.
  SetWindowTextA(host, "Another title");
  ASSERT_EQ(CaptureFrame(), 1);
  EXPECT_TRUE(ShowsWindow(pendingFrame, control, 14));
  EXPECT_TRUE(TakePosted(MainWindow, WM_FRAMEREADY));
}

TEST_F(CaptureTest, SkinHostNeedsExactlyItsClassAndTitle) {
  struct Case {
    const char* hostClass;
    const char* title;
  } cases[] = {
      {"wmp skin host", "Windows Media Player"},
      {"WMP Skin Host", "windows media player"},
      {"WMP Skin Host", "Windows Media Player 2"},
  };
  for (const Case& c : cases) {
    MakeSkinHost(c.hostClass, c.title, false);
    EXPECT_EQ(CaptureTargetWindow(), 0) << c.hostClass << " / " << c.title;
    EXPECT_EQ(pendingFrame, nullptr);
    EXPECT_FALSE(TakePosted(MainWindow, WM_FRAMEREADY));
    for (HWND window : topLevels_) DestroyWindow(window);
    topLevels_.clear();
    // Class names are compared without case when registered: each variant gets its turn.
    for (const std::string& name : classes_) UnregisterClassA(name.c_str(), GetModuleHandleA(nullptr));
    classes_.clear();
  }
}

TEST_F(CaptureTest, StoreApplicationFrameWithoutInputSinkEndsTheSearch) {
  HWND player = MakeWindow("GomPlayer1.x", "GOM", nullptr, 100, 500, 160, 120, 21);
  HWND video = MakeWindow("GomVideo", "", player, 0, 20, 160, 100, 22);
  ASSERT_TRUE(WaitUntilShown(video, 22));
  struct Case {
    const char* storeTitle;  // null: no store application frame
    bool inputSink;
    int result;
  } cases[] = {
      {nullptr, false, 1},  // the classic player alone is photographed
      {"GOM Player App", false, 0},
      {"映画 & テレビ", false, 0},
      {"映画 & テレビ", true, 1},  // last: the one store frame that is shown
  };
  for (const Case& c : cases) {
    HWND store = nullptr, expected = video;
    std::uint32_t seed = 22;
    if (c.storeTitle) {
      store = MakeWindow("ApplicationFrameWindow", c.storeTitle, nullptr, 400, 500, 200, 120, 23, c.inputSink);
      if (c.inputSink) {
        seed = 24;
        expected = MakeWindow("ApplicationFrameInputSinkWindow", "", store, 0, 30, 200, 90, seed);
        ASSERT_TRUE(WaitUntilShown(expected, seed));
      }
    }

    EXPECT_EQ(CapturePlayerApp(), c.result) << (c.storeTitle ? c.storeTitle : "classic player");
    if (c.result) {
      EXPECT_TRUE(ShowsWindow(pendingFrame, expected, seed));
      EXPECT_TRUE(TakePosted(MainWindow, WM_FRAMEREADY));
    } else {
      EXPECT_EQ(pendingFrame, nullptr);
      EXPECT_FALSE(TakePosted(MainWindow, WM_FRAMEREADY));
    }
    DropPendingFrame();
    if (store && !c.inputSink) {
      DestroyWindow(store);
      topLevels_.pop_back();
    }
  }
}

// The frame store with the output folder, the settings file and the held settings
// of the test's own.
class FrameStoreTest : public CaptureTest {
 protected:
  void SetUp() override {
    CaptureTest::SetUp();
    ClearFrameList();
    UseOwnOutputFolder("frames");
    saved_ = Settings;
    std::strcpy(Settings.prefix, "A");
    Settings.filecount = 1001;
    Settings.jpegquality = 80;
  }
  void TearDown() override {
    Settings = saved_;
    CaptureTest::TearDown();
  }

  std::string FileName(int number) {
    char name[kPathSize + 32];
    std::snprintf(name, sizeof name, "%sA%07d.jpg", OutputFolder, number);
    return name;
  }

  HeldSettings saved_;
};

// Width and height from a JPEG file's SOF0 segment (0, 0 when there is none).
std::pair<int, int> JpegSize(const std::vector<std::uint8_t>& bytes) {
  for (std::size_t i = 0; i + 8 < bytes.size(); ++i) {
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {
      return {bytes[i + 7] << 8 | bytes[i + 8], bytes[i + 5] << 8 | bytes[i + 6]};
    }
  }
  return {0, 0};
}

TEST_F(FrameStoreTest, JpegModeWritesTheNextNumberedFile) {
  const int savedBefore = SavedFileCount;
  pendingFrame = MakeFrame24(40, 30, [](int x, int y) { return Noise(x, y); }).release();
  StoreFrame(MainWindow);
  EXPECT_EQ(pendingFrame, nullptr);
  EXPECT_EQ(Settings.filecount, 1002);
  EXPECT_EQ(SavedFileCount, savedBefore + 1);
  std::vector<std::uint8_t> bytes = ReadFileBytes(FileName(1001));
  ASSERT_GT(bytes.size(), 6u) << FileName(1001);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 0xD8);
  const std::vector<std::uint8_t> tail(bytes.end() - 6, bytes.end());
  EXPECT_EQ(tail, (std::vector<std::uint8_t>{0xFF, 0xD9, 'c', '-', 'Q', 'Z'}));
  EXPECT_EQ(JpegSize(bytes), std::make_pair(40, 30));

  // The size setting is read from the settings file at each frame.
  WritePrivateProfileStringA("option", "sizemethod", "2", IniPath);
  WritePrivateProfileStringA("option", "sizepixel", "20", IniPath);
  pendingFrame = MakeFrame24(40, 30, [](int x, int y) { return Noise(x, y); }).release();
  StoreFrame(MainWindow);
  EXPECT_EQ(Settings.filecount, 1003);
  EXPECT_EQ(JpegSize(ReadFileBytes(FileName(1002))), std::make_pair(20, 15));

  // A frame the writer refuses leaves both counters: the next frame takes the same name.
  DeleteFileA(IniPath);
  pendingFrame = NewFrameImage(20, 20, 32, 0);
  StoreFrame(MainWindow);
  EXPECT_EQ(pendingFrame, nullptr);
  EXPECT_EQ(Settings.filecount, 1003);
  EXPECT_EQ(SavedFileCount, savedBefore + 2);
}

TEST_F(FrameStoreTest, GifModeFillsTheListAndReservesTheCreditSlot) {
  GifPanel = panel_;
  struct Case {
    DWORD flags;
    int firstSlot;
  } cases[] = {{OF_GIFMODE | OF_CREDIT, 1}, {OF_GIFMODE, 0}};
  for (const Case& c : cases) {
    OptionFlags = c.flags;
    ClearFrameList();
    HGLOBAL first = MakeFlatFrame24(16, 16, Rgb{1, 2, 3}).release();
    HGLOBAL second = MakeFlatFrame24(16, 16, Rgb{4, 5, 6}).release();
    pendingFrame = first;
    StoreFrame(MainWindow);
    pendingFrame = second;
    StoreFrame(MainWindow);
    EXPECT_EQ(pendingFrame, nullptr);
    ASSERT_EQ(FrameCount, c.firstSlot + 2) << c.flags;
    if (c.firstSlot == 1) {
      EXPECT_EQ(FrameList[0], nullptr);
      EXPECT_LE(FrameTimes[0], FrameTimes[1]);
    }
    EXPECT_EQ(FrameList[c.firstSlot], first);
    EXPECT_EQ(FrameList[c.firstSlot + 1], second);
    EXPECT_TRUE(TakePosted(panel_, WM_PANELUPDATE));
    EXPECT_TRUE(TakePosted(panel_, WM_PANELUPDATE));
    EXPECT_FALSE(TakePosted(MainWindow, WM_BUILDGIF));
  }
}

TEST_F(FrameStoreTest, FullListStopsCaptureAndAsksForTheBuild) {
  OptionFlags = OF_GIFMODE;
  for (FrameCount = 0; FrameCount < kFrameListSize - 1; ++FrameCount) {
    FrameList[FrameCount] = NewFrameImage(1, 1, 24, 0);
  }
  RunState = RS_AUTOCAPTURE;
  HGLOBAL last = MakeFlatFrame24(16, 16, Rgb{7, 8, 9}).release();
  pendingFrame = last;
  StoreFrame(MainWindow);
  EXPECT_EQ(FrameCount, kFrameListSize);
  EXPECT_EQ(FrameList[kFrameListSize - 1], last);
  EXPECT_EQ(RunState & RS_AUTOCAPTURE, 0u);
  EXPECT_TRUE(TakePosted(MainWindow, WM_BUILDGIF));

  // A frame arriving while the list is still full is discarded and asks again.
  RunState = RS_AUTOCAPTURE;
  pendingFrame = MakeFlatFrame24(16, 16, Rgb{10, 11, 12}).release();
  StoreFrame(MainWindow);
  EXPECT_EQ(pendingFrame, nullptr);
  EXPECT_EQ(FrameCount, kFrameListSize);
  EXPECT_EQ(FrameList[kFrameListSize - 1], last);
  EXPECT_EQ(RunState & RS_AUTOCAPTURE, 0u);
  EXPECT_TRUE(TakePosted(MainWindow, WM_BUILDGIF));
}

TEST_F(FrameStoreTest, ClearLeavesAListInUseAlone) {
  FrameList[0] = MakeFlatFrame24(16, 16, Rgb{1, 1, 1}).release();
  FrameList[1] = MakeFlatFrame24(16, 16, Rgb{2, 2, 2}).release();
  FrameCount = 2;
  BeginFrameListUse();
  ClearFrameList();
  EXPECT_EQ(FrameCount, 2);
  // Still the frames they were: nothing was freed under the user of the list.
  EXPECT_EQ(PixelAt(FrameList[0], 0, 0), (Rgb{1, 1, 1}));
  EXPECT_EQ(PixelAt(FrameList[1], 15, 15), (Rgb{2, 2, 2}));
  EndFrameListUse();
  ClearFrameList();
  EXPECT_EQ(FrameCount, 0);
  EXPECT_EQ(FrameList[0], nullptr);
  EXPECT_EQ(FrameList[1], nullptr);
}

}  // namespace
