// The console calls of the stand-in. A process's console is its controlling
// terminal: a process that has a terminal on one of its standard descriptors
// already has a console; one that has none (started from a file manager, a
// pipe or a service) can attach to its controlling terminal, /dev/tty, if
// its session has one. The standard descriptors 0, 1 and 2 themselves are
// never touched here, so allocating a console does not disturb output that
// the process writes to the stdout it was started with.
#include "port/console.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>

#include "port/window_system.h"

namespace port {

Console::~Console() {
  if (allocated_ >= 0) {
    close(allocated_);
  }
}

bool Console::allocate() {
  if (allocated_ >= 0) {
    return false;
  }
  allocated_ = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  return allocated_ >= 0;
}

void Console::recordBufferSize(dev_t terminal, COORD size) {
  recorded_ = true;
  recordedTerminal_ = terminal;
  recordedSize_ = size;
}

const COORD* Console::recordedBufferSize(dev_t terminal) const {
  return recorded_ && recordedTerminal_ == terminal ? &recordedSize_ : nullptr;
}

}  // namespace port

namespace {

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
  port::Console& console = port::windowSystem().console;
  if (console.allocated() >= 0 || hasTerminalOnStandardDescriptors()) return FALSE;
  return console.allocate() ? TRUE : FALSE;
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
  const int allocated = port::windowSystem().console.allocated();
  if (allocated >= 0) return handleFromDescriptor(allocated);
  if (fcntl(standard, F_GETFD) == -1) return nullptr;
  return handleFromDescriptor(standard);
}

BOOL WINAPI GetConsoleScreenBufferInfo(HANDLE console, PCONSOLE_SCREEN_BUFFER_INFO info) {
  COORD window;
  dev_t terminal;
  if (info == nullptr || !terminalWindow(console, &window, &terminal)) return FALSE;
  const COORD* recorded = port::windowSystem().console.recordedBufferSize(terminal);
  info->dwSize = recorded != nullptr && recorded->X >= window.X && recorded->Y >= window.Y
                     ? *recorded
                     : window;
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
  port::windowSystem().console.recordBufferSize(terminal, size);
  return TRUE;
}
