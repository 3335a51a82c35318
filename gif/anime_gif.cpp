// The GIF build of the program: what the recording as a whole decides (the file,
// the delays, the moving area, the credit frame), the pipeline under the progress
// dialog, and the hand-off to the clip companion. Every build that starts consumes
// the recording, whether it succeeds or not.
#include "gif/anime_gif.h"

#include <cstdlib>

#include "app/app.h"
#include "app/main_window.h"
#include "app/settings.h"
#include "capture/frame_store.h"
#include "capture/jpeg_frame.h"
#include "companion/companion.h"
#include "gif/build_command.h"
#include "gif/build_pipeline.h"
#include "gif/credit_screen.h"
#include "gif/gif_writer.h"
#include "gif/progress_dialog.h"

namespace {

const char kBuildTitle[] = "Frimbola [アニメGIFの作成]";

// The companion question is a modal box: messages dispatched meanwhile may ask for
// another build, which would ask again behind it.
bool questionOpen = false;

// A setting read as text of at most 15 characters, converted as atoi does.
int ReadIniNumber(const char* key, const char* defaultText) {
  char text[16];
  ReadIniText("option", key, defaultText, text, sizeof text);
  return std::atoi(text);
}

bool EnoughFrames() { return FrameCount > ((OptionFlags & OF_CREDIT) ? 1 : 0); }

// The progress dialog's window, destroyed on every way out.
class ProgressWindow {
 public:
  explicit ProgressWindow(HWND owner) : dialog_(OpenProgressDialog(owner, kBuildTitle)) {}
  ~ProgressWindow() {
    if (dialog_ && IsWindow(dialog_)) DestroyWindow(dialog_);
  }
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;
  HWND get() const { return dialog_; }

 private:
  HWND dialog_;
};

// Cuts the recorded frames to the area that moves. There is no cancel here: the
// pipeline's dialog clears the flag when it opens.
void CutToMovingArea(HWND owner, int firstRecorded) {
  ProgressWindow dialog(owner);
  ProgressSink sink = ProgressDialogSink(dialog.get());
  ReportStep(&sink, BuildStep::Trimming);
  ExtractMotion(FrameList, FrameCount, firstRecorded, &sink);
}

// Runs the build over the whole recording; true when the file was written.
bool BuildRecording(HWND owner, const char* path) {
  const bool credit = (OptionFlags & OF_CREDIT) != 0;
  const int count = FrameCount;
  const int colourCount = ColourCount(ReadIniInt("option", "colors", 4));

  int delays[kFrameListSize];
  const int animeTimer = ReadIniInt("option", "animetimer", Settings.intervaltimer / 10);
  MakeDelayList(FrameTimes, count, animeTimer, Settings.intervaltimer, (OptionFlags & OF_FOLLOWTIMES) != 0, delays);

  if ((OptionFlags & OF_MOTION) && count > (credit ? 2 : 1)) CutToMovingArea(owner, credit ? 1 : 0);

  if (credit && !FrameList[0]) {
    delays[0] = ReadIniNumber("credittime", "300");
    ComposeCreditFrame(owner, FrameList);
  }
  return BuildAnimeGif(owner, FrameList, count, path, colourCount, delays) == 1;
}

}  // namespace

int BuildAnimeGif(HWND owner, HGLOBAL* frames, int count, const char* path, int colourCount, const int* delays) {
  GifBuildOptions options;
  options.removeBorders = (OptionFlags & OF_REMOVEBORDERS) != 0;
  options.sharedPalette = (OptionFlags & OF_SHAREDPALETTE) != 0;
  options.sizeMethod = ReadIniNumber("sizemethod", "0");
  options.sizePixel = ReadIniNumber("sizepixel", "430");

  // A writer that fails has left what it wrote so far: a broken GIF under the next
  // number. The file goes again when this build made it; one that was there before
  // the build is left alone.
  const bool existed = GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
  int result;
  {
    ProgressWindow dialog(owner);
    ProgressSink sink = ProgressDialogSink(dialog.get());
    result = RunBuildPipeline(frames, count, path, colourCount, delays, options, &sink);
  }
  if (result == kGifWriteOk) return 1;
  if (!existed) DeleteFileA(path);
  ShowWarning(kWarnGifFailed, owner);
  return 0;
}

void CreateAnimeGif(HWND owner) {
  if ((RunState & RS_BUILDING) || questionOpen) return;
  if (!EnoughFrames()) return;

  bool handOff = false;
  if (OptionFlags & OF_PINDLE) {
    if (PindleIsEditing()) {
      handOff = true;
    } else {
      questionOpen = true;
      const bool yes = QueryYesNo(MessageText(kAskPindleNotEditing), owner);
      questionOpen = false;
      // Frames may have been cleared while the question was open.
      if (!yes || !EnoughFrames()) return;
    }
  }

  RunState |= RS_BUILDING;
  // Held for the whole build: the main window's destruction in the middle of it
  // leaves the frames to the build, which frees them below.
  BeginFrameListUse();

  char path[kPathSize + 32];
  if (handOff && !GetPindleGifPath(path)) handOff = false;
  bool named = handOff || FormatNumberedFileName(path, sizeof path, OutputFolder, Settings.prefix,
                                                 Settings.filecount, "gif");
  if (!named) {
    // An output folder and prefix too long for a file name: nothing can be written.
    ShowWarning(kWarnGifFailed, owner);
  } else if (BuildRecording(owner, path)) {
    if (handOff) {
      NotifyPindleFileReady();
    } else {
      ++Settings.filecount;
    }
  }

  EndFrameListUse();
  ClearFrameList();
  if (GifPanel) PostMessageA(GifPanel, WM_PANELUPDATE, 0, 0);
  RunState &= ~RS_BUILDING;
}
