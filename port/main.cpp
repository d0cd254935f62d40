// The process entry of a Win32 program on Linux: what the Windows runtime's
// start-up does before it calls WinMain.
#include <cstdlib>
#include <string>

#include "port/close_signals.h"
#include "port/window_system.h"

namespace {

// The module's instance handle: any address unique to the program will do.
const char moduleImage = 0;

}  // namespace

int main(int argc, char** argv) {
  // The command line without the program name, as GetCommandLine's tail.
  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    commandLine += (i > 1 ? " " : "");
    commandLine += argv[i];
  }
  port::installCloseSignals();
  // Choose the display now, so that a missing one ends the program before
  // the window is asked for.
  port::windowSystem().display();
  // exit() rather than a return: in the browser main() has long returned to
  // the page by the time WinMain ends (its loop yields through Asyncify), and
  // only exit() still ends the program with the code.
  std::exit(WinMain(reinterpret_cast<HINSTANCE>(const_cast<char*>(&moduleImage)), nullptr,
                    commandLine.data(), SW_SHOWDEFAULT));
}
