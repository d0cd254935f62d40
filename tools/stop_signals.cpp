#include "tools/stop_signals.h"

#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

#include "tools/progress_line.h"
#include "volume/temporary_files.h"

using namespace mcubes::internal;

namespace {

volatile std::sig_atomic_t speaking = 0;

struct Stopping {
  int number;
  const char* line;
};

const Stopping stopping[] = {
    {SIGINT, "mcubes: stopped by SIGINT (Ctrl+C); unfinished output files were removed\n"},
    {SIGTERM, "mcubes: stopped by SIGTERM; unfinished output files were removed\n"},
#ifdef SIGHUP
    {SIGHUP,
     "mcubes: stopped by SIGHUP (the terminal went away); unfinished output files were "
     "removed\n"},
#endif
};

void put(const char* text) {
  // Only calls that are safe in a signal handler: no stdio, whose lock the
  // interrupted code may hold.
  [[maybe_unused]] const auto written = write(2, text, std::strlen(text));
}

extern "C" void stop(int number) {
  removeTemporaryFiles();
  if (speaking != 0) {
    if (progressLineOpen()) put("\n");
    for (const Stopping& signal : stopping) {
      if (signal.number == number) put(signal.line);
    }
  }
  std::_Exit(128 + number);
}

}  // namespace

void stopOnSignals(bool speak) {
  speaking = speak ? 1 : 0;
  for (const Stopping& signal : stopping) std::signal(signal.number, stop);
}
