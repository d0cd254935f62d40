// The options that name a user's volume, shared by the subcommands that read
// one: --volume FILE (or DICOM folder) and --series for a folder of several
// series; for headerless raw files, the layout (--dims, --type, --endian,
// --spacing, --origin).
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <vector>

#include "mcubes/meshing.h"
#include "mesh/surface/inside.h"
#include "volume/volume.h"

struct VolumeOptions {
  std::string path;    // empty: no volume
  std::string series;  // a DICOM series' number or UID; empty: the only one
  std::string dims, type, endian, spacing, origin;
  bool outsideReferences = false;  // data files may lie anywhere
};

// Whether any of the options was given: the command is about a volume.
bool namesVolume(const VolumeOptions& options);

// The options as arguments that name the same volume again.
std::vector<std::string> volumeArguments(const VolumeOptions& options);

// Adds the options to `command`.
void addVolumeOptions(CLI::App& command, VolumeOptions& options);

// --inside above|below: which side of the level a volume's object lies on
// (mesh/surface/inside.h); the option, so that callers can tell whether it was given.
CLI::Option* addInsideOption(CLI::App& command, std::string& inside);
mcubes::internal::Inside insideNamed(const std::string& name);

// The library's source for the volume the options name, or the command
// ended with why not (failCommand).
mcubes::FileSource fileSourceOrFail(const VolumeOptions& options);

// Opens the volume the options name, or ends the command with one line that
// says what is wrong (failCommand).
std::unique_ptr<mcubes::internal::VolumeReader> openVolumeOrFail(const VolumeOptions& options);
