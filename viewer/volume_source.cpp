#include <algorithm>
#include <cmath>
#include <limits>

#include "scene/scene.h"
#include "viewer/surface_source.h"

namespace {

std::int64_t voxelCount(const VolumeGeometry& geometry) {
  return geometry.dims[0] * geometry.dims[1] * geometry.dims[2];
}

// Every `stride`-th voxel of `volume` along each axis, from the first: a
// lattice of floor((d - 1) / stride) + 1 voxels along an axis of d, so that
// the last one stays on it, at the same origin with axes stride times as long.
std::shared_ptr<const InMemoryVolume> everyNthVoxel(const InMemoryVolume& volume,
                                                    std::int32_t stride) {
  VolumeHeader header = volume.header();
  const VolumeGeometry& fine = volume.header().geometry;
  VolumeGeometry& coarse = header.geometry;
  for (int a = 0; a < 3; ++a) {
    coarse.dims[a] = (fine.dims[a] - 1) / stride + 1;
    for (int b = 0; b < 3; ++b) coarse.axes[a][b] = fine.axes[a][b] * stride;
  }
  auto values = std::make_unique<double[]>(static_cast<std::size_t>(voxelCount(coarse)));
  double* out = values.get();
  for (std::int64_t k = 0; k < coarse.dims[2]; ++k) {
    for (std::int64_t j = 0; j < coarse.dims[1]; ++j) {
      const double* row = volume.values() + (k * stride * fine.dims[1] + j * stride) * fine.dims[0];
      for (std::int64_t i = 0; i < coarse.dims[0]; ++i) *out++ = row[i * stride];
    }
  }
  return std::make_shared<const InMemoryVolume>(header, std::move(values));
}

}  // namespace

const InMemoryVolume& VolumeSource::level(std::int32_t stride) {
  auto found = levels_.find(stride);
  if (found == levels_.end()) {
    found = levels_.emplace(stride, stride == 1 ? volume_ : everyNthVoxel(*volume_, stride)).first;
  }
  return *found->second;
}

VolumeSource::VolumeSource(std::shared_ptr<const InMemoryVolume> volume, int threads)
    : volume_(std::move(volume)) {
  options_.threads = threads;
  options_.normals = true;
  // Merging the vertices that the polygoniser snapped onto one voxel, as
  // mcubes mesh does for readers that merge by position, changes nothing in
  // the picture but faces without area.
  options_.mergeSnapped = false;
  const VolumeGeometry& geometry = volume_->header().geometry;
  levels_.emplace(1, volume_);

  // Coarser while every axis that has cells keeps at least two voxels (a
  // single voxel has no coarser level).
  std::int64_t shortest = std::numeric_limits<std::int64_t>::max();
  for (const std::int64_t d : geometry.dims) {
    if (d > 1) shortest = std::min(shortest, d - 1);
  }
  if (shortest == std::numeric_limits<std::int64_t>::max()) shortest = 1;
  while (coarsestStride_ < (1 << 30) && coarsestStride_ * std::int64_t{2} <= shortest) {
    coarsestStride_ *= 2;
  }

  double least = std::numeric_limits<double>::infinity();
  double most = -least;
  const double* values = volume_->values();
  for (std::int64_t i = 0; i < voxelCount(geometry); ++i) {
    if (std::isfinite(values[i])) {
      least = std::min(least, values[i]);
      most = std::max(most, values[i]);
    }
  }
  if (least < most) {
    fineStep_ = (most - least) / 100.0;
    middle_ = least + (most - least) / 2.0;
  } else if (least == most) {
    middle_ = least;
  }

  // The lattice's corners bound it in world space.
  double low[3], high[3];
  for (int a = 0; a < 3; ++a) {
    low[a] = std::numeric_limits<double>::infinity();
    high[a] = -low[a];
  }
  for (int corner = 0; corner < 8; ++corner) {
    for (int a = 0; a < 3; ++a) {
      double p = geometry.origin[a];
      for (int axis = 0; axis < 3; ++axis) {
        const bool far = (corner >> axis & 1) != 0;
        p += far ? static_cast<double>(geometry.dims[axis] - 1) * geometry.axes[axis][a] : 0.0;
      }
      low[a] = std::min(low[a], p);
      high[a] = std::max(high[a], p);
    }
  }
  double longest = 0.0;
  for (int a = 0; a < 3; ++a) {
    centre_[a] = low[a] + (high[a] - low[a]) / 2.0;
    longest = std::max(longest, high[a] - low[a]);
  }
  scale_ = longest > 0.0 ? GridExtent / longest : 1.0;
}

SurfaceDescription VolumeSource::describe() const {
  const VolumeGeometry& geometry = volume_->header().geometry;
  SurfaceDescription description;
  description.fineIsoStep = fineStep_;
  description.positiveIsoOnly = false;
  description.grid = SurfaceGrid::volumeVoxels;
  description.gridLabel = std::to_string(geometry.dims[0]) + "x" +
                          std::to_string(geometry.dims[1]) + "x" +
                          std::to_string(geometry.dims[2]) + " voxels";
  description.coarsestVoxelStride = coarsestStride_;
  return description;
}

bool VolumeSource::extract(const ViewState& state, IndexedMesh& mesh) {
  const InMemoryVolume& shown = level(std::clamp(state.voxelStride, 1, coarsestStride_));
  options_.isoLevel = state.iso.value();
  SurfaceReport report;
  mesh = volumeSurface(shown.header().geometry, shown.values(), options_, report);
  for (Point3& p : mesh.vertices) {
    p = Point3{static_cast<float>((p.x - centre_[0]) * scale_),
               static_cast<float>((p.y - centre_[1]) * scale_),
               static_cast<float>((p.z - centre_[2]) * scale_)};
  }
  // Capped, the surface is closed (voxels that are not finite count as below
  // the level, as outside the volume) unless it passes through voxels, where
  // it can touch itself.
  return report.findings.levelOnVoxels == 0;
}
