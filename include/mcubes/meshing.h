// Everything `mcubes mesh` does to a volume, as one call: a source (a file
// with its series, or an array with its geometry), a level (a value or
// Otsu's) or a label map's labels, the surface's options, the finishing
// steps and the patient space; the result carries the meshes and what the
// run found (warnings as data), and can be written as mcubes writes it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "mcubes/mesh.h"
#include "mcubes/surface.h"
#include "mcubes/volume.h"

namespace mcubes {

// A volume file (the formats Volume reads), read slice by slice.
struct FileSource {
  FileSource() = default;
  explicit FileSource(std::string file) : path(std::move(file)) {}

  std::string path;
  std::optional<RawLayout> raw;  // any file as raw voxels
  Placement placement;           // for files that state none (raw, HDF5)
  // An HDF5 dataset's element_size_um attribute gives its spacing unless
  // this is set: then the placement's does.
  bool spacingGiven = false;
  // A folder of several DICOM series: the one to read, by its number in
  // the listing (from 1) or its SeriesInstanceUID.
  std::string series;
  // Read the files a header names (NRRD and MetaImage data files, HDF5
  // external storage and links) wherever they lie, not only in or below
  // its folder.
  bool outsideReferences = false;
};

// Voxels in the caller's memory, read in place, and where they lie: the
// geometry's dims are the array's, its origin and axes any affine.
struct ArraySource {
  ArrayView array;
  Geometry geometry;
};

// An array whose voxels lie on a grid of `placement` (spacing and origin).
ArraySource arraySource(const ArrayView& array, const Placement& placement = {});

// The space the mesh's vertices are in: the volume's own, or RAS or LPS
// converted from the patient space the file states.
enum class Space { File, Ras, Lps };

// What a run found that its user should know.
struct Finding {
  enum class Kind {
    Notice,            // what the reader says of the file (which volume of a 4-D file)
    OtsuLevel,         // the level Otsu's method chose, and its classes
    NoCells,           // a volume one voxel thin: the mesh is empty
    NonFiniteVoxels,   // NaN or infinite voxels, counted as outside
    EveryVoxelInside,  // the level is on one side of every value: the box, or nothing
    NoVoxelInside,     // the level is beyond every value: the mesh is empty
    LevelOnVoxels,     // the level equals voxels' values where the surface crosses
    BoxAroundCavity,   // the caps cover the box: likely a signed distance field
    FlatFaces,         // faces of no area (snapped vertices), kept
    Components,        // the components step: what it kept and dropped
    Smoothed,          // the smoothing step and the enclosed volume's change
    Decimated,         // the decimation step: how far it got, its error
    AbsentLabels,      // labels asked for that no voxel holds
    NoLabels,          // the map holds no label but the background
    ManyLabels,        // so many labels that the volume is likely no label map
    LabelMeshed,       // a label's triangle count
  };
  Kind kind;
  bool warning;         // something is likely not what was meant
  std::string subject;  // the label it is about ("liver (label 3)"), or empty
  // What was found and what to do, naming arguments as {name} (see
  // Error::worded; message() words them as the library's fields).
  std::string text;

  std::string message() const;
};

struct MeshRequest {
  std::variant<FileSource, ArraySource> source;
  SurfaceOptions surface;
  bool otsu = false;  // the level is Otsu's threshold of the finite voxels
  // A label map's labels to mesh, each the boundary of its voxels (empty:
  // every label but 0); none: the isosurface at the level.
  std::optional<std::vector<std::int64_t>> labels;
  // Labels chosen by their names in the label table or the segmentation
  // (letter case aside), meshed after those `labels` lists.
  std::vector<std::string> labelNames;
  // A file of the labels' names and colours: FreeSurfer's or 3D Slicer's
  // colour table, ITK-SNAP's label description file, or a CSV table of
  // value, name and optionally R, G, B; its labels take the place of a
  // segmentation's (.seg.nrrd). Empty: the segmentation's, else "label N".
  std::string labelTable;
  // The labels' meshes fit together (surface nets for labels, in one pass
  // for all labels, on one thread): the triangles where labels a and b
  // touch are in both meshes, wound oppositely, and where three or more
  // labels meet the meshes join without gap or overlap; each is closed and
  // wound outward (the volume's outside counts as label 0, which cannot be
  // asked for). Smoothing then moves every shared vertex once for all
  // labels, the lines where three labels meet only along themselves.
  // Keeping the largest part, dropping small parts and decimation are
  // refused with it: they would undo the sharing.
  bool conforming = false;
  // With conforming: one surface per pair of labels that touch instead of
  // one per label, the faces between them wound out of the first (label 0,
  // the background and the outside, comes second), named "a|b"; a label
  // asked for brings every interface it has.
  bool interfaces = false;
  FinishOptions finish;
  Space space = Space::File;
  // Told each finding as it is made, on the calling thread (progress lines
  // make room for them); the result holds them all as well.
  std::function<void(const Finding&)> onFinding;
};

// One surface of the result: the volume's at the level, or one label's.
struct Surface {
  std::int64_t label = 0;                // label maps: the label
  std::string name;                      // label maps: the segment's name, else "label N"
  std::array<std::uint8_t, 3> colour{};  // label maps: sRGB
  // Interfaces: the label on the other side, which the faces wind into.
  std::optional<std::int64_t> beyond = std::nullopt;
  Mesh mesh;
};

struct MeshReport {
  double level = 0.0;   // the level meshed (Otsu's, where asked)
  Geometry geometry{};  // the volume's, in its file's space
  // "RAS", "LPS" or "LAS" where the mesh is in a stated patient space,
  // empty for the file's own.
  std::string space;
  // What a mesh file's comment says of the mesh: its source, level, space.
  std::string comment;
  std::vector<Finding> findings;
};

struct MeshResult {
  std::vector<Surface> surfaces;  // one for a level; one per label found
  MeshReport report;
};

// Throws ArgumentError for a request out of range, FileError where reading
// fails, Cancelled where the progress callback stopped it.
MeshResult meshVolume(const MeshRequest& request);

// The run meshVolume makes, written to `path` as writeMeshes writes its
// result, without the meshes passing through Mesh. Refuses before the work
// a path it could not write (a folder, a read-only file, the volume's own
// file).
MeshReport meshVolumeToFile(const MeshRequest& request, const std::string& path,
                            const WriteOptions& options = {});

// Writes the surfaces whole or not at all: one surface as writeMesh writes
// it; labels as one file of parts (OBJ groups with a .mtl beside it, PLY
// colours and a label per face, glTF a named mesh each, VTP a label per
// face), or a file each where `path` is a folder (label_N.FORMAT, OBJ
// unless a format is given) or holds {label} or {name} (the label's name,
// its blanks and slashes made '_'; STL and GIfTI hold one surface: one
// label only, or a file each). The comment and space default
// to the report's.
void writeMeshes(const std::string& path, const MeshResult& result,
                 const WriteOptions& options = {});

}  // namespace mcubes
