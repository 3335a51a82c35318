// A stand-in video player for demos and benchmarks: a top-level window of the
// class GOM Player uses, with a "GomVideo" child that shows a moving picture
// (colour bars, a box crossing the screen and a frame counter).
//   demo_player [width height [title]]   (default 640 x 360)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

int VideoWidth = 640;
int VideoHeight = 360;
int Tick = 0;

void PaintPicture(HDC dc) {
  static const COLORREF bars[] = {RGB(192, 192, 192), RGB(192, 192, 0), RGB(0, 192, 192), RGB(0, 192, 0),
                                  RGB(192, 0, 192),   RGB(192, 0, 0),   RGB(0, 0, 192)};
  int count = static_cast<int>(sizeof bars / sizeof bars[0]);
  for (int i = 0; i < count; ++i) {
    RECT bar = {VideoWidth * i / count, 0, VideoWidth * (i + 1) / count, VideoHeight};
    HBRUSH brush = CreateSolidBrush(bars[i]);
    FillRect(dc, &bar, brush);
    DeleteObject(brush);
  }
  int side = VideoHeight / 4;
  int travel = VideoWidth - side;
  int x = travel > 0 ? (Tick * 8) % (2 * travel) : 0;
  if (x > travel) x = 2 * travel - x;
  RECT box = {x, (VideoHeight - side) / 2, x + side, (VideoHeight + side) / 2};
  HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
  FillRect(dc, &box, white);
  DeleteObject(white);
  char text[32];
  int length = std::snprintf(text, sizeof text, "frame %d", Tick);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  TextOutA(dc, 8, 8, text, length);
}

LRESULT CALLBACK VideoProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      ++Tick;
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd, &paint);
      PaintPicture(dc);
      EndPaint(hwnd, &paint);
      return 0;
    }
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK PlayerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3) {
    VideoWidth = std::atoi(argv[1]);
    VideoHeight = std::atoi(argv[2]);
  }
  const char* title = argc >= 4 ? argv[3] : "Frimbola demo player";
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA player = {};
  player.lpfnWndProc = PlayerProc;
  player.hInstance = instance;
  player.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  player.lpszClassName = "GomPlayer1.x";
  WNDCLASSA video = player;
  video.lpfnWndProc = VideoProc;
  video.lpszClassName = "GomVideo";
  if (!RegisterClassA(&player) || !RegisterClassA(&video)) return 1;

  RECT frame = {0, 0, VideoWidth, VideoHeight};
  DWORD style = WS_OVERLAPPEDWINDOW & ~WS_THICKFRAME;
  AdjustWindowRect(&frame, style, FALSE);
  HWND main = CreateWindowExA(0, "GomPlayer1.x", title, style | WS_VISIBLE, 40, 40, frame.right - frame.left,
                              frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
  HWND child = CreateWindowExA(0, "GomVideo", "", WS_CHILD | WS_VISIBLE, 0, 0, VideoWidth, VideoHeight, main,
                               nullptr, instance, nullptr);
  if (!main || !child) return 1;
  SetTimer(child, 1, 40, nullptr);
  std::printf("%p\n", static_cast<void*>(child));
  std::fflush(stdout);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
