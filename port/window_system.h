// The window system's side of the display interface: how a display hands
// native events over as window messages. Used by the display backends only.
#pragma once

#include <string>

#include "port/win32.h"

// Native input for a window (keys, pointer motion, close requests): queued
// behind the posted messages, as the input queue of Win32 is.
void queueInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// A key press that types `text`: queued like queueInput, and TranslateMessage
// later posts one WM_CHAR per character of `text`.
void queueKeyDown(HWND window, WPARAM virtualKey, LPARAM keyData, const std::string& text);
// The surface changed size or was minimised: WM_SIZE is sent at once, as
// Win32 sends it from inside the call that resized the window.
void surfaceResized(HWND window, int width, int height, bool minimised);
// Part of the surface needs drawing again: WM_PAINT becomes due.
void surfaceExposed(HWND window);
// Asks the window, as Win32 asks the active window, whether the screen saver
// may start: true only when the request reached DefWindowProcA.
bool screenSaverAllowed(HWND window);
// Reports the call to the observer set with observeCalls (printf-style).
void traceCall(const char* format, ...) __attribute__((format(printf, 1, 2)));
