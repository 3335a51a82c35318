#include "gif/build_pipeline.h"

#include <algorithm>

#include "capture/frame_image.h"
#include "gif/colour_reduction.h"
#include "gif/gif_writer.h"
#include "gif/resize.h"
#include "gif/shared_palette.h"
#include "gif/trim.h"

namespace {

// Puts a step's new image into the list in place of the old one; a step that made
// nothing leaves the frame as it was.
void ReplaceFrame(HGLOBAL* slot, HGLOBAL image) {
  if (!image) return;
  GlobalFree(*slot);
  *slot = image;
}

// Space removal: the content rectangle of frame 0 (the credit frame when there is
// one) is cut from every frame.
bool RemoveSpace(HGLOBAL* frames, int count, const ProgressSink* progress) {
  RECT content;
  if (!FindContentRect(frames[0], &content)) return true;
  for (int i = 0; i < count; ++i) {
    if (ReportProgress(progress, i * 100 / count)) return false;
    RECT cut = content;
    ReplaceFrame(&frames[i], CropFrame(frames[i], &cut));
  }
  return true;
}

// The target size is computed once, from frame 0, and used for every frame.
bool ResizeFrames(HGLOBAL* frames, int count, const GifBuildOptions& options, const ProgressSink* progress) {
  int width, height;
  {
    FrameLock first(frames[0]);
    if (!first.ok()) return true;
    if (!ResizeTarget(options.sizeMethod, options.sizePixel, first.width(), first.height(), &width, &height)) {
      return true;
    }
  }
  ReportStep(progress, BuildStep::Resizing);
  for (int i = 0; i < count; ++i) {
    if (ReportProgress(progress, i * 100 / count)) return false;
    ReplaceFrame(&frames[i], ResizeFrame(frames[i], width, height));
  }
  return true;
}

bool MapToSharedPalette(const HGLOBAL* frames, AnimeGifInfo* job, int colourCount, const ProgressSink* progress) {
  StartSharedPalette(colourCount);
  for (int i = 0; i < job->frameCount; ++i) {
    if (ReportProgress(progress, i * 100 / job->frameCount)) return false;
    AddFrameToSharedPalette(frames[i]);
  }
  SelectSharedPalette();
  int paletteSize;
  const RGBQUAD* palette = SharedPalette(&paletteSize);
  // Mapping is not interrupted: cancel is honoured only before and after it.
  for (int i = 0; i < job->frameCount; ++i) {
    job->frames[i].image = MapFrameToPalette(palette, frames[i], paletteSize);
  }
  return true;
}

bool ReduceEachFrame(const HGLOBAL* frames, AnimeGifInfo* job, int colourCount, const ProgressSink* progress) {
  for (int i = 0; i < job->frameCount; ++i) {
    if (ReportProgress(progress, i * 100 / job->frameCount)) return false;
    job->frames[i].image = ReduceFrameColours(colourCount, frames[i]);
  }
  return true;
}

void FreeIndexedFrames(AnimeGifInfo* job) {
  for (int i = 0; i < job->frameCount; ++i) {
    if (job->frames[i].image) GlobalFree(job->frames[i].image);
    job->frames[i].image = nullptr;
  }
}

}  // namespace

int RunBuildPipeline(HGLOBAL* frames, int count, const char* path, int colourCount, const int* delays,
                     const GifBuildOptions& options, const ProgressSink* progress) {
  if (count < 1 || count > kMostGifFrames) return kGifWriteBadFrame;

  // The first status reads "トリミング" whether or not borders are removed.
  ReportStep(progress, BuildStep::Trimming);
  if (options.removeBorders && !RemoveSpace(frames, count, progress)) return kGifWriteCancelled;
  if (!ResizeFrames(frames, count, options, progress)) return kGifWriteCancelled;

  AnimeGifInfo job{};
  for (int i = 0; i < count; ++i) job.frames[i].delay = delays[i];
  colourCount = std::clamp(colourCount, 15, 255);
  job.transparentIndex = -1;
  job.frameCount = count;
  ReportStep(progress, BuildStep::Palette);

  int result;
  if (options.sharedPalette) {
    if (!MapToSharedPalette(frames, &job, colourCount, progress)) {
      result = kGifWriteCancelled;
    } else {
      ReportStep(progress, BuildStep::Writing);
      result = WriteGifWithGlobalTable(&job, path, progress);
    }
  } else {
    if (!ReduceEachFrame(frames, &job, colourCount, progress)) {
      result = kGifWriteCancelled;
    } else {
      ReportStep(progress, BuildStep::Writing);
      result = WriteGifWithLocalTables(&job, path, progress);
    }
  }
  FreeIndexedFrames(&job);
  return result;
}
