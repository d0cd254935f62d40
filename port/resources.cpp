// Resources. The programs carry no resources of their own and ask the
// system only for the arrow cursor.
#include "port/window_system.h"

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
        port::MessageName{message != nullptr ? message->message : 0});
  return 0;
}
