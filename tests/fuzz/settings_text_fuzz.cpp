// libFuzzer target: any bytes as a stored settings value (a NUL-terminated copy, in a
// block of exactly that size), read as a number, a hot-key text, a credit colour and
// a panel rectangle. Nothing may read past the terminator or overflow (the sanitizers
// see to that), and each result must stay within what its reader promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/settings_values.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto text = std::make_unique<char[]>(size + 1);
  std::memcpy(text.get(), data, size);
  text[size] = '\0';

  // Only what a 16-byte buffer keeps counts.
  char kept[16] = {};
  std::strncpy(kept, text.get(), sizeof kept - 1);
  if (ParseIniInt(text.get()) != ParseIniInt(kept)) std::abort();

  const int key = HotKeyFromText(text.get());
  const bool validKey = key == 0 || (key >= 0x30 && key <= 0x39) || (key >= 0x41 && key <= 0x5A) ||
                        (key >= 0x70 && key <= 0x7B);
  if (!validKey) std::abort();

  COLORREF colour = 0;
  const bool complete = ParseCreditColour(text.get(), &colour);
  if (colour > 0xFFFFFF) std::abort();
  if (complete) {
    char written[7];
    FormatCreditColour(colour, written);
    COLORREF back = 0;
    if (!ParseCreditColour(written, &back) || back != colour) std::abort();
  }

  RECT rect{1, 1, 1, 1};
  ParseWindowRect(text.get(), &rect);
  int commas = 0;
  for (const char* p = text.get(); *p; ++p) commas += *p == ',';
  if (commas < 3 && (rect.left || rect.top || rect.right || rect.bottom)) std::abort();
  return 0;
}
