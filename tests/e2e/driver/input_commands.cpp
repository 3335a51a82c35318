// Real keyboard input through SendInput: under Wine it passes the X server's
// keyboard path, so RegisterHotKey sees it as it sees a user's key press.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tests/e2e/driver/driver.h"

namespace {

struct NamedKey {
  const char* name;
  WORD key;
};

const NamedKey kKeys[] = {
    {"ctrl", VK_CONTROL}, {"shift", VK_SHIFT}, {"alt", VK_MENU},     {"esc", VK_ESCAPE}, {"return", VK_RETURN},
    {"down", VK_DOWN},    {"up", VK_UP},       {"space", VK_SPACE},  {"tab", VK_TAB},
};

// "ctrl", "F12", "A", "7" or a number.
bool ParseKey(const char* text, WORD* key) {
  for (const NamedKey& named : kKeys) {
    if (_stricmp(named.name, text) == 0) return *key = named.key, true;
  }
  if ((text[0] == 'F' || text[0] == 'f') && text[1]) {
    int number = std::atoi(text + 1);
    if (number >= 1 && number <= 24) return *key = static_cast<WORD>(VK_F1 + number - 1), true;
  }
  if (text[0] && !text[1] && ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= '0' && text[0] <= '9'))) {
    return *key = static_cast<WORD>(text[0]), true;
  }
  long long value = 0;
  if (ParseNumber(text, &value) && value > 0 && value < 256) return *key = static_cast<WORD>(value), true;
  return false;
}

INPUT KeyInput(WORD key, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return input;
}

// Presses the keys in order and releases them in reverse: "keys ctrl F12" is Ctrl+F12.
int Keys(int argc, char** argv) {
  if (argc < 1) return Fail("keys needs at least one key");
  std::vector<WORD> keys;
  for (int i = 0; i < argc; ++i) {
    WORD key = 0;
    if (!ParseKey(argv[i], &key)) return Fail("not a key: \"%s\"", argv[i]);
    keys.push_back(key);
  }
  std::vector<INPUT> inputs;
  for (WORD key : keys) inputs.push_back(KeyInput(key, false));
  for (auto it = keys.rbegin(); it != keys.rend(); ++it) inputs.push_back(KeyInput(*it, true));
  UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  if (sent != inputs.size()) return Fail("SendInput sent %u of %u events (%lu)", sent, static_cast<unsigned>(inputs.size()), GetLastError());
  return 0;
}

// The program's default hot key.
int HotKey(int, char**) {
  char ctrl[] = "ctrl";
  char f12[] = "F12";
  char* keys[] = {ctrl, f12};
  return Keys(2, keys);
}

// A mouse click by real input at a screen point (the pointer moves there first). The
// button can stay down a while, as a user's does, for code that looks at the button
// state when the press arrives.
int ClickAt(int x, int y, bool right, DWORD holdMs) {
  if (!SetCursorPos(x, y)) return Fail("SetCursorPos failed (%lu)", GetLastError());
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
  if (SendInput(1, &input, sizeof input) != 1) return Fail("SendInput failed (%lu)", GetLastError());
  if (holdMs) Sleep(holdMs);
  input.mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
  if (SendInput(1, &input, sizeof input) != 1) return Fail("SendInput failed (%lu)", GetLastError());
  return 0;
}

bool ParseClickOptions(int argc, char** argv, int first, bool* right, DWORD* holdMs) {
  *right = false;
  *holdMs = 0;
  for (int i = first; i < argc; ++i) {
    if (std::strcmp(argv[i], "right") == 0) *right = true;
    else if (std::strcmp(argv[i], "--hold") == 0 && i + 1 < argc) *holdMs = ParseMs(argc, argv, ++i, 0);
    else return Fail("unknown click option \"%s\"", argv[i]), false;
  }
  return true;
}

int Click(int argc, char** argv) {
  long long x = 0, y = 0;
  bool right;
  DWORD holdMs;
  if (argc < 2 || !ParseNumber(argv[0], &x) || !ParseNumber(argv[1], &y)) return Fail("click needs X Y");
  if (!ParseClickOptions(argc, argv, 2, &right, &holdMs)) return 1;
  return ClickAt(static_cast<int>(x), static_cast<int>(y), right, holdMs);
}

// The virtual desktop's taskbar draws the tray icons at its right end, the first
// added right-most, without a window per icon: the click goes to that spot.
int TrayClick(int argc, char** argv) {
  bool right;
  DWORD holdMs;
  if (!ParseClickOptions(argc, argv, 0, &right, &holdMs)) return 1;
  HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
  RECT rect{};
  if (!taskbar || !IsWindowVisible(taskbar) || !GetWindowRect(taskbar, &rect)) return Fail("no visible taskbar");
  return ClickAt(rect.right - 10, (rect.top + rect.bottom) / 2, right, holdMs);
}

const DriverCommand kCommands[] = {
    {"hotkey", "   Ctrl+F12 by SendInput", HotKey},
    {"click", "X Y [right] [--hold MS]   moves the pointer to the screen point and clicks", Click},
    {"tray-click", "[right] [--hold MS]   clicks the right-most icon of the taskbar's tray", TrayClick},
    {"keys", "KEY...   presses the keys in order, releases them in reverse (ctrl shift alt esc return F1..F24 A..Z 0..9 or a code)", Keys},
};

}  // namespace

std::span<const DriverCommand> InputCommands() { return kCommands; }
