// The generic window system's internals, shared by the files of port/: the
// window table, the message queue's clock, the current display, the close
// signal and the call trace. Only port/ includes this.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <type_traits>

#include "port/display.h"
#include "port/win32.h"

namespace port {

// Handles of windows, device contexts and rendering contexts are small
// numbers that are never reused, so a stale handle finds nothing.
inline std::uintptr_t handleNumber(const void* handle) {
  return reinterpret_cast<std::uintptr_t>(handle);
}

// The display the window system runs on, chosen on first use (see
// port/port.h); openedDisplay is null until then and opens nothing.
Display& display();
Display* openedDisplay();

// One window. Its device context carries the same number as its handle, as
// a window of an own-DC class has one device context for its whole life.
struct WindowRecord {
  HWND handle = nullptr;
  HDC deviceContext = nullptr;
  WNDPROC procedure = nullptr;
  std::string classKey;
  int width = 0;
  int height = 0;
  bool visible = false;
  bool minimised = false;
  bool needsPaint = false;
  bool destroying = false;
  Surface* surface = nullptr;
  // Set with the pixel format.
  EGLSurface drawable = EGL_NO_SURFACE;
  int pixelFormat = 0;
};
using WindowTable = std::map<std::uintptr_t, std::unique_ptr<WindowRecord>>;

// windows.cpp. Null for handles of windows that do not exist (any more).
const WindowTable& windows();
WindowRecord* findWindow(HWND handle);
WindowRecord* findWindowByDc(HDC deviceContext);
// Calls the window's procedure directly, as a send within the thread does;
// 0 for a window that does not exist.
LRESULT deliverMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// message_queue.cpp. Destroying a window takes its posted messages, input
// and timers with it.
void forgetWindowMessages(HWND window);

// wgl.cpp. Before a window's surface goes: a context current on it is
// released and its drawable destroyed.
void releaseWindowDrawable(WindowRecord& window);

// close_signals.cpp: SIGINT and SIGTERM caught from installCloseSignals on.
// The descriptor is readable while a signal waits (-1 before installing);
// takeCloseSignal reports a waiting signal once and clears it.
void installCloseSignals();
int closeSignalFd();
bool takeCloseSignal();

// trace.cpp: every window-system and WGL call is reported, as one line such
// as `SendMessageA(hwnd#1, WM_USER+1, 0x0, 0x0)`, to the observer of
// observeCalls and, with MCUBES_TRACE=1, on stderr. Each argument is
// formatted by its type: handles as kind#number, strings quoted, the three
// wrappers below as they say, other integers in decimal. The line is built
// in place, so tracing allocates nothing.
struct Message {
  UINT value;  // WM_TIMER, WM_USER+1, or hexadecimal when it has no name
};
struct Hex {
  std::uintmax_t value;  // flags, styles, message parameters
};
struct ResourceName {
  LPCSTR name;  // "Kestrival", or #32512 for a MAKEINTRESOURCE number
};

// Text past the end of the line is cut off.
struct TraceLine {
  char text[512];
  std::size_t length = 0;
  void append(const char* format, ...) __attribute__((format(printf, 2, 3)));
};

bool tracing();
void emitTrace(const TraceLine& line);
void appendArgument(TraceLine& line, const char* text);
void appendArgument(TraceLine& line, Message message);
void appendArgument(TraceLine& line, ResourceName resource);
void appendArgument(TraceLine& line, HINSTANCE instance);
void appendHandle(TraceLine& line, const char* kind, const void* handle);
inline void appendArgument(TraceLine& line, Hex value) { line.append("0x%jx", value.value); }
inline void appendArgument(TraceLine& line, HWND handle) { appendHandle(line, "hwnd", handle); }
inline void appendArgument(TraceLine& line, HDC handle) { appendHandle(line, "hdc", handle); }
inline void appendArgument(TraceLine& line, HGLRC handle) { appendHandle(line, "hglrc", handle); }
inline void appendArgument(TraceLine& line, HICON handle) { appendHandle(line, "hicon", handle); }
inline void appendArgument(TraceLine& line, HBRUSH handle) { appendHandle(line, "hbrush", handle); }
inline void appendArgument(TraceLine& line, HACCEL handle) { appendHandle(line, "haccel", handle); }
template <typename Integer, std::enable_if_t<std::is_integral_v<Integer>, int> = 0>
void appendArgument(TraceLine& line, Integer value) {
  line.append("%jd", static_cast<std::intmax_t>(value));
}

template <typename... Arguments>
void trace(const char* call, const Arguments&... arguments) {
  if (!tracing()) {
    return;
  }
  TraceLine line;
  line.append("%s(", call);
  [[maybe_unused]] const char* separator = "";
  ((line.append("%s", separator), appendArgument(line, arguments), separator = ", "), ...);
  line.append(")");
  emitTrace(line);
}

}  // namespace port
