// Resource ids shared by the resource script and the program.
#pragma once

#define IDI_FRIMBOLA 101     // the program and the idle tray icon
#define IDI_CAPTURING 102    // the tray icon while automatic capture runs
#define IDI_FOLDER 103       // settings dialog: folder button
#define IDI_PANEL_FIRST 104  // control panel buttons: 104 to 108
#define IDI_AUTOCAPTURE 104  // control panel: start / stop automatic capture
#define IDI_ONEFRAME 105     // control panel: one frame (or stop automatic capture)
#define IDI_BUILDGIF 106     // control panel: build the animated GIF
#define IDI_CLEARFRAMES 107  // control panel: clear the recorded frames
#define IDI_REGION 108       // control panel: ask the region-selection companion
#define IDI_FONT 109         // settings dialog: font button

#define IDD_PROGRESS 103
#define IDC_PROGRESS_BAR 1013
#define IDC_ELAPSED 1016
#define IDC_REMAINING 1017
#define IDC_STEPNAME 1020

#define IDD_MENUANCHOR 107
#define IDD_ABOUT 155

#define IDR_CREDITFRAME 201  // RCDATA: the default credit template, frame.gif
