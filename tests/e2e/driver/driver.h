// The end-to-end test driver: a console program run under Wine beside frimbola.exe.
// Each subcommand does one thing to the program's windows or files, prints what it
// found on stdout (UTF-8, one fact a line) and ends with 0, or prints a message on
// stderr and ends with 1. A group of subcommands lives in one file and hands its
// table to main.cpp.
#pragma once

#include <span>
#include <string>

#include "platform/platform.h"

struct DriverCommand {
  const char* name;
  const char* usage;  // the arguments, as shown by "driver help"
  int (*run)(int argc, char** argv);  // argv[0] is the subcommand's first argument
};

std::span<const DriverCommand> WindowCommands();
std::span<const DriverCommand> MenuCommands();
std::span<const DriverCommand> DialogCommands();
std::span<const DriverCommand> ShellCommands();
std::span<const DriverCommand> InputCommands();
std::span<const DriverCommand> FakeMainCommands();
std::span<const DriverCommand> ProcessCommands();
std::span<const DriverCommand> PlayerCommands();
std::span<const DriverCommand> GifCommands();

// Prints "driver: " and the message on stderr; returns 1 for "return Fail(...)".
int Fail(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Text from the program is in the ANSI code page (932 here); the shell wants UTF-8.
std::string Utf8FromAnsi(const char* text, int length = -1);
// Prints the text and a newline on stdout, flushed at once.
void PrintLine(const std::string& text);
void PrintFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Numbers as decimal, 0x hexadecimal, or a message or constant name (WM_CLOSE,
// WM_OPENPANEL, WM_RBUTTONDOWN, ...). False for anything else.
bool ParseNumber(const char* text, long long* value);
// Milliseconds from an optional argument: argv[index] when present, else the default.
DWORD ParseMs(int argc, char** argv, int index, DWORD fallback);

// A window named by "0x" and its handle, or by its class name (any title).
HWND FindTarget(const char* name);
// Polls (every 50 ms) until the function gives a window or the time is up.
HWND WaitFor(DWORD ms, HWND (*find)(const void* context), const void* context);
// Prints "ready<TAB>HANDLE" for a stand-in window of ours, then serves the thread's
// messages until ms have passed and the window is destroyed.
void ServeWindowFor(HWND window, DWORD ms);
// The visible top-level window of the class (and title, when not null), or null.
HWND FindVisibleTopLevel(const char* className, const char* title);

std::string ClassNameOf(HWND window);
std::string TextOf(HWND window);  // ANSI, as the window holds it
