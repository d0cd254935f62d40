#include "volume/sample_volumes.h"

#include <cmath>
#include <functional>
#include <utility>

namespace mcubes::internal {

namespace {

constexpr double Pi = 3.14159265358979323846;

using Field = std::function<double(double x, double y, double z)>;

// A sample's voxels computed on demand from a field of world coordinates.
class ComputedVolume : public VolumeReader {
 public:
  ComputedVolume(const VolumeHeader& header, Field field)
      : header_(header), field_(std::move(field)) {}
  const VolumeHeader& header() const override { return header_; }

  void readSlices(std::int64_t count, double* out) override {
    const VolumeGeometry& g = header_.geometry;
    for (std::int64_t k = nextSlice_; k < nextSlice_ + count; ++k) {
      for (std::int64_t j = 0; j < g.dims[1]; ++j) {
        for (std::int64_t i = 0; i < g.dims[0]; ++i) {
          double p[3];
          for (int c = 0; c < 3; ++c) {
            p[c] = g.origin[c] + static_cast<double>(i) * g.axes[0][c] +
                   static_cast<double>(j) * g.axes[1][c] + static_cast<double>(k) * g.axes[2][c];
          }
          const double value = field_(p[0], p[1], p[2]);
          // Float samples hold what a float32 file gives back.
          *out++ = header_.type == VoxelType::Float32 ? static_cast<float>(value) : value;
        }
      }
    }
    nextSlice_ += count;
  }
  void skipSlices(std::int64_t count) override { nextSlice_ += count; }

 private:
  VolumeHeader header_;
  Field field_;
  std::int64_t nextSlice_ = 0;
};

VolumeHeader cube(std::int64_t size, VoxelType type, double origin, double spacing) {
  VolumeHeader header{};
  header.type = type;
  for (int a = 0; a < 3; ++a) {
    header.geometry.dims[a] = size;
    header.geometry.origin[a] = origin;
    for (int b = 0; b < 3; ++b) header.geometry.axes[a][b] = a == b ? spacing : 0.0;
  }
  return header;
}

// [-1, 1] along each axis, its ends on voxels.
VolumeHeader unitCube(std::int64_t size, VoxelType type) {
  return cube(size, type, -1.0, 2.0 / static_cast<double>(size - 1));
}

// VTK's Wavelet (vtkRTAnalyticSource) with its defaults: Maximum 255, Center
// 0, StandardDeviation 0.5, frequencies 60, 30, 40 and magnitudes 10, 18, 5,
// on voxels one unit apart over the extent -size/2 .. size/2 - 1 (at 21,
// VTK's default extent -10 .. 10). Coordinates are scaled by the extent's
// length, as VTK does.
std::unique_ptr<VolumeReader> wavelet(std::int64_t size) {
  const double first = -static_cast<double>(size / 2);
  const double length = static_cast<double>(size - 1);
  return std::make_unique<ComputedVolume>(
      cube(size, VoxelType::Float32, first, 1.0), [length](double px, double py, double pz) {
        const double x = (0.0 - px) / length, y = (0.0 - py) / length, z = (0.0 - pz) / length;
        const double spread = 1.0 / (2.0 * 0.5 * 0.5);
        return 255.0 * std::exp(-(x * x + y * y + z * z) * spread) + 10.0 * std::sin(60.0 * x) +
               18.0 * std::sin(30.0 * y) + 5.0 * std::cos(40.0 * z);
      });
}

// Marschner and Lobb's test signal ("An Evaluation of Reconstruction Filters
// for Volume Rendering", 1994), alpha 0.25, f_M 6, on [-1, 1]^3; its surface
// is at 0.5.
std::unique_ptr<VolumeReader> marschnerLobb(std::int64_t size) {
  return std::make_unique<ComputedVolume>(
      unitCube(size, VoxelType::Float32), [](double x, double y, double z) {
        const double alpha = 0.25, fm = 6.0;
        const double r = std::sqrt(x * x + y * y);
        const double rho = std::cos(2.0 * Pi * fm * std::cos(Pi * r / 2.0));
        return (1.0 - std::sin(Pi * z / 2.0) + alpha * (1.0 + rho)) / (2.0 * (1.0 + alpha));
      });
}

// Signed distances, negative inside.
std::unique_ptr<VolumeReader> sphere(std::int64_t size) {
  return std::make_unique<ComputedVolume>(
      unitCube(size, VoxelType::Float32),
      [](double x, double y, double z) { return std::sqrt(x * x + y * y + z * z) - 0.6; });
}

std::unique_ptr<VolumeReader> torus(std::int64_t size) {
  return std::make_unique<ComputedVolume>(unitCube(size, VoxelType::Float32),
                                          [](double x, double y, double z) {
                                            const double ring = std::sqrt(x * x + y * y) - 0.6;
                                            return std::sqrt(ring * ring + z * z) - 0.25;
                                          });
}

// Schoen's gyroid, one period per unit: two across the cube.
std::unique_ptr<VolumeReader> gyroid(std::int64_t size) {
  return std::make_unique<ComputedVolume>(
      unitCube(size, VoxelType::Float32), [](double x, double y, double z) {
        const double a = 2.0 * Pi * x, b = 2.0 * Pi * y, c = 2.0 * Pi * z;
        return std::sin(a) * std::cos(b) + std::sin(b) * std::cos(c) + std::sin(c) * std::cos(a);
      });
}

// A ball of radius 0.9 cut into five cells, each voxel labelled 1 to 5 by
// its nearest seed (the first on a tie), 0 outside: a centre cell wrapped by
// four that touch it and one another, as the cells of a segmentation do.
std::unique_ptr<VolumeReader> labels(std::int64_t size) {
  return std::make_unique<ComputedVolume>(unitCube(size, VoxelType::Uint8), [](double x, double y,
                                                                               double z) {
    static const double seeds[5][3] = {
        {0.0, 0.0, 0.0}, {0.5, 0.5, 0.5}, {0.5, -0.5, -0.5}, {-0.5, 0.5, -0.5}, {-0.5, -0.5, 0.5}};
    if (x * x + y * y + z * z > 0.9 * 0.9) return 0.0;
    int nearest = 0;
    double best = 0.0;
    for (int s = 0; s < 5; ++s) {
      const double dx = x - seeds[s][0], dy = y - seeds[s][1], dz = z - seeds[s][2];
      const double distance = dx * dx + dy * dy + dz * dz;
      if (s == 0 || distance < best) {
        nearest = s;
        best = distance;
      }
    }
    return static_cast<double>(nearest + 1);
  });
}

}  // namespace

const std::vector<SampleVolume>& sampleVolumes() {
  static const std::vector<SampleVolume> all = {
      {"wavelet", "VTK's Wavelet (its analytic source), float32, 37 to 277 at 21; try 160.5",
       wavelet},
      {"marschner-lobb", "Marschner and Lobb's test signal on [-1,1]^3, float32, 0 to 1; 0.5",
       marschnerLobb},
      {"sphere", "signed distance to a sphere of radius 0.6 on [-1,1]^3, float32; 0", sphere},
      {"torus", "signed distance to a torus, radii 0.6 and 0.25, on [-1,1]^3, float32; 0", torus},
      {"gyroid", "Schoen's gyroid, two periods across [-1,1]^3, float32, -1.5 to 1.5; 0.25",
       gyroid},
      {"labels", "a ball of five touching cells labelled 1 to 5, 0 outside, uint8; 0.5", labels},
  };
  return all;
}

std::unique_ptr<VolumeReader> openSampleVolume(const std::string& name, std::int64_t size) {
  for (const SampleVolume& sample : sampleVolumes()) {
    if (name == sample.name) return sample.open(size);
  }
  return nullptr;
}

}  // namespace mcubes::internal
