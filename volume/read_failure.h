// The one-line errors of the volume readers: the file, what is wrong with it
// and what to do about it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "volume/volume.h"

namespace mcubes::internal {

// Throws VolumeError("FILE: PROBLEM; REMEDY"), the file's name as
// printableName shows it. A remedy that lists choices (a folder's DICOM
// series) ends in a table: lines after the first, each starting with two
// spaces.
[[noreturn]] void failVolume(const std::string& file, const std::string& problem,
                             const std::string& remedy);

// A file's name as messages show it: bytes other than printable ASCII
// (control characters, line ends, the bytes of other encodings, which a
// header can hold in a data file's name) written as \xHH, the rest as they
// are. Every name taken from a file goes through here before it is shown.
std::string printableName(std::string_view name);

// Throws std::out_of_range unless `count` slices from slice `next` on lie
// within the `slices` a volume has: asking a reader for more is the caller's
// fault, not the file's.
void checkSlicesLeft(std::int64_t count, std::int64_t next, std::int64_t slices);

// Text taken from a file, fit for an error message: in quotes, at most 40
// bytes of it, written as printableName writes names.
std::string shown(std::string_view text);

}  // namespace mcubes::internal
