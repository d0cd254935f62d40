// A run's surfaces as mesh files, whole or not at all: the format chosen
// from the name or the path, one file of parts or a file per label.
#pragma once

#include <functional>
#include <string>

#include "library/mesh_run.h"
#include "mcubes/mesh.h"
#include "mesh/pipeline/streamed_surface.h"
#include "mesh/writers/mesh_writers.h"

namespace mcubes {

struct OutputPlan {
  internal::MeshFormat format = internal::MeshFormat::Obj;
  bool folder = false;    // labels: a file each in the folder `path` names
  bool perLabel = false;  // labels: a file each (a folder, or {label} or {name} in the path)
};

// The format `format` names, else the path's extension, else OBJ (standard
// output, a name without one, a folder of labels); `labels`: how many
// labels are asked for (0: a level's surface; -1: every label). Throws
// ArgumentError for a format it cannot tell or this build cannot write, or
// several labels for one file of a format that holds one surface.
OutputPlan planOutput(const std::string& path, const std::string& format, long labels);

// How many labels `request` asks for, as planOutput takes them.
long labelsAsked(const MeshRequest& request);

// Throws ArgumentError where normals are asked of a format without them
// (STL has facet normals only).
void refuseMissingNormals(const OutputPlan& plan, bool normals);

// "RAS", "LPS" or "LAS" as a space; "" as the file's own. Throws
// ArgumentError for anything else.
internal::WorldSpace spaceNamed(const std::string& name);

struct OutputText {
  std::string comment;
  internal::WorldSpace space = internal::WorldSpace::Unstated;
  bool ascii = false;  // text PLY
  int threads = 1;     // putting the records apart where the format allows (same bytes)
};

// Whether a level's surface can go to `path` as planned while it is made
// (writeStreamed): binary STL or PLY, to a file that is or will be a
// regular one (standard output and pipes cannot be patched once the counts
// are known).
bool streamsTo(const std::string& path, const OutputPlan& plan, const OutputText& text);

// Writes to `path` as planned, whole or not at all, the surface `sweep`
// makes into the stream it is given; `normals`: its vertices have them.
// Throws FileError where writing fails, and passes on what `sweep` throws
// (no file is left).
void writeStreamed(const std::string& path, const OutputPlan& plan, const OutputText& text,
                   bool normals, const std::function<void(internal::SurfaceStream&)>& sweep);

// Writes the surfaces to `path` as planned, each label's mesh dropped once
// written. A folder made for them goes again where writing fails. Throws
// FileError where writing fails.
void writeRun(const std::string& path, const OutputPlan& plan, Run& run, const OutputText& text);

}  // namespace mcubes
