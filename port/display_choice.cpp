// Which display the window system runs on.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "port/internal.h"
#include "port/port.h"

namespace port {
namespace {

struct Backend {
  const char* name;
  Display* (*open)(std::string& error);
  // Said on stderr when the backend is taken because no other opened.
  const char* fallbackNotice;
};

// In the order of preference.
#ifdef __EMSCRIPTEN__
const Backend backends[] = {{"web", openWebDisplay, nullptr}};
#else
const Backend backends[] = {
    {"x11", openX11Display, nullptr},
    {"headless", openHeadlessDisplay, "no display: rendering offscreen; Ctrl+C to stop"},
};
#endif

Display* chosen = nullptr;
const char* chosenName = nullptr;

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
  for (const Backend& backend : backends) {
    if (backend.fallbackNotice != nullptr) {
      std::fprintf(stderr, "%s\n", backend.fallbackNotice);
    }
    if (selectDisplayBackend(backend.name, error)) {
      return;
    }
  }
  cannotStart(error);
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
  const std::string wanted = name != nullptr ? name : "";
  if (port::chosen != nullptr) {
    if (wanted == port::chosenName) {
      return true;
    }
    error = std::string("the ") + port::chosenName + " display is already in use";
    return false;
  }
  std::string known;
  for (const port::Backend& backend : port::backends) {
    if (wanted == backend.name) {
      port::chosen = backend.open(error);
      port::chosenName = backend.name;
      return port::chosen != nullptr;
    }
    known += (known.empty() ? "" : " or ") + std::string(backend.name);
  }
  error = "unknown display backend '" + wanted + "' (" + known + ")";
  return false;
}
