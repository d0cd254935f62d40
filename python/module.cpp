// The isocubes package's binding (isocubes._isocubes, wrapped by the
// package's Python functions): numpy arrays in and out of the library's
// API. Volumes are read in place, meshes handed to numpy without a copy,
// and the GIL released while the library works.
//
// Everything a Python user sees follows the array's axes: column c of an
// affine, a spacing's c-th number and a vertex's c-th coordinate are along
// array axis c, as in numpy, scikit-image and nibabel. The library's voxel
// (i, j, k) is the array's [k, j, i] (its last axis is i, usually the
// fastest in memory), so the geometry handed to it maps i to the last
// column; where that mirrors the axes the library keeps faces outward.
#include <pybind11/functional.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "mcubes/mcubes.h"
#include "mcubes/version.h"

namespace py = pybind11;

namespace {

using Triple = std::array<double, 3>;

// The keyword arguments that the library's messages name as {name}.
std::string pythonWord(const std::string& name) {
  static const std::map<std::string, std::string> words = {
      {"dims", "shape"},
      {"type", "dtype"},
      {"endian", "dtype's byte order ('<u2', '>u2')"},
      {"spacing", "spacing"},
      {"origin", "origin"},
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
      {"conforming", "conforming=True"},
      {"interfaces", "interfaces=True"},
      {"space", "space"},
      {"format", "format"},
      {"keep_largest", "keep_largest"},
      {"min_component", "min_component"},
      {"smooth", "smooth"},
      {"passband", "passband"},
      {"decimate", "decimate"},
  };
  return mcubes::wordFrom(words, name);
}

// The package's exceptions and warning (isocubes/_errors.py), held for the
// module's life.
PyObject* meshWarning = nullptr;
PyObject* fileError = nullptr;
PyObject* missingFileError = nullptr;

// The library's findings as MeshWarnings, raised once the GIL is held
// again, told of the caller `depth` frames up (2: the caller of the
// package's function that called the binding).
void warnAbout(const std::vector<mcubes::Finding>& findings, int depth = 2) {
  for (const mcubes::Finding& finding : findings) {
    if (!finding.warning) continue;
    const std::string text = (finding.subject.empty() ? "" : finding.subject + ": ") +
                             mcubes::Error(finding.text).worded(pythonWord);
    if (PyErr_WarnEx(meshWarning, text.c_str(), depth) != 0) throw py::error_already_set();
  }
}

// The operating system's reason behind a file's failure, where the
// library's message states one (it ends with strerror's words) or the file
// is missing; 0 where the file is there but malformed.
int errnoOf(const mcubes::FileError& failed) {
  static const int known[] = {ENOENT, EACCES, EPERM, EISDIR, ENOTDIR, ENOSPC, EROFS, ENAMETOOLONG};
  const std::string message = failed.what();
  for (const int code : known) {
    if (message.find(std::strerror(code)) != std::string::npos) return code;
  }
  struct stat status;
  if (!failed.file().empty() && stat(failed.file().c_str(), &status) != 0 && errno == ENOENT) {
    return ENOENT;
  }
  return 0;
}

// FileError's instance: the message as its text, errno (None where no
// reason of the system's applies) and filename as OSError's.
void raiseFileError(const mcubes::FileError& failed) {
  const int code = errnoOf(failed);
  const std::string message = failed.worded(pythonWord);
  py::object error =
      py::reinterpret_borrow<py::object>(code == ENOENT ? missingFileError : fileError)(message);
  error.attr("errno") = code == 0 ? py::object(py::none()) : py::object(py::int_(code));
  error.attr("strerror") = message;
  error.attr("filename") =
      failed.file().empty() ? py::object(py::none()) : py::object(py::str(failed.file()));
  PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
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

// The 3-D array read in place, whatever its strides: its last axis is the
// library's i.
mcubes::ArrayView arrayView(const py::array& volume) {
  if (volume.ndim() != 3) {
    throw mcubes::ArgumentError("volume must be a 3-D array, not " + std::to_string(volume.ndim()) +
                                "-D");
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

// The library's placement (along i, j, k) of a spacing and origin given
// along the array's axes.
mcubes::Placement placement(const Triple& spacing, const Triple& origin) {
  mcubes::Placement result;
  for (int a = 0; a < 3; ++a) {
    result.spacing[a] = spacing[2 - a];
    result.origin[a] = origin[2 - a];
  }
  return result;
}

using Affine = py::array_t<double, py::array::c_style | py::array::forcecast>;

// Where the voxels of an array of library `dims` lie: on the grid of
// `spacing` and `origin`, with vertex columns along the array's axes, or
// where the 4x4 `affine` takes array indices (axis 0 first).
mcubes::Geometry geometry(const std::int64_t (&dims)[3], const Triple& spacing,
                          const Triple& origin, const std::optional<Affine>& affine) {
  mcubes::Geometry result{};
  if (!affine) {
    result = mcubes::gridGeometry(dims, placement(spacing, origin));
    // The library's world (along i, j, k) turned to the array's columns.
    std::reverse(std::begin(result.origin), std::end(result.origin));
    for (auto& axis : result.axes) std::reverse(std::begin(axis), std::end(axis));
    return result;
  }
  if (affine->ndim() != 2 || affine->shape(0) != 4 || affine->shape(1) != 4) {
    throw mcubes::ArgumentError("affine must be a 4x4 matrix (index to world)");
  }
  const auto a = affine->unchecked<2>();
  if (a(3, 0) != 0.0 || a(3, 1) != 0.0 || a(3, 2) != 0.0 || a(3, 3) != 1.0) {
    throw mcubes::ArgumentError("affine's last row must be (0, 0, 0, 1)");
  }
  std::copy(std::begin(dims), std::end(dims), result.dims);
  for (int row = 0; row < 3; ++row) {
    result.origin[row] = a(row, 3);
    for (int axis = 0; axis < 3; ++axis) result.axes[axis][row] = a(row, 2 - axis);
  }
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

using Progress = std::optional<std::function<void(std::int64_t, std::int64_t)>>;

mcubes::SurfaceOptions surfaceOptions(double level, bool closed, bool welded, bool normals,
                                      int threads, const std::optional<std::string>& inside,
                                      const Progress& progress) {
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
  // Between slabs of layers: Ctrl+C (Python's handler raising
  // KeyboardInterrupt) or an exception from the caller's callback stops the
  // run, noting how far it got.
  options.progress = [progress](std::int64_t done, std::int64_t total) {
    const py::gil_scoped_acquire gil;
    try {
      if (PyErr_CheckSignals() != 0) throw py::error_already_set();
      if (progress) (*progress)(done, total);
      return true;
    } catch (py::error_already_set& raised) {
      if (py::hasattr(raised.value(), "add_note")) {
        raised.value().attr("add_note")("isocubes stopped after " + std::to_string(done) + " of " +
                                        std::to_string(total) + " layers");
      }
      raised.restore();
      return false;
    }
  };
  return options;
}

mcubes::MeshResult run(const mcubes::MeshRequest& request) {
  mcubes::MeshResult result;
  {
    const py::gil_scoped_release release;
    result = mcubes::meshVolume(request);
  }
  warnAbout(result.report.findings);
  return result;
}

py::tuple marchingCubes(const py::array& volume, double level, const Triple& spacing,
                        const Triple& origin, const std::optional<Affine>& affine, bool closed,
                        bool welded, bool normals, int threads,
                        const std::optional<std::string>& inside, const Progress& progress) {
  const mcubes::ArrayView view = arrayView(volume);
  mcubes::MeshRequest request;
  request.source = mcubes::ArraySource{view, geometry(view.dims, spacing, origin, affine)};
  request.surface = surfaceOptions(level, closed, welded, normals, threads, inside, progress);
  return meshTuple(std::move(run(request).surfaces.front().mesh));
}

// A volume of array `shape` on the grid or affine given, in the library's
// dims.
mcubes::Geometry geometryOfShape(const std::array<std::int64_t, 3>& shape, const Triple& spacing,
                                 const Triple& origin, const std::optional<Affine>& affine) {
  const std::int64_t dims[3] = {shape[2], shape[1], shape[0]};
  return geometry(dims, spacing, origin, affine);
}

// The options of a volume's pieces and their join, as the package passes
// them (a tuple pickles as it is for the processes that make pieces):
// (level, closed, welded, normals, threads, inside).
mcubes::SurfaceOptions pieceOptions(const py::tuple& options) {
  return surfaceOptions(options[0].cast<double>(), options[1].cast<bool>(), options[2].cast<bool>(),
                        options[3].cast<bool>(), options[4].cast<int>(),
                        options[5].cast<std::optional<std::string>>(), std::nullopt);
}

// Slices [first, last) along array axis 0 that the piece of layers
// [first, last) reads.
std::pair<std::int64_t, std::int64_t> pieceSlices(const std::array<std::int64_t, 3>& shape,
                                                  std::int64_t first, std::int64_t last,
                                                  bool normals) {
  mcubes::SurfaceOptions options;
  options.normals = normals;
  const mcubes::SliceRange slices = mcubes::pieceSlices(
      geometryOfShape(shape, {1, 1, 1}, {0, 0, 0}, std::nullopt), first, last, options);
  return {slices.first, slices.last};
}

// The piece of layers [first, last) of a volume of `shape`, from `slab`,
// its slices pieceSlices names, as bytes to join.
py::bytes meshPiece(const py::array& slab, const std::array<std::int64_t, 3>& shape,
                    std::int64_t first, std::int64_t last, const Triple& spacing,
                    const Triple& origin, const std::optional<Affine>& affine,
                    const py::tuple& options) {
  const mcubes::ArrayView view = arrayView(slab);
  const mcubes::Geometry whole = geometryOfShape(shape, spacing, origin, affine);
  const mcubes::SurfaceOptions surface = pieceOptions(options);
  std::vector<char> bytes;
  {
    const py::gil_scoped_release release;
    bytes = mcubes::meshPiece(whole, view, first, last, surface);
  }
  return py::bytes(bytes.data(), bytes.size());
}

// The pieces of every layer, in order, as one mesh: the whole volume's.
// The list's pieces are let go as they are taken, so that each is held
// once.
py::tuple joinPieces(const std::array<std::int64_t, 3>& shape, const py::list& pieces,
                     const Triple& spacing, const Triple& origin,
                     const std::optional<Affine>& affine, const py::tuple& options) {
  std::vector<std::vector<char>> held;
  held.reserve(pieces.size());
  for (std::size_t p = 0; p < pieces.size(); ++p) {
    const py::object piece = pieces[p];
    char* data = nullptr;
    py::ssize_t size = 0;
    if (PyBytes_AsStringAndSize(piece.ptr(), &data, &size) != 0) throw py::error_already_set();
    held.emplace_back(data, data + size);
    pieces[p] = py::none();
  }
  const mcubes::Geometry whole = geometryOfShape(shape, spacing, origin, affine);
  const mcubes::SurfaceOptions surface = pieceOptions(options);
  mcubes::MeshResult result;
  {
    const py::gil_scoped_release release;
    result = mcubes::joinPieces(whole, std::move(held), surface);
  }
  // Called by the package's marching_cubes through its chunked meshing.
  warnAbout(result.report.findings, 3);
  return meshTuple(std::move(result.surfaces.front().mesh));
}

std::string pathOf(const py::object& path) {
  return py::str(py::module_::import("os").attr("fsdecode")(path)).cast<std::string>();
}

// A volume file meshed as `mcubes mesh --volume` meshes it: read slice by
// slice, in the file's world.
py::tuple meshFile(const py::object& path, double level, bool closed, bool welded, bool normals,
                   int threads, const std::optional<std::string>& inside,
                   const Progress& progress) {
  mcubes::FileSource file;
  file.path = pathOf(path);
  mcubes::MeshRequest request;
  request.source = file;
  request.surface = surfaceOptions(level, closed, welded, normals, threads, inside, progress);
  return meshTuple(std::move(run(request).surfaces.front().mesh));
}

py::dict meshLabels(const py::array& volume, const std::optional<std::vector<std::int64_t>>& labels,
                    const Triple& spacing, const Triple& origin,
                    const std::optional<Affine>& affine, bool closed, bool welded, bool normals,
                    int threads, const Progress& progress, bool conforming, bool interfaces,
                    int smooth, double passband) {
  const mcubes::ArrayView view = arrayView(volume);
  mcubes::MeshRequest request;
  request.source = mcubes::ArraySource{view, geometry(view.dims, spacing, origin, affine)};
  request.surface = surfaceOptions(0.0, closed, welded, normals, threads, std::nullopt, progress);
  request.labels = labels.value_or(std::vector<std::int64_t>{});
  request.conforming = conforming;
  request.interfaces = interfaces;
  request.finish.smoothIterations = smooth;
  request.finish.smoothPassband = passband;
  mcubes::MeshResult meshed = run(request);
  py::dict result;
  for (mcubes::Surface& label : meshed.surfaces) {
    if (label.beyond) {
      result[py::make_tuple(label.label, *label.beyond)] = meshTuple(std::move(label.mesh));
    } else {
      result[py::int_(label.label)] = meshTuple(std::move(label.mesh));
    }
  }
  return result;
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
    if (PyErr_WarnEx(meshWarning, volume->notice().c_str(), 1) != 0) {
      throw py::error_already_set();
    }
  }
  const mcubes::Geometry& g = volume->geometry();
  const mcubes::VoxelType type =
      volume->scaled() ? mcubes::VoxelType::Float64 : volume->storedType();
  py::array voxels(dtypeOf(type), {g.dims[2], g.dims[1], g.dims[0]});
  void* out = voxels.mutable_data();
  {
    const py::gil_scoped_release release;
    volume->readRest(type, out);
  }
  // Array axis c is the library's axis 2 - c; rows are the file's world.
  py::array_t<double> affine({4, 4});
  auto a = affine.mutable_unchecked<2>();
  for (py::ssize_t row = 0; row < 4; ++row) {
    for (py::ssize_t column = 0; column < 3; ++column) {
      a(row, column) = row < 3 ? g.axes[2 - column][row] : 0.0;
    }
    a(row, 3) = row < 3 ? g.origin[row] : 1.0;
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
                 const Triple& spacing, const Triple& origin, const std::optional<Affine>& affine) {
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
    box = geometry(dims, spacing, origin, affine);
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

// The binding's functions take every argument in order, checked and
// converted by the package's Python functions, which users call.
PYBIND11_MODULE(_isocubes, m) {
  m.doc() = "The mcubes library's binding; use the isocubes package's functions.";
  m.attr("version") = MCUBES_VERSION;
  // Python classes (isocubes/_errors.py), so that FileError words itself as
  // the library's one line while carrying errno and filename.
  const py::module_ errors = py::module_::import("isocubes._errors");
  fileError = py::object(errors.attr("FileError")).release().ptr();
  missingFileError = py::object(errors.attr("MissingFileError")).release().ptr();
  meshWarning = py::object(errors.attr("MeshWarning")).release().ptr();
  py::register_exception_translator([](std::exception_ptr error) {
    try {
      if (error) std::rethrow_exception(error);
    } catch (const mcubes::ArgumentError& bad) {
      PyErr_SetString(PyExc_ValueError, bad.worded(pythonWord).c_str());
    } catch (const mcubes::FileError& failed) {
      raiseFileError(failed);
    } catch (const mcubes::Cancelled&) {
      // Stopped where a signal's handler or the callback raised: its
      // exception is set.
      if (!PyErr_Occurred()) PyErr_SetNone(PyExc_KeyboardInterrupt);
    }
  });
  m.def("marching_cubes", &marchingCubes);
  m.def("mesh_file", &meshFile);
  m.def("mesh_labels", &meshLabels);
  m.def("piece_slices", &pieceSlices);
  m.def("mesh_piece", &meshPiece);
  m.def("join_pieces", &joinPieces);
  m.def("read_volume", &readVolume);
  m.def("finish", &finish);
  m.def("write_mesh", &writeMesh);
}
