// Stand-ins for the media players whose windows the program photographs: the same
// window classes in the same nesting, with a known picture in the window the program
// must capture and flat colours everywhere else, so a frame of the wrong window (or of
// the right one at a wrong place) does not match. Also the few screen and keyboard
// helpers the capture scenarios need.
//
// The picture of a w x h area showing frame number n (tests/e2e/picture_check.py
// draws the same one to compare a JPEG with it):
//   rows 0..15, x < 256:      16 cells of 16 x 16, cell i white when bit i of n differs
//                             from (i & 1), else black (so no number gives a flat row)
//   rows h/2-8 .. h/2+7:      a checkerboard of 8 x 8 cells, white where x/8 + y/8 is odd
//   the last 16 rows:         a grey ramp, x * 255 / (w - 1)
//   the rest:                 four flat quadrants (split at w/2 and h/2)
// Two more patterns for the GIF scenarios (tests/e2e/gif_picture.py draws them too):
//   gradient: red x * 255 / (w - 1), green y * 255 / (h - 1), blue in 5 x 5 blocks
//             ((x/5) * 37 + (y/5) * 11) mod 256: more colours than any palette holds
//   box:      flat blue (40, 70, 220) with a white 32 x 24 box at x 16 + 32 n, rows
//             h/2-12 .. h/2+11: consecutive frames differ only where the box moves
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/scoped_win.h"
#include "tests/e2e/driver/driver.h"

namespace {

struct Rgb {
  BYTE r, g, b;
};

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kQuadrants[4] = {{220, 40, 40}, {40, 190, 60}, {40, 70, 220}, {230, 200, 40}};
constexpr Rgb kBorder{90, 90, 90};
// The windows around the video, each its own colour.
constexpr Rgb kContainerColours[] = {{128, 0, 128}, {0, 128, 128}, {128, 128, 0}, {200, 120, 160}};

Rgb PicturePixel(int x, int y, int w, int h, unsigned n) {
  if (y < 16 && x < 256) {
    int cell = x / 16;
    return ((((n >> cell) & 1) ^ (cell & 1)) != 0) ? kWhite : kBlack;
  }
  if (y >= h / 2 - 8 && y < h / 2 + 8) return ((x / 8 + y / 8) & 1) ? kWhite : kBlack;
  if (y >= h - 16) {
    BYTE v = static_cast<BYTE>(x * 255 / (w > 1 ? w - 1 : 1));
    return {v, v, v};
  }
  return kQuadrants[(x < w / 2 ? 0 : 1) + (y < h / 2 ? 0 : 2)];
}

Rgb GradientPixel(int x, int y, int w, int h) {
  return {static_cast<BYTE>(x * 255 / (w > 1 ? w - 1 : 1)), static_cast<BYTE>(y * 255 / (h > 1 ? h - 1 : 1)),
          static_cast<BYTE>(((x / 5) * 37 + (y / 5) * 11) % 256)};
}

Rgb BoxPixel(int x, int y, int h, unsigned n) {
  const long left = 16 + 32L * n;
  if (x >= left && x < left + 32 && y >= h / 2 - 12 && y < h / 2 + 12) return kWhite;
  return kQuadrants[2];
}

enum class Pattern { kPicture, kGradient, kBox };

// What one window of the stand-in shows.
struct Role {
  bool video;  // the picture (inside the border), else a flat colour
  Rgb colour;
};

constexpr int kMaxLevels = 4;

struct PlayerState {
  Role roles[kMaxLevels];  // one per level of the window tree, top level first
  int border = 0;
  Pattern pattern = Pattern::kPicture;
  unsigned frameNumber = 0;
  HWND top = nullptr;
  HWND video = nullptr;
};
PlayerState Player;

constexpr UINT_PTR kLifeTimer = 1;
constexpr UINT_PTR kFrameTimer = 2;
// Sent to the top-level window: show frame number wParam, painted before the answer.
constexpr UINT kSetFrameMessage = WM_USER + 1;

void PaintVideo(HWND window, HDC dc) {
  RECT client;
  GetClientRect(window, &client);
  const int w = client.right, h = client.bottom;
  if (w <= 0 || h <= 0) return;
  const int inner = Player.border;
  const int pw = w - 2 * inner, ph = h - 2 * inner;
  const int stride = (w * 3 + 3) & ~3;
  std::vector<BYTE> pixels(static_cast<size_t>(stride) * h);
  for (int y = 0; y < h; ++y) {
    BYTE* row = pixels.data() + static_cast<size_t>(y) * stride;
    for (int x = 0; x < w; ++x) {
      bool inside = x >= inner && x < w - inner && y >= inner && y < h - inner;
      Rgb c = kBorder;
      if (inside) {
        const int px = x - inner, py = y - inner;
        switch (Player.pattern) {
          case Pattern::kPicture: c = PicturePixel(px, py, pw, ph, Player.frameNumber); break;
          case Pattern::kGradient: c = GradientPixel(px, py, pw, ph); break;
          case Pattern::kBox: c = BoxPixel(px, py, ph, Player.frameNumber); break;
        }
      }
      row[3 * x] = c.b;
      row[3 * x + 1] = c.g;
      row[3 * x + 2] = c.r;
    }
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  SetDIBitsToDevice(dc, 0, 0, w, h, 0, 0, 0, h, pixels.data(), &info, DIB_RGB_COLORS);
}

LRESULT CALLBACK PlayerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      auto* role = reinterpret_cast<const Role*>(GetWindowLongPtrA(window, GWLP_USERDATA));
      if (role && role->video) {
        PaintVideo(window, dc);
      } else {
        Rgb c = role ? role->colour : kBlack;
        ScopedGdiObject<HBRUSH> brush(CreateSolidBrush(RGB(c.r, c.g, c.b)));
        FillRect(dc, &paint.rcPaint, brush.get());
      }
      EndPaint(window, &paint);
      return 0;
    }
    case WM_TIMER:
      if (window != Player.top) break;
      if (wParam == kLifeTimer) {
        DestroyWindow(window);
      } else if (wParam == kFrameTimer) {
        ++Player.frameNumber;
        if (Player.video) InvalidateRect(Player.video, nullptr, FALSE);
      }
      return 0;
    case kSetFrameMessage:
      if (window != Player.top) break;
      Player.frameNumber = static_cast<unsigned>(wParam);
      if (Player.video) RedrawWindow(Player.video, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
      GdiFlush();
      return 1;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      if (window == Player.top) PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// One level of a player's window tree: its class and title, and whether it holds the
// picture. Each level lies inside the one before it with a margin of kMargin.
struct Level {
  const char* className;
  const char* title;
  bool video;
};

constexpr int kMargin = 10;

struct PlayerKind {
  const char* name;
  Level levels[kMaxLevels];  // top level first; unused ones have no class
  // False for a stand-in the program must not photograph: a store frame without its
  // input sink shows the picture, but in no window the program may take.
  bool captureTarget;
};

// Titles are the players' own: "映画 & テレビ" reaches the window in CP932.
const PlayerKind kKinds[] = {
    {"wmp-skin",
     {{"WMP Skin Host", "Windows Media Player", false},
      {"WMP Plugin UI Host", "", false},
      {"WMP Control Frame", "", false},
      {"CWmpControlCntr", "", true}},
     true},
    {"wmp-app",
     {{"WMPlayerApp", "Windows Media Player", false},
      {"WMPAppHost", "", false},
      {"WMP Video Host", "", false},
      {"WMPVideoWindow", "", true}},
     true},
    {"store-gom",
     {{"ApplicationFrameWindow", "GOM Player App", false}, {"ApplicationFrameInputSinkWindow", "", true}},
     true},
    {"store-gom-nosink",
     {{"ApplicationFrameWindow", "GOM Player App", false}, {"Windows.UI.Core.CoreWindow", "", true}},
     false},
    {"store-movies",
     {{"ApplicationFrameWindow", "映画 & テレビ", false}, {"ApplicationFrameInputSinkWindow", "", true}},
     true},
    {"gom", {{"GomPlayer1.x", "GOM Player", false}, {"GomVideo", "", true}}, true},
    // The video window has a child of its own: that child is what the program takes.
    {"gom-child", {{"GomPlayer1.x", "GOM Player", false}, {"GomVideo", "", false}, {"GomVideoSurface", "", true}}, true},
};

bool RegisterPlayerClass(const char* name) {
  WNDCLASSA windowClass{};
  if (GetClassInfoA(GetModuleHandleA(nullptr), name, &windowClass)) return true;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = PlayerProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.lpszClassName = name;
  return RegisterClassA(&windowClass) != 0;
}

bool ParseInt(const char* text, int* value) {
  char* end = nullptr;
  long parsed = std::strtol(text, &end, 10);
  if (!*text || *end) return false;
  *value = static_cast<int>(parsed);
  return true;
}

int RunPlayer(int argc, char** argv) {
  if (argc < 1) return Fail("player needs a kind");
  const PlayerKind* kind = nullptr;
  for (const PlayerKind& candidate : kKinds) {
    if (std::strcmp(candidate.name, argv[0]) == 0) kind = &candidate;
  }
  if (!kind) return Fail("unknown player kind \"%s\"", argv[0]);
  int numbers[4] = {320, 240, 100, 100};
  int count = 0;
  DWORD lifeMs = 60000, frameMs = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--border") == 0 && i + 1 < argc) {
      if (!ParseInt(argv[++i], &Player.border) || Player.border < 0) return Fail("bad border \"%s\"", argv[i]);
    } else if (std::strcmp(argv[i], "--animate") == 0 && i + 1 < argc) {
      frameMs = ParseMs(argc, argv, ++i, 0);
    } else if (std::strcmp(argv[i], "--pattern") == 0 && i + 1 < argc) {
      ++i;
      if (std::strcmp(argv[i], "picture") == 0) Player.pattern = Pattern::kPicture;
      else if (std::strcmp(argv[i], "gradient") == 0) Player.pattern = Pattern::kGradient;
      else if (std::strcmp(argv[i], "box") == 0) Player.pattern = Pattern::kBox;
      else return Fail("unknown pattern \"%s\"", argv[i]);
    } else if (std::strcmp(argv[i], "--frame") == 0 && i + 1 < argc) {
      int frame = 0;
      if (!ParseInt(argv[++i], &frame) || frame < 0) return Fail("bad frame number \"%s\"", argv[i]);
      Player.frameNumber = static_cast<unsigned>(frame);
    } else if (std::strcmp(argv[i], "--ms") == 0 && i + 1 < argc) {
      lifeMs = ParseMs(argc, argv, ++i, lifeMs);
    } else if (count < 4 && ParseInt(argv[i], &numbers[count])) {
      ++count;
    } else {
      return Fail("unexpected argument \"%s\"", argv[i]);
    }
  }
  const int w = numbers[0], h = numbers[1], x = numbers[2], y = numbers[3];
  if (w < 1 || h < 1 || 2 * Player.border >= w || 2 * Player.border >= h) return Fail("bad size %dx%d", w, h);

  int levels = 0;
  while (levels < kMaxLevels && kind->levels[levels].className) ++levels;
  HWND parent = nullptr;
  for (int level = 0; level < levels; ++level) {
    const Level& levelInfo = kind->levels[level];
    if (!RegisterPlayerClass(levelInfo.className)) return Fail("RegisterClass \"%s\" failed (%lu)", levelInfo.className, GetLastError());
    Player.roles[level] = {levelInfo.video, kContainerColours[level]};
    // Each level is kMargin larger on every side than the one inside it.
    const int grow = 2 * kMargin * (levels - 1 - level);
    const int left = level == 0 ? x - kMargin * (levels - 1) : kMargin;
    const int top = level == 0 ? y - kMargin * (levels - 1) : kMargin;
    HWND window = level == 0
        ? CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, levelInfo.className, levelInfo.title,
                          WS_POPUP | WS_CLIPCHILDREN, left, top, w + grow, h + grow, nullptr, nullptr,
                          GetModuleHandleA(nullptr), nullptr)
        : CreateWindowExA(0, levelInfo.className, levelInfo.title, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, left, top,
                          w + grow, h + grow, parent, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!window) return Fail("CreateWindow \"%s\" failed (%lu)", levelInfo.className, GetLastError());
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&Player.roles[level]));
    if (level == 0) Player.top = window;
    if (levelInfo.video) Player.video = window;
    parent = window;
  }
  ShowWindow(Player.top, SW_SHOWNOACTIVATE);
  UpdateWindow(Player.top);
  GdiFlush();
  SetTimer(Player.top, kLifeTimer, lifeMs, nullptr);
  if (frameMs) SetTimer(Player.top, kFrameTimer, frameMs, nullptr);

  RECT area;
  GetWindowRect(Player.video, &area);
  PrintFormat("top\t0x%08lx\n", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(Player.top)));
  PrintFormat("video\t0x%08lx\n", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(Player.video)));
  // What a capture must show: the video window's rectangle, or nothing at all.
  if (kind->captureTarget) PrintFormat("rect\t%ld\t%ld\t%ld\t%ld\n", area.left, area.top, area.right, area.bottom);
  else PrintLine("rect\tnone");
  PrintLine("ready");

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  PrintLine("closed");
  return 0;
}

int SetTitle(int argc, char** argv) {
  if (argc < 2) return Fail("set-title needs CLASS|0xHWND TEXT");
  HWND window = FindTarget(argv[0]);
  if (!window) return Fail("no window \"%s\"", argv[0]);
  // WM_SETTEXT is carried across processes by the system; a time limit keeps a hung
  // window from hanging the driver.
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[1]), SMTO_ABORTIFHUNG, 5000, &result) ||
      !result) {
    return Fail("the title was not set (%lu)", GetLastError());
  }
  return 0;
}

int WindowRect(int argc, char** argv) {
  if (argc < 1) return Fail("window-rect needs CLASS|0xHWND");
  HWND window = FindTarget(argv[0]);
  RECT area;
  if (!window || !GetWindowRect(window, &area)) return Fail("no window \"%s\"", argv[0]);
  PrintFormat("%ld\t%ld\t%ld\t%ld\n", area.left, area.top, area.right, area.bottom);
  return 0;
}

// A digest of what the screen shows in a rectangle, to tell two states of a small
// area (the tray icon) apart without a picture file.
int ScreenHash(int argc, char** argv) {
  int r[4];
  if (argc < 4) return Fail("screen-hash needs LEFT TOP RIGHT BOTTOM");
  for (int i = 0; i < 4; ++i) {
    if (!ParseInt(argv[i], &r[i])) return Fail("not a number: \"%s\"", argv[i]);
  }
  const int w = r[2] - r[0], h = r[3] - r[1];
  if (w <= 0 || h <= 0) return Fail("empty rectangle");
  std::vector<DWORD> pixels(static_cast<size_t>(w) * h);
  int rows = 0;
  {
    // Declared first so that it goes last, once no device context holds it.
    ScopedGdiObject<HBITMAP> bitmap;
    ScopedGetDC screen(nullptr);
    ScopedMemoryDC memory(screen.get());
    if (screen.get() && memory.get()) bitmap.reset(CreateCompatibleBitmap(screen.get(), w, h));
    if (!bitmap.get()) return Fail("no bitmap of %dx%d (%lu)", w, h, GetLastError());
    {
      ScopedSelectObject selected(memory.get(), bitmap.get());
      if (!selected.ok()) return Fail("SelectObject failed");
      BitBlt(memory.get(), 0, 0, w, h, screen.get(), r[0], r[1], SRCCOPY);
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    rows = GetDIBits(memory.get(), bitmap.get(), 0, h, pixels.data(), &info, DIB_RGB_COLORS);
  }
  if (rows != h) return Fail("GetDIBits read %d of %d rows", rows, h);
  unsigned long long hash = 1469598103934665603ull;  // FNV-1a
  for (DWORD pixel : pixels) {
    for (int shift = 0; shift < 24; shift += 8) {
      hash ^= (pixel >> shift) & 0xff;
      hash *= 1099511628211ull;
    }
  }
  PrintFormat("%016llx\n", hash);
  return 0;
}

// The settings file is written as the program reads it, through the private-profile
// functions, so a scenario can change a setting that is read at each use.
int IniWrite(int argc, char** argv) {
  if (argc < 4) return Fail("ini-write needs FILE SECTION KEY VALUE");
  if (!WritePrivateProfileStringA(argv[1], argv[2], argv[3], argv[0])) return Fail("cannot write %s (%lu)", argv[0], GetLastError());
  return 0;
}

// Holds a modifier down for a while by real input, then lets it go: what the program's
// automatic capture sees as a user pressing a key combination.
int HoldKey(int argc, char** argv) {
  if (argc < 2) return Fail("hold-key needs ctrl|shift|alt MS");
  WORD key = 0;
  if (std::strcmp(argv[0], "ctrl") == 0) key = VK_CONTROL;
  else if (std::strcmp(argv[0], "shift") == 0) key = VK_SHIFT;
  else if (std::strcmp(argv[0], "alt") == 0) key = VK_MENU;
  else return Fail("not a modifier: \"%s\"", argv[0]);
  DWORD ms = ParseMs(argc, argv, 1, 1000);
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
  if (SendInput(1, &input, sizeof input) != 1) return Fail("SendInput failed (%lu)", GetLastError());
  PrintLine("down");
  Sleep(ms);
  input.ki.dwFlags = KEYEVENTF_KEYUP;
  if (SendInput(1, &input, sizeof input) != 1) return Fail("SendInput of the release failed (%lu)", GetLastError());
  return 0;
}

const DriverCommand kCommands[] = {
    {"player", "KIND [W H] [X Y] [--border N] [--animate MS] [--pattern picture|gradient|box] [--frame N] [--ms LIFE]"
               "   windows of a player (wmp-skin wmp-app store-gom store-gom-nosink store-movies gom gom-child) whose "
               "video window, W x H at X,Y (320 240 100 100), shows the known picture or pattern (inside a flat border "
               "of N; frame number N (0), counting every MS; message WM_USER+1 to the top window shows frame wParam); "
               "prints \"top<TAB>HWND\", \"video<TAB>HWND\", \"rect<TAB>L<TAB>T<TAB>R<TAB>B\" (or \"rect<TAB>none\" "
               "when nothing may be captured) and \"ready\"; runs until WM_CLOSE or LIFE ms (60000)", RunPlayer},
    {"set-title", "CLASS|0xHWND TEXT", SetTitle},
    {"window-rect", "CLASS|0xHWND   prints LEFT<TAB>TOP<TAB>RIGHT<TAB>BOTTOM", WindowRect},
    {"screen-hash", "LEFT TOP RIGHT BOTTOM   a digest of the screen's pixels there", ScreenHash},
    {"ini-write", "FILE SECTION KEY VALUE   WritePrivateProfileString", IniWrite},
    {"hold-key", "ctrl|shift|alt MS   holds the key down by SendInput for MS (prints \"down\" once it is), then releases it", HoldKey},
};

}  // namespace

std::span<const DriverCommand> PlayerCommands() { return kCommands; }
