// Message boxes of a program with no one at the screen to answer them.
#include <cstdio>

#include "port/internal.h"

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  port::trace("MessageBoxA", owner, text, caption, port::Hex{type});
  // Nobody is there to press OK: the box is a line on stderr, answered at
  // once. Win32 shows a null caption as "Error".
  std::fprintf(stderr, "%s: %s\n", caption != nullptr ? caption : "Error",
               text != nullptr ? text : "");
  std::fflush(stderr);
  return IDOK;
}
