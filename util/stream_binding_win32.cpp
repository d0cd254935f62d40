// The runtime library's way: a text-mode descriptor on the handle, a new
// stream on the descriptor, and that stream's state copied over the standard
// stream object, so that every existing use of the standard stream (the
// stdout macro, std::cout) now reaches the handle.
#include <fcntl.h>
#include <io.h>

#include <cstdint>

#include "util/stream_binding.h"

void bindStandardStream(std::FILE* stream, HANDLE handle, const char* mode) {
  const int descriptor = _open_osfhandle(reinterpret_cast<std::intptr_t>(handle), _O_TEXT);
  if (descriptor == -1) return;
  // Failing here leaves the descriptor open: closing it would close the
  // process's standard handle with it.
  std::FILE* fresh = _fdopen(descriptor, mode);
  if (fresh == nullptr) return;
  std::fflush(stream);
  *stream = *fresh;
  std::setvbuf(stream, nullptr, _IONBF, 0);
}
