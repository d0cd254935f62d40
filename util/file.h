// Whole-file reading for the engine library.
#pragma once

// Reads the whole file at `path`, bytes unchanged (no line-end translation),
// into a buffer from malloc with one 0 byte appended; the caller frees it.
// Null when the file cannot be opened, is not a regular file (a directory, a
// pipe, a FIFO or a device, whose size cannot be found by seeking), is too
// large to hold, or delivers fewer bytes than its size. Nothing is left open
// or allocated on failure.
char* readWholeFile(const char* path);
