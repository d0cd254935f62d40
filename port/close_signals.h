// SIGINT and SIGTERM as a close request, caught from installCloseSignals on
// (main() installs them). Signals belong to the process, not to the window
// system, and a handler can reach only what lives at file scope: so this is
// the one state of port/ outside the window system's owner.
#pragma once

#include "port/port.h"  // installCloseSignals

namespace port {

// Readable while a signal waits; -1 before installing.
int closeSignalFd();
// Reports a waiting signal once and clears it.
bool takeCloseSignal();

}  // namespace port
