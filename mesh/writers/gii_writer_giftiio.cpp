// GIfTI through giftiio, which writes only to a named file: the image is
// written to a temporary file, read back and copied to the output.
#include <unistd.h>

// giftiio's header declares its C functions without C linkage.
extern "C" {
#include <gifti_io.h>
}

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "mesh/writers/mesh_writers.h"
#include "volume/temporary_files.h"

namespace mcubes::internal {

namespace {

struct ImageFree {
  void operator()(gifti_image* image) const { gifti_free_image(image); }
};
using Image = std::unique_ptr<gifti_image, ImageFree>;

// Fills data array `at` with `rows` rows of three values copied from `values`.
bool fill(gifti_image& image, int at, int intent, int type, std::size_t rows, const void* values) {
  giiDataArray& array = *image.darray[at];
  array.intent = intent;
  array.datatype = type;
  array.ind_ord = GIFTI_IND_ORD_ROW_MAJOR;
  array.num_dim = 2;
  array.dims[0] = static_cast<int>(rows);
  array.dims[1] = 3;
  array.encoding = GIFTI_ENCODING_B64GZ;
  array.endian = gifti_get_this_endian();
  array.nvals = static_cast<long long>(3 * rows);
  array.nbyper = 4;
  array.data = std::malloc(12 * rows + 1);
  if (array.data == nullptr) return false;
  if (rows > 0) std::memcpy(array.data, values, 12 * rows);
  return true;
}

// Where vertices are. GIfTI names NIfTI's spaces, all RAS: scanner RAS is
// NIFTI_XFORM_SCANNER_ANAT. LPS and LAS have no name there, so their
// coordinates are kept as written and said to be in an unnamed space with
// the matrix that takes them to scanner RAS (x, or x and y, negated):
// readers that follow the transform place them right, and none takes them
// for RAS. The file's own space is unnamed, with no transform.
bool addCoordinateSystem(giiDataArray& points, WorldSpace space) {
  if (gifti_add_empty_CS(&points) != 0) return false;
  giiCoordSystem& system = *points.coordsys[points.numCS - 1];
  const bool stated = space != WorldSpace::Unstated;
  system.dataspace =
      strdup(space == WorldSpace::Ras ? "NIFTI_XFORM_SCANNER_ANAT" : "NIFTI_XFORM_UNKNOWN");
  system.xformspace = strdup(stated ? "NIFTI_XFORM_SCANNER_ANAT" : "NIFTI_XFORM_UNKNOWN");
  const double x = space == WorldSpace::Ras || !stated ? 1.0 : -1.0;
  const double y = space == WorldSpace::Lps ? -1.0 : 1.0;
  const double diagonal[4] = {x, y, 1.0, 1.0};
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) system.xform[i][j] = i == j ? diagonal[i] : 0.0;
  }
  return system.dataspace != nullptr && system.xformspace != nullptr;
}

// Whether the file at `path` holds `image`'s arrays, value for value:
// giftiio checks none of its writes, so a full disk (its temporary folder
// on a small tmpfs) leaves a cut file behind a reported success. A cut file
// lacks its closing tag, which is looked for first: reading it back would
// have expat print its own complaint.
bool holds(const std::string& path, const gifti_image& image) {
  constexpr char Closing[] = "</GIFTI>\n";
  constexpr std::size_t ClosingSize = sizeof Closing - 1;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  char tail[ClosingSize] = {};
  const bool closed = std::fseek(file, -static_cast<long>(ClosingSize), SEEK_END) == 0 &&
                      std::fread(tail, 1, ClosingSize, file) == ClosingSize &&
                      std::memcmp(tail, Closing, ClosingSize) == 0;
  std::fclose(file);
  if (!closed) return false;
  const Image back(gifti_read_image(path.c_str(), 1));
  if (!back || back->numDA != image.numDA) return false;
  for (int n = 0; n < image.numDA; ++n) {
    const giiDataArray& wrote = *image.darray[n];
    const giiDataArray& read = *back->darray[n];
    const auto bytes =
        static_cast<std::size_t>(wrote.nvals) * static_cast<std::size_t>(wrote.nbyper);
    if (read.nvals != wrote.nvals || read.nbyper != wrote.nbyper ||
        (bytes > 0 && (read.data == nullptr || std::memcmp(read.data, wrote.data, bytes) != 0))) {
      return false;
    }
  }
  return true;
}

bool copyFile(const std::string& path, std::FILE* out) {
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (in == nullptr) return false;
  char buffer[1 << 16];
  bool ok = true;
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) {
    ok = std::fwrite(buffer, n, 1, out) == 1 && ok;
  }
  ok = !std::ferror(in) && ok;
  std::fclose(in);
  return ok;
}

}  // namespace

bool writesGii() { return true; }

bool writeGii(std::FILE* out, const IndexedMesh& mesh, const std::string& comment,
              WorldSpace space) {
  static_assert(sizeof(Point3) == 12 && sizeof mesh.faces[0] == 12, "rows of three 4-byte values");
  gifti_set_verb(0);
  const bool normals = !mesh.normals.empty();
  // Placeholder dimensions, which giftiio checks; fill() sets the real ones.
  const int dims[GIFTI_DARRAY_DIM_LEN] = {1, 3};
  const Image image(
      gifti_create_image(normals ? 3 : 2, NIFTI_INTENT_POINTSET, NIFTI_TYPE_FLOAT32, 2, dims, 0));
  if (!image) return false;
  bool ok = gifti_add_to_meta(&image->meta, "Description", comment.c_str(), 1) == 0;
  ok = ok && fill(*image, 0, NIFTI_INTENT_POINTSET, NIFTI_TYPE_FLOAT32, mesh.vertices.size(),
                  mesh.vertices.data());
  ok = ok && addCoordinateSystem(*image->darray[0], space);
  ok = ok && fill(*image, 1, NIFTI_INTENT_TRIANGLE, NIFTI_TYPE_INT32, mesh.faces.size(),
                  mesh.faces.data());
  if (normals) {
    ok = ok && fill(*image, 2, NIFTI_INTENT_VECTOR, NIFTI_TYPE_FLOAT32, mesh.normals.size(),
                    mesh.normals.data());
  }
  if (!ok) return false;

  std::string path = (std::filesystem::temp_directory_path() / "mcubes-XXXXXX.gii").string();
  const int descriptor = mkstemps(path.data(), 4);
  if (descriptor < 0) return false;
  close(descriptor);
  const NotedTemporary noted(path);
  ok = gifti_write_image(image.get(), path.c_str(), 1) == 0 && holds(path, *image) &&
       copyFile(path, out);
  std::remove(path.c_str());
  return ok;
}

}  // namespace mcubes::internal
