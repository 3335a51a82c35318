// What the driver and the build probe agree on. A GIF build runs inside one window
// message (WM_BUILDGIF) and only pumps messages at its progress reports, so its steps
// can pass between two looks from outside. The probe, hooked into the program's GUI
// thread (WH_CALLWNDPROC), sees every progress report the build sends to its dialog
// and logs it, with the dialog's texts at that moment, into a named shared block. It
// can also press the dialog's cancel button at the first report of a named step, and
// hold every report for a while so that a build lasts long enough to show its times.
#pragma once

#define FRIMBOLA_BUILD_PROBE_HOOK "BuildProbeCallWndProc"  // in the probe DLL, undecorated
#define FRIMBOLA_BUILD_PROBE_BLOCK "FrimbolaE2EBuildProbe"

// The shared block. The driver fills the first fields before it hooks; the probe
// appends lines, each ended by "\n", in the program's code page:
//   open<TAB>HWND<TAB>TITLE                       first report of a dialog
//   progress<TAB>PERCENT<TAB>STEP<TAB>ELAPSED<TAB>REMAINING   each report, with the
//                                                 texts of controls 1020, 1016, 1017
//                                                 as they were when it arrived
//   cancel<TAB>STEP<TAB>PERCENT                   the probe pressed cancel
//   closed<TAB>STEP<TAB>ELAPSED<TAB>REMAINING     the dialog is being destroyed
// `length` grows only after a line is complete.
struct BuildProbeBlock {
  volatile long length;
  volatile long closedDialogs;
  unsigned long slowMs;           // every report waits this long before the dialog handles it
  char cancelStep[64];            // the step at whose first report cancel is pressed ("" none)
  volatile long cancelled;        // 1 once cancel was pressed
  unsigned long long dialog;      // the dialog of the reports being logged
  char text[262144 - 96];
};
