// How a build reports its progress and learns that it is to stop: the steps it
// names, a sink for "step" and "percent of this step", and the cancel flag that
// the progress dialog (or the command-line tool's Ctrl-C) sets.
#pragma once

#include <atomic>

enum class BuildStep { Trimming, Resizing, Palette, Writing };

// The step's name as the progress dialog shows it ("トリミング", "サイズの変更", "パレット作成", "アニメGIF作成").
const char* BuildStepName(BuildStep step);

// Where a build's reports go. Both functions may be null. report() may run any other
// work of the program (the progress dialog pumps the message queue in it).
struct ProgressSink {
  void (*setStep)(void* context, BuildStep step);
  void (*report)(void* context, int percent);
  void* context;
};

// Set by the progress dialog's cancel button; read and cleared after every report.
// Atomic so the command-line tool's signal handler may set it.
extern std::atomic<int> CancelRequested;

// Shows the step's name. A null sink does nothing.
void ReportStep(const ProgressSink* sink, BuildStep step);

// Reports the percentage of the current step without looking at CancelRequested
// (work that cannot be cancelled, such as cutting frames to the moving area).
void ReportPercent(const ProgressSink* sink, int percent);

// Reports the percentage of the current step, then reads and clears CancelRequested.
// Returns true when the build is to stop. A null sink reports nothing and never cancels.
bool ReportProgress(const ProgressSink* sink, int percent);
