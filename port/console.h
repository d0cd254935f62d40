// The process's console: what AllocConsole opened, and the screen buffer
// size last set on a terminal.
#pragma once

#include <sys/types.h>

#include "port/win32.h"

namespace port {

class Console {
 public:
  Console() = default;
  // Closes the terminal AllocConsole opened.
  ~Console();
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  // The controlling terminal, opened; false when it cannot be or already is.
  bool allocate();
  // Its descriptor; -1 when none was allocated.
  int allocated() const { return allocated_; }

  // Terminals have their own scrollback, which cannot be set from here; the
  // buffer size last set for a terminal is recorded, so that the console
  // reports back what was set on it.
  void recordBufferSize(dev_t terminal, COORD size);
  // Null when none was set on that terminal.
  const COORD* recordedBufferSize(dev_t terminal) const;

 private:
  int allocated_ = -1;
  bool recorded_ = false;
  dev_t recordedTerminal_ = 0;
  COORD recordedSize_ = {0, 0};
};

}  // namespace port
