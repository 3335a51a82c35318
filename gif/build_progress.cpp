#include "gif/build_progress.h"

std::atomic<int> CancelRequested{0};

const char* BuildStepName(BuildStep step) {
  switch (step) {
    case BuildStep::Trimming: return "トリミング";
    case BuildStep::Resizing: return "サイズの変更";
    case BuildStep::Palette: return "パレット作成";
    case BuildStep::Writing: return "アニメGIF作成";
  }
  return "";
}

void ReportStep(const ProgressSink* sink, BuildStep step) {
  if (sink && sink->setStep) sink->setStep(sink->context, step);
}

void ReportPercent(const ProgressSink* sink, int percent) {
  if (sink && sink->report) sink->report(sink->context, percent);
}

bool ReportProgress(const ProgressSink* sink, int percent) {
  if (!sink) return false;
  ReportPercent(sink, percent);
  return CancelRequested.exchange(0) != 0;
}
