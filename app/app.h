// What the whole program shares: the run-time state bits, the private window
// messages, the paths and the settings held in memory for the run, and the two
// message boxes every part uses. Start-up (app/main.cpp and app/app.cpp) owns them.
#pragma once

#include "platform/platform.h"

// RunState bits: run-time only, never stored.
enum : DWORD {
  RS_RESTART = 0x001,       // rebuild the main window when the loop ends
  RS_CLIPWAIT = 0x002,      // a frame is expected on the clipboard
  RS_BUSY = 0x004,          // a modal interaction or a capture runs
  RS_STOREPENDING = 0x008,  // a single frame waits for the frame store
  RS_AUTOCAPTURE = 0x010,   // automatic capture runs (timer 3)
  RS_CMDFOLDER = 0x020,     // the output folder came from the command line
  RS_DEFINE = 0x040,        // the command line asked for the settings dialog
  RS_REOPENPANEL = 0x080,   // recreate the control panel after the settings dialog
  RS_BUILDING = 0x100,      // a GIF build runs
};
extern DWORD RunState;

// Option flags (INI key "flags").
enum : DWORD {
  OF_KEYEMULATION = 0x001,
  OF_GIFMODE = 0x002,
  OF_HOTKEYTOGGLE = 0x004,
  OF_FOLLOWTIMES = 0x008,
  OF_REMOVEBORDERS = 0x010,
  OF_PINDLE = 0x020,
  OF_SHAREDPALETTE = 0x040,
  OF_CREDIT = 0x080,
  OF_EXECLISTDONE = 0x100,
  OF_MOTION = 0x400,
};
extern DWORD OptionFlags;

// Private window messages; the numbers are shared with the companion programs.
enum : UINT {
  WM_SHOWTRAYMENU = WM_USER + 3,
  WM_FRAMEREADY = WM_USER + 4,
  WM_OPENSETTINGS = WM_USER + 5,
  WM_BUILDGIF = WM_USER + 6,
  WM_PANELUPDATE = WM_USER + 7,
  WM_OPENPANEL = WM_USER + 8,
  WM_PASTETITLE = WM_USER + 9,
  WM_PINDLE = WM_USER + 37,
  WM_TRAYNOTIFY = WM_USER + 38,
  WM_BUILDPROGRESS = WM_USER + 55,
  WM_REGIONSELECTED = WM_USER + 80,
};

constexpr int kPathSize = 256;

extern HINSTANCE AppInstance;
extern char AppDataFolder[kPathSize];  // ...\Application Data\Qv\ (shared with the companions)
extern char IniPath[kPathSize];        // AppDataFolder + "frimbola.ini"
extern char ExeFolder[kPathSize];      // the executable's folder, with its final backslash
extern char OutputFolder[kPathSize];   // where frames and GIFs go, with its final backslash

// The settings held in memory for the whole run, named as their INI keys.
struct HeldSettings {
  char prefix[12];
  int filecount;
  int intervaltimer;
  int hotkey;
  int hotkeymod;
  int jpegquality;
};
extern HeldSettings Settings;

// Indexes of the message table.
enum WarningText {
  kWarnSystemFault = 1,
  kWarnFolderNotCreated = 2,
  kWarnNoKey = 3,
  kWarnHotKeyValid = 4,
  kWarnHotKeyInvalid = 5,
  kWarnGifFailed = 6,
  kWarnResizeFailed = 7,
  kWarnNothingToCapture = 8,
  kAskPindleNotEditing = 11,
};
const char* MessageText(int index);

// A beep, then the text in a topmost exclamation box captioned "Frimbola".
void ShowWarning(int index, HWND owner);
// The text with "\nよろしいですか?" appended in a Yes/No box; true only for Yes.
bool QueryYesNo(const char* text, HWND owner);
// Appends text to a path buffer of kPathSize bytes; false, leaving it alone, when
// the result would not fit.
bool AppendPath(char* path, const char* text);
// Checks a folder path in place and leaves a usable one ending in one backslash.
int IsUsableFolder(char* path);
