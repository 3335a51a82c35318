#include "app/command_line.h"

#include <cstring>

namespace {

// Folders are kept in 256-byte path buffers: a longer text is no folder of ours.
constexpr std::size_t kMaxFolderText = 255;

}  // namespace

void ParseCommandLine(const char* commandLine, char* folder, std::size_t folderSize, bool* define) {
  if (folderSize > 0) folder[0] = '\0';
  *define = false;
  if (!commandLine) return;

  const char* start = commandLine;
  const bool quoted = std::strchr(commandLine, '"') != nullptr;
  if (quoted) {
    static constexpr char kDefine[] = "\"-define=";
    if (const char* found = std::strstr(commandLine, kDefine)) {
      *define = true;
      start = found + sizeof kDefine - 1;
    } else {
      start = std::strchr(commandLine, '"') + 1;
    }
    while (*start == '"') ++start;
  } else {
    while (*start == ' ') ++start;
  }

  // The length of the whole rest counts, not only the part before a closing quote.
  std::size_t length = 0;
  while (length <= kMaxFolderText && start[length]) ++length;
  if (length > kMaxFolderText || length >= folderSize) return;

  std::memcpy(folder, start, length);
  folder[length] = '\0';
  if (quoted) {
    if (char* close = std::strchr(folder, '"')) *close = '\0';
  }
}
