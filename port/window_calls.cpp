// The Win32 calls on window classes and windows, forwarded to the window
// system.
#include "port/window_system.h"

using port::Hexadecimal;
using port::MessageName;
using port::trace;
using port::windowSystem;

ATOM WINAPI RegisterClassA(const WNDCLASSA* windowClass) {
  if (windowClass == nullptr) {
    trace("RegisterClassA");
    return 0;
  }
  trace("RegisterClassA", Hexadecimal{windowClass->style}, windowClass->hIcon, windowClass->hCursor,
        windowClass->hbrBackground, port::ResourceName{windowClass->lpszMenuName},
        windowClass->lpszClassName);
  if (windowClass->lpszClassName == nullptr || windowClass->lpszClassName[0] == '\0' ||
      windowClass->lpfnWndProc == nullptr) {
    return 0;
  }
  return windowSystem().windows.registerClass(windowClass->lpszClassName, windowClass->hInstance,
                                              windowClass->lpfnWndProc);
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE instance) {
  trace("UnregisterClassA", className, instance);
  return className != nullptr && windowSystem().windows.unregisterClass(className, instance);
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU, HINSTANCE instance,
                            LPVOID) {
  trace("CreateWindowExA", Hexadecimal{exStyle}, className, windowName, Hexadecimal{style},
        Hexadecimal{static_cast<unsigned>(x)}, Hexadecimal{static_cast<unsigned>(y)},
        Hexadecimal{static_cast<unsigned>(width)}, Hexadecimal{static_cast<unsigned>(height)},
        parent);
  // Only top-level windows exist here: a child would need a native child
  // surface, which nothing in the programs asks for.
  if (className == nullptr || parent != nullptr) {
    return nullptr;
  }
  port::WindowSystem& system = windowSystem();
  const std::string classKey = system.windows.findClass(className, instance);
  if (classKey.empty()) {
    return nullptr;
  }
  return system.createWindow(classKey, windowName != nullptr ? windowName : "", width, height);
}

BOOL WINAPI DestroyWindow(HWND window) {
  trace("DestroyWindow", window);
  return windowSystem().destroyWindow(window) ? TRUE : FALSE;
}

BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text) {
  trace("SetWindowTextA", window, text);
  return windowSystem().setWindowTitle(window, text != nullptr ? text : "") ? TRUE : FALSE;
}

BOOL WINAPI ShowWindow(HWND window, int showCommand) {
  trace("ShowWindow", window, showCommand);
  return windowSystem().showWindow(window, showCommand != SW_HIDE) ? TRUE : FALSE;
}

BOOL WINAPI UpdateWindow(HWND handle) {
  trace("UpdateWindow", handle);
  const port::WindowRecord* window = windowSystem().windows.find(handle);
  if (window == nullptr) {
    return FALSE;
  }
  if (window->visible && window->needsPaint) {
    windowSystem().deliver(handle, WM_PAINT, 0, 0);
  }
  return TRUE;
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  trace("DefWindowProcA", window, MessageName{message}, Hexadecimal{wParam},
        Hexadecimal{static_cast<WPARAM>(lParam)});
  return windowSystem().defaultProcedure(window, message, wParam, lParam);
}

HDC WINAPI GetDC(HWND handle) {
  trace("GetDC", handle);
  const port::WindowRecord* window = windowSystem().windows.find(handle);
  return window == nullptr ? nullptr : window->deviceContext;
}

int WINAPI ReleaseDC(HWND handle, HDC deviceContext) {
  trace("ReleaseDC", handle, deviceContext);
  // The context belongs to the window for its whole life, so releasing it
  // only checks that the pair is right.
  const port::WindowRecord* window = windowSystem().windows.find(handle);
  return window != nullptr && window->deviceContext == deviceContext ? 1 : 0;
}
