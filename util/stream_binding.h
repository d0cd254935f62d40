// How a console handle becomes a standard stream; one implementation per
// platform (internal to util/).
#pragma once

#include <cstdio>

#include "platform/win32.h"

// Makes every existing use of `stream` (stdout, stdin or stderr) reach
// `handle`, unbuffered. Output still pending on the stream goes to where it
// was headed. If the handle cannot be turned into a descriptor or a stream,
// the stream is left as it was.
void bindStandardStream(std::FILE* stream, HANDLE handle, const char* mode);
