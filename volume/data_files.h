// The data files that a header names (NRRD's "data file", MetaImage's
// ElementDataFile): paths beside the header, and numbered series.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The most files one header may name.
constexpr std::int64_t MostDataFiles = 1 << 20;

// Files that a volume's file names (its data files, HDF5's external storage
// and links) are read only where they lie in or below the naming file's
// folder, so that a header from elsewhere cannot read /etc/shadow or
// ../../secret for its voxels; allowing them elsewhere is the user's
// explicit choice (mcubes --allow-outside-references). Devices and pipes
// are never read: a FIFO would hang the read for ever.
void allowOutsideReferences(bool allowed);
bool outsideReferencesAllowed();

// The words of a refusal's remedy that name the option allowing it.
extern const char* const OutsideReferenceRemedy;

// Whether `path` lies in or below `folder` once both have their symbolic
// links followed.
bool liesWithin(const std::string& path, const std::string& folder);

// Fails naming `referrer` where `path` (named `name` in it) may not be read
// as above.
void checkReferencedFile(const std::string& referrer, const std::string& path,
                         std::string_view name);

// `name` as a path: relative names are taken from the header's folder;
// checked as checkReferencedFile checks.
std::string besideHeader(const std::string& headerFile, std::string_view name);

// The files of a numbered series: `pattern` holds one integer conversion of
// printf's kind (%d, %i or %u, with an optional 0 flag and width), numbered
// from `first` to `last` by `step`. Fails naming `headerFile` for a
// pattern it cannot use or more than MostDataFiles files.
std::vector<std::string> numberedFiles(const std::string& headerFile, std::string_view pattern,
                                       std::int64_t first, std::int64_t last, std::int64_t step);
