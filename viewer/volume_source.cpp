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

VolumeSource::Lattice::Lattice(std::shared_ptr<const InMemoryVolume> voxels)
    : volume(std::move(voxels)), boundary(volume->header().geometry.dims) {
  const VolumeGeometry& geometry = volume->header().geometry;
  const std::int64_t sliceSize = geometry.dims[0] * geometry.dims[1];
  for (std::int64_t k = 0; k < geometry.dims[2]; ++k) {
    boundary.record(k, volume->values() + k * sliceSize);
  }
}

const VolumeSource::Lattice& VolumeSource::lattice(std::int32_t stride) {
  auto found = lattices_.find(stride);
  if (found == lattices_.end()) {
    found =
        lattices_.emplace(stride, Lattice(stride == 1 ? volume_ : everyNthVoxel(*volume_, stride)))
            .first;
  }
  return found->second;
}

VolumeSource::VolumeSource(std::shared_ptr<const InMemoryVolume> volume, int threads)
    : volume_(std::move(volume)) {
  settings_.threads = threads;
  settings_.edgeKeys = true;  // welding needs them
  settings_.normals = true;
  const VolumeGeometry& geometry = volume_->header().geometry;
  lattice(1);

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
  const Lattice& shown = lattice(std::clamp(state.voxelStride, 1, coarsestStride_));
  const VolumeGeometry& geometry = shown.volume->header().geometry;
  settings_.isoLevel = state.iso.value();
  VolumeFindings findings;
  extractVolumeInto(geometry, shown.volume->values(), settings_, extracted_, findings, {},
                    &scratch_);
  if (findings.cells > 0) {
    appendBoundaryCells(geometry, shown.boundary, settings_.isoLevel, true, extracted_);
  }
  // Welded by edge, the surface is closed. Merging the vertices that the
  // polygoniser snapped onto one voxel, as mcubes mesh does for readers that
  // merge by position, would cost about as much again as the welding and
  // change nothing in the picture but faces without area.
  mesh = weldSurface(extracted_);
  if (isMirrored(geometry)) reverseFaces(mesh);
  for (Point3& p : mesh.vertices) {
    p = Point3{static_cast<float>((p.x - centre_[0]) * scale_),
               static_cast<float>((p.y - centre_[1]) * scale_),
               static_cast<float>((p.z - centre_[2]) * scale_)};
  }
  // Capped, the surface is closed unless voxels the extraction skips (not
  // finite) leave holes, or it passes through voxels, where it can touch
  // itself.
  return findings.nonFiniteVoxels == 0 && findings.levelOnVoxels == 0;
}
