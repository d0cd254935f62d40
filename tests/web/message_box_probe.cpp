// A program for the browser page whose one act is a message box, so that the
// tests can see the box in the page, that the call waits for its OK, and
// that a program's own exit code reaches the page.
#include <cstdio>

#include "platform/win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const int answer = MessageBoxA(nullptr, "Something failed.\nSecond line.", "Probe", MB_OK);
  std::printf("MessageBoxA returned %d\n", answer);
  return 3;
}
