// The main window's procedure and the shell state it drives: the one engine,
// the window handle, and the private message that asks for a frame.
#pragma once

#include "engine/engine.h"
#include "platform/win32.h"

// Sent by the message loop, never posted, whenever the queue is empty; the
// answer renders and presents one frame. Both parameters are 0.
constexpr UINT WM_RENDER = WM_USER + 1;

// The one engine. It has no constructor, so it starts all-zero with the
// program's static data.
extern Engine engine;
// The main window, set while handling WM_CREATE.
extern HWND mainWindow;

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
