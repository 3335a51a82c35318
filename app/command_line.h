// The command line of the program: an output folder, optionally preceded by
// "-define=" inside the double quotes. Pure text work, shared with the tests.
#pragma once

#include <cstddef>

// Reads commandLine into folder (folderSize bytes, at least 256). The folder text
// starts after "\"-define=" (which sets *define) or after the first double quote,
// without further leading quotes, and ends at the next double quote; without any
// double quote it is the line after leading spaces. A folder text of 256 characters
// or more leaves folder empty. Never reads past the terminating zero of commandLine.
void ParseCommandLine(const char* commandLine, char* folder, std::size_t folderSize, bool* define);
