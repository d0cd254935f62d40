// The mcubes Python module (mcubes._mcubes, re-exported by the mcubes
// package): numpy arrays in and out of the library's API. Volumes are read
// in place, meshes handed to numpy without a copy, and the GIL released
// while the library works.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <array>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "mcubes/mcubes.h"

namespace py = pybind11;

namespace {

using Triple = std::array<double, 3>;

// The keyword arguments that the library's messages name as {name}.
std::string pythonWord(const std::string& name) {
  static const std::map<std::string, std::string> words = {
      {"dims", "shape=(nz, ny, nx)"},
      {"type", "dtype"},
      {"endian", "dtype's byte order ('<u2', '>u2')"},
      {"spacing", "spacing=(sx, sy, sz)"},
      {"origin", "origin=(ox, oy, oz)"},
      {"series", "series"},
      {"outside_references", "allow_outside_references=True"},
      {"level", "level"},
      {"otsu", "level"},
      {"inside", "inside"},
      {"inside_below", "inside=\"below\""},
      {"unwelded", "welded=False"},
      {"unclosed", "closed=False"},
      {"normals", "normals=True"},
      {"threads", "threads"},
      {"labels", "mesh_labels"},
      {"label_table", "label_table"},
      {"space", "space"},
      {"format", "format"},
      {"keep_largest", "keep_largest"},
      {"min_component", "min_component"},
      {"smooth", "smooth"},
      {"passband", "passband"},
      {"decimate", "decimate"},
  };
  const auto found = words.find(name);
  return found == words.end() ? "{" + name + "}" : found->second;
}

// The module's MeshWarning, a UserWarning.
PyObject* meshWarning = nullptr;

// The library's findings as MeshWarnings, raised once the GIL is held
// again.
void warnAbout(const std::vector<mcubes::Finding>& findings) {
  for (const mcubes::Finding& finding : findings) {
    if (!finding.warning) continue;
    const std::string text = (finding.subject.empty() ? "" : finding.subject + ": ") +
                             mcubes::Error(finding.text).worded(pythonWord);
    if (PyErr_WarnEx(meshWarning, text.c_str(), 2) != 0) throw py::error_already_set();
  }
}

// Numpy's dtype as a voxel type, in the machine's byte order; `bigEndian`,
// where given, takes a foreign order (files).
mcubes::VoxelType voxelType(const py::dtype& dtype, const char* what, bool* bigEndian = nullptr) {
  const char order = dtype.attr("byteorder").cast<std::string>()[0];
  const bool foreign = order == (__BYTE_ORDER__ == __ORDER_BIG_ENDIAN__ ? '<' : '>');
  if (bigEndian) {
    *bigEndian = foreign != (__BYTE_ORDER__ == __ORDER_BIG_ENDIAN__);
  } else if (foreign) {
    throw mcubes::ArgumentError(std::string(what) +
                                ": the array's bytes are in the other byte order; convert it "
                                "with .astype(a.dtype.newbyteorder('='))");
  }
  const char kind = dtype.kind();
  const auto size = dtype.itemsize();
  if (kind == 'u' && size == 1) return mcubes::VoxelType::Uint8;
  if (kind == 'i' && size == 1) return mcubes::VoxelType::Int8;
  if (kind == 'u' && size == 2) return mcubes::VoxelType::Uint16;
  if (kind == 'i' && size == 2) return mcubes::VoxelType::Int16;
  if (kind == 'u' && size == 4) return mcubes::VoxelType::Uint32;
  if (kind == 'i' && size == 4) return mcubes::VoxelType::Int32;
  if (kind == 'f' && size == 4) return mcubes::VoxelType::Float32;
  if (kind == 'f' && size == 8) return mcubes::VoxelType::Float64;
  throw mcubes::ArgumentError(std::string(what) + ": dtype " +
                              py::str(py::handle(dtype)).cast<std::string>() +
                              " is none of uint8, int8, uint16, int16, uint32, int32, float32 "
                              "and float64; convert it with .astype()");
}

py::dtype dtypeOf(mcubes::VoxelType type) {
  static const char* const names[] = {"uint8",  "int8",  "uint16",  "int16",
                                      "uint32", "int32", "float32", "float64"};
  return py::dtype(names[static_cast<int>(type)]);
}

// The array (z, y, x) read in place, whatever its strides.
mcubes::ArrayView arrayView(const py::array& volume) {
  if (volume.ndim() != 3) {
    throw mcubes::ArgumentError("volume must be a 3-D array indexed [z, y, x], not " +
                                std::to_string(volume.ndim()) + "-D");
  }
  mcubes::ArrayView view;
  view.data = volume.data();
  view.type = voxelType(volume.dtype(), "volume");
  for (int a = 0; a < 3; ++a) {
    view.dims[a] = volume.shape(2 - a);
    view.strides[a] = volume.strides(2 - a);
  }
  return view;
}

mcubes::Placement placement(const Triple& spacing, const Triple& origin) {
  mcubes::Placement result;
  std::copy(spacing.begin(), spacing.end(), result.spacing);
  std::copy(origin.begin(), origin.end(), result.origin);
  return result;
}

// Rows of three held by numpy without a copy: the array owns the vector.
template <typename T>
py::array_t<T> rowsOfThree(std::vector<T>&& values) {
  auto* held = new std::vector<T>(std::move(values));
  const py::capsule owner(held, [](void* p) { delete static_cast<std::vector<T>*>(p); });
  const auto rows = static_cast<py::ssize_t>(held->size() / 3);
  return py::array_t<T>({rows, py::ssize_t{3}}, held->data(), owner);
}

py::tuple meshTuple(mcubes::Mesh&& mesh) {
  const bool normals = !mesh.normals.empty();
  py::object normalRows = py::none();
  if (normals) normalRows = rowsOfThree(std::move(mesh.normals));
  return py::make_tuple(rowsOfThree(std::move(mesh.positions)),
                        rowsOfThree(std::move(mesh.indices)), normalRows);
}

mcubes::SurfaceOptions surfaceOptions(double level, bool closed, bool welded, bool normals,
                                      int threads,
                                      const std::optional<std::string>& inside = std::nullopt) {
  mcubes::SurfaceOptions options;
  if (inside) {
    if (*inside != "above" && *inside != "below") {
      throw mcubes::ArgumentError("inside '" + *inside + "': give \"above\" or \"below\"");
    }
    options.inside = *inside == "below" ? mcubes::Inside::Below : mcubes::Inside::Above;
  }
  options.level = level;
  options.closed = closed;
  options.welded = welded;
  options.normals = normals;
  options.threads = threads;
  // Ctrl+C between slabs of layers: Python's handler runs (raising
  // KeyboardInterrupt) and the run stops, noting how far it got.
  options.progress = [](std::int64_t done, std::int64_t total) {
    const py::gil_scoped_acquire gil;
    if (PyErr_CheckSignals() == 0) return true;
    py::error_already_set raised;
    if (py::hasattr(raised.value(), "add_note")) {
      raised.value().attr("add_note")("mcubes stopped after " + std::to_string(done) + " of " +
                                      std::to_string(total) + " layers");
    }
    raised.restore();
    return false;
  };
  return options;
}

py::tuple marchingCubes(const py::array& volume, double level, const Triple& spacing,
                        const Triple& origin, bool closed, bool welded, bool normals, int threads,
                        const std::optional<std::string>& inside) {
  mcubes::MeshRequest request;
  request.source = mcubes::arraySource(arrayView(volume), placement(spacing, origin));
  request.surface = surfaceOptions(level, closed, welded, normals, threads, inside);
  mcubes::MeshResult result;
  {
    const py::gil_scoped_release release;
    result = mcubes::meshVolume(request);
  }
  warnAbout(result.report.findings);
  return meshTuple(std::move(result.surfaces.front().mesh));
}

py::dict meshLabels(const py::array& volume, const std::optional<std::vector<std::int64_t>>& labels,
                    const Triple& spacing, const Triple& origin, bool closed, bool welded,
                    bool normals, int threads) {
  mcubes::MeshRequest request;
  request.source = mcubes::arraySource(arrayView(volume), placement(spacing, origin));
  request.surface = surfaceOptions(0.0, closed, welded, normals, threads);
  request.labels = labels.value_or(std::vector<std::int64_t>{});
  mcubes::MeshResult meshed;
  {
    const py::gil_scoped_release release;
    meshed = mcubes::meshVolume(request);
  }
  warnAbout(meshed.report.findings);
  py::dict result;
  for (mcubes::Surface& label : meshed.surfaces) {
    result[py::int_(label.label)] = meshTuple(std::move(label.mesh));
  }
  return result;
}

std::string pathOf(const py::object& path) {
  return py::str(py::module_::import("os").attr("fsdecode")(path)).cast<std::string>();
}

py::tuple readVolume(const py::object& path,
                     const std::optional<std::array<std::int64_t, 3>>& shape,
                     const std::optional<py::object>& dtype, const Triple& spacing,
                     const Triple& origin) {
  if (shape.has_value() != dtype.has_value()) {
    throw mcubes::ArgumentError(
        "a raw file needs both shape and dtype; give neither for a file "
        "whose header states them");
  }
  std::optional<mcubes::RawLayout> raw;
  if (shape) {
    mcubes::RawLayout layout;
    layout.type = voxelType(py::dtype::from_args(*dtype), "dtype", &layout.bigEndian);
    for (int a = 0; a < 3; ++a) layout.dims[a] = (*shape)[2 - a];
    raw = layout;
  }
  const std::string file = pathOf(path);
  std::optional<mcubes::Volume> volume;
  {
    const py::gil_scoped_release release;
    volume.emplace(file, raw, placement(spacing, origin));
  }
  if (!volume->notice().empty()) {
    if (PyErr_WarnEx(nullptr, volume->notice().c_str(), 1) != 0) throw py::error_already_set();
  }
  const mcubes::Geometry& geometry = volume->geometry();
  const mcubes::VoxelType type =
      volume->scaled() ? mcubes::VoxelType::Float64 : volume->storedType();
  py::array voxels(dtypeOf(type), {geometry.dims[2], geometry.dims[1], geometry.dims[0]});
  void* out = voxels.mutable_data();
  {
    const py::gil_scoped_release release;
    volume->readRest(type, out);
  }
  py::array_t<double> affine({4, 4});
  auto a = affine.mutable_unchecked<2>();
  for (py::ssize_t row = 0; row < 4; ++row) {
    for (py::ssize_t column = 0; column < 3; ++column) {
      a(row, column) = row < 3 ? geometry.axes[column][row] : 0.0;
    }
    a(row, 3) = row < 3 ? geometry.origin[row] : 1.0;
  }
  return py::make_tuple(voxels, affine);
}

using FloatRows = py::array_t<float, py::array::c_style | py::array::forcecast>;
using IndexRows = py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>;

void checkRows(const py::array& rows, const char* what) {
  if (rows.ndim() != 2 || rows.shape(1) != 3) {
    throw mcubes::ArgumentError(std::string(what) + " must be an array of shape (N, 3)");
  }
}

mcubes::Mesh meshOf(const FloatRows& vertices, const IndexRows& faces,
                    const std::optional<FloatRows>& normals) {
  checkRows(vertices, "vertices");
  checkRows(faces, "faces");
  mcubes::Mesh mesh;
  mesh.positions.assign(vertices.data(), vertices.data() + vertices.size());
  if (normals) {
    checkRows(*normals, "normals");
    if (normals->shape(0) != vertices.shape(0)) {
      throw mcubes::ArgumentError("normals must have one row per vertex (" +
                                  std::to_string(vertices.shape(0)) + ")");
    }
    mesh.normals.assign(normals->data(), normals->data() + normals->size());
  }
  mesh.indices.reserve(static_cast<std::size_t>(faces.size()));
  for (const std::int64_t* index = faces.data(); index != faces.data() + faces.size(); ++index) {
    if (*index < 0 || *index >= vertices.shape(0)) {
      throw mcubes::ArgumentError("a face names vertex " + std::to_string(*index) +
                                  " of a mesh of " + std::to_string(vertices.shape(0)) +
                                  " vertices");
    }
    mesh.indices.push_back(static_cast<std::uint32_t>(*index));
  }
  return mesh;
}

py::tuple finish(const FloatRows& vertices, const IndexRows& faces,
                 const std::optional<FloatRows>& normals, bool keepLargest,
                 std::int64_t minComponent, int smooth, double passband, double decimate,
                 const std::optional<std::array<std::int64_t, 3>>& volumeShape,
                 const Triple& spacing, const Triple& origin) {
  mcubes::Mesh mesh = meshOf(vertices, faces, normals);
  mcubes::FinishOptions options;
  options.keepLargest = keepLargest;
  options.minComponent = minComponent;
  options.smoothIterations = smooth;
  options.smoothPassband = passband;
  options.decimate = decimate;
  std::optional<mcubes::Geometry> box;
  if (volumeShape) {
    const std::int64_t dims[3] = {(*volumeShape)[2], (*volumeShape)[1], (*volumeShape)[0]};
    box = mcubes::gridGeometry(dims, placement(spacing, origin));
  }
  {
    const py::gil_scoped_release release;
    mcubes::finish(mesh, options, box ? &*box : nullptr);
  }
  return meshTuple(std::move(mesh));
}

void writeMesh(const py::object& path, const FloatRows& vertices, const IndexRows& faces,
               const std::optional<FloatRows>& normals, const std::optional<std::string>& format,
               const std::string& comment, bool ascii, const std::string& space) {
  const mcubes::Mesh mesh = meshOf(vertices, faces, normals);
  mcubes::WriteOptions options;
  options.format = format.value_or("");
  options.comment = comment;
  options.ascii = ascii;
  options.space = space;
  const std::string file = pathOf(path);
  const py::gil_scoped_release release;
  mcubes::writeMesh(file, mesh, options);
}

}  // namespace

PYBIND11_MODULE(_mcubes, m) {
  m.doc() = "Exact marching-cubes surfaces of volumes (the mcubes library).";
  static const py::exception<mcubes::FileError> fileError(m, "FileError", PyExc_OSError);
  static const py::exception<void> warning(m, "MeshWarning", PyExc_UserWarning);
  meshWarning = warning.ptr();
  py::register_exception_translator([](std::exception_ptr error) {
    try {
      if (error) std::rethrow_exception(error);
    } catch (const mcubes::ArgumentError& bad) {
      PyErr_SetString(PyExc_ValueError, bad.worded(pythonWord).c_str());
    } catch (const mcubes::FileError& failed) {
      PyErr_SetString(fileError.ptr(), failed.worded(pythonWord).c_str());
    } catch (const mcubes::Cancelled&) {
      // Stopped where a signal's handler raised: its exception is set.
      if (!PyErr_Occurred()) PyErr_SetNone(PyExc_KeyboardInterrupt);
    }
  });

  const Triple one{1.0, 1.0, 1.0};
  const Triple zero{0.0, 0.0, 0.0};
  const mcubes::SurfaceOptions defaults;
  m.def("marching_cubes", &marchingCubes, py::arg("volume"), py::arg("level"),
        py::arg("spacing") = one, py::arg("origin") = zero, py::arg("closed") = defaults.closed,
        py::arg("welded") = defaults.welded, py::arg("normals") = defaults.normals,
        py::arg("threads") = defaults.threads, py::kw_only(), py::arg("inside") = py::none(),
        R"(The isosurface of a volume at `level`, exact and outward-wound.

volume: a 3-D numpy array indexed [z, y, x] of uint8, int8, uint16, int16,
    uint32, int32, float32 or float64. It is read in place, never copied,
    whatever its strides: C order (fastest), Fortran order, slices and
    reversed views alike. The inside is where values lie above the level,
    unless inside="below".
level: the iso level, a finite number. The mesh does not depend on the
    values' units: scaling the data and the level by a power of two gives
    the same vertices, bit for bit (a vertex lies on a voxel only where the
    level equals its value).
spacing, origin: (x, y, z): vertex = origin + index * spacing, where index
    (x, y, z) is (volume's last, middle, first index).
closed: flat caps where the surface leaves the volume, so that it bounds a
    solid.
welded: vertices shared by neighbouring triangles; False gives each
    triangle its own three, as extracted, without caps.
normals: per-vertex unit normals from the volume's gradient.
threads: worker threads, 0 for one per processor this process may run on;
    the mesh does not depend on it. The GIL is released meanwhile.
inside: None or "above" (CT, MRI, densities, probabilities) or "below" (signed
    distance fields, negative inside, and level sets: the object where
    values are below the level), closed and wound outward either way; the
    mesh of the negated volume, without a negated copy of it.

Returns (vertices, faces, normals): float32 (N, 3) columns x, y, z; uint32
(M, 3); float32 (N, 3), or None without normals. These are the triangles
`mcubes mesh` writes for the same data and options.

Differences from skimage.measure.marching_cubes: skimage's spacing and
vertex columns follow the array's axes (z, y, x for an array indexed
[z, y, x]); here they are (x, y, z), as in volume files and mesh files:
skimage's vertices are ours[:, ::-1]. Faces are wound counter-clockwise seen
from outside (where values are lower), and so are skimage's once its vertex
columns are turned to (x, y, z); in its (z, y, x) columns they appear the
other way round. Caps close the surface by default (closed=False gives
skimage's open surface).

What the run finds that is likely not what was meant (NaN voxels, a level
beyond the data, a box closed around a signed distance field's outside) is
warned as mcubes.MeshWarning, a UserWarning. Raises ValueError for bad
arguments.)");
  m.def("mesh_labels", &meshLabels, py::arg("volume"), py::arg("labels") = py::none(),
        py::arg("spacing") = one, py::arg("origin") = zero, py::arg("closed") = defaults.closed,
        py::arg("welded") = defaults.welded, py::arg("normals") = defaults.normals,
        py::arg("threads") = defaults.threads,
        R"(The surfaces of a label map's labels from one pass over it.

volume: a 3-D array of integer values indexed [z, y, x], read in place as
    marching_cubes reads it.
labels: the labels to mesh, or None for every label but 0.

Returns {label: (vertices, faces, normals)} in the order asked (or of
increasing labels); labels found nowhere are left out. The other arguments
are marching_cubes's. Raises ValueError where a voxel is no integer.)");
  m.def("read_volume", &readVolume, py::arg("path"), py::arg("shape") = py::none(),
        py::arg("dtype") = py::none(), py::arg("spacing") = one, py::arg("origin") = zero,
        R"(Reads a volume file in any format `mcubes mesh --volume` reads.

path: .nrrd, .nhdr, .nii, .nii.gz, .hdr (with its .img), .mha, .mhd, .mgh,
    .mgz, or HDF5 (.h5, .hdf5, .he5) with the dataset after a colon
    ("sim.h5:/group/data"); with shape and dtype, any file as raw voxels.
shape: (nz, ny, nx) of a raw file; dtype: its numpy dtype ('<u2', '>f4').
spacing, origin: (x, y, z), for files that state no placement (raw, HDF5).

Returns (voxels, affine): voxels indexed [z, y, x] in the stored type (or
float64 where the file scales its values), and the 4x4 float64 matrix that
takes (x index, y index, z index, 1) to world coordinates in the file's
space. marching_cubes(voxels, level) meshes in index space; for world
coordinates of an axis-aligned affine pass spacing=affine.diagonal()[:3]
and origin=affine[:3, 3]. Raises FileError (an OSError) with the reader's
message where the file cannot be read.)");
  m.def("finish", &finish, py::arg("vertices"), py::arg("faces"), py::arg("normals") = py::none(),
        py::kw_only(), py::arg("keep_largest") = false, py::arg("min_component") = 0,
        py::arg("smooth") = 0, py::arg("passband") = 0.1, py::arg("decimate") = 1.0,
        py::arg("volume_shape") = py::none(), py::arg("spacing") = one, py::arg("origin") = zero,
        R"(The finishing steps `mcubes mesh` offers, in its order.

keep_largest: only the connected part with the most triangles stays.
min_component: parts of fewer triangles go.
smooth: iterations of windowed-sinc smoothing, which does not shrink
    (10 to 50 is usual); passband, above 0 and below 2: lower smooths more.
decimate: the fraction of triangles to keep, above 0 and at most 1.
volume_shape, spacing, origin: the volume the mesh came from (nz, ny, nx),
    whose faces the caps stay on when smoothing.

Normals, where given, are recomputed from the faces where vertices moved.
Returns (vertices, faces, normals) as marching_cubes does.)");
  m.def("write_mesh", &writeMesh, py::arg("path"), py::arg("vertices"), py::arg("faces"),
        py::arg("normals") = py::none(), py::kw_only(), py::arg("format") = py::none(),
        py::arg("comment") = "", py::arg("ascii") = false, py::arg("space") = "",
        R"(Writes a mesh file whole or not at all: OBJ, PLY, STL, glb, VTP or GIfTI.

format: "obj", "ply", "stl", "glb", "vtp" or "gii"; None: from the path's
    extension. ascii: text PLY. "-" is standard output. space: "RAS" or
    "LPS", the vertices' space, said where readers look for it (SPACE=RAS
    or SPACE=LPS leading STL, OBJ and PLY comments, as 3D Slicer reads
    them; VTK's field data SPACE; GIfTI's coordinate system); "": unsaid.
Raises ValueError for a format it cannot tell or write, FileError (an
OSError) where writing fails.)");
}
