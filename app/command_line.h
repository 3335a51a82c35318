// The command line of the program: an output folder, optionally preceded by
// "-define=" inside the double quotes. Pure text work, shared with the tests.
#pragma once

#include <cstddef>

// Reads commandLine into folder (folderSize bytes, at least 256) and sets *define
// to whether "\"-define=" occurs. With a double quote anywhere, the folder text
// starts after that "-define=" or else after the first double quote, without
// further leading quotes, and ends at the next double quote. Without any double
// quote it is the whole line after leading spaces. When the rest of the line from
// the folder's start is 256 characters or more, folder stays empty. Never reads
// past the terminating zero of commandLine.
void ParseCommandLine(const char* commandLine, char* folder, std::size_t folderSize, bool* define);
