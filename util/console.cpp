#include "util/console.h"

#include <cstdio>

#include "platform/win32.h"
#include "util/stream_binding.h"

void openConsole() {
  // A process that already has a console keeps using it.
  AllocConsole();
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  CONSOLE_SCREEN_BUFFER_INFO info;
  // Without the current size there is no width to keep.
  if (GetConsoleScreenBufferInfo(output, &info)) {
    COORD size = info.dwSize;
    size.Y = 512;
    SetConsoleScreenBufferSize(output, size);
  }
  bindStandardStream(stdout, GetStdHandle(STD_OUTPUT_HANDLE), "w");
  bindStandardStream(stdin, GetStdHandle(STD_INPUT_HANDLE), "r");
  bindStandardStream(stderr, GetStdHandle(STD_ERROR_HANDLE), "w");
}
