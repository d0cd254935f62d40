// Resources and message boxes. Programs here carry no resources of their
// own, so only the system's stock cursors and icons can be loaded.
#include <cstdint>
#include <cstdio>
#include <string>

#include "port/window_system.h"

namespace {

// MAKEINTRESOURCE identifiers are pointers below 0x10000.
bool isIntegerResource(LPCSTR name) { return reinterpret_cast<std::uintptr_t>(name) < 0x10000; }

std::uintptr_t resourceId(LPCSTR name) { return reinterpret_cast<std::uintptr_t>(name); }

// A stock resource of the system: the identifiers of IDC_ARROW..IDC_HELP
// (cursors) or IDI_APPLICATION..IDI_SHIELD (icons). The handle is the
// identifier itself, which no module resource can collide with.
template <typename Handle>
Handle stockResource(HINSTANCE instance, LPCSTR name, std::uintptr_t first, std::uintptr_t last) {
  if (instance != nullptr || !isIntegerResource(name) || resourceId(name) < first ||
      resourceId(name) > last) {
    return nullptr;
  }
  return reinterpret_cast<Handle>(resourceId(name));
}

std::string describe(LPCSTR name) {
  return isIntegerResource(name) ? "#" + std::to_string(resourceId(name))
                                 : "\"" + std::string(name) + "\"";
}

}  // namespace

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
  traceCall("LoadIconA(%s)", describe(name).c_str());
  return stockResource<HICON>(instance, name, 32512, 32518);
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
  traceCall("LoadCursorA(%s)", describe(name).c_str());
  return stockResource<HCURSOR>(instance, name, 32512, 32651);
}

HACCEL WINAPI LoadAcceleratorsA(HINSTANCE, LPCSTR tableName) {
  traceCall("LoadAcceleratorsA(%s)", describe(tableName).c_str());
  return nullptr;
}

int WINAPI TranslateAcceleratorA(HWND, HACCEL table, LPMSG message) {
  traceCall("TranslateAcceleratorA(0x%x)", message != nullptr ? message->message : 0);
  // No table can be loaded, so none ever turns a key into a command.
  (void)table;
  return 0;
}

int WINAPI MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
  traceCall("MessageBoxA(\"%s\", \"%s\", 0x%x)", text != nullptr ? text : "",
            caption != nullptr ? caption : "", type);
  // Nobody is there to press OK: the box is a line on stderr, answered at
  // once. Win32 shows a null caption as "Error".
  std::fprintf(stderr, "%s: %s\n", caption != nullptr ? caption : "Error",
               text != nullptr ? text : "");
  std::fflush(stderr);
  return IDOK;
}
