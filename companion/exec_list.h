// The companions' launcher list "$exec-list.txt": lines of TAB-separated fields
// ended by CR LF, the first field a decimal id. The program owns the line of id 35.
#pragma once

#include <cstddef>
#include <string>

// "35\tFrimbola\tFrimbola(アニメGIF作成)\t\"<exePath>\"\r\n"
std::string ExecListLine(const char* exePath);

// The list's new content with line put in place of the line of id 35 (its CR LF
// included), or appended directly after the old text when there is none (text may
// be empty: absent file). The walk stops, appending, at the first point from which
// no TAB follows anywhere. Returns false, leaving *content alone, when a line
// without a TAB of its own comes before a later TAB: such a list is not ours to
// rewrite. Ids read like atoi (leading white space and zeros allowed, an id beyond
// int saturates). Reads exactly size bytes of text (no terminator needed).
bool UpdateExecList(const char* text, std::size_t size, const std::string& line, std::string* content);
