#include "mesh/weld.h"

#include <cmath>
#include <cstring>

Triangle outwardFace(const Triangle& triangle) {
  return {{triangle.vertices[0], triangle.vertices[2], triangle.vertices[1]}};
}

namespace {

double squaredDistance(const Point3& a, const Point3& b) {
  const double dx = static_cast<double>(a.x) - b.x;
  const double dy = static_cast<double>(a.y) - b.y;
  const double dz = static_cast<double>(a.z) - b.z;
  return dx * dx + dy * dy + dz * dz;
}

// Buckets two weld distances wide: the points within one weld distance of a
// vertex lie in at most two buckets per axis, eight in all. Keys stay doubles
// so that no coordinate can overflow them; +0.0 is added so that -0.0 and 0.0
// are one key.
struct BucketKey {
  double cell[3];
  bool operator==(const BucketKey& other) const {
    return cell[0] == other.cell[0] && cell[1] == other.cell[1] && cell[2] == other.cell[2];
  }
};

std::uint64_t hashOf(const BucketKey& key) {
  std::uint64_t hash = 0;
  for (const double c : key.cell) {
    std::uint64_t bits;
    std::memcpy(&bits, &c, sizeof bits);
    hash = (hash ^ bits) * 0x9e3779b97f4a7c15ull;
    hash ^= hash >> 29;
  }
  return hash;
}

constexpr std::uint32_t None = 0xffffffffu;

// Vertices by bucket, in an open-addressed table of bucket heads; each
// bucket's vertices are chained through `next_`, newest first.
class Welder {
 public:
  Welder(IndexedMesh& mesh, double distance)
      : mesh_(mesh), distance_(distance), size_(2.0 * distance), slots_(1024) {}

  std::uint32_t indexOf(const Point3& p) {
    const auto next = static_cast<std::uint32_t>(mesh_.vertices.size());
    std::uint32_t earliest = next;
    // Per axis the one to three buckets (three only where rounding widens
    // the span) that points within the weld distance can lie in.
    double first[3];
    int count[3];
    const double coordinates[3] = {p.x, p.y, p.z};
    for (int axis = 0; axis < 3; ++axis) {
      first[axis] = std::floor((coordinates[axis] - distance_) / size_) + 0.0;
      const double span = std::floor((coordinates[axis] + distance_) / size_) - first[axis];
      count[axis] = span >= 1.0 ? (span >= 2.0 ? 3 : 2) : 1;
    }
    for (int dx = 0; dx < count[0]; ++dx) {
      for (int dy = 0; dy < count[1]; ++dy) {
        for (int dz = 0; dz < count[2]; ++dz) {
          const BucketKey key = {{first[0] + dx, first[1] + dy, first[2] + dz}};
          for (std::uint32_t v = slots_[find(key)].head; v != None; v = next_[v]) {
            if (v < earliest && squaredDistance(mesh_.vertices[v], p) < distance_ * distance_) {
              earliest = v;
            }
          }
        }
      }
    }
    if (earliest == next) add(p);
    return earliest;
  }

 private:
  struct Slot {
    BucketKey key;
    std::uint32_t head = None;  // None: the slot is empty
  };

  BucketKey keyOf(const Point3& p) const {
    return {{std::floor(p.x / size_) + 0.0, std::floor(p.y / size_) + 0.0,
             std::floor(p.z / size_) + 0.0}};
  }

  // The slot holding `key`, or the empty slot where it would go.
  std::size_t find(const BucketKey& key) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t s = hashOf(key) & mask;
    while (slots_[s].head != None && !(slots_[s].key == key)) s = (s + 1) & mask;
    return s;
  }

  void add(const Point3& p) {
    const auto index = static_cast<std::uint32_t>(mesh_.vertices.size());
    mesh_.vertices.push_back(p);
    Slot& slot = slots_[find(keyOf(p))];
    if (slot.head == None) {
      slot.key = keyOf(p);
      ++used_;
    }
    next_.push_back(slot.head);
    slot.head = index;
    if (2 * used_ > slots_.size()) grow();
  }

  void grow() {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    for (const Slot& slot : old) {
      if (slot.head != None) slots_[find(slot.key)] = slot;
    }
  }

  IndexedMesh& mesh_;
  double distance_;
  double size_;
  std::vector<Slot> slots_;  // a power of two, at most half used
  std::size_t used_ = 0;
  std::vector<std::uint32_t> next_;  // per vertex: the next older one in its bucket
};

}  // namespace

IndexedMesh weldTriangles(const std::vector<Triangle>& triangles, double weldDistance,
                          const std::function<void(std::size_t done)>& progress) {
  IndexedMesh mesh;
  Welder welder(mesh, weldDistance);
  for (std::size_t t = 0; t < triangles.size(); ++t) {
    if (progress && t % 65536 == 0) progress(t);
    const Triangle face = outwardFace(triangles[t]);
    const std::array<std::uint32_t, 3> indices = {welder.indexOf(face.vertices[0]),
                                                  welder.indexOf(face.vertices[1]),
                                                  welder.indexOf(face.vertices[2])};
    if (indices[0] != indices[1] && indices[1] != indices[2] && indices[2] != indices[0]) {
      mesh.faces.push_back(indices);
    }
  }
  return mesh;
}
