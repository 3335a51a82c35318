#include "app/menu_text.h"

#include <cstdio>

namespace {

// RegisterHotKey's modifier bits, as the settings store them.
constexpr int kModAlt = 1;
constexpr int kModControl = 2;
constexpr int kModShift = 4;

constexpr int kVkF1 = 0x70;
constexpr int kVkF12 = 0x7B;

}  // namespace

void AppendHotKeyText(std::string* text, int hotkey, int hotkeymod) {
  bool modifier = false;
  auto appendModifier = [&](const char* name) {
    if (modifier) text->append("+");
    text->append(name);
    modifier = true;
  };
  if (hotkeymod & kModShift) appendModifier("<shift>");
  if (hotkeymod & kModControl) appendModifier("<ctrl>");
  if (hotkeymod & kModAlt) appendModifier("<alt>");

  char key[8];
  if (hotkey >= kVkF1 && hotkey <= kVkF12) {
    std::snprintf(key, sizeof key, "F%d", hotkey - (kVkF1 - 1));
  } else if ((hotkey >= 'A' && hotkey <= 'Z') || (hotkey >= '0' && hotkey <= '9')) {
    std::snprintf(key, sizeof key, "'%c'", hotkey);
  } else {
    return;
  }
  if (modifier) text->append("+");
  text->append(key);
}

std::string NextFileItemText(const char* prefix, int filecount, int savedFileCount) {
  char number[16];
  std::string text = "\"";
  if (prefix) text += prefix;
  std::snprintf(number, sizeof number, "%07d", filecount);
  text += number;
  text += ".jpg\"  ";
  std::snprintf(number, sizeof number, "%d", savedFileCount);
  text += number;
  text += "枚";
  return text;
}
