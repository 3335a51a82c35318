// The hidden main window: tray icon, hot key, timers, clipboard-viewer chain and
// the switchboard of the private messages.
#pragma once

#include "platform/platform.h"

extern HWND MainWindow;
extern HWND GifPanel;  // the control panel, null while closed

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

int RegisterCaptureHotKey();
void UnregisterCaptureHotKey();
void StartAutoCapture();
void StopAutoCapture();
// Timer 3 alone, for a pause (the tray menu) and a fresh full interval afterwards.
void PauseAutoCaptureTimer();
void RestartAutoCaptureTimer();
void ShowCaptureIcon();  // the tray shows the capturing icon
void ShowIdleIcon();
void OpenGifPanel();
