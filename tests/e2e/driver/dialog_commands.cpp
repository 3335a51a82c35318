// Dialogs and message boxes of the program: read their texts, press their buttons.
#include <cstring>
#include <string>

#include "tests/e2e/driver/driver.h"

namespace {

struct DialogQuery {
  const char* caption;  // null: any caption
};

HWND FindDialog(const void* context) {
  return FindVisibleTopLevel("#32770", static_cast<const DialogQuery*>(context)->caption);
}

HWND WaitDialog(const char* name, DWORD ms) {
  if (name[0] == '0' && name[1] == 'x') return FindTarget(name);
  DialogQuery query{name[0] ? name : nullptr};
  HWND dialog = WaitFor(ms, FindDialog, &query);
  if (!dialog) Fail("no dialog \"%s\" within %lu ms", Utf8FromAnsi(name).c_str(), ms);
  return dialog;
}

BOOL CALLBACK PrintControl(HWND control, LPARAM) {
  PrintFormat("%s\t%d\t%s\t", ClassNameOf(control).c_str(), GetDlgCtrlID(control),
              IsWindowVisible(control) ? (IsWindowEnabled(control) ? "enabled" : "disabled") : "hidden");
  PrintLine(Utf8FromAnsi(TextOf(control).c_str()));
  return TRUE;
}

int Dialog(int argc, char** argv) {
  HWND dialog = WaitDialog(argc > 0 ? argv[0] : "", ParseMs(argc, argv, 1, 10000));
  if (!dialog) return 1;
  PrintFormat("0x%08lx\t", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(dialog)));
  PrintLine(Utf8FromAnsi(TextOf(dialog).c_str()));
  EnumChildWindows(dialog, PrintControl, 0);
  return 0;
}

struct ControlSearch {
  const char* className;
  bool needText;
  HWND found;
  std::string texts;
};

BOOL CALLBACK CollectControl(HWND control, LPARAM context) {
  auto* search = reinterpret_cast<ControlSearch*>(context);
  if (ClassNameOf(control) != search->className) return TRUE;
  std::string text = TextOf(control);
  if (search->needText && text.empty()) return TRUE;
  if (!search->found) search->found = control;
  if (!search->texts.empty()) search->texts += "\n";
  search->texts += text;
  return TRUE;
}

void PressButton(HWND dialog, HWND button) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

// The program's warning and question boxes: caption "Frimbola", one text.
int MessageBoxText(int argc, char** argv) {
  const char* press = nullptr;
  bool keep = false;
  int msIndex = -1;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--press") == 0 && i + 1 < argc) press = argv[++i];
    else if (std::strcmp(argv[i], "--keep") == 0) keep = true;
    else msIndex = i;
  }
  DWORD ms = msIndex >= 0 ? ParseMs(argc, argv, msIndex, 10000) : 10000;
  HWND box = WaitDialog("Frimbola", ms);
  if (!box) return 1;
  ControlSearch statics{"Static", true, nullptr, {}};
  EnumChildWindows(box, CollectControl, reinterpret_cast<LPARAM>(&statics));
  PrintLine(Utf8FromAnsi(statics.texts.c_str()));
  if (keep) return 0;
  HWND button = nullptr;
  if (press) {
    long long id = 0;
    if (!ParseNumber(press, &id)) return Fail("not a button id: \"%s\"", press);
    button = GetDlgItem(box, static_cast<int>(id));
    if (!button) return Fail("the box has no button %lld", id);
  } else {
    ControlSearch buttons{"Button", false, nullptr, {}};
    EnumChildWindows(box, CollectControl, reinterpret_cast<LPARAM>(&buttons));
    button = buttons.found;
    if (!button) return Fail("the box has no button");
  }
  PressButton(box, button);
  return 0;
}

int DialogPress(int argc, char** argv) {
  long long id = 0;
  if (argc < 2 || !ParseNumber(argv[1], &id)) return Fail("dialog-press needs CAPTION|0xHWND BUTTONID");
  HWND dialog = WaitDialog(argv[0], ParseMs(argc, argv, 2, 10000));
  if (!dialog) return 1;
  HWND button = GetDlgItem(dialog, static_cast<int>(id));
  if (!button) return Fail("the dialog has no control %lld", id);
  PressButton(dialog, button);
  return 0;
}

// A key posted to the dialog reaches IsDialogMessage in its loop as if typed (Esc
// cancels, Enter presses the default button), without needing the keyboard focus.
int DialogKey(int argc, char** argv) {
  if (argc < 2) return Fail("dialog-key needs CAPTION|0xHWND KEY (ESC, RETURN or a virtual-key code)");
  long long key = 0;
  if (std::strcmp(argv[1], "ESC") == 0) key = VK_ESCAPE;
  else if (std::strcmp(argv[1], "RETURN") == 0) key = VK_RETURN;
  else if (!ParseNumber(argv[1], &key)) return Fail("not a key: \"%s\"", argv[1]);
  HWND dialog = WaitDialog(argv[0], ParseMs(argc, argv, 2, 10000));
  if (!dialog) return 1;
  UINT scan = MapVirtualKeyA(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
  PostMessageA(dialog, WM_KEYDOWN, static_cast<WPARAM>(key), 1 | (scan << 16));
  PostMessageA(dialog, WM_KEYUP, static_cast<WPARAM>(key), 1 | (scan << 16) | 0xC0000000u);
  return 0;
}

HWND NoDialog(const void* context) { return FindDialog(context) ? nullptr : GetDesktopWindow(); }

int DialogGone(int argc, char** argv) {
  if (argc < 1) return Fail("dialog-gone needs a caption");
  DialogQuery query{argv[0][0] ? argv[0] : nullptr};
  DWORD ms = ParseMs(argc, argv, 1, 10000);
  if (!WaitFor(ms, NoDialog, &query)) return Fail("dialog \"%s\" still open after %lu ms", Utf8FromAnsi(argv[0]).c_str(), ms);
  return 0;
}

const DriverCommand kCommands[] = {
    {"dialog", "[CAPTION|\"\"|0xHWND] [MS]   prints the handle and caption, then \"CLASS<TAB>ID<TAB>STATE<TAB>TEXT\" per control", Dialog},
    {"message-box-text", "[MS] [--press BUTTONID | --keep]   prints the text of the \"Frimbola\" box, then presses a button (the first one)", MessageBoxText},
    {"dialog-press", "CAPTION|0xHWND BUTTONID [MS]", DialogPress},
    {"dialog-key", "CAPTION|0xHWND ESC|RETURN|VK [MS]", DialogKey},
    {"dialog-gone", "CAPTION [MS]", DialogGone},
};

}  // namespace

std::span<const DriverCommand> DialogCommands() { return kCommands; }
