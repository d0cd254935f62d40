"""finish: the steps users of scans apply to a surface."""

from . import _arguments as arguments
from . import _isocubes


def finish(vertices, faces, normals=None, *, keep_largest=False, min_component=0, smooth=0,
           passband=0.1, decimate=1.0, volume_shape=None, spacing=None, origin=None,
           affine=None):
    """The finishing steps `mcubes mesh` offers, in its order.

    keep_largest: only the connected part with the most triangles stays.
    min_component: parts of fewer triangles go.
    smooth: iterations of windowed-sinc smoothing, which does not shrink
        (10 to 50 is usual); passband, above 0 and below 2: lower smooths
        more.
    decimate: the fraction of triangles to keep, above 0 and at most 1.
    volume_shape, spacing, origin or affine: the volume the mesh came from
        (its shape, and where its voxels lie, as given to marching_cubes),
        whose faces the caps stay on when smoothing.

    Normals, where given, are recomputed from the faces where vertices
    moved. Returns (vertices, faces, normals) as marching_cubes does.
    """
    shape = None if volume_shape is None else tuple(int(n) for n in volume_shape)
    if shape is not None and len(shape) != 3:
        raise ValueError(f"volume_shape must be the volume's shape, three numbers, not "
                         f"{len(shape)}")
    return _isocubes.finish(*arguments.mesh_rows(vertices, faces, normals), bool(keep_largest),
                            int(min_component), int(smooth), arguments.number("passband", passband),
                            arguments.number("decimate", decimate), shape,
                            *arguments.placement(spacing, origin, affine))
