// Capture and JPEG store under real conditions: a window painted with a detailed
// picture is taken from the screen (CaptureWindowArea) and stored as the next
// numbered JPEG file (StoreFrame in JPEG mode), as each automatic-capture tick does.
// Prints frames per second and the split between screen capture and the store.
//   capture_bench [frames]   (windows of 640x360 and 1280x720)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/app.h"
#include "capture/frame_store.h"
#include "capture/player_capture.h"
#include "capture/screen_capture.h"

namespace {

LRESULT CALLBACK PictureProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    RECT client;
    GetClientRect(hwnd, &client);
    // Fine colour detail so the JPEG coder has real work: 8x8 cells of changing colour.
    for (int y = 0; y < client.bottom; y += 8) {
      for (int x = 0; x < client.right; x += 8) {
        RECT cell = {x, y, x + 8, y + 8};
        HBRUSH brush = CreateSolidBrush(RGB((x * 7 + y) & 255, (y * 5) & 255, (x ^ y) & 255));
        FillRect(dc, &cell, brush);
        DeleteObject(brush);
      }
    }
    EndPaint(hwnd, &paint);
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Pump() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

void Measure(int width, int height, int frames) {
  HWND window = CreateWindowExA(WS_EX_TOPMOST, "FrimbolaBenchPicture", "", WS_POPUP | WS_VISIBLE, 0, 0, width,
                                height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  UpdateWindow(window);
  for (int i = 0; i < 20; ++i) {
    Pump();
    Sleep(10);
  }
  double captureSeconds = 0;
  double storeSeconds = 0;
  int written = SavedFileCount;
  for (int i = 0; i < frames; ++i) {
    double start = Now();
    HGLOBAL frame = CaptureWindowArea(window);
    double captured = Now();
    if (!frame) {
      std::printf("capture failed\n");
      break;
    }
    DropPendingFrame();
    pendingFrame = frame;
    StoreFrame(nullptr);
    double stored = Now();
    captureSeconds += captured - start;
    storeSeconds += stored - captured;
  }
  written = SavedFileCount - written;
  double total = captureSeconds + storeSeconds;
  std::printf("%4dx%-4d  %3d frames  %6.1f frames/s   capture %6.2f ms   JPEG store %6.2f ms   per frame %6.2f ms\n",
              width, height, written, written / total, captureSeconds * 1000 / frames, storeSeconds * 1000 / frames,
              total * 1000 / frames);
  DestroyWindow(window);
  Pump();
}

}  // namespace

int main(int argc, char** argv) {
  int frames = argc > 1 ? std::atoi(argv[1]) : 100;
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = PictureProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "FrimbolaBenchPicture";
  RegisterClassA(&windowClass);

  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::snprintf(OutputFolder, sizeof OutputFolder, "%sfrimbola-capture-bench\\", temp);
  CreateDirectoryA(OutputFolder, nullptr);
  // A settings file that does not exist: no content cut, no resizing.
  std::snprintf(IniPath, sizeof IniPath, "%snone.ini", OutputFolder);
  OptionFlags = 0;           // JPEG mode
  std::printf("capture + JPEG store (quality %d), %d frames each\n", Settings.jpegquality, frames);
  Measure(640, 360, frames);
  Measure(1280, 720, frames);

  // Leave nothing behind.
  WIN32_FIND_DATAA found;
  std::string pattern = std::string(OutputFolder) + "*.jpg";
  HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do DeleteFileA((std::string(OutputFolder) + found.cFileName).c_str());
    while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(OutputFolder);
  return 0;
}
