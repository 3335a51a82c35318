// The settings file: one private INI file in the data folder, read with the
// private-profile functions. Values of any text read safely (see settings_values.h).
#pragma once

#include <cstddef>

#include "platform/platform.h"

int ReadIniInt(const char* section, const char* key, int defaultValue);
void WriteIniInt(const char* section, const char* key, int value);
// A text key into buffer (size bytes, always terminated).
void ReadIniText(const char* section, const char* key, const char* defaultValue, char* buffer, std::size_t size);
void WriteIniText(const char* section, const char* key, const char* value);
void ReadWindowRect(RECT* rect);
void WriteWindowRect(const RECT* rect);
