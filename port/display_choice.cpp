// Which display the window system runs on.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "port/internal.h"
#include "port/port.h"

namespace port {
namespace {

Display* chosen = nullptr;
std::string chosenName;

Display* openNamed(const char* name, std::string& error) {
  if (std::strcmp(name, "headless") == 0) {
    return openHeadlessDisplay(error);
  }
  if (std::strcmp(name, "x11") == 0) {
    return openX11Display(error);
  }
  error = std::string("unknown display backend '") + name + "' (x11 or headless)";
  return nullptr;
}

[[noreturn]] void cannotStart(const std::string& error) {
  std::fprintf(stderr, "%s\n", error.c_str());
  std::exit(1);
}

void chooseFromEnvironment() {
  std::string error;
  const char* named = std::getenv("MCUBES_DISPLAY");
  if (named != nullptr && named[0] != '\0') {
    if (!selectDisplayBackend(named, error)) {
      cannotStart("MCUBES_DISPLAY=" + std::string(named) + ": " + error);
    }
    return;
  }
  const char* x = std::getenv("DISPLAY");
  if (x != nullptr && x[0] != '\0' && selectDisplayBackend("x11", error)) {
    return;
  }
  std::fprintf(stderr, "no display: rendering offscreen; Ctrl+C to stop\n");
  if (!selectDisplayBackend("headless", error)) {
    cannotStart(error);
  }
}

}  // namespace

Display& display() {
  if (chosen == nullptr) {
    chooseFromEnvironment();
  }
  return *chosen;
}

Display* openedDisplay() { return chosen; }

}  // namespace port

bool selectDisplayBackend(const char* name, std::string& error) {
  if (name == nullptr) {
    error = "no display backend named";
    return false;
  }
  if (port::chosen != nullptr) {
    if (port::chosenName == name) {
      return true;
    }
    error = "the " + port::chosenName + " display is already in use";
    return false;
  }
  port::chosen = port::openNamed(name, error);
  if (port::chosen == nullptr) {
    return false;
  }
  port::chosenName = name;
  return true;
}
