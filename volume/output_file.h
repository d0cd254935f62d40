// Files written whole or not at all: what every writer of a mesh, a volume
// or a picture goes through.
#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

// Writes through `write` to `path`. "-" (or an empty path) is standard
// output, switched to binary on Windows so that bytes pass unchanged. A
// regular file is written to a temporary file beside it and renamed over it
// only once complete; an existing device or pipe is written to directly.
// `write` returns false when a write failed. Returns an empty string on
// success, otherwise a message naming the path and the reason.
std::string writeOutput(const std::string& path, const std::function<bool(std::FILE*)>& write);

// A name beside `target`, on the same file system so that a rename over it
// is atomic, and unlikely to meet another run's temporary file.
std::filesystem::path temporaryBeside(const std::filesystem::path& target);
