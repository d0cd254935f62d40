#include "tools/share_bytes.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <type_traits>

namespace {

class Writer {
 public:
  template <typename T>
  void put(const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    const char* from = reinterpret_cast<const char*>(&value);
    bytes.insert(bytes.end(), from, from + sizeof value);
  }
  template <typename T>
  void put(const std::vector<T>& values) {
    // Pairs are copied as bytes, too.
    static_assert(std::is_trivially_copy_constructible_v<T>);
    put(static_cast<std::uint64_t>(values.size()));
    const char* from = reinterpret_cast<const char*>(values.data());
    bytes.insert(bytes.end(), from, from + values.size() * sizeof(T));
  }
  std::vector<char> bytes;
};

class Reader {
 public:
  explicit Reader(const std::vector<char>& bytes) : bytes_(bytes) {}
  template <typename T>
  void get(T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    take(&value, sizeof value);
  }
  template <typename T>
  void get(std::vector<T>& values) {
    static_assert(std::is_trivially_copy_constructible_v<T>);
    std::uint64_t size = 0;
    get(size);
    if (size > (bytes_.size() - at_) / sizeof(T)) throw std::runtime_error("a share ends early");
    values.resize(static_cast<std::size_t>(size));
    take(values.data(), values.size() * sizeof(T));
  }

 private:
  void take(void* to, std::size_t size) {
    if (size > bytes_.size() - at_) throw std::runtime_error("a share ends early");
    if (size == 0) return;  // an empty vector's data() may be null
    std::memcpy(to, bytes_.data() + at_, size);
    at_ += size;
  }
  const std::vector<char>& bytes_;
  std::size_t at_ = 0;
};

// Both ways through the same list of fields.
template <typename Stream, typename Share>
void fields(Stream& s, Share& share) {
  const auto each = [&](auto&... field) {
    if constexpr (std::is_same_v<Stream, Writer>) {
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
  Writer out;
  fields(out, share);
  if (share.first < share.last) out.put(boundary.slices(share.first, share.last));
  return std::move(out.bytes);
}

VolumeShare shareFromBytes(const std::vector<char>& bytes, VolumeBoundary& boundary) {
  Reader in(bytes);
  VolumeShare share;
  fields(in, share);
  if (share.first < share.last) {
    std::vector<double> faces;
    in.get(faces);
    boundary.recordSlices(share.first, share.last, faces);
  }
  return share;
}
