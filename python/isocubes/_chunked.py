"""zarr and dask arrays meshed piece by piece: each run of layers (the cells
between consecutive indices along axis 0) of a chunk along axis 0, from the
slices it needs (the chunk and one more, with normals one more on each
side), then the pieces joined into the whole array's mesh, bit for bit.
A dask array's pieces are dask tasks, so whatever scheduler dask uses
(threads, processes, a dask.distributed cluster) makes them; the pieces
travel to the caller as bytes. Chunks along the other axes are merged:
a piece reads whole slices."""

import numpy as np

from . import _arguments as arguments
from . import _isocubes


def _top_module(value):
    return type(value).__module__.partition(".")[0]


def is_dask(volume):
    return _top_module(volume) == "dask" and hasattr(volume, "__dask_graph__")


def chunk_sizes(volume):
    """The sizes of a zarr or dask array's chunks along axis 0, or None for
    any other volume (and for arrays too small to cut: those go whole)."""
    if is_dask(volume):
        sizes = tuple(int(size) for size in volume.chunks[0])
    elif _top_module(volume) == "zarr" and isinstance(getattr(volume, "chunks", None), tuple):
        depth, size = int(volume.shape[0]), int(volume.chunks[0])
        sizes = tuple(min(size, depth - start) for start in range(0, depth, size))
    else:
        return None
    if len(volume.shape) != 3 or min(volume.shape) < 1 or volume.shape[0] < 2:
        return None
    return sizes


def layer_runs(sizes):
    """The runs of layers [first, last), one per chunk along axis 0 that
    holds a layer: a chunk's slices start its layers."""
    layers = sum(sizes) - 1
    runs, first = [], 0
    for size in sizes:
        last = min(first + size, layers)
        if first < last:
            runs.append((first, last))
        first += size
    return runs


def _extremes(slab):
    array = arguments.voxels(slab)
    return float(np.nanmin(array)), float(np.nanmax(array))


def _piece(slab, shape, run, placement, options):
    return _isocubes.mesh_piece(arguments.voxels(slab), shape, *run, *placement, options)


def mid_range(volume, sizes):
    """scikit-image's default level over every chunk."""
    cuts = np.cumsum((0,) + sizes)
    slabs = [volume[a:b] for a, b in zip(cuts[:-1], cuts[1:])]
    if is_dask(volume):
        import dask
        extremes = dask.compute(*(dask.delayed(_extremes, pure=True)(slab) for slab in slabs))
    else:
        extremes = [_extremes(slab) for slab in slabs]
    return (min(low for low, _ in extremes) + max(high for _, high in extremes)) / 2


def marching_cubes(volume, sizes, level, placement, options, progress):
    """The mesh of a zarr or dask array cut into chunks of `sizes` along
    axis 0: the tuple the binding's marching_cubes returns."""
    shape = tuple(int(n) for n in volume.shape)
    runs = layer_runs(sizes)
    settings = (level,) + options
    normals = options[2]
    slices = [_isocubes.piece_slices(shape, first, last, normals) for first, last in runs]
    if is_dask(volume):
        import dask
        tasks = [
            dask.delayed(_piece, pure=True)(volume[a:b], shape, run, placement, settings)
            for run, (a, b) in zip(runs, slices)
        ]
        pieces = list(dask.compute(*tasks))
    else:
        pieces = []
        for run, (a, b) in zip(runs, slices):
            pieces.append(_piece(np.asarray(volume[a:b]), shape, run, placement, settings))
            if progress is not None:
                progress(run[1], runs[-1][1])
    return _isocubes.join_pieces(shape, pieces, *placement, settings)
