// The one list of window-system calls: the real Win32 API on Windows, the
// stand-in of port/ elsewhere.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include "port/win32.h"
#endif
