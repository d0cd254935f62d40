// The library's errors. Each is one line that names the file or the
// argument, what is wrong with it and what to do about it. The arguments a
// message names are written as the library's fields (RawLayout::dims,
// SurfaceOptions::level); worded() names them as another front end does
// (mcubes's flags, the Python module's keyword arguments).
#pragma once

#include <functional>
#include <map>
#include <stdexcept>
#include <string>

namespace mcubes {

class Error : public std::runtime_error {
 public:
  // `text` names arguments as {name} (see libraryWord below); `file`: the
  // file it is about, if any.
  explicit Error(const std::string& text, std::string file = {});

  const std::string& file() const { return file_; }

  // The message with each {name} replaced by term(name).
  std::string worded(const std::function<std::string(const std::string& name)>& term) const;

 private:
  std::string text_;
  std::string file_;
};

// The library's own name for each argument a message can name: dims, type,
// endian, spacing, origin (RawLayout, Placement), series,
// outside_references (FileSource), level, otsu, inside, welded, closed,
// normals, threads, labels, space, format (the request's fields),
// keep_largest, min_component, smooth, passband, decimate (FinishOptions).
std::string libraryWord(const std::string& name);

// A front end's term for worded(): its word for `name` in `words`, or
// "{name}" as written where it has none ({label} in an output's name).
std::string wordFrom(const std::map<std::string, std::string>& words, const std::string& name);

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
