// Console attachment for the engine library.
#pragma once

// Gives the process a console (or keeps the one it has), makes its screen
// buffer 512 lines high, and binds stdout, stdin and stderr to it for the
// rest of the process, unbuffered and in text mode. A standard handle that
// cannot be turned into a stream leaves that stream as it was.
void openConsole();
