// frimbola-cli: the engine's front for scripting, demos and benchmarks. Builds an
// animated GIF from frame files through the same pipeline as the program, or writes
// frames as the program's JPEG mode does.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "capture/frame_image.h"
#include "capture/jpeg_frame.h"
#include "capture/jpeg_writer.h"
#include "gif/build_command.h"
#include "gif/build_pipeline.h"
#include "gif/gif_writer.h"
#include "platform/platform.h"
#include "tools/cli/frame_files.h"
#include "tools/cli/progress_bar.h"

namespace {

constexpr int kUsageError = 2;
constexpr int kFailed = 1;
constexpr int kCancelled = 130;

const char kHelp[] =
    "Usage:\n"
    "  frimbola-cli gif [options] -o OUT.gif FRAME...\n"
    "  frimbola-cli jpeg [options] -d DIR FRAME...\n"
    "  frimbola-cli --help\n"
    "\n"
    "FRAME files are uncompressed 24-bit BMP (bottom-up or top-down), JPEG, or GIF\n"
    "(its first image). All frames are read and checked before any work is done.\n"
    "\n"
    "gif: builds one looping animated GIF from the frames in the order given, with the\n"
    "program's build steps (motion extraction, space removal, resizing, palettes, writing).\n"
    "  -o OUT.gif            the file to write (replaced only when the build succeeds)\n"
    "  --colors N            palette size: 0 = 16, 1 = 32, 2 = 64, 3 = 128, 4 = 256 colours\n"
    "                        (15, 31, 63, 127 or 255 entries; default 4)\n"
    "  --shared-palette      one palette for all frames (one global colour table)\n"
    "  --trim                remove flat borders found on the first frame from every frame\n"
    "  --size-method M       0 keep the size (default), 1 limit the width to --size-pixel,\n"
    "                        2 fix the width at --size-pixel, 3 fit into a square of --size-pixel\n"
    "  --size-pixel N        width or square side for --size-method (default 430)\n"
    "  --interval MS         capture interval in milliseconds (default 10000; at least 10)\n"
    "  --delay N             delay of every frame in 1/100 s (default and floor: interval / 10)\n"
    "  --times T0,T1,...     capture times of the frames in milliseconds (one per frame)\n"
    "  --follow-times        each frame lasts until the next capture time, never longer than --delay\n"
    "  --motion              cut every frame to the area that moves through the middle row\n"
    "\n"
    "jpeg: writes each frame as the next numbered JPEG file DIR/PREFIX0001001.jpg ...\n"
    "followed by the four bytes \"c-QZ\", as the program's JPEG mode does.\n"
    "  -d DIR                the folder to write into (must exist)\n"
    "  --quality Q           JPEG quality, 30..100 (default 80; values outside are clamped)\n"
    "  --trim                cut each frame to its content inside flat borders\n"
    "  --size-method M       as for gif\n"
    "  --size-pixel N        as for gif\n"
    "  --prefix P            file name prefix, at most 11 characters (default A)\n"
    "  --start N             number of the first file (default 1001)\n"
    "\n"
    "A progress bar with the step names is drawn on stderr when it is a terminal.\n"
    "Ctrl-C cancels the build (like the progress dialog's cancel button); nothing\n"
    "half-written is left behind. Exit status: 0 success, 1 failure, 2 usage error,\n"
    "130 cancelled.\n";

int UsageError(const std::string& message) {
  std::fprintf(stderr, "frimbola-cli: %s\nTry 'frimbola-cli --help'.\n", message.c_str());
  return kUsageError;
}

int Fail(const std::string& message) {
  EndTerminalProgress();
  std::fprintf(stderr, "frimbola-cli: %s\n", message.c_str());
  return kFailed;
}

bool ParseInt(const std::string& text, long long low, long long high, long long* value) {
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, *value);
  return error == std::errc() && stop == end && *value >= low && *value <= high;
}

struct Options {
  std::string command;
  std::string output;  // -o for gif, -d for jpeg
  std::vector<std::string> frames;
  int colors = 4;
  bool sharedPalette = false;
  bool trim = false;
  int sizeMethod = 0;
  int sizePixel = 430;
  int interval = 10000;
  int delay = -1;  // -1: interval / 10
  std::vector<DWORD> times;
  bool followTimes = false;
  bool motion = false;
  int quality = 80;
  std::string prefix = "A";
  int start = 1001;
};

// Reads the command line; returns 0 or the exit status of a usage error.
int ParseArguments(int argc, char** argv, Options* options) {
  if (argc < 2) return UsageError("no command given");
  options->command = argv[1];
  if (options->command != "gif" && options->command != "jpeg") return UsageError("unknown command '" + options->command + "'");
  const bool gif = options->command == "gif";
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string* text) {
      if (i + 1 >= argc) return false;
      *text = argv[++i];
      return true;
    };
    auto number = [&](long long low, long long high, int* target) {
      std::string text;
      long long parsed;
      if (!value(&text) || !ParseInt(text, low, high, &parsed)) return false;
      *target = static_cast<int>(parsed);
      return true;
    };
    std::string text;
    if (arg == "-o" && gif) {
      if (!value(&options->output)) return UsageError("-o needs a file name");
    } else if (arg == "-d" && !gif) {
      if (!value(&options->output)) return UsageError("-d needs a folder");
    } else if (arg == "--colors" && gif) {
      if (!number(0, 4, &options->colors)) return UsageError("--colors takes 0..4");
    } else if (arg == "--shared-palette" && gif) {
      options->sharedPalette = true;
    } else if (arg == "--trim") {
      options->trim = true;
    } else if (arg == "--size-method") {
      if (!number(0, 3, &options->sizeMethod)) return UsageError("--size-method takes 0..3");
    } else if (arg == "--size-pixel") {
      if (!number(1, kLargestFrameSide, &options->sizePixel)) return UsageError("--size-pixel takes 1..32767");
    } else if (arg == "--interval" && gif) {
      if (!number(1, 100000000, &options->interval)) return UsageError("--interval takes milliseconds");
      options->interval = std::max(options->interval, 10);  // as the settings use it
    } else if (arg == "--delay" && gif) {
      if (!number(0, 65535, &options->delay)) return UsageError("--delay takes 0..65535 hundredths of a second");
    } else if (arg == "--times" && gif) {
      if (!value(&text)) return UsageError("--times needs a list of milliseconds");
      std::size_t begin = 0;
      while (begin <= text.size()) {
        const std::size_t comma = std::min(text.find(',', begin), text.size());
        long long time;
        if (!ParseInt(text.substr(begin, comma - begin), 0, 0xFFFFFFFFLL, &time)) {
          return UsageError("--times takes comma-separated milliseconds");
        }
        options->times.push_back(static_cast<DWORD>(time));
        begin = comma + 1;
      }
    } else if (arg == "--follow-times" && gif) {
      options->followTimes = true;
    } else if (arg == "--motion" && gif) {
      options->motion = true;
    } else if (arg == "--quality" && !gif) {
      if (!number(-1000000, 1000000, &options->quality)) return UsageError("--quality takes 30..100");
      options->quality = std::clamp(options->quality, 30, 100);
    } else if (arg == "--prefix" && !gif) {
      if (!value(&options->prefix) || options->prefix.size() > 11) return UsageError("--prefix takes at most 11 characters");
    } else if (arg == "--start" && !gif) {
      if (!number(0, 9999999, &options->start)) return UsageError("--start takes 0..9999999");
    } else if (arg.size() > 1 && arg[0] == '-') {
      return UsageError("unknown option '" + arg + "' for " + options->command);
    } else {
      options->frames.push_back(arg);
    }
  }
  if (options->output.empty()) return UsageError(gif ? "no output file (-o OUT.gif)" : "no output folder (-d DIR)");
  if (options->frames.empty()) return UsageError("no frames given");
  if (gif && options->frames.size() > static_cast<std::size_t>(kMostGifFrames)) {
    return UsageError("at most " + std::to_string(kMostGifFrames) + " frames make one GIF");
  }
  if (!options->times.empty() && options->times.size() != options->frames.size()) {
    return UsageError("--times has " + std::to_string(options->times.size()) + " values for " +
                      std::to_string(options->frames.size()) + " frames");
  }
  if (options->followTimes && options->times.empty()) return UsageError("--follow-times needs --times");
  return 0;
}

// The frames of a GIF, freed on every path.
struct FrameList {
  std::vector<HGLOBAL> frames;
  ~FrameList() {
    for (HGLOBAL frame : frames) {
      if (frame) GlobalFree(frame);
    }
  }
};

bool ReplaceFile(const std::string& from, const std::string& to) {
#ifdef _WIN32
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
  return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

int BuildGif(const Options& options) {
  FrameList list;
  int width = 0, height = 0;
  for (const std::string& path : options.frames) {
    std::string reason;
    HGLOBAL frame = LoadFrameFile(path, &reason);
    if (!frame) return Fail(path + ": " + reason);
    list.frames.push_back(frame);
    FrameLock lock(frame);
    if (list.frames.size() == 1) {
      width = lock.width();
      height = lock.height();
    } else if (lock.width() != width || lock.height() != height) {
      return Fail(path + ": frames of different sizes (" + std::to_string(lock.width()) + "x" +
                  std::to_string(lock.height()) + ", the first frame is " + std::to_string(width) + "x" +
                  std::to_string(height) + ")");
    }
  }
  const int count = static_cast<int>(list.frames.size());

  std::vector<DWORD> times = options.times;
  if (times.empty()) times.assign(count, 0);
  const int delay = options.delay >= 0 ? options.delay : options.interval / 10;
  std::vector<int> delays(count);
  MakeDelayList(times.data(), count, delay, options.interval, options.followTimes, delays.data());

  CancelOnInterrupt();
  const ProgressSink progress = TerminalProgress();
  if (options.motion && count > 1) {
    ReportStep(&progress, BuildStep::Trimming);
    ExtractMotion(list.frames.data(), count, 0, &progress);
  }
  GifBuildOptions build;
  build.removeBorders = options.trim;
  build.sharedPalette = options.sharedPalette;
  build.sizeMethod = options.sizeMethod;
  build.sizePixel = options.sizePixel;
  // Written beside the target and moved over it only when complete.
  const std::string partial = options.output + ".partial";
  const int result = RunBuildPipeline(list.frames.data(), count, partial.c_str(), ColourCount(options.colors),
                                      delays.data(), build, &progress);
  EndTerminalProgress();
  if (result != kGifWriteOk) {
    std::remove(partial.c_str());
    if (result == kGifWriteCancelled) {
      std::fprintf(stderr, "frimbola-cli: cancelled; nothing was written\n");
      return kCancelled;
    }
    return Fail(options.output + ": the GIF could not be written (writer code " + std::to_string(result) + ")");
  }
  if (!ReplaceFile(partial, options.output)) {
    std::remove(partial.c_str());
    return Fail(options.output + ": cannot be replaced");
  }
  FrameLock first(list.frames[0]);
  std::printf("%s: %d frames of %dx%d\n", options.output.c_str(), count, first.width(), first.height());
  return 0;
}

int WriteJpegs(const Options& options) {
  // Every frame is checked before the first file is written.
  for (const std::string& path : options.frames) {
    std::string reason;
    HGLOBAL frame = LoadFrameFile(path, &reason);
    if (!frame) return Fail(path + ": " + reason);
    GlobalFree(frame);
  }
  std::string folder = options.output;
#ifdef _WIN32
  if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
#else
  if (folder.back() != '/') folder += '/';
#endif
  CancelOnInterrupt();
  int number = options.start;
  for (const std::string& path : options.frames) {
    if (CancelRequested.exchange(0)) {
      std::fprintf(stderr, "frimbola-cli: cancelled after %d files\n", number - options.start);
      return kCancelled;
    }
    std::string reason;
    HGLOBAL frame = LoadFrameFile(path, &reason);
    if (!frame) return Fail(path + ": " + reason);
    const int prepared = PrepareJpegFrame(&frame, options.trim, options.sizeMethod, options.sizePixel);
    if (prepared != kJpegFrameReady) return Fail(path + ": the frame could not be resized");
    char name[1024];
    if (!FormatNumberedFileName(name, sizeof name, folder.c_str(), options.prefix.c_str(), number, "jpg")) {
      GlobalFree(frame);
      return Fail(folder + ": the folder name is too long");
    }
    std::FILE* file = std::fopen(name, "wb");
    if (!file) {
      GlobalFree(frame);
      return Fail(std::string(name) + ": cannot be created");
    }
    const int written = WriteJpegFrame(file, frame, options.quality);
    GlobalFree(frame);
    if (written != 0) {
      std::remove(name);
      return Fail(std::string(name) + ": the JPEG could not be written (code " + std::to_string(written) + ")");
    }
    std::printf("%s\n", name);
    ++number;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kHelp, stdout);
      return 0;
    }
  }
  Options options;
  if (const int status = ParseArguments(argc, argv, &options)) return status;
  return options.command == "gif" ? BuildGif(options) : WriteJpegs(options);
}
