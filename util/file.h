// Whole-file reading for the engine library.
#pragma once

// Reads the whole file at `path`, bytes unchanged (no line-end translation),
// into a buffer from malloc with one 0 byte appended; the caller frees it.
// The size is what seeking to the end reports: a device that seeks reads as a
// file of its reported size (/dev/null as an empty one, a lone terminator).
// Null when the file cannot be opened, when seeking finds no size (a pipe, a
// FIFO, a socket, a directory, a device that cannot seek, a size beyond a
// long), when the buffer cannot be allocated, or when fewer bytes arrive than
// the size. Nothing is left open or allocated on failure.
char* readWholeFile(const char* path);
