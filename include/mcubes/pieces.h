// A volume meshed in pieces, each from a run of its layers (layer k: the
// cells between slices k and k + 1) wherever it is made (a thread, a
// process, a task of a cluster), then the pieces joined into the mesh that
// meshVolume makes of the whole volume, bit for bit: the same vertices and
// faces in the same order, the same findings. A piece reads only the slices
// it needs (pieceSlices), carries the faces' voxels of its slices so that
// the caps close the volume at its faces only, and travels as bytes between
// processes of the same build on the same kind of machine.
//
//   for each run [first, last) of layers, in order, covering 0 to dims[2] - 1:
//     const SliceRange slices = pieceSlices(geometry, first, last, options);
//     pieces.push_back(meshPiece(geometry, slab of those slices, first, last, options));
//   MeshResult whole = joinPieces(geometry, std::move(pieces), options);
#pragma once

#include <cstdint>
#include <vector>

#include "mcubes/meshing.h"
#include "mcubes/surface.h"
#include "mcubes/volume.h"

namespace mcubes {

// Slices [first, last) of a volume, along its k axis.
struct SliceRange {
  std::int64_t first, last;
};

// The slices the piece of layers [firstLayer, lastLayer) of the volume
// `geometry` places reads: those the layers span, and one more on each side
// where the volume has it for normals. Throws ArgumentError for layers
// beyond the volume's (it has dims[2] - 1) or a range that is not one.
SliceRange pieceSlices(const Geometry& geometry, std::int64_t firstLayer, std::int64_t lastLayer,
                       const SurfaceOptions& options);

// The piece of layers [firstLayer, lastLayer), as bytes: `slab` holds the
// voxels of the slices pieceSlices names, read in place (its dims those of
// the volume along i and j, and as many slices). options.progress is told
// the piece's layers. Throws ArgumentError for a slab of other dims or
// options out of range, Cancelled where the progress callback stopped it.
std::vector<char> meshPiece(const Geometry& geometry, const ArrayView& slab,
                            std::int64_t firstLayer, std::int64_t lastLayer,
                            const SurfaceOptions& options);

// The pieces of every layer in order, made with the same options, joined:
// meshVolume's result for the whole volume as an ArraySource with these
// options. Each piece's bytes are freed once read. Throws ArgumentError
// where the pieces do not follow one another from layer 0 to the last, are
// not pieces of this volume, or were made with other options.
MeshResult joinPieces(const Geometry& geometry, std::vector<std::vector<char>> pieces,
                      const SurfaceOptions& options);

}  // namespace mcubes
