// Window classes and windows: creation with WM_CREATE and WM_SIZE inside,
// destruction with WM_DESTROY, showing, painting, device contexts and the
// default window procedure.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>

#include "port/window_system.h"
#include "port/window_table.h"

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
  char module[2 + 2 * sizeof(void*) + 1];
  std::snprintf(module, sizeof module, "@%jx",
                static_cast<std::uintmax_t>(reinterpret_cast<std::uintptr_t>(instance)));
  return key + module;
}

std::map<std::string, WindowClass> classes;
ATOM nextAtom = 0xC000;

// Handles are small numbers that are never reused, so a stale handle finds
// nothing instead of another window.
std::map<std::uintptr_t, std::unique_ptr<Window>> windows;
std::uintptr_t nextWindowId = 1;

// What an overlapped window gets when CW_USEDEFAULT leaves the size open.
constexpr int defaultWidth = 800;
constexpr int defaultHeight = 600;

// Set when DefWindowProcA sees SC_SCREENSAVE: the window let it through.
bool screenSaverRequested = false;

std::uintptr_t handleValue(const void* handle) { return reinterpret_cast<std::uintptr_t>(handle); }

}  // namespace

Window* findWindow(HWND handle) {
  const auto found = windows.find(handleValue(handle));
  return found == windows.end() ? nullptr : found->second.get();
}

Window* findWindowByDc(HDC deviceContext) {
  // A window's device context carries the window's number.
  const auto found = windows.find(handleValue(deviceContext));
  return found == windows.end() ? nullptr : found->second.get();
}

std::vector<HWND> allWindows() {
  std::vector<HWND> handles;
  for (const auto& entry : windows) {
    if (!entry.second->destroying) {
      handles.push_back(entry.second->handle);
    }
  }
  return handles;
}

LRESULT deliverMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const Window* target = findWindow(window);
  return target == nullptr ? 0 : target->procedure(window, message, wParam, lParam);
}

ATOM WINAPI RegisterClassA(const WNDCLASSA* windowClass) {
  traceCall("RegisterClassA(\"%s\")",
            windowClass != nullptr && windowClass->lpszClassName != nullptr
                ? windowClass->lpszClassName
                : "");
  if (windowClass == nullptr || windowClass->lpszClassName == nullptr ||
      windowClass->lpszClassName[0] == '\0' || windowClass->lpfnWndProc == nullptr) {
    return 0;
  }
  const std::string key = classKey(windowClass->lpszClassName, windowClass->hInstance);
  if (classes.count(key) != 0 || nextAtom == 0) {
    return 0;
  }
  WindowClass entry{*windowClass, windowClass->lpszClassName, nextAtom++, 0};
  entry.description.lpszClassName = nullptr;  // the caller's array need not outlive the call
  classes.emplace(key, entry);
  return entry.atom;
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE instance) {
  traceCall("UnregisterClassA(\"%s\", 0x%jx)", className != nullptr ? className : "",
            static_cast<std::uintmax_t>(handleValue(instance)));
  if (className == nullptr) {
    return FALSE;
  }
  const auto found = classes.find(classKey(className, instance));
  if (found == classes.end() || found->second.windows != 0) {
    return FALSE;
  }
  classes.erase(found);
  return TRUE;
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param) {
  traceCall("CreateWindowExA(0x%x, \"%s\", \"%s\", 0x%x, %d, %d, %d, %d)",
            static_cast<unsigned>(exStyle), className != nullptr ? className : "",
            windowName != nullptr ? windowName : "", static_cast<unsigned>(style), x, y, width,
            height);
  (void)menu;
  (void)param;
  // Only top-level windows exist here: a child would need a native child
  // surface, which nothing in the program asks for.
  if (className == nullptr || parent != nullptr) {
    return nullptr;
  }
  const auto found = classes.find(classKey(className, instance));
  if (found == classes.end()) {
    return nullptr;
  }
  if (width == CW_USEDEFAULT) {
    width = defaultWidth;
    height = defaultHeight;
  }
  // A window is at least one pixel in each direction, as a GL surface must be.
  width = width < 1 ? 1 : width;
  height = height < 1 ? 1 : height;

  const std::uintptr_t id = nextWindowId++;
  auto window = std::make_unique<Window>();
  window->handle = reinterpret_cast<HWND>(id);
  window->deviceContext = reinterpret_cast<HDC>(id);
  window->procedure = found->second.description.lpfnWndProc;
  window->classKey = found->first;
  window->width = width;
  window->height = height;
  window->surface = display().createSurface(window->handle, found->second.name.c_str(),
                                            windowName != nullptr ? windowName : "", width, height);
  if (window->surface == nullptr) {
    return nullptr;
  }
  const HWND handle = window->handle;
  windows.emplace(id, std::move(window));
  ++found->second.windows;

  if (deliverMessage(handle, WM_CREATE, 0, 0) == -1) {
    DestroyWindow(handle);
    return nullptr;
  }
  if (findWindow(handle) == nullptr) {
    return nullptr;  // destroyed while being created
  }
  deliverMessage(handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
  return handle;
}

BOOL WINAPI DestroyWindow(HWND handle) {
  traceCall("DestroyWindow(0x%jx)", static_cast<std::uintmax_t>(handleValue(handle)));
  Window* window = findWindow(handle);
  if (window == nullptr || window->destroying) {
    return FALSE;
  }
  window->destroying = true;
  if (window->visible) {
    window->visible = false;
    display().showSurface(window->surface, false);
  }
  deliverMessage(handle, WM_DESTROY, 0, 0);

  window = findWindow(handle);
  releaseWindowSurface(*window);
  forgetWindowMessages(handle);
  display().destroySurface(window->surface);
  const auto windowClass = classes.find(window->classKey);
  if (windowClass != classes.end()) {
    --windowClass->second.windows;
  }
  windows.erase(handleValue(handle));
  return TRUE;
}

BOOL WINAPI ShowWindow(HWND handle, int showCommand) {
  traceCall("ShowWindow(0x%jx, %d)", static_cast<std::uintmax_t>(handleValue(handle)), showCommand);
  Window* window = findWindow(handle);
  if (window == nullptr) {
    return FALSE;
  }
  const bool wasVisible = window->visible;
  const bool visible = showCommand != SW_HIDE;
  if (visible != wasVisible) {
    window->visible = visible;
    window->needsPaint = visible;
    display().showSurface(window->surface, visible);
  }
  return wasVisible ? TRUE : FALSE;
}

BOOL WINAPI UpdateWindow(HWND handle) {
  traceCall("UpdateWindow(0x%jx)", static_cast<std::uintmax_t>(handleValue(handle)));
  const Window* window = findWindow(handle);
  if (window == nullptr) {
    return FALSE;
  }
  if (window->visible && window->needsPaint) {
    deliverMessage(handle, WM_PAINT, 0, 0);
  }
  return TRUE;
}

LRESULT WINAPI DefWindowProcA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  traceCall("DefWindowProcA(0x%jx, 0x%x, 0x%jx, 0x%jx)",
            static_cast<std::uintmax_t>(handleValue(handle)), message,
            static_cast<std::uintmax_t>(wParam), static_cast<std::uintmax_t>(lParam));
  switch (message) {
    case WM_CLOSE:
      DestroyWindow(handle);
      return 0;
    case WM_SYSCOMMAND:
      // The low four bits of a system command are the system's own.
      switch (wParam & 0xFFF0) {
        case SC_CLOSE:
          deliverMessage(handle, WM_CLOSE, 0, 0);
          return 0;
        case SC_SCREENSAVE:
          screenSaverRequested = true;
          return 0;
        default:
          return 0;
      }
    case WM_PAINT:
      // Validates without drawing: with no background brush nothing is erased.
      if (Window* window = findWindow(handle)) {
        window->needsPaint = false;
      }
      return 0;
    default:
      return 0;
  }
}

HDC WINAPI GetDC(HWND handle) {
  traceCall("GetDC(0x%jx)", static_cast<std::uintmax_t>(handleValue(handle)));
  const Window* window = findWindow(handle);
  return window == nullptr ? nullptr : window->deviceContext;
}

int WINAPI ReleaseDC(HWND handle, HDC deviceContext) {
  traceCall("ReleaseDC(0x%jx, 0x%jx)", static_cast<std::uintmax_t>(handleValue(handle)),
            static_cast<std::uintmax_t>(handleValue(deviceContext)));
  // The context belongs to the window for its whole life, so releasing it
  // only checks that the pair is right.
  const Window* window = findWindow(handle);
  return window != nullptr && window->deviceContext == deviceContext ? 1 : 0;
}

void surfaceResized(HWND handle, int width, int height, bool minimised) {
  Window* window = findWindow(handle);
  if (window == nullptr || window->destroying) {
    return;
  }
  if (minimised) {
    if (window->minimised) {
      return;
    }
    window->minimised = true;
    deliverMessage(handle, WM_SIZE, SIZE_MINIMIZED, 0);
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
  if (Window* window = findWindow(handle)) {
    window->needsPaint = window->visible;
  }
}

bool screenSaverAllowed(HWND handle) {
  screenSaverRequested = false;
  deliverMessage(handle, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
  return screenSaverRequested;
}
