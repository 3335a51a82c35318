#include "capture/frame_store.h"

#include <cstdio>

#include "app/app.h"
#include "app/main_window.h"
#include "app/settings.h"
#include "capture/jpeg_frame.h"
#include "capture/jpeg_writer.h"
#include "capture/player_capture.h"
#include "gif/resize.h"

HGLOBAL FrameList[kFrameListSize] = {};
DWORD FrameTimes[kFrameListSize] = {};
int FrameCount = 0;
int SavedFileCount = 0;

namespace {

bool frameListInUse = false;

// A full list takes no more frames: capture stops and the list is built at once.
void StopAndBuild() {
  StopAutoCapture();
  PostMessageA(MainWindow, WM_BUILDGIF, 0, 0);
}

void AppendToFrameList(HGLOBAL frame) {
  if (FrameCount >= kFrameListSize) {
    GlobalFree(frame);
    StopAndBuild();
    return;
  }
  // Slot 0 waits for the credit frame, made when the GIF is built; its time comes just
  // before the first frame's.
  if ((OptionFlags & OF_CREDIT) && FrameCount == 0) {
    FrameList[0] = nullptr;
    FrameTimes[0] = GetTickCount();
    FrameCount = 1;
  }
  FrameList[FrameCount] = frame;
  FrameTimes[FrameCount] = GetTickCount();
  ++FrameCount;
  if (GifPanel) PostMessageA(GifPanel, WM_PANELUPDATE, 0, 0);
  if (FrameCount >= kFrameListSize) StopAndBuild();
}

void WriteJpegFile(HGLOBAL frame, HWND owner) {
  const int sizeMethod = ReadIniInt("option", "sizemethod", kSizeKeep);
  int sizePixel = 0;
  if (sizeMethod == kSizeLimitWidth || sizeMethod == kSizeFixWidth || sizeMethod == kSizeFitSquare) {
    sizePixel = ReadIniInt("option", "sizepixel", 430);
  }
  switch (PrepareJpegFrame(&frame, (OptionFlags & OF_REMOVEBORDERS) != 0, sizeMethod, sizePixel)) {
    case kJpegFrameLockFailed: ShowWarning(kWarnSystemFault, owner); return;
    case kJpegFrameResizeFailed: ShowWarning(kWarnResizeFailed, owner); return;
    default: break;
  }

  char name[kPathSize + 32];
  if (FormatNumberedFileName(name, sizeof name, OutputFolder, Settings.prefix, Settings.filecount, "jpg")) {
    if (std::FILE* file = std::fopen(name, "wb")) {
      // A failed write keeps the number, so the next frame goes over the broken file.
      if (WriteJpegFrame(file, frame, Settings.jpegquality) == kJpegWriteOk) {
        ++Settings.filecount;
        ++SavedFileCount;
      }
    }
  }
  GlobalFree(frame);
}

}  // namespace

void StoreFrame(HWND owner) {
  // Taken out first: a warning box below dispatches messages, and a capture meanwhile
  // may leave the next frame in pendingFrame.
  HGLOBAL frame = pendingFrame;
  pendingFrame = nullptr;
  if (!frame) return;
  if (OptionFlags & OF_GIFMODE) {
    AppendToFrameList(frame);
  } else {
    WriteJpegFile(frame, owner);
  }
}

void ClearFrameList() {
  if (frameListInUse) return;
  for (int slot = 0; slot < FrameCount; ++slot) {
    if (FrameList[slot]) GlobalFree(FrameList[slot]);
    FrameList[slot] = nullptr;
  }
  FrameCount = 0;
}

void BeginFrameListUse() { frameListInUse = true; }
void EndFrameListUse() { frameListInUse = false; }
bool FrameListInUse() { return frameListInUse; }
