#include "mesh/distributed/volume_across.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "mesh/distributed/byte_stream.h"
#include "mesh/distributed/share_bytes.h"
#include "mesh/volume/volume_lattice.h"
#include "mesh/volume/volume_slabs.h"
#include "mesh/writers/binary_records.h"

namespace mcubes::internal {

namespace {

// This process's share of the volume's layers: [first, last).
struct LayerShare {
  std::int64_t first, last;
};

LayerShare shareOf(const VolumeGeometry& geometry, int rank, int size) {
  const std::int64_t layers = std::max<std::int64_t>(geometry.dims[2] - 1, 0);
  return {layers * rank / size, layers * (rank + 1) / size};
}

// The share of this process, meshed, its faces' voxels in `boundary`;
// progress shown for the whole job (process 0's share stands for all, and
// its line is the only one).
VolumeShare meshShare(Communicator& processes, VolumeReader& reader, const SurfaceOptions& options,
                      VolumeBoundary& boundary, const SurfaceProgress& progress) {
  const LayerShare layers = shareOf(reader.header().geometry, processes.rank(), processes.size());
  SurfaceProgress shown;
  if (progress) {
    shown = [&progress, size = processes.size()](const char* unit, std::int64_t done,
                                                 std::int64_t total) {
      progress(unit, done * size, total * size);
    };
  }
  VolumeShare share;
  processes.together(
      [&] { share = volumeShare(reader, layers.first, layers.last, options, boundary, shown); });
  return share;
}

// Every process's findings, on every process.
VolumeFindings findingsOfAll(Communicator& processes, const VolumeGeometry& geometry,
                             const VolumeFindings& mine) {
  const ProcessSums sums = processes.sums({static_cast<std::uint64_t>(mine.nonFiniteVoxels),
                                           static_cast<std::uint64_t>(mine.levelOnVoxels)});
  VolumeFindings all;
  all.cells = cellCount(geometry.dims);
  all.nonFiniteVoxels = static_cast<std::int64_t>(sums.all[0]);
  all.levelOnVoxels = static_cast<std::int64_t>(sums.all[1]);
  all.least = -processes.largest(-mine.least);
  all.most = processes.largest(mine.most);
  return all;
}

std::vector<char> bytesOf(const PlaneVertices& plane) {
  return bytesOfFields(plane.edges, plane.capEdges, plane.onPoints);
}

PlaneVertices planeFrom(const std::vector<char>& bytes) {
  PlaneVertices plane;
  readFields(bytes, plane.edges, plane.capEdges, plane.onPoints);
  return plane;
}

std::vector<char> bytesOf(const PlaneNumbers& numbers) {
  return bytesOfFields(numbers.numbers, numbers.positions);
}

PlaneNumbers numbersFrom(const std::vector<char>& bytes) {
  PlaneNumbers numbers;
  readFields(bytes, numbers.numbers, numbers.positions);
  return numbers;
}

std::vector<std::uint64_t> listed(const PieceCounts& counts) {
  return {counts.surface, counts.caps};
}

// The pieces of the shares that have layers, made together: the messages
// of mesh/distributed/volume_piece.h between neighbours, the sums over all.
MeshPiece weldedPiece(Communicator& processes, const VolumeGeometry& geometry, VolumeShare& share,
                      const VolumeBoundary& boundary, const SurfaceOptions& options) {
  const auto holdsLayers = [&](int rank) {
    const LayerShare layers = shareOf(geometry, rank, processes.size());
    return layers.first < layers.last;
  };
  const bool held = holdsLayers(processes.rank());
  int before = -1, after = -1;
  for (int rank = processes.rank() - 1; held && before < 0 && rank >= 0; --rank) {
    if (holdsLayers(rank)) before = rank;
  }
  for (int rank = processes.rank() + 1; held && after < 0 && rank < processes.size(); ++rank) {
    if (holdsLayers(rank)) after = rank;
  }
  // Every step that can fail here (a mesh too large to number) is taken
  // together, so that no process waits for one that has given up.
  std::optional<VolumePiece> piece;
  const auto step = [&](auto&& work) {
    processes.together([&] {
      if (held) work();
    });
  };
  const auto swap = [&](auto made, auto read, auto take) {
    const auto sent = [&](PieceSide side) {
      return held ? bytesOf(made(side)) : std::vector<char>();
    };
    const auto received = processes.swapWithNeighbours(before, after, sent(PieceSide::Before),
                                                       sent(PieceSide::After));
    step([&] {
      if (before >= 0) take(PieceSide::Before, read(received.first));
      if (after >= 0) take(PieceSide::After, read(received.second));
    });
  };

  step([&] { piece = sharePiece(geometry, share, boundary, options, before < 0, after < 0); });
  const ProcessSums own = processes.sums(held ? listed(piece->ownVertices()) : listed({}));
  step([&] { piece->numberVertices({own.before[0], own.before[1]}, own.all[0]); });
  swap([&](PieceSide side) { return piece->plane(side); }, planeFrom,
       [&](PieceSide side, const PlaneVertices& plane) { piece->takePlane(side, plane); });
  PieceCounts merged;
  step([&] { merged = piece->removedVertices(); });
  const ProcessSums removed = processes.sums(listed(merged));
  step([&] { piece->renumber({removed.before[0], removed.before[1]}, removed.all[0]); });
  swap(
      [&](PieceSide side) { return piece->finalNumbers(side); }, numbersFrom,
      [&](PieceSide side, const PlaneNumbers& numbers) { piece->takeFinalNumbers(side, numbers); });
  MeshPiece made;
  step([&] { made = piece->take(); });
  return made;
}

}  // namespace

IndexedMesh volumeMeshGathered(Communicator& processes, VolumeReader& reader,
                               const SurfaceOptions& options, SurfaceReport& report,
                               const SurfaceProgress& progress) {
  const VolumeGeometry& geometry = reader.header().geometry;
  VolumeBoundary boundary(geometry.dims);
  VolumeShare share = meshShare(processes, reader, options, boundary, progress);
  std::vector<std::vector<char>> bytes = processes.gatherToFirst(shareBytes(share, boundary));
  if (processes.rank() != 0) return {};
  std::vector<VolumeShare> shares;
  shares.push_back(std::move(share));
  for (std::size_t from = 1; from < bytes.size(); ++from) {
    shares.push_back(shareFromBytes(bytes[from], boundary));
    bytes[from] = {};
  }
  return joinVolumeShares(geometry, shares, boundary, options, report);
}

bool weldableInPieces(const VolumeGeometry& geometry, const SurfaceOptions& options) {
  return !options.welded || makeLattice(geometry, {}).distinctPoints;
}

MeshPiece volumeMeshPiece(Communicator& processes, VolumeReader& reader,
                          const SurfaceOptions& options, SurfaceReport& report,
                          const SurfaceProgress& progress) {
  const VolumeGeometry& geometry = reader.header().geometry;
  const LayerShare layers = shareOf(geometry, processes.rank(), processes.size());
  VolumeBoundary boundary(geometry.dims, layers.first, layers.last);
  VolumeShare share = meshShare(processes, reader, options, boundary, progress);
  report.findings = findingsOfAll(processes, geometry, share.findings);
  // The faces' voxels of every process's slices inside: the caps cover the
  // whole box.
  const bool held = layers.first < layers.last;
  const ProcessSums outside =
      processes.sums({held && !boundary.allInside(options.isoLevel, options.inside) ? 1u : 0u});
  report.facesAllInside =
      options.welded && options.closed && report.findings.cells > 0 && outside.all[0] == 0;
  if (!options.welded) {
    const ProcessSums triangles = processes.sums({share.soup.triangles.size()});
    MeshPiece piece;
    processes.together([&] { piece = unweldedPiece(geometry, share, triangles.before[0]); });
    return piece;
  }
  return weldedPiece(processes, geometry, share, boundary, options);
}

void writePieces(Communicator& processes, const std::string& path, MeshFormat format,
                 const std::string& comment, const MeshPiece& piece, bool normals) {
  const IndexedMesh& mesh = piece.mesh;
  const std::size_t capFaces = mesh.faces.size() - piece.surfaceFaces;
  const ProcessSums faces = processes.sums({piece.surfaceFaces, capFaces});
  const ProcessSums vertices = processes.sums({piece.surfaceVertices + piece.capVertices});
  const std::uint64_t allFaces = faces.all[0] + faces.all[1];
  const bool first = processes.rank() == 0;
  processes.writeTogether(path, [&](SharedFile& file) {
    // Records from `at` on, written in batches.
    const auto records = [&](std::uint64_t at, std::size_t bytes) {
      return std::make_unique<RecordWriter>(
          [&file, at](const unsigned char* batch, std::size_t size) mutable {
            file.writeAt(at, batch, size);
            at += size;
            return true;
          },
          bytes);
    };
    // The surface's faces after those of the pieces before, then the caps'
    // after every surface face and the caps of the pieces before.
    const std::uint64_t faceAt[2] = {faces.before[0], faces.all[0] + faces.before[1]};
    const std::size_t faceEnd[2] = {piece.surfaceFaces, mesh.faces.size()};
    if (format == MeshFormat::Stl) {
      if (first) {
        unsigned char header[StlHeaderBytes];
        putStlHeader(header, comment, allFaces);
        file.writeAt(0, header, sizeof header);
      }
      for (std::size_t part = 0, f = 0; part < 2; ++part) {
        const auto facets = records(StlHeaderBytes + faceAt[part] * StlFacetBytes, StlFacetBytes);
        for (; f < faceEnd[part]; ++f) {
          const auto& face = mesh.faces[f];
          putStlFacet(facets->next(), mesh.vertices[face[0]], mesh.vertices[face[1]],
                      mesh.vertices[face[2]]);
        }
        facets->finish();
      }
      return;
    }
    const std::string header =
        plyHeader(comment, vertices.all[0], allFaces, normals, PlyEncoding::Binary);
    if (first) file.writeAt(0, header.data(), header.size());
    // Own vertices are numbered in two runs: the surface's, the caps'.
    const std::size_t vertexBytes = plyVertexBytes(normals);
    const std::size_t vertexEnd[2] = {piece.surfaceVertices,
                                      piece.surfaceVertices + piece.capVertices};
    for (std::size_t part = 0, v = 0; part < 2; ++part) {
      if (v == vertexEnd[part]) continue;
      const auto run =
          records(header.size() + std::uint64_t{piece.numbers[v]} * vertexBytes, vertexBytes);
      for (; v < vertexEnd[part]; ++v) {
        putPlyVertex(run->next(), mesh.vertices[v], normals ? &mesh.normals[v] : nullptr);
      }
      run->finish();
    }
    const std::uint64_t facesAt = header.size() + vertices.all[0] * vertexBytes;
    for (std::size_t part = 0, f = 0; part < 2; ++part) {
      const auto run = records(facesAt + faceAt[part] * PlyFaceBytes, PlyFaceBytes);
      for (; f < faceEnd[part]; ++f) {
        const auto& face = mesh.faces[f];
        putPlyFace(run->next(),
                   {piece.numbers[face[0]], piece.numbers[face[1]], piece.numbers[face[2]]});
      }
      run->finish();
    }
  });
}

}  // namespace mcubes::internal
