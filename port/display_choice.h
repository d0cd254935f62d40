// Which display the window system runs on: the backends there are, in the
// order of preference, and the choice among them.
#pragma once

#include <memory>
#include <string>

#include "port/display.h"

namespace port {

// The backend of that name ("x11", "headless"; "web" in the browser), open,
// with its name in `openedName`; null with the reason in `error`.
std::unique_ptr<Display> openNamedDisplay(const std::string& name, DisplayEvents& events,
                                          const char*& openedName, std::string& error);
// The choice when the program names none: MCUBES_DISPLAY if set, else the
// first backend that opens, in the order of preference, saying so on stderr
// when it falls back to rendering offscreen.
std::unique_ptr<Display> openDisplayFromEnvironment(DisplayEvents& events, const char*& openedName,
                                                    std::string& error);

}  // namespace port
