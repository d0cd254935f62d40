// The call trace: every window-system and WGL call is reported, as one line
// such as `SendMessageA(hwnd#1, WM_USER+1, 0x0, 0x0)`, to the observer of
// port::observeCalls and, with MCUBES_TRACE=1, on stderr. Each argument is
// formatted by its type: handles as kind#number, strings quoted, the three
// wrappers below as they say, other integers in decimal. The line is built
// in place, so tracing allocates nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <type_traits>

#include "port/wgl.h"
#include "port/win32.h"

namespace port {

// A message number, shown by its name: WM_TIMER, WM_USER+1, or in
// hexadecimal when it has none.
struct MessageName {
  UINT value;
};
// Flags, styles and message parameters, shown in hexadecimal.
struct Hexadecimal {
  std::uintmax_t value;
};
// A resource: "Kestrival", or #32512 for a MAKEINTRESOURCE number.
struct ResourceName {
  LPCSTR name;
};

// Text past the end of the line is cut off.
struct TraceLine {
  char text[512];
  std::size_t length = 0;
  void append(const char* format, ...) __attribute__((format(printf, 2, 3)));
};

void appendArgument(TraceLine& line, const char* text);
void appendArgument(TraceLine& line, MessageName message);
void appendArgument(TraceLine& line, ResourceName resource);
void appendArgument(TraceLine& line, HINSTANCE instance);
void appendHandle(TraceLine& line, const char* kind, const void* handle);
inline void appendArgument(TraceLine& line, Hexadecimal value) {
  line.append("0x%jx", value.value);
}
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

class Trace {
 public:
  using Observer = std::function<void(std::string_view call)>;
  // Reads MCUBES_TRACE.
  Trace();
  bool on() const { return toStderr_ || observer_ != nullptr; }
  void observe(Observer observer);
  void emit(const TraceLine& line) const;

  template <typename... Arguments>
  void call(const char* name, const Arguments&... arguments) const {
    if (!on()) {
      return;
    }
    TraceLine line;
    line.append("%s(", name);
    [[maybe_unused]] const char* separator = "";
    ((line.append("%s", separator), appendArgument(line, arguments), separator = ", "), ...);
    line.append(")");
    emit(line);
  }

 private:
  bool toStderr_;
  // Shared, so that a call can keep the observer alive while it runs (it may
  // replace itself) without copying it, which could allocate.
  std::shared_ptr<const Observer> observer_;
};

}  // namespace port
