// What the driver and the probe DLL agree on. The driver cannot read a menu of
// another process under Wine (menu handles are per process there), so it loads this
// probe into the program with a window hook: a registered message sent to the open
// menu's window makes the probe write the menu's items into a named shared block.
#pragma once

#define FRIMBOLA_PROBE_DLL "frimbola-e2e-probe.dll"
#define FRIMBOLA_PROBE_HOOK "ProbeCallWndProc"  // WH_CALLWNDPROC procedure, undecorated
#define FRIMBOLA_PROBE_MESSAGE "FrimbolaE2EProbeReadMenu"
#define FRIMBOLA_PROBE_BLOCK "FrimbolaE2EProbeMenuItems"

// The shared block: the item lines, "ID<TAB>TEXT" in the program's code page with
// "<TAB>grayed", "<TAB>disabled", "<TAB>checked" or "<TAB>submenu" after them when
// so, and "-" for a separator, each ended by "\n"; `length` bytes of them.
struct ProbeBlock {
  unsigned long ready;   // 1 once the probe wrote the lines
  unsigned long length;
  char text[65536 - 8];
};
