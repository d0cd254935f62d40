// The library's errors: every message is one line that names the file or the
// argument, what is wrong with it and what to do about it, as mcubes, the
// command-line tool, prints them.
#pragma once

#include <stdexcept>

namespace mcubes {

class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An argument the library cannot work with (a level that is not finite, an
// unknown mesh format, a face naming a vertex that is not there).
class ArgumentError : public Error {
 public:
  using Error::Error;
};

// A file that cannot be read or written: missing, unreadable, malformed,
// of a format this build lacks.
class FileError : public Error {
 public:
  using Error::Error;
};

// A run that a progress callback stopped.
class Cancelled : public Error {
 public:
  Cancelled() : Error("stopped by its progress callback") {}
};

}  // namespace mcubes
