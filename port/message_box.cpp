// Message boxes: a line on stderr, and on a display where someone may
// answer (the browser page) a box that waits for its OK.
#include <cstdio>

#include "port/window_system.h"

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  port::trace("MessageBoxA", owner, text, caption, port::Hexadecimal{type});
  // Win32 shows a null caption as "Error".
  const char* shownCaption = caption != nullptr ? caption : "Error";
  const char* shownText = text != nullptr ? text : "";
  std::fprintf(stderr, "%s: %s\n", shownCaption, shownText);
  std::fflush(stderr);
  if (port::Display* display = port::windowSystem().openedDisplay()) {
    display->showMessageBox(shownCaption, shownText);
  }
  return IDOK;
}
