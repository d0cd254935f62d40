"""Exact marching-cubes surfaces of volumes, from numpy arrays or volume files.

    import isocubes
    volume, affine = isocubes.read_volume("head.nii.gz")
    vertices, faces, normals = isocubes.marching_cubes(volume, 300, affine=affine)
    vertices, faces, normals = isocubes.finish(vertices, faces, normals, smooth=20)
    isocubes.write_mesh("head.ply", vertices, faces, normals)

Axes follow the array's, as in numpy, scikit-image and nibabel: spacing,
origin, an affine's columns and the vertices' columns are along array axes
0, 1, 2. With an affine (index to world), the vertices are in its world.
"""

from ._errors import FileError, MeshWarning, MissingFileError
from ._files import read_volume, write_mesh
from ._finishing import finish
from ._isocubes import version as __version__
from ._meshing import marching_cubes, mesh_labels

__all__ = [
    "FileError", "MeshWarning", "MissingFileError", "finish", "marching_cubes", "mesh_labels",
    "read_volume", "write_mesh", "__version__"
]
