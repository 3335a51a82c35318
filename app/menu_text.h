// Texts of the tray menu that depend on the settings: the hot key and the numbered
// items. Built on std::string (a heap string that grows by appending).
#pragma once

#include <string>

// Appends the text of the hot key: "<shift>", "<ctrl>", "<alt>" joined by "+", then
// "F%d" for a function key or "'%c'" for a letter or digit, after a "+" when a
// modifier came first. Ctrl+F12 reads <ctrl>+F12; any other key code adds no key
// text, so hot key 0 with Ctrl reads <ctrl>.
void AppendHotKeyText(std::string* text, int hotkey, int hotkeymod);

// "\"%s%07d.jpg\"  %d枚": the next frame file's name and the files written since start.
std::string NextFileItemText(const char* prefix, int filecount, int savedFileCount);
