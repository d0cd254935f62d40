// The windows that exist, shared by the parts of the window system.
#pragma once

#include <string>
#include <vector>

#include "port/display.h"
#include "port/win32.h"

struct Window {
  HWND handle = nullptr;
  // Every window has its own device context, as with CS_OWNDC.
  HDC deviceContext = nullptr;
  WNDPROC procedure = nullptr;
  std::string classKey;
  int width = 0;
  int height = 0;
  bool visible = false;
  bool minimised = false;
  bool needsPaint = false;
  bool destroying = false;
  NativeSurface* surface = nullptr;
  int pixelFormat = 0;
};

// Null for handles of windows that do not exist (any more).
Window* findWindow(HWND handle);
Window* findWindowByDc(HDC deviceContext);
std::vector<HWND> allWindows();
// Calls the window's procedure directly, as a send within the thread does;
// 0 for a window that does not exist.
LRESULT deliverMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The queue's part of destroying a window: its posted messages, input and
// timers go with it.
void forgetWindowMessages(HWND window);
// The wgl part: a context current on the window's surface is released.
void releaseWindowSurface(Window& window);
