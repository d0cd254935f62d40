// Without _open_osfhandle and _fdopen the standard stream keeps its object
// and its descriptor number, and the descriptor is made to refer to the
// console's (dup2), so that every existing use of the stream (the stdout
// variable, std::cout, copies of the FILE pointer) reaches the console. POSIX
// streams have one mode: text and binary are the same, and a terminal
// translates line ends itself.
#include <unistd.h>

#include <cstring>

#include "util/stream_binding.h"

void bindStandardStream(std::FILE* stream, HANDLE handle, const char* mode) {
  if (std::strchr(mode, 'w') != nullptr) std::fflush(stream);
  const int console = descriptorFromHandle(handle);
  if (console < 0 || dup2(console, fileno(stream)) == -1) return;
  // An end of file or error seen on the old source does not carry over.
  std::clearerr(stream);
  std::setvbuf(stream, nullptr, _IONBF, 0);
}
