#include <nifti1_io.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "volume/nifti_header.h"
#include "volume/read_failure.h"
#include "volume/volume_layout.h"
#include "volume/voxel_decoding.h"

namespace {

static_assert(sizeof(nifti_1_header) == NiftiHeaderBytes, "the header as the file holds it");

const char* const Damaged = "the file is damaged, or not NIfTI-1";

// A field of the header in the file's byte order.
template <typename Bits>
Bits field(const unsigned char* header, std::size_t at, bool bigEndian) {
  Bits bits = 0;
  for (std::size_t b = 0; b < sizeof(Bits); ++b) {
    bits = static_cast<Bits>((bits << 8) | header[bigEndian ? at + b : at + sizeof(Bits) - 1 - b]);
  }
  return bits;
}

std::int16_t int16At(const unsigned char* header, std::size_t at, bool bigEndian) {
  return static_cast<std::int16_t>(field<std::uint16_t>(header, at, bigEndian));
}

float floatAt(const unsigned char* header, std::size_t at, bool bigEndian) {
  const std::uint32_t bits = field<std::uint32_t>(header, at, bigEndian);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

bool voxelType(int datatype, VoxelType& type) {
  switch (datatype) {
    case DT_UINT8:
      type = VoxelType::Uint8;
      return true;
    case DT_INT8:
      type = VoxelType::Int8;
      return true;
    case DT_UINT16:
      type = VoxelType::Uint16;
      return true;
    case DT_INT16:
      type = VoxelType::Int16;
      return true;
    case DT_UINT32:
      type = VoxelType::Uint32;
      return true;
    case DT_INT32:
      type = VoxelType::Int32;
      return true;
    case DT_FLOAT32:
      type = VoxelType::Float32;
      return true;
    case DT_FLOAT64:
      type = VoxelType::Float64;
      return true;
    default:
      return false;
  }
}

// The library's result, freed with it.
struct Image {
  nifti_image* image;
  ~Image() { nifti_image_free(image); }
};

}  // namespace

NiftiHeader parseNiftiHeader(const unsigned char* bytes, std::size_t size,
                             const std::string& file) {
  if (size < NiftiHeaderBytes) {
    failVolume(file,
               "is too short for a NIfTI-1 header (" + std::to_string(size) + " of 348 bytes)",
               Damaged);
  }
  // sizeof_hdr, 348, tells the byte order; 540 is NIfTI-2's.
  NiftiHeader header;
  header.bigEndian = field<std::uint32_t>(bytes, 0, true) == 348;
  const bool little = field<std::uint32_t>(bytes, 0, false) == 348;
  if (!little && !header.bigEndian) {
    if (field<std::uint32_t>(bytes, 0, true) == 540 ||
        field<std::uint32_t>(bytes, 0, false) == 540) {
      failVolume(file, "is NIfTI-2, which this reader does not take",
                 "save it as NIfTI-1 (e.g. with nibabel's Nifti1Image)");
    }
    failVolume(file, "does not begin with a NIfTI-1 header (sizeof_hdr is not 348)", Damaged);
  }
  if (std::memcmp(bytes + 344, "ni1", 4) == 0) {
    failVolume(file, "is the header of a .hdr/.img pair, not a single .nii file",
               "save the image as one .nii file");
  }
  if (std::memcmp(bytes + 344, "n+1", 4) != 0) {
    failVolume(file, "has no NIfTI-1 magic 'n+1' (an Analyze 7.5 file?)",
               "save the image as NIfTI-1");
  }
  const bool bigEndian = header.bigEndian;
  const int dimensions = int16At(bytes, 40, bigEndian);
  if (dimensions < 3 || dimensions > 7) {
    failVolume(file,
               "has " + std::to_string(dimensions) +
                   " dimensions (dim[0]): a volume has 3 (or up to 7, of which the first volume "
                   "is meshed)",
               "mesh a volume of 3 to 7 dimensions");
  }
  std::vector<std::int64_t> sizes;
  for (int axis = 1; axis <= dimensions; ++axis)
    sizes.push_back(int16At(bytes, 40 + 2 * axis, bigEndian));
  const int datatype = int16At(bytes, 70, bigEndian);
  if (!voxelType(datatype, header.volume.type)) {
    failVolume(file, "its datatype " + std::to_string(datatype) + " is not supported",
               "convert it to uint8, int8, uint16, int16, uint32, int32, float32 or float64");
  }
  const LatticeSize lattice = firstVolume(file, sizes, header.volume);
  header.bytes = lattice.bytes;
  header.volumes = lattice.volumes;
  const float voxOffset = floatAt(bytes, 108, bigEndian);
  if (!(voxOffset >= 352.0f && voxOffset < 2147483648.0f) ||
      voxOffset != static_cast<float>(static_cast<std::int64_t>(voxOffset))) {
    failVolume(file,
               "its vox_offset " + std::to_string(voxOffset) + " is not a byte after the header",
               Damaged);
  }
  header.dataOffset = static_cast<std::int64_t>(voxOffset);

  // The library swaps the header to this machine's order and works out the
  // index-to-world matrices.
  nifti_1_header raw;
  std::memcpy(&raw, bytes, sizeof raw);
  const Image image{nifti_convert_nhdr2nim(raw, file.c_str())};
  if (image.image == nullptr) failVolume(file, "libniftiio cannot read its header", Damaged);
  const nifti_image& nim = *image.image;
  VolumeGeometry& geometry = header.volume.geometry;
  const char* axesField = "pixdim";
  const char* originField = "pixdim";  // the origin is 0 then
  if (nim.sform_code > 0) {
    axesField = "sform (srow_x, srow_y, srow_z)";
    originField = "sform (srow_x, srow_y, srow_z)";
  } else if (nim.qform_code > 0) {
    axesField = "qform (quatern_b, quatern_c, quatern_d, pixdim)";
    originField = "qform (qoffset_x, qoffset_y, qoffset_z)";
  }
  if (nim.sform_code > 0 || nim.qform_code > 0) {
    const mat44& m = nim.sform_code > 0 ? nim.sto_xyz : nim.qto_xyz;
    for (int a = 0; a < 3; ++a) {
      geometry.origin[a] = m.m[a][3];
      for (int b = 0; b < 3; ++b) geometry.axes[a][b] = m.m[b][a];
    }
  } else {
    const double spacing[3] = {nim.dx, nim.dy, nim.dz};
    for (int a = 0; a < 3; ++a) {
      geometry.origin[a] = 0.0;
      for (int b = 0; b < 3; ++b) geometry.axes[a][b] = a == b ? spacing[a] : 0.0;
    }
  }
  checkGeometry(file, geometry, axesField, originField);
  // A slope of 0 means no scaling; the library has made non-finite ones 0.
  if (nim.scl_slope != 0.0f) {
    header.volume.slope = nim.scl_slope;
    header.volume.offset = nim.scl_inter;
  }
  return header;
}
