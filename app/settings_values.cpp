#include "app/settings_values.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// atoi without its undefined overflow: strtol saturates at the range of long, which
// is int's on Windows and wider natively, so both builds clamp to int alike.
int SaturatingAtoi(const char* text) {
  const long value = std::strtol(text, nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// One "%02x" field: white space first (not counted in the width), then up to two
// hexadecimal digits. Advances *text past what it took.
bool ReadHexField(const char** text, unsigned* value) {
  const char* p = *text;
  while (IsSpace(*p)) ++p;
  int digits = 0;
  unsigned result = 0;
  for (int digit; digits < 2 && (digit = HexDigitValue(*p)) >= 0; ++digits, ++p) result = result * 16 + digit;
  if (digits == 0) return false;
  *text = p;
  *value = result;
  return true;
}

}  // namespace

int ParseIniInt(const char* text) {
  if (!text) return 0;
  char buffer[16] = {};
  for (std::size_t i = 0; i < sizeof buffer - 1 && text[i]; ++i) buffer[i] = text[i];
  return SaturatingAtoi(buffer);
}

int ClampIntervalTimer(int value) { return value < 10 ? 10 : value; }

int ClampJpegQuality(int value) {
  if (value < 30) return 30;
  if (value > 100) return 100;
  return value;
}

int HotKeyFromText(const char* text) {
  if (!text || !text[0]) return 0;
  if ((text[0] == 'F' || text[0] == 'f') && text[1]) {
    const int number = SaturatingAtoi(text + 1);
    return number >= 1 && number <= 12 ? number + 111 : 0;
  }
  char key = text[0];
  if (key >= 'a' && key <= 'z') key = static_cast<char>(key - 'a' + 'A');
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return key;
  return 0;
}

bool ParseCreditColour(const char* text, COLORREF* colour) {
  unsigned channels[3] = {0, 0, 0};
  int read = 0;
  if (text) {
    while (read < 3 && ReadHexField(&text, &channels[read])) ++read;
  }
  *colour = static_cast<COLORREF>(channels[0] | channels[1] << 8 | channels[2] << 16);
  return read == 3;
}

void FormatCreditColour(COLORREF colour, char* text) {
  std::snprintf(text, 7, "%02x%02x%02x", static_cast<unsigned>(colour & 0xFF),
                static_cast<unsigned>(colour >> 8 & 0xFF), static_cast<unsigned>(colour >> 16 & 0xFF));
}

void ParseWindowRect(const char* text, RECT* rect) {
  *rect = RECT{0, 0, 0, 0};
  if (!text || !text[0]) return;
  const char* fields[4] = {text, nullptr, nullptr, nullptr};
  for (int i = 1; i < 4; ++i) {
    const char* comma = std::strchr(fields[i - 1], ',');
    if (!comma) return;
    fields[i] = comma + 1;
  }
  rect->left = SaturatingAtoi(fields[0]);
  rect->top = SaturatingAtoi(fields[1]);
  rect->right = SaturatingAtoi(fields[2]);
  rect->bottom = SaturatingAtoi(fields[3]);
}
