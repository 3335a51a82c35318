#include "companion/exec_list.h"

#include <climits>
#include <cstdlib>
#include <string_view>
#include <utility>

namespace {

constexpr int kFrimbolaId = 35;

// atoi of a line's first field. The field is copied so the number ends at the TAB
// (or at a zero byte, as in the NUL-terminated text the launcher reads); strtol
// saturates where atoi's overflow is undefined.
int ParseId(std::string_view field) {
  const std::string copy(field);
  const long value = std::strtol(copy.c_str(), nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

}  // namespace

std::string ExecListLine(const char* exePath) {
  std::string line = "35\tFrimbola\tFrimbola(アニメGIF作成)\t\"";
  if (exePath) line += exePath;
  line += "\"\r\n";
  return line;
}

bool UpdateExecList(const char* text, std::size_t size, const std::string& line, std::string* content) {
  const std::string_view list(size > 0 ? text : "", size);
  std::size_t position = 0;
  while (position < list.size()) {
    std::size_t lineEnd = list.find("\r\n", position);
    if (lineEnd == std::string_view::npos) lineEnd = list.size();
    // The TAB is looked for through the whole rest, not only this line: a line
    // without one is acceptable only when no line after it has one either.
    const std::size_t tab = list.find('\t', position);
    if (tab == std::string_view::npos) break;
    if (tab >= lineEnd) return false;
    if (ParseId(list.substr(position, tab - position)) == kFrimbolaId) {
      const std::size_t after = lineEnd < list.size() ? lineEnd + 2 : list.size();
      std::string replaced(list.substr(0, position));
      replaced += line;
      replaced += list.substr(after);
      *content = std::move(replaced);
      return true;
    }
    position = lineEnd + 2;
  }
  std::string appended(list);
  appended += line;
  *content = std::move(appended);
  return true;
}
