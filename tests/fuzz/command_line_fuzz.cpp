// libFuzzer target: any bytes as the program's command line (a NUL-terminated copy,
// in a block of exactly that size). The parser must stop at the terminator, write
// only inside the 256-byte folder buffer, and give a folder that is a piece of the
// line: shorter than 256 characters, without a double quote when the line had one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto line = std::make_unique<char[]>(size + 1);
  std::memcpy(line.get(), data, size);
  line[size] = '\0';
  auto folder = std::make_unique<char[]>(256);
  std::memset(folder.get(), 'x', 256);
  bool define = false;
  ParseCommandLine(line.get(), folder.get(), 256, &define);

  const void* end = std::memchr(folder.get(), '\0', 256);
  if (!end) std::abort();
  if (std::strstr(line.get(), folder.get()) == nullptr) std::abort();
  if (std::strchr(line.get(), '"') && std::strchr(folder.get(), '"')) std::abort();
  if (define != (std::strstr(line.get(), "\"-define=") != nullptr)) std::abort();
  return 0;
}
