// Resources and message boxes. The programs carry no resources of their own
// and ask the system only for the arrow cursor.
#include <cstdio>

#include "port/internal.h"

using port::Hex;
using port::ResourceName;
using port::trace;

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
  trace("LoadIconA", instance, ResourceName{name});
  return nullptr;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
  trace("LoadCursorA", instance, ResourceName{name});
  // The stock cursor's handle is its identifier, which no module resource
  // can collide with.
  return instance == nullptr && name == IDC_ARROW ? reinterpret_cast<HCURSOR>(IDC_ARROW) : nullptr;
}

HACCEL WINAPI LoadAcceleratorsA(HINSTANCE instance, LPCSTR tableName) {
  trace("LoadAcceleratorsA", instance, ResourceName{tableName});
  return nullptr;
}

int WINAPI TranslateAcceleratorA(HWND window, HACCEL table, LPMSG message) {
  // No table can be loaded, so none ever turns a key into a command.
  trace("TranslateAcceleratorA", window, table,
        port::Message{message != nullptr ? message->message : 0});
  return 0;
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  trace("MessageBoxA", owner, text, caption, Hex{type});
  // Nobody is there to press OK: the box is a line on stderr, answered at
  // once. Win32 shows a null caption as "Error".
  std::fprintf(stderr, "%s: %s\n", caption != nullptr ? caption : "Error",
               text != nullptr ? text : "");
  std::fflush(stderr);
  return IDOK;
}
