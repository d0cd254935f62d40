#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <new>
#include <string>

#include "scene/scene.h"
#include "viewer/surface_source.h"
#include "volume/label_styles.h"
#include "volume/otsu_level.h"

using namespace mcubes::internal;

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
  const std::lock_guard<std::mutex> lock(levelsMutex_);
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
  if (least <= most) {
    least_ = least;
    most_ = most;
  }
  if (least < most) fineStep_ = (most - least) / 100.0;

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
  for (int a = 0; a < 3; ++a) {
    frameLow_[a] = (low[a] - centre_[a]) * scale_;
    frameHigh_[a] = (high[a] - centre_[a]) * scale_;
  }
}

int VolumeSource::voxelAxisAlong(int a) const {
  const VolumeGeometry& geometry = volume_->header().geometry;
  int along = a;
  for (int v = 0; v < 3; ++v) {
    if (std::fabs(geometry.axes[v][a]) > std::fabs(geometry.axes[along][a])) along = v;
  }
  return along;
}

void VolumeSource::toFrame(IndexedMesh& mesh) const {
  for (Point3& p : mesh.vertices) {
    p = Point3{static_cast<float>((p.x - centre_[0]) * scale_),
               static_cast<float>((p.y - centre_[1]) * scale_),
               static_cast<float>((p.z - centre_[2]) * scale_)};
  }
}

void VolumeSource::showLabels(const std::vector<std::int64_t>& asked,
                              std::vector<std::int64_t>& absent) {
  labelsAsked_ = asked;
  labelMap_ = true;
  const std::vector<LabelMesh>& meshes = labelMeshes(true);
  absent.clear();
  for (const std::int64_t label : asked) {
    if (std::none_of(meshes.begin(), meshes.end(),
                     [label](const LabelMesh& m) { return m.label.value == label; })) {
      absent.push_back(label);
    }
  }
}

const std::vector<VolumeSource::LabelMesh>& VolumeSource::labelMeshes(bool caps) {
  std::vector<LabelMesh>& meshes = labels_[caps ? 1 : 0];
  if (labelsBuilt_[caps ? 1 : 0]) return meshes;
  // The extraction reads the volume as a reader does, from its first slice.
  const VolumeHeader& header = volume_->header();
  const std::size_t count = static_cast<std::size_t>(voxelCount(header.geometry));
  auto values = std::make_unique<double[]>(count);
  std::copy(volume_->values(), volume_->values() + count, values.get());
  InMemoryVolume reader(header, std::move(values));
  SurfaceOptions options = options_;
  options.closed = caps;
  SurfaceReport report;
  std::vector<LabelSurface> surfaces = labelSurfaces(reader, labelsAsked_, options, report);
  const LabelStyles styles(header);
  meshes.clear();
  for (LabelSurface& surface : surfaces) {
    const LabelStyle style = styles(surface.label);
    toFrame(surface.mesh);
    meshes.push_back({{surface.label, style.name, true}, style.colour, std::move(surface.mesh)});
  }
  labelsBuilt_[caps ? 1 : 0] = true;
  return meshes;
}

bool VolumeSource::slice(int axis, double fraction, SliceImage& image) const {
  const VolumeGeometry& geometry = volume_->header().geometry;
  const int across = voxelAxisAlong(axis);
  // The picture's axes: the other two voxel axes, in order.
  const int u = across == 0 ? 1 : 0;
  const int v = across == 2 ? 1 : 2;
  std::int64_t index = std::llround(fraction * static_cast<double>(geometry.dims[across] - 1));
  if (geometry.axes[across][axis] < 0.0) index = geometry.dims[across] - 1 - index;
  index = std::clamp<std::int64_t>(index, 0, geometry.dims[across] - 1);
  const auto powerOfTwo = [](std::int64_t n) {
    int side = 1;
    while (side < n && side < 1024) side *= 2;
    return side;
  };
  image.width = powerOfTwo(geometry.dims[u]);
  image.height = powerOfTwo(geometry.dims[v]);
  image.grey.resize(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
  const double window = most_ > least_ ? most_ - least_ : 1.0;
  std::int64_t stride[3] = {1, geometry.dims[0], geometry.dims[0] * geometry.dims[1]};
  std::uint8_t* out = image.grey.data();
  for (int y = 0; y < image.height; ++y) {
    // Nearest voxel to the middle of the picture's pixel.
    const std::int64_t j = (2 * y + 1) * geometry.dims[v] / (2 * image.height);
    for (int x = 0; x < image.width; ++x) {
      const std::int64_t i = (2 * x + 1) * geometry.dims[u] / (2 * image.width);
      const double value =
          volume_->values()[index * stride[across] + i * stride[u] + j * stride[v]];
      const double grey = std::isfinite(value) ? (value - least_) / window * 255.0 : 0.0;
      *out++ = static_cast<std::uint8_t>(std::clamp(std::lround(grey), 0l, 255l));
    }
  }
  // The quad spans the voxel centres of the slice.
  for (int corner = 0; corner < 4; ++corner) {
    const bool farU = corner == 1 || corner == 2;
    const bool farV = corner >= 2;
    double p[3];
    for (int a = 0; a < 3; ++a) {
      p[a] = geometry.origin[a] + static_cast<double>(index) * geometry.axes[across][a] +
             (farU ? static_cast<double>(geometry.dims[u] - 1) * geometry.axes[u][a] : 0.0) +
             (farV ? static_cast<double>(geometry.dims[v] - 1) * geometry.axes[v][a] : 0.0);
      p[a] = (p[a] - centre_[a]) * scale_;
    }
    image.corners[corner] =
        Point3{static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2])};
  }
  return true;
}

VolumeSource::StartLevel VolumeSource::startLevel() const {
  const OtsuLevel otsu = otsuLevel(volume_->header(), volume_->values());
  char text[256];
  if (std::isnan(otsu.level)) {
    const double middle = least_ + (most_ - least_) / 2.0;
    std::snprintf(text, sizeof text, "the middle of the data's range: no threshold splits it");
    return {middle, text};
  }
  std::snprintf(text, sizeof text,
                "Otsu's threshold: %lld voxels below it (mean %.6g), %lld above (mean %.6g)",
                static_cast<long long>(otsu.below), otsu.meanBelow,
                static_cast<long long>(otsu.finiteVoxels - otsu.below), otsu.meanAbove);
  return {otsu.level, text};
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
  description.coarsestVoxelStride = labelMap_ ? 1 : coarsestStride_;
  for (int a = 0; a < 3; ++a) {
    description.boxLow[a] = frameLow_[a];
    description.boxHigh[a] = frameHigh_[a];
    description.clipSteps[a] =
        static_cast<std::int32_t>(std::max<std::int64_t>(1, geometry.dims[voxelAxisAlong(a)] - 1));
  }
  if (labelMap_) {
    for (const LabelMesh& mesh : labels_[1]) description.labels.push_back(mesh.label);
  }
  return description;
}

bool VolumeSource::extract(const ViewState& state, IndexedMesh& mesh, std::vector<Rgb>& colours) {
  colours.clear();
  if (labelMap_) {
    mesh = {};
    for (const LabelMesh& part : labelMeshes(state.caps)) {
      const auto shown =
          std::find_if(state.labels.begin(), state.labels.end(),
                       [&](const ShownLabel& l) { return l.value == part.label.value; });
      if (shown != state.labels.end() && !shown->visible) continue;
      const auto base = static_cast<std::uint32_t>(mesh.vertices.size());
      mesh.vertices.insert(mesh.vertices.end(), part.mesh.vertices.begin(),
                           part.mesh.vertices.end());
      mesh.normals.insert(mesh.normals.end(), part.mesh.normals.begin(), part.mesh.normals.end());
      for (const auto& f : part.mesh.faces) {
        mesh.faces.push_back({f[0] + base, f[1] + base, f[2] + base});
      }
      colours.resize(mesh.vertices.size(), part.colour);
    }
    // Labels side by side can share faces and hide each other's; each is
    // closed only with its caps.
    return state.caps;
  }
  const InMemoryVolume& shown = level(std::clamp(state.voxelStride, 1, coarsestStride_));
  SurfaceOptions options = options_;
  options.isoLevel = state.iso.value();
  options.closed = state.caps;
  SurfaceReport report;
  mesh = volumeSurface(shown.header().geometry, shown.values(), options, report);
  toFrame(mesh);
  // Capped, the surface is closed (voxels that are not finite count as below
  // the level, as outside the volume) unless it passes through voxels, where
  // it can touch itself.
  return state.caps && report.findings.levelOnVoxels == 0;
}

std::shared_ptr<VolumeSource> loadVolumeSource(VolumeReader& reader, int threads) {
  const VolumeHeader& header = reader.header();
  const std::int64_t voxels = voxelCount(header.geometry);
  std::unique_ptr<double[]> values;
  try {
    values.reset(new double[static_cast<std::size_t>(voxels)]);
  } catch (const std::bad_alloc&) {
    throw VolumeError("the volume does not fit in memory (" + std::to_string(voxels) +
                      " voxels as doubles): the viewer holds it whole");
  }
  reader.readSlices(header.geometry.dims[2], values.get());
  return std::make_shared<VolumeSource>(
      std::make_shared<const InMemoryVolume>(header, std::move(values)), threads);
}
