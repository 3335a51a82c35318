#include "app/settings.h"

#include <cstdio>

#include "app/app.h"
#include "app/settings_values.h"

int ReadIniInt(const char* section, const char* key, int defaultValue) {
  char fallback[16];
  std::snprintf(fallback, sizeof fallback, "%d", defaultValue);
  char value[16];
  GetPrivateProfileStringA(section, key, fallback, value, sizeof value, IniPath);
  return ParseIniInt(value);
}

void WriteIniInt(const char* section, const char* key, int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  WritePrivateProfileStringA(section, key, text, IniPath);
}

void ReadIniText(const char* section, const char* key, const char* defaultValue, char* buffer, std::size_t size) {
  GetPrivateProfileStringA(section, key, defaultValue, buffer, static_cast<DWORD>(size), IniPath);
  buffer[size - 1] = 0;
}

void WriteIniText(const char* section, const char* key, const char* value) {
  WritePrivateProfileStringA(section, key, value, IniPath);
}

void ReadWindowRect(RECT* rect) {
  char text[64];
  ReadIniText("window", "rect", "", text, sizeof text);
  ParseWindowRect(text, rect);
}

void WriteWindowRect(const RECT* rect) {
  char text[64];
  std::snprintf(text, sizeof text, "%d,%d,%d,%d", static_cast<int>(rect->left), static_cast<int>(rect->top),
                static_cast<int>(rect->right), static_cast<int>(rect->bottom));
  WritePrivateProfileStringA("window", "rect", text, IniPath);
}
