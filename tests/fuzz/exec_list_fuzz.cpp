// libFuzzer target: any bytes as the launcher list, in a heap block of exactly their
// size and without a terminator, so a read past the end shows. A refusal leaves the
// content alone; a rewrite is the old text with the program's line appended, or with
// one line (up to its CR LF, or the end) replaced by it, all other bytes kept.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "companion/exec_list.h"

namespace {

bool IsRewriteOf(const std::string& old, const std::string& content, const std::string& line) {
  if (content == old + line) return true;
  for (std::size_t at = content.find(line); at != std::string::npos; at = content.find(line, at + 1)) {
    const std::size_t tail = content.size() - at - line.size();
    if (at >= old.size() || tail >= old.size() - at) continue;
    const std::size_t after = old.size() - tail;
    const bool lineEnded =
        after == old.size() || (after >= 2 && old[after - 2] == '\r' && old[after - 1] == '\n');
    if (lineEnded && old.compare(0, at, content, 0, at) == 0 &&
        old.compare(after, tail, content, at + line.size(), tail) == 0) {
      return true;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto list = std::make_unique<char[]>(size);
  std::memcpy(list.get(), data, size);
  static const std::string line = ExecListLine("C:\\Tools\\frimbola.exe");

  std::string content = "untouched";
  if (!UpdateExecList(list.get(), size, line, &content)) {
    if (content != "untouched") std::abort();
    return 0;
  }
  if (!IsRewriteOf(std::string(list.get(), size), content, line)) std::abort();
  return 0;
}
