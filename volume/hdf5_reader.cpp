// HDF5 datasets read by hyperslabs of whole slices, or, where chunked and
// compressed by deflate alone or not at all, chunk by chunk past HDF5's
// filters (hdf5_chunk_layers.h): the last, fastest-varying dimension is i,
// the first k.
#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <filesystem>
#include <iterator>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "volume/data_files.h"
#include "volume/file_source.h"
#include "volume/hdf5_chunk_layers.h"
#include "volume/hdf5_library.h"
#include "volume/read_failure.h"
#include "volume/volume_layout.h"
#include "volume/volume_readers.h"
#include "volume/voxel_decoding.h"

namespace mcubes::internal {

namespace {

// An identifier of the library's, closed by the function for its kind.
class Handle {
 public:
  Handle(hid_t id, herr_t (*close)(hid_t)) : id_(id), close_(close) {}
  Handle(Handle&& other) noexcept : id_(std::exchange(other.id_, -1)), close_(other.close_) {}
  Handle& operator=(Handle&&) = delete;
  ~Handle() {
    if (id_ >= 0) close_(id_);
  }
  hid_t get() const { return id_; }
  bool valid() const { return id_ >= 0; }

 private:
  hid_t id_;
  herr_t (*close_)(hid_t);
};

// The voxel type that a stored type is read as: the eight that the other
// formats have; none for 64-bit integers, strings, compounds and the like.
bool voxelType(const Hdf5Library& h5, hid_t type, VoxelType& out) {
  const std::size_t size = h5.H5Tget_size(type);
  const H5T_class_t kind = h5.H5Tget_class(type);
  if (kind == H5T_INTEGER && (size == 1 || size == 2 || size == 4)) {
    const bool isSigned = h5.H5Tget_sign(type) == H5T_SGN_2;
    const VoxelType types[2][3] = {{VoxelType::Uint8, VoxelType::Uint16, VoxelType::Uint32},
                                   {VoxelType::Int8, VoxelType::Int16, VoxelType::Int32}};
    out = types[isSigned][size == 1 ? 0 : size == 2 ? 1 : 2];
    return true;
  }
  if (kind == H5T_FLOAT && (size == 4 || size == 8)) {
    out = size == 4 ? VoxelType::Float32 : VoxelType::Float64;
    return true;
  }
  return false;
}

std::string typeName(const Hdf5Library& h5, hid_t type) {
  VoxelType voxels;
  if (voxelType(h5, type, voxels)) return voxelTypeName(voxels);
  const std::string bits = std::to_string(8 * h5.H5Tget_size(type));
  switch (h5.H5Tget_class(type)) {
    case H5T_INTEGER:
      return (h5.H5Tget_sign(type) == H5T_SGN_2 ? "int" : "uint") + bits;
    case H5T_FLOAT:
      return "float" + bits;
    default:
      return "non-numeric";
  }
}

// What the library says of a dataset: its shape in the file's order
// (slowest first) and its stored type.
struct DatasetShape {
  std::vector<hsize_t> shape;
  std::string type;
};

DatasetShape shapeOf(const Hdf5Library& h5, hid_t dataset) {
  const Handle space(h5.H5Dget_space(dataset), h5.H5Sclose);
  const Handle type(h5.H5Dget_type(dataset), h5.H5Tclose);
  const int rank = h5.H5Sget_simple_extent_ndims(space.get());
  DatasetShape shape{std::vector<hsize_t>(static_cast<std::size_t>(std::max(rank, 0))),
                     typeName(h5, type.get())};
  h5.H5Sget_simple_extent_dims(space.get(), shape.shape.data(), nullptr);
  return shape;
}

// A 3-D dataset: its path, and as a listing shows it ("/a (64x48x32
// float32)", the sizes in the file's order).
struct Volume {
  std::string name, shown;
};

// The 3-D datasets found so far as the file's links are visited, each
// opened with `access`: HDF5 refuses to open a dataset already open (by
// another reader of the file) with other file prefixes than it was, and
// H5Oopen opens datasets with the default ones.
struct Listing {
  const Hdf5Library& h5;
  hid_t access;
  std::vector<Volume> volumes;
};

// Every 3-D dataset the file links to, in name order.
herr_t addIfVolume(hid_t group, const char* name, const H5L_info_t* link, void* listing) {
  if (link->type != H5L_TYPE_HARD) return 0;
  const Hdf5Library& h5 = static_cast<Listing*>(listing)->h5;
  // Not a dataset (a group, a named type): not opened.
  const Handle dataset(h5.H5Dopen2(group, name, static_cast<Listing*>(listing)->access),
                       h5.H5Dclose);
  if (!dataset.valid()) return 0;
  const DatasetShape shape = shapeOf(h5, dataset.get());
  if (shape.shape.size() != 3) return 0;
  const std::string path = std::string("/") + name;
  static_cast<Listing*>(listing)->volumes.push_back(
      {path, printableName(path) + " (" + std::to_string(shape.shape[0]) + "x" +
                 std::to_string(shape.shape[1]) + "x" + std::to_string(shape.shape[2]) + " " +
                 shape.type + ")"});
  return 0;
}

std::vector<Volume> volumesIn(const Hdf5Library& h5, hid_t file, hid_t access) {
  Listing found{h5, access, {}};
  h5.H5Lvisit(file, H5_INDEX_NAME, H5_ITER_INC, addIfVolume, &found);
  return std::move(found.volumes);
}

// What to do when the dataset is not one to mesh: name one that is.
std::string nameOneOf(const std::string& path, const std::vector<Volume>& volumes) {
  if (volumes.empty()) return "it holds no 3-D dataset: mesh a file that does";
  std::string list;
  for (const Volume& volume : volumes) list += (list.empty() ? "" : ", ") + volume.shown;
  return "name one of its 3-D datasets after a colon (" + printableName(path) + ":/path): " + list;
}

// The file that `file` names as `name` (an external link's target, external
// storage, a virtual dataset's source), taken from `file`'s folder and
// checked as data_files.h says; it must be there, where HDF5 would look for
// it elsewhere (external links, the current folder) or read fill values
// for it (virtual datasets).
std::string referencedFile(const std::string& file, const std::string& name) {
  const std::string path = besideHeader(file, name);
  std::error_code error;
  if (!std::filesystem::exists(path, error)) {
    failVolume(file, "the file it names, " + shown(name) + ", is not there",
               "put it where the file says, beside it");
  }
  return path;
}

// External links are checked as they are followed; a refusal is kept for
// after the library's call, which it makes fail. (Kept here, not with the
// access list: HDF5 may follow links as long as the dataset is open.)
thread_local std::exception_ptr linkRefusal;

herr_t checkLink(const char* parentFile, const char*, const char* childFile, const char*, unsigned*,
                 hid_t, void*) {
  try {
    referencedFile(parentFile, childFile);
  } catch (...) {
    linkRefusal = std::current_exception();
    return -1;
  }
  return 0;
}

// Dataset access (which is link access too) that checks external links,
// and takes external storage and virtual datasets' sources from the file's
// own folder, where they are checked (checkDataFiles).
Handle checkedAccess(const Hdf5Library& h5) {
  linkRefusal = nullptr;
  Handle access(h5.H5Pcreate(h5.datasetAccessClass()), h5.H5Pclose);
  h5.H5Pset_elink_cb(access.get(), checkLink, nullptr);
  h5.H5Pset_efile_prefix(access.get(), "${ORIGIN}");
  h5.H5Pset_virtual_prefix(access.get(), "${ORIGIN}");
  return access;
}

// Throws the refusal of an external link, if one made the library fail.
void rethrowRefusal() {
  if (linkRefusal) std::rethrow_exception(std::exchange(linkRefusal, nullptr));
}

// Checks the files that the dataset's voxels are stored in besides `path`
// (external storage, a virtual dataset's sources) before any is read.
void checkDataFiles(const Hdf5Library& h5, const std::string& path, hid_t dataset) {
  const Handle creation(h5.H5Dget_create_plist(dataset), h5.H5Pclose);
  const int external = h5.H5Pget_external_count(creation.get());
  for (int n = 0; n < external; ++n) {
    char name[4096] = {};
    off_t offset = 0;
    hsize_t size = 0;
    if (h5.H5Pget_external(creation.get(), static_cast<unsigned>(n), sizeof name, name, &offset,
                           &size) >= 0) {
      referencedFile(path, name);
    }
  }
  std::size_t sources = 0;
  if (h5.H5Pget_layout(creation.get()) != H5D_VIRTUAL ||
      h5.H5Pget_virtual_count(creation.get(), &sources) < 0) {
    return;
  }
  for (std::size_t n = 0; n < sources; ++n) {
    const ssize_t length = h5.H5Pget_virtual_filename(creation.get(), n, nullptr, 0);
    if (length < 0) continue;
    std::string name(static_cast<std::size_t>(length) + 1, '\0');
    h5.H5Pget_virtual_filename(creation.get(), n, name.data(), name.size());
    name.resize(static_cast<std::size_t>(length));
    if (name != ".") referencedFile(path, name);  // "." is this file
  }
}

// Fails where the dataset stores far fewer bytes than its voxels take:
// chunks never written, which HDF5 reads as its fill value, so that a small
// file claiming terabytes would be read for hours. A stored byte holds at
// most 1032 (deflate's most); datasets compressed otherwise, whose bound is
// not known here, and those stored elsewhere (checkDataFiles) are let be.
void checkStored(const Hdf5Library& h5, const std::string& path, hid_t dataset,
                 const std::string& name, std::int64_t bytes) {
  const Handle creation(h5.H5Dget_create_plist(dataset), h5.H5Pclose);
  if (h5.H5Pget_layout(creation.get()) == H5D_VIRTUAL ||
      h5.H5Pget_external_count(creation.get()) != 0) {
    return;
  }
  const int filters = h5.H5Pget_nfilters(creation.get());
  for (int n = 0; n < filters; ++n) {
    unsigned flags = 0;
    std::size_t values = 0;
    const H5Z_filter_t filter = h5.H5Pget_filter2(creation.get(), static_cast<unsigned>(n), &flags,
                                                  &values, nullptr, 0, nullptr, nullptr);
    if (filter != H5Z_FILTER_DEFLATE && filter != H5Z_FILTER_SHUFFLE &&
        filter != H5Z_FILTER_FLETCHER32) {
      return;
    }
  }
  constexpr long double MostPerStoredByte = 1032;
  const hsize_t stored = h5.H5Dget_storage_size(dataset);
  if (static_cast<long double>(stored) * MostPerStoredByte < static_cast<long double>(bytes)) {
    failVolume(path,
               "its dataset " + shown(name) + " stores " + std::to_string(stored) +
                   " bytes for the " + std::to_string(bytes) +
                   " bytes of its voxels: nearly all of them were never written (HDF5 would "
                   "read its fill value for them)",
               "write the dataset's voxels, or mesh another dataset");
  }
}

// The dataset `opened` opened again with a chunk cache that holds two
// layers of its chunks, so that reading slabs of slices, whatever their
// depth, inflates each chunk once. HDF5 shares one dataset object, and the
// cache set when it was first opened, among all identifiers open on it: the
// one given is closed before the dataset is opened again.
Handle openCached(const Hdf5Library& h5, hid_t file, const std::string& name, hid_t checked,
                  std::size_t voxelBytes, const std::vector<hsize_t>& shape, Handle opened) {
  hsize_t chunk[3];
  {
    const Handle creation(h5.H5Dget_create_plist(opened.get()), h5.H5Pclose);
    if (h5.H5Pget_layout(creation.get()) != H5D_CHUNKED ||
        h5.H5Pget_chunk(creation.get(), 3, chunk) != 3) {
      return opened;
    }
  }
  { const Handle closed = std::move(opened); }
  const hsize_t across =
      (shape[1] + chunk[1] - 1) / chunk[1] * ((shape[2] + chunk[2] - 1) / chunk[2]);
  const hsize_t bytes =
      std::min<hsize_t>(2 * across * chunk[0] * chunk[1] * chunk[2] * voxelBytes, hsize_t{1} << 30);
  const Handle access(h5.H5Pcopy(checked), h5.H5Pclose);
  h5.H5Pset_chunk_cache(access.get(), static_cast<std::size_t>(std::max<hsize_t>(across * 8, 521)),
                        static_cast<std::size_t>(bytes), 1.0);
  Handle cached(h5.H5Dopen2(file, name.c_str(), access.get()), h5.H5Dclose);
  return cached.valid() ? std::move(cached)
                        : Handle(h5.H5Dopen2(file, name.c_str(), checked), h5.H5Dclose);
}

// The voxel size that the dataset's element_size_um attribute states (z, y,
// x, as Fiji's and ilastik's HDF5 files store it), as x, y, z; none without
// the attribute. One that is not three positive numbers is refused.
std::optional<std::array<double, 3>> statedSpacing(const Hdf5Library& h5, const std::string& path,
                                                   hid_t dataset, const std::string& name) {
  const char* const key = "element_size_um";
  if (h5.H5Aexists(dataset, key) <= 0) return std::nullopt;
  const Handle attribute(h5.H5Aopen(dataset, key, H5P_DEFAULT), h5.H5Aclose);
  const Handle space(h5.H5Aget_space(attribute.get()), h5.H5Sclose);
  double zyx[3] = {0.0, 0.0, 0.0};
  if (h5.H5Sget_simple_extent_npoints(space.get()) != 3 ||
      h5.H5Aread(attribute.get(), h5.nativeType(VoxelType::Float64), zyx) < 0 ||
      !std::all_of(std::begin(zyx), std::end(zyx),
                   [](double d) { return d > 0 && d < HUGE_VAL; })) {
    failVolume(path,
               "the " + std::string(key) + " attribute of its dataset " + shown(name) +
                   " is not three positive numbers",
               "give the voxel size with {spacing}");
  }
  return std::array<double, 3>{zyx[2], zyx[1], zyx[0]};
}

class Hdf5Volume : public VolumeReader {
 public:
  Hdf5Volume(const Hdf5Library& h5, std::string path, std::string dataset, Handle file, Handle data,
             VolumeHeader header, std::unique_ptr<Hdf5ChunkLayers> layers)
      : h5_(h5),
        path_(std::move(path)),
        dataset_(std::move(dataset)),
        file_(std::move(file)),
        data_(std::move(data)),
        header_(std::move(header)),
        layers_(std::move(layers)) {}
  const VolumeHeader& header() const override { return header_; }

  void readSlices(std::int64_t count, double* out) override { read(count, out); }
  ValueForm valueForm() const override { return exactValueForm(header_.type); }

  void skipSlices(std::int64_t count) override {
    checkSlicesLeft(count, nextSlice_, header_.geometry.dims[2]);
    nextSlice_ += count;
  }

 private:
  void readNarrowSlices(std::int64_t count, float* out) override { read(count, out); }
  void readNarrowSlices(std::int64_t count, std::uint8_t* out) override { read(count, out); }

  template <typename Value>
  void read(std::int64_t count, Value* out) {
    const Hdf5Library& h5 = h5_;
    const VolumeGeometry& g = header_.geometry;
    checkSlicesLeft(count, nextSlice_, g.dims[2]);
    if (layers_) {
      const std::size_t voxels = std::size_t(g.dims[0] * g.dims[1]);
      for (std::int64_t k = 0; k < count; ++k, ++nextSlice_, out += voxels) {
        const unsigned char* slice = layers_->slice(nextSlice_, path_);
        if (slice == nullptr) failUnreadable();
        decodeVoxels(header_.type, false, slice, voxels, out);
      }
      return;
    }
    const Handle stored(h5.H5Dget_space(data_.get()), h5.H5Sclose);
    const hsize_t start[3] = {static_cast<hsize_t>(nextSlice_), 0, 0};
    const hsize_t counts[3] = {static_cast<hsize_t>(count), static_cast<hsize_t>(g.dims[1]),
                               static_cast<hsize_t>(g.dims[0])};
    // Memory shaped as the selection: HDF5 then copies whole rows where a
    // flat memory space would have it walk the selection voxel by voxel.
    const Handle wanted(h5.H5Screate_simple(3, counts, nullptr), h5.H5Sclose);
    // The voxels come in their own type, which HDF5 then hands over as they
    // are, and are widened here: its own conversion to double goes through
    // a small buffer at a time and took as long as inflating them. Voxels
    // of the values' own form are read straight into them.
    const std::size_t voxels = std::size_t(counts[0] * counts[1] * counts[2]);
    const bool wide = header_.type == (std::is_same_v<Value, double>  ? VoxelType::Float64
                                       : std::is_same_v<Value, float> ? VoxelType::Float32
                                                                      : VoxelType::Uint8);
    if (!wide) stored_.resize(voxels * std::size_t(voxelBytes(header_.type)));
    void* into = wide ? static_cast<void*>(out) : stored_.data();
    if (h5.H5Sselect_hyperslab(stored.get(), H5S_SELECT_SET, start, nullptr, counts, nullptr) < 0 ||
        h5.H5Dread(data_.get(), h5.nativeType(header_.type), wanted.get(), stored.get(),
                   H5P_DEFAULT, into) < 0) {
      failUnreadable();
    }
    if (!wide) decodeVoxels(header_.type, false, stored_.data(), voxels, out);
    nextSlice_ += count;
  }

  [[noreturn]] void failUnreadable() const {
    failVolume(path_,
               "its dataset " + shown(dataset_) +
                   " cannot be read (damaged, or compressed by a filter this HDF5 library lacks)",
               "copy the file again, or write the dataset uncompressed or with gzip");
  }

  const Hdf5Library& h5_;
  std::string path_, dataset_;
  Handle file_, data_;
  VolumeHeader header_;
  std::int64_t nextSlice_ = 0;
  std::vector<unsigned char> stored_;        // a slab's voxels in their own type
  std::unique_ptr<Hdf5ChunkLayers> layers_;  // where its chunks are read directly
};

}  // namespace

std::unique_ptr<VolumeReader> openHdf5(const std::string& path, const std::string& dataset,
                                       const VoxelPlacement& placement) {
  fileSize(path);  // a missing file is named as such
  const Hdf5Library& h5 = hdf5Library(path);
  // Failures are reported here, in one line, not as the library's stack.
  h5.H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
  if (h5.H5Fis_hdf5(path.c_str()) <= 0) {
    failVolume(path, "is not an HDF5 file (or is damaged)",
               "name an HDF5 file and a 3-D dataset in it");
  }
  Handle file(h5.openReadOnly(path.c_str()), h5.H5Fclose);
  if (!file.valid()) failVolume(path, "the HDF5 library cannot open it", "check the file");
  const Handle access = checkedAccess(h5);
  const std::vector<Volume> volumes = volumesIn(h5, file.get(), access.get());
  std::string name = dataset;
  std::string notice;
  if (name.empty()) {
    if (volumes.size() != 1) {
      failVolume(path, volumes.empty() ? "holds no 3-D dataset" : "holds several 3-D datasets",
                 nameOneOf(path, volumes));
    }
    name = volumes[0].name;
    notice = printableName(path) + ": reading " + printableName(name) + ", its only 3-D dataset";
  }
  Handle probe(h5.H5Dopen2(file.get(), name.c_str(), access.get()), h5.H5Dclose);
  rethrowRefusal();
  if (!probe.valid()) failVolume(path, "holds no dataset " + shown(name), nameOneOf(path, volumes));
  checkDataFiles(h5, path, probe.get());
  const DatasetShape shape = shapeOf(h5, probe.get());
  if (shape.shape.size() != 3) {
    failVolume(path,
               "its dataset " + shown(name) + " has " + std::to_string(shape.shape.size()) +
                   " dimensions, not 3",
               nameOneOf(path, volumes));
  }
  VolumeHeader header;
  const Handle type(h5.H5Dget_type(probe.get()), h5.H5Tclose);
  if (!voxelType(h5, type.get(), header.type)) {
    failVolume(path,
               "its dataset " + shown(name) + " holds " + shape.type + ", which is not supported",
               "store it as uint8, int8, uint16, int16, uint32, int32, float32 or float64");
  }
  const std::int64_t dims[3] = {static_cast<std::int64_t>(shape.shape[2]),
                                static_cast<std::int64_t>(shape.shape[1]),
                                static_cast<std::int64_t>(shape.shape[0])};
  checkStored(h5, path, probe.get(), name,
              latticeBytes(path, {dims[0], dims[1], dims[2]}, voxelBytes(header.type)));
  VoxelPlacement placed = placement;
  if (!placement.spacingGiven) {
    if (const auto spacing = statedSpacing(h5, path, probe.get(), name)) {
      std::copy(spacing->begin(), spacing->end(), placed.spacing);
      notice += (notice.empty() ? "" : "; ") + printableName(path + ":" + name) +
                ": its element_size_um attribute spaces the voxels";
    }
  }
  header.geometry = placedGeometry(path, dims, placed);
  header.notice = notice;
  std::unique_ptr<Hdf5ChunkLayers> layers =
      Hdf5ChunkLayers::of(h5, probe.get(), h5.nativeType(header.type), shape.shape,
                          std::size_t(voxelBytes(header.type)));
  Handle data = layers ? std::move(probe)
                       : openCached(h5, file.get(), name, access.get(), h5.H5Tget_size(type.get()),
                                    shape.shape, std::move(probe));
  return std::make_unique<Hdf5Volume>(h5, path, name, std::move(file), std::move(data),
                                      std::move(header), std::move(layers));
}

}  // namespace mcubes::internal
