// Paths of the program's tests: Windows spellings of the test's temp paths, and an
// output folder with a settings file of the test's own.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>

#include "app/app.h"
#include "tests/support/test_frames.h"

inline std::string WindowsPath(const std::string& path) {
  std::string result = path;
  for (char& c : result)
    if (c == '/') c = '\\';
  return result;
}

// Makes the temp folder name the output folder (with its backslash) and its
// "frimbola.ini" the settings file, which starts absent.
inline void UseOwnOutputFolder(const std::string& name) {
  std::string folder = WindowsPath(TempPath(name));
  CreateDirectoryA(folder.c_str(), nullptr);
  folder += "\\";
  std::strcpy(OutputFolder, folder.c_str());
  std::snprintf(IniPath, sizeof IniPath, "%sfrimbola.ini", OutputFolder);
  DeleteFileA(IniPath);
}
