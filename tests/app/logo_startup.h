// The part of the converter's start-up that the logo needs, in the
// program's order, and its window: window 0 of client size 168 x 156 with
// status bar 0 and its three fields.
#pragma once

#include <windows.h>

// Starts the libraries once per process.
void start_logo_libraries();

// Opens window 0 as the converter does (shown, centred, caption and close
// box), adds status bar 0 and shows the logo. Returns the window.
HWND open_converter_window();
