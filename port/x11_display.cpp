#include "port/display.h"

DisplayBackend* openX11Display(std::string& error) {
  error = "the x11 display is not built in yet";
  return nullptr;
}
