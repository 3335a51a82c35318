// Resource ids shared by the resource script and the program.
#pragma once

#define IDI_FRIMBOLA 101     // the program and the idle tray icon
#define IDI_CAPTURING 102    // the tray icon while automatic capture runs
#define IDI_FOLDER 103       // settings dialog: folder button
#define IDI_PANEL_FIRST 104  // control panel buttons: 104 to 108
#define IDI_FONT 109         // settings dialog: font button

#define IDD_MENUANCHOR 107
#define IDD_ABOUT 155
