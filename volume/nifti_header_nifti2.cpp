#include <nifti2_io.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "volume/nifti_header.h"
#include "volume/read_failure.h"
#include "volume/volume_layout.h"
#include "volume/voxel_decoding.h"

namespace mcubes::internal {

namespace {

static_assert(sizeof(nifti_1_header) == 348 && sizeof(nifti_2_header) == NiftiHeaderBytes,
              "the headers as the files hold them");

const char* const Damaged = "the file is damaged, or not NIfTI or Analyze 7.5";

// A field of the header in the file's byte order.
template <typename Bits>
Bits field(const unsigned char* header, std::size_t at, bool bigEndian) {
  Bits bits = 0;
  for (std::size_t b = 0; b < sizeof(Bits); ++b) {
    bits = static_cast<Bits>((bits << 8) | header[bigEndian ? at + b : at + sizeof(Bits) - 1 - b]);
  }
  return bits;
}

std::int64_t int64At(const unsigned char* header, std::size_t at, bool bigEndian) {
  return static_cast<std::int64_t>(field<std::uint64_t>(header, at, bigEndian));
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

// Where the three kinds of header keep what is read here before the library
// sees it: NIfTI-2 widened the fields and moved the magic to the front.
struct Fields {
  std::size_t magic, magicBytes, dims, datatype;
};
constexpr Fields Nifti1Fields{344, 4, 40, 70};
constexpr Fields Nifti2Fields{4, 4, 16, 12};

// The library's result, freed with it.
struct Image {
  nifti_image* image;
  ~Image() { nifti_image_free(image); }
};

}  // namespace

NiftiHeader parseNiftiHeader(const unsigned char* bytes, std::size_t size, bool pair,
                             const std::string& file) {
  // sizeof_hdr, 348 (NIfTI-1, Analyze) or 540 (NIfTI-2), tells the byte
  // order.
  NiftiHeader header;
  std::uint32_t length = 0;
  for (const bool bigEndian : {false, true}) {
    const std::uint32_t stated = size < 4 ? 0 : field<std::uint32_t>(bytes, 0, bigEndian);
    if (stated == 348 || stated == 540) {
      length = stated;
      header.bigEndian = bigEndian;
    }
  }
  if (length == 0) {
    failVolume(
        file,
        size < 4 ? "is too short for a NIfTI or Analyze header (" + std::to_string(size) + " bytes)"
                 : "does not begin with a NIfTI or Analyze header (sizeof_hdr is neither "
                   "348 nor 540)",
        Damaged);
  }
  if (size < length) {
    failVolume(file,
               "is too short for its header (" + std::to_string(size) + " of " +
                   std::to_string(length) + " bytes)",
               Damaged);
  }
  const bool two = length == 540;
  const Fields& at = two ? Nifti2Fields : Nifti1Fields;
  const bool bigEndian = header.bigEndian;
  const std::string magic(reinterpret_cast<const char*>(bytes + at.magic), at.magicBytes);
  const std::string version = two ? "2" : "1";
  const bool single = magic == std::string("n+" + version + '\0');
  const bool paired = magic == std::string("ni" + version + '\0');
  if (two && !single && !paired) {
    failVolume(file, "has no NIfTI-2 magic 'n+2' or 'ni2'", Damaged);
  }
  const bool analyze = !single && !paired;
  if (pair && single) {
    failVolume(file, "is the header of a single .nii file (magic 'n+" + version + "'), not a .hdr",
               "name it .nii");
  }
  if (!pair && paired) {
    failVolume(file, "is the header of a .hdr/.img pair, not a single .nii file",
               "name it .hdr, beside its .img");
  }
  if (!pair && analyze) {
    failVolume(file, "has no NIfTI-1 magic 'n+1' (an Analyze 7.5 header?)",
               "name an Analyze header .hdr, beside its .img");
  }
  const std::int64_t dimensions =
      two ? int64At(bytes, at.dims, bigEndian) : int16At(bytes, at.dims, bigEndian);
  if (dimensions < 3 || dimensions > 7) {
    failVolume(file,
               "has " + std::to_string(dimensions) +
                   " dimensions (dim[0]): a volume has 3 (or up to 7, of which the first volume "
                   "is meshed)",
               "mesh a volume of 3 to 7 dimensions");
  }
  std::vector<std::int64_t> sizes;
  for (int axis = 1; axis <= dimensions; ++axis) {
    sizes.push_back(two ? int64At(bytes, at.dims + 8 * axis, bigEndian)
                        : int16At(bytes, at.dims + 2 * axis, bigEndian));
  }
  const int datatype = int16At(bytes, at.datatype, bigEndian);
  if (!voxelType(datatype, header.volume.type)) {
    failVolume(file, "its datatype " + std::to_string(datatype) + " is not supported",
               "convert it to uint8, int8, uint16, int16, uint32, int32, float32 or float64");
  }
  const LatticeSize lattice = firstVolume(file, sizes, header.volume);
  header.bytes = lattice.bytes;
  header.volumes = lattice.volumes;
  // A single file's voxels follow the header and its 4 bytes of extension
  // flags; a pair's .img may start at 0.
  const double firstByte = pair ? 0.0 : length + 4.0;
  const double voxOffset =
      two ? static_cast<double>(int64At(bytes, 168, bigEndian)) : floatAt(bytes, 108, bigEndian);
  if (!(voxOffset >= firstByte && voxOffset < 9007199254740992.0) ||
      voxOffset != std::floor(voxOffset)) {
    failVolume(file,
               "its vox_offset " + std::to_string(voxOffset) +
                   (pair ? " is not a byte of its .img" : " is not a byte after the header"),
               Damaged);
  }
  header.dataOffset = static_cast<std::int64_t>(voxOffset);

  // The library swaps the header to this machine's order and works out the
  // index-to-world matrices.
  nifti_image* converted;
  if (two) {
    nifti_2_header raw;
    std::memcpy(&raw, bytes, sizeof raw);
    converted = nifti_convert_n2hdr2nim(raw, file.c_str());
  } else {
    nifti_1_header raw;
    std::memcpy(&raw, bytes, sizeof raw);
    // Analyze: whatever its last bytes hold, no NIfTI magic (the library
    // would read "n+4" as a NIfTI version it cannot swap, and overflow).
    if (analyze) std::memset(raw.magic, 0, sizeof raw.magic);
    converted = nifti_convert_n1hdr2nim(raw, file.c_str());
  }
  const Image image{converted};
  if (image.image == nullptr) failVolume(file, "the NIfTI library cannot read its header", Damaged);
  const nifti_image& nim = *image.image;
  VolumeGeometry& geometry = header.volume.geometry;
  const char* axesField = "pixdim";
  const char* originField = "pixdim";  // the origin is 0 then
  const bool sform = !analyze && nim.sform_code > 0;
  const bool qform = !analyze && !sform && nim.qform_code > 0;
  if (sform) {
    axesField = "sform (srow_x, srow_y, srow_z)";
    originField = "sform (srow_x, srow_y, srow_z)";
  } else if (qform) {
    axesField = "qform (quatern_b, quatern_c, quatern_d, pixdim)";
    originField = "qform (qoffset_x, qoffset_y, qoffset_z)";
  }
  if (sform || qform) {
    // NIfTI's sform and qform map voxels to RAS.
    header.volume.space = WorldSpace::Ras;
    const nifti_dmat44& m = sform ? nim.sto_xyz : nim.qto_xyz;
    for (int a = 0; a < 3; ++a) {
      geometry.origin[a] = m.m[a][3];
      for (int b = 0; b < 3; ++b) geometry.axes[a][b] = m.m[b][a];
    }
  } else if (analyze) {
    // Analyze states no orientation. nibabel (so FSL's and SPM's users)
    // takes it as RAS with x flipped (radiological storage), the voxel at
    // SPM's origin (originator: three 16-bit numbers, from 1, where they
    // lie within twice the size) at 0, else the volume's centre; the same
    // file's mesh then lies where theirs does.
    header.volume.space = WorldSpace::Ras;
    const double spacing[3] = {-nim.dx, nim.dy, nim.dz};
    std::int64_t origin[3];
    bool stated = false, plausible = true;
    for (int a = 0; a < 3; ++a) {
      origin[a] = int16At(bytes, 253 + 2 * a, bigEndian);
      stated = stated || origin[a] != 0;
      plausible = plausible && origin[a] > -sizes[a] && origin[a] < 2 * sizes[a];
    }
    for (int a = 0; a < 3; ++a) {
      const double centre =
          stated && plausible ? double(origin[a] - 1) : double(sizes[a] - 1) / 2.0;
      geometry.origin[a] = -centre * spacing[a];
      for (int b = 0; b < 3; ++b) geometry.axes[a][b] = a == b ? spacing[a] : 0.0;
    }
    originField = "originator";
  } else {
    const double spacing[3] = {nim.dx, nim.dy, nim.dz};
    for (int a = 0; a < 3; ++a) {
      geometry.origin[a] = 0.0;
      for (int b = 0; b < 3; ++b) geometry.axes[a][b] = a == b ? spacing[a] : 0.0;
    }
  }
  checkGeometry(file, geometry, axesField, originField);
  if (analyze) {
    std::string& notice = header.volume.notice;
    notice += (notice.empty() ? "" : "\n") + printableName(file) +
              " is Analyze 7.5, which has no orientation: placed as nibabel places it (RAS, x "
              "flipped, centred or at SPM's origin)";
  }
  // A slope of 0 means no scaling; the library has made non-finite ones 0.
  if (nim.scl_slope != 0.0) {
    header.volume.slope = nim.scl_slope;
    header.volume.offset = nim.scl_inter;
  }
  return header;
}

}  // namespace mcubes::internal
