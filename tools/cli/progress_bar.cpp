#include "tools/cli/progress_bar.h"

#include <csignal>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace {

struct BarState {
  const char* step = "";
  bool drawn = false;
};
BarState bar;

void Draw(int percent) {
  constexpr int kWidth = 30;
  char cells[kWidth + 1];
  const int filled = percent * kWidth / 100;
  for (int i = 0; i < kWidth; ++i) cells[i] = i < filled ? '#' : '.';
  cells[kWidth] = '\0';
  std::fprintf(stderr, "\r[%s] %3d%% %s   ", cells, percent, bar.step);
  std::fflush(stderr);
  bar.drawn = true;
}

void SetStep(void*, BuildStep step) {
  bar.step = BuildStepName(step);
  Draw(0);
}

void Report(void*, int percent) { Draw(percent); }

void OnInterrupt(int) {
  CancelRequested = 1;
  std::signal(SIGINT, SIG_DFL);
}

}  // namespace

ProgressSink TerminalProgress() {
  if (!isatty(fileno(stderr))) return ProgressSink{nullptr, nullptr, nullptr};
  return ProgressSink{&SetStep, &Report, nullptr};
}

void EndTerminalProgress() {
  if (!bar.drawn) return;
  std::fprintf(stderr, "\r%60s\r", "");
  bar.drawn = false;
}

void CancelOnInterrupt() { std::signal(SIGINT, OnInterrupt); }
