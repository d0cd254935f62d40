"""Exact marching-cubes surfaces of volumes, from numpy arrays or volume files.

    import mcubes
    volume, affine = mcubes.read_volume("head.nii.gz")
    vertices, faces, normals = mcubes.marching_cubes(volume, level=300)
    vertices, faces, normals = mcubes.finish(vertices, faces, normals, smooth=20)
    mcubes.write_mesh("head.ply", vertices, faces, normals)
"""

from ._mcubes import (FileError, MeshWarning, finish, marching_cubes, mesh_labels, read_volume,
                      write_mesh)

__all__ = [
    "FileError", "MeshWarning", "finish", "marching_cubes", "mesh_labels", "read_volume",
    "write_mesh"
]
