// The console calls of the stand-in. A process's console is its controlling
// terminal: a process that has a terminal on one of its standard descriptors
// already has a console; one that has none (started from a file manager, a
// pipe or a service) can attach to its controlling terminal, /dev/tty, if
// its session has one. The standard descriptors 0, 1 and 2 themselves are
// never touched here, so allocating a console does not disturb output that
// the process writes to the stdout it was started with.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>

#include "port/window_system.h"

namespace {

// The terminal opened by AllocConsole; kept open for the life of the process,
// as a console is.
int allocatedConsole = -1;

// Terminals have their own scrollback, which cannot be set from here; the
// buffer size last set for a terminal is recorded, so that the console
// reports back what was set on it.
struct RecordedBuffer {
  bool valid = false;
  dev_t terminal = 0;
  COORD size = {0, 0};
};
RecordedBuffer recordedBuffer;

bool hasTerminalOnStandardDescriptors() { return isatty(0) || isatty(1) || isatty(2); }

SHORT clampToShort(unsigned value) { return static_cast<SHORT>(std::min(value, 32767u)); }

// The visible size of the terminal behind a console handle; false for a
// handle that is not a terminal. A terminal that reports no size (a fresh
// pseudo-terminal) is taken as the customary 80 x 24.
bool terminalWindow(HANDLE console, COORD* window, dev_t* terminal) {
  const int descriptor = descriptorFromHandle(console);
  winsize size;
  struct stat status;
  if (descriptor < 0 || ioctl(descriptor, TIOCGWINSZ, &size) != 0 ||
      fstat(descriptor, &status) != 0) {
    return false;
  }
  window->X = size.ws_col == 0 ? 80 : clampToShort(size.ws_col);
  window->Y = size.ws_row == 0 ? 24 : clampToShort(size.ws_row);
  *terminal = status.st_rdev;
  return true;
}

}  // namespace

BOOL WINAPI AllocConsole() {
  port::trace("AllocConsole");
  if (allocatedConsole >= 0 || hasTerminalOnStandardDescriptors()) return FALSE;
  const int terminal = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (terminal < 0) return FALSE;
  allocatedConsole = terminal;
  return TRUE;
}

HANDLE WINAPI GetStdHandle(DWORD handleId) {
  int standard;
  switch (handleId) {
    case STD_INPUT_HANDLE:
      standard = 0;
      break;
    case STD_OUTPUT_HANDLE:
      standard = 1;
      break;
    case STD_ERROR_HANDLE:
      standard = 2;
      break;
    default:
      return INVALID_HANDLE_VALUE;
  }
  // An allocated console takes over all three standard handles.
  if (allocatedConsole >= 0) return handleFromDescriptor(allocatedConsole);
  if (fcntl(standard, F_GETFD) == -1) return nullptr;
  return handleFromDescriptor(standard);
}

BOOL WINAPI GetConsoleScreenBufferInfo(HANDLE console, PCONSOLE_SCREEN_BUFFER_INFO info) {
  COORD window;
  dev_t terminal;
  if (info == nullptr || !terminalWindow(console, &window, &terminal)) return FALSE;
  const bool recorded = recordedBuffer.valid && recordedBuffer.terminal == terminal &&
                        recordedBuffer.size.X >= window.X && recordedBuffer.size.Y >= window.Y;
  info->dwSize = recorded ? recordedBuffer.size : window;
  info->dwCursorPosition = COORD{0, 0};
  info->wAttributes = FOREGROUND_RED | FOREGROUND_GREEN | FOREGROUND_BLUE;  // light grey on black
  info->srWindow =
      SMALL_RECT{0, 0, static_cast<SHORT>(window.X - 1), static_cast<SHORT>(window.Y - 1)};
  info->dwMaximumWindowSize = window;
  return TRUE;
}

BOOL WINAPI SetConsoleScreenBufferSize(HANDLE console, COORD size) {
  COORD window;
  dev_t terminal;
  // As on Windows, the buffer may not be smaller than the window showing it.
  if (!terminalWindow(console, &window, &terminal) || size.X < window.X || size.Y < window.Y) {
    return FALSE;
  }
  recordedBuffer.valid = true;
  recordedBuffer.terminal = terminal;
  recordedBuffer.size = size;
  return TRUE;
}
