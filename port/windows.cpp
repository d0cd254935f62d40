// Window classes and windows: creation with WM_CREATE and WM_SIZE inside,
// destruction with WM_DESTROY, showing, painting, device contexts and the
// default window procedure.
#include <cctype>

#include "port/internal.h"

using port::Hex;
using port::Message;
using port::trace;

namespace port {
namespace {

struct WindowClass {
  WNDCLASSA description;
  std::string name;
  ATOM atom;
  int windows;
};

// Class names compare without regard to case, as in Win32, and belong to
// the module (instance) that registered them.
std::string classKey(LPCSTR name, HINSTANCE instance) {
  std::string key;
  for (const char* c = name; *c != '\0'; ++c) {
    key += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
  }
  return key + "@" + std::to_string(handleNumber(instance));
}

std::map<std::string, WindowClass> classes;
ATOM nextAtom = 0xC000;

WindowTable table;
std::uintptr_t nextWindowId = 1;

// What an overlapped window gets when CW_USEDEFAULT leaves the size open.
constexpr int defaultWidth = 800;
constexpr int defaultHeight = 600;

// Set when DefWindowProcA sees SC_SCREENSAVE: the window let it through.
bool screenSaverRequested = false;

}  // namespace

const WindowTable& windows() { return table; }

WindowRecord* findWindow(HWND handle) {
  const auto found = table.find(handleNumber(handle));
  return found == table.end() ? nullptr : found->second.get();
}

WindowRecord* findWindowByDc(HDC deviceContext) {
  const auto found = table.find(handleNumber(deviceContext));
  return found == table.end() ? nullptr : found->second.get();
}

LRESULT deliverMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const WindowRecord* target = findWindow(window);
  return target == nullptr ? 0 : target->procedure(window, message, wParam, lParam);
}

void surfaceResized(HWND handle, int width, int height, bool minimised) {
  WindowRecord* window = findWindow(handle);
  if (window == nullptr || window->destroying) {
    return;
  }
  if (minimised) {
    if (!window->minimised) {
      window->minimised = true;
      deliverMessage(handle, WM_SIZE, SIZE_MINIMIZED, 0);
    }
    return;
  }
  if (!window->minimised && window->width == width && window->height == height) {
    return;
  }
  window->minimised = false;
  window->width = width;
  window->height = height;
  window->needsPaint = window->visible;
  deliverMessage(handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
}

void surfaceExposed(HWND handle) {
  if (WindowRecord* window = findWindow(handle)) {
    window->needsPaint = window->visible;
  }
}

bool screenSaverAllowed(HWND handle) {
  screenSaverRequested = false;
  deliverMessage(handle, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
  return screenSaverRequested;
}

}  // namespace port

ATOM WINAPI RegisterClassA(const WNDCLASSA* windowClass) {
  if (windowClass == nullptr) {
    trace("RegisterClassA");
    return 0;
  }
  trace("RegisterClassA", Hex{windowClass->style}, windowClass->hIcon, windowClass->hCursor,
        windowClass->hbrBackground, port::ResourceName{windowClass->lpszMenuName},
        windowClass->lpszClassName);
  if (windowClass->lpszClassName == nullptr || windowClass->lpszClassName[0] == '\0' ||
      windowClass->lpfnWndProc == nullptr) {
    return 0;
  }
  const std::string key = port::classKey(windowClass->lpszClassName, windowClass->hInstance);
  if (port::classes.count(key) != 0 || port::nextAtom == 0) {
    return 0;
  }
  port::WindowClass entry{*windowClass, windowClass->lpszClassName, port::nextAtom++, 0};
  entry.description.lpszClassName = nullptr;  // the caller's array need not outlive the call
  port::classes.emplace(key, entry);
  return entry.atom;
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE instance) {
  trace("UnregisterClassA", className, instance);
  if (className == nullptr) {
    return FALSE;
  }
  const auto found = port::classes.find(port::classKey(className, instance));
  if (found == port::classes.end() || found->second.windows != 0) {
    return FALSE;
  }
  port::classes.erase(found);
  return TRUE;
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU, HINSTANCE instance,
                            LPVOID) {
  trace("CreateWindowExA", Hex{exStyle}, className, windowName, Hex{style},
        Hex{static_cast<unsigned>(x)}, Hex{static_cast<unsigned>(y)},
        Hex{static_cast<unsigned>(width)}, Hex{static_cast<unsigned>(height)}, parent);
  // Only top-level windows exist here: a child would need a native child
  // surface, which nothing in the programs asks for.
  if (className == nullptr || parent != nullptr) {
    return nullptr;
  }
  const auto found = port::classes.find(port::classKey(className, instance));
  if (found == port::classes.end()) {
    return nullptr;
  }
  if (width == CW_USEDEFAULT) {
    width = port::defaultWidth;
    height = port::defaultHeight;
  }
  // A window is at least one pixel in each direction, as a GL surface must be.
  width = width < 1 ? 1 : width;
  height = height < 1 ? 1 : height;

  const std::uintptr_t id = port::nextWindowId++;
  auto window = std::make_unique<port::WindowRecord>();
  window->handle = reinterpret_cast<HWND>(id);
  window->deviceContext = reinterpret_cast<HDC>(id);
  window->procedure = found->second.description.lpfnWndProc;
  window->classKey = found->first;
  window->width = width;
  window->height = height;
  window->surface =
      port::display().createSurface(window->handle, found->second.name.c_str(),
                                    windowName != nullptr ? windowName : "", width, height);
  if (window->surface == nullptr) {
    return nullptr;
  }
  const HWND handle = window->handle;
  port::table.emplace(id, std::move(window));
  ++found->second.windows;

  if (port::deliverMessage(handle, WM_CREATE, 0, 0) == -1) {
    DestroyWindow(handle);
    return nullptr;
  }
  if (port::findWindow(handle) == nullptr) {
    return nullptr;  // destroyed while being created
  }
  port::deliverMessage(handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
  return handle;
}

BOOL WINAPI DestroyWindow(HWND handle) {
  trace("DestroyWindow", handle);
  port::WindowRecord* window = port::findWindow(handle);
  if (window == nullptr || window->destroying) {
    return FALSE;
  }
  window->destroying = true;
  if (window->visible) {
    window->visible = false;
    port::display().showSurface(*window->surface, false);
  }
  port::deliverMessage(handle, WM_DESTROY, 0, 0);

  window = port::findWindow(handle);
  port::releaseWindowDrawable(*window);
  port::forgetWindowMessages(handle);
  port::display().destroySurface(window->surface);
  const auto windowClass = port::classes.find(window->classKey);
  if (windowClass != port::classes.end()) {
    --windowClass->second.windows;
  }
  port::table.erase(port::handleNumber(handle));
  return TRUE;
}

BOOL WINAPI SetWindowTextA(HWND handle, LPCSTR text) {
  trace("SetWindowTextA", handle, text);
  port::WindowRecord* window = port::findWindow(handle);
  if (window == nullptr) {
    return FALSE;
  }
  port::display().setSurfaceTitle(*window->surface, text != nullptr ? text : "");
  return TRUE;
}

BOOL WINAPI ShowWindow(HWND handle, int showCommand) {
  trace("ShowWindow", handle, showCommand);
  port::WindowRecord* window = port::findWindow(handle);
  if (window == nullptr) {
    return FALSE;
  }
  const bool wasVisible = window->visible;
  const bool visible = showCommand != SW_HIDE;
  if (visible != wasVisible) {
    window->visible = visible;
    window->needsPaint = visible;
    port::display().showSurface(*window->surface, visible);
  }
  return wasVisible ? TRUE : FALSE;
}

BOOL WINAPI UpdateWindow(HWND handle) {
  trace("UpdateWindow", handle);
  const port::WindowRecord* window = port::findWindow(handle);
  if (window == nullptr) {
    return FALSE;
  }
  if (window->visible && window->needsPaint) {
    port::deliverMessage(handle, WM_PAINT, 0, 0);
  }
  return TRUE;
}

LRESULT WINAPI DefWindowProcA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  trace("DefWindowProcA", handle, Message{message}, Hex{wParam}, Hex{static_cast<WPARAM>(lParam)});
  switch (message) {
    case WM_CLOSE:
      DestroyWindow(handle);
      return 0;
    case WM_SYSCOMMAND:
      // The low four bits of a system command are the system's own.
      switch (wParam & 0xFFF0) {
        case SC_CLOSE:
          port::deliverMessage(handle, WM_CLOSE, 0, 0);
          return 0;
        case SC_SCREENSAVE:
          port::screenSaverRequested = true;
          return 0;
        default:
          return 0;
      }
    case WM_PAINT:
      // Validates without drawing: with no background brush nothing is erased.
      if (port::WindowRecord* window = port::findWindow(handle)) {
        window->needsPaint = false;
      }
      return 0;
    default:
      return 0;
  }
}

HDC WINAPI GetDC(HWND handle) {
  trace("GetDC", handle);
  const port::WindowRecord* window = port::findWindow(handle);
  return window == nullptr ? nullptr : window->deviceContext;
}

int WINAPI ReleaseDC(HWND handle, HDC deviceContext) {
  trace("ReleaseDC", handle, deviceContext);
  // The context belongs to the window for its whole life, so releasing it
  // only checks that the pair is right.
  const port::WindowRecord* window = port::findWindow(handle);
  return window != nullptr && window->deviceContext == deviceContext ? 1 : 0;
}
