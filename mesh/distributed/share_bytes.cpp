#include "mesh/distributed/share_bytes.h"

#include <cstdint>
#include <type_traits>

#include "mesh/distributed/byte_stream.h"

namespace mcubes::internal {

namespace {

// Both ways through the same list of fields.
template <typename Stream, typename Share>
void fields(Stream& s, Share& share) {
  const auto each = [&](auto&... field) {
    if constexpr (std::is_same_v<Stream, ByteWriter>) {
      (s.put(field), ...);
    } else {
      (s.get(field), ...);
    }
  };
  each(share.first, share.last, share.findings, share.part.mesh.vertices, share.part.mesh.faces,
       share.part.mesh.normals, share.part.firstPlane, share.part.lastPlane, share.part.faceEdges,
       share.part.onPoints, share.soup.triangles, share.soup.normals);
}

}  // namespace

std::vector<char> shareBytes(const VolumeShare& share, const VolumeBoundary& boundary) {
  ByteWriter out;
  fields(out, share);
  if (share.first < share.last) out.put(boundary.slices(share.first, share.last));
  return std::move(out.bytes);
}

VolumeShare shareFromBytes(const std::vector<char>& bytes, VolumeBoundary& boundary) {
  ByteReader in(bytes);
  VolumeShare share;
  fields(in, share);
  if (share.first < share.last) {
    std::vector<double> faces;
    in.get(faces);
    boundary.recordSlices(share.first, share.last, faces);
  }
  return share;
}

}  // namespace mcubes::internal
