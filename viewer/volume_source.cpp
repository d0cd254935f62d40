#include <algorithm>
#include <cmath>
#include <limits>

#include "scene/scene.h"
#include "viewer/surface_source.h"

namespace {

std::int64_t voxelCount(const VolumeGeometry& geometry) {
  return geometry.dims[0] * geometry.dims[1] * geometry.dims[2];
}

}  // namespace

VolumeSource::VolumeSource(std::shared_ptr<const InMemoryVolume> volume, int threads)
    : volume_(std::move(volume)), boundary_(volume_->header().geometry.dims) {
  settings_.threads = threads;
  settings_.edgeKeys = true;  // welding needs them
  settings_.normals = true;
  const VolumeGeometry& geometry = volume_->header().geometry;
  const std::int64_t sliceSize = geometry.dims[0] * geometry.dims[1];
  // The faces' voxels do not depend on the level: recorded once.
  for (std::int64_t k = 0; k < geometry.dims[2]; ++k) {
    boundary_.record(k, volume_->values() + k * sliceSize);
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

std::string VolumeSource::fixedGrid() const {
  const VolumeGeometry& geometry = volume_->header().geometry;
  return std::to_string(geometry.dims[0]) + "x" + std::to_string(geometry.dims[1]) + "x" +
         std::to_string(geometry.dims[2]) + " voxels";
}

bool VolumeSource::extract(const ViewState& state, IndexedMesh& mesh) {
  const VolumeGeometry& geometry = volume_->header().geometry;
  settings_.isoLevel = state.iso.value();
  VolumeFindings findings;
  extractVolumeInto(geometry, volume_->values(), settings_, extracted_, findings, {}, &scratch_);
  if (findings.cells > 0) {
    appendBoundaryCells(geometry, boundary_, settings_.isoLevel, true, extracted_);
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
