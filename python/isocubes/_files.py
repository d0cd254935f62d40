"""read_volume and write_mesh: volume files in, mesh files out."""

from . import _arguments as arguments
from . import _isocubes


def read_volume(path, shape=None, dtype=None, *, spacing=None, origin=None):
    """Reads a volume file in any format `mcubes mesh --volume` reads.

    path: .nrrd, .nhdr, .nii, .nii.gz, .hdr (with its .img), .mha, .mhd,
        .mgh, .mgz, or HDF5 (.h5, .hdf5, .he5) with the dataset after a colon
        ("sim.h5:/group/data"); with shape and dtype, any file as raw voxels.
    shape: a raw file's shape, its slowest axis first (C order); dtype: its
        numpy dtype ('<u2', '>f4').
    spacing, origin: one number per array axis, for files that state no
        placement (raw, HDF5).

    Returns (voxels, affine): voxels in C order, the file's fastest axis
    last, in the stored type (or float64 where the file scales its values),
    and the 4x4 float64 matrix that takes (index along axis 0, 1, 2, 1) to
    the file's world (x, y, z). marching_cubes(voxels, level, affine=affine)
    gives the mesh of marching_cubes(path, level). To pass meshing a file
    whole, give marching_cubes the path: it never holds the volume. Raises
    FileError (an OSError; MissingFileError, also a FileNotFoundError, for
    a file that is not there) with the reader's message.
    """
    if (shape is None) != (dtype is None):
        raise ValueError("a raw file needs both shape and dtype; give neither for a file whose "
                         "header states them")
    if shape is not None:
        shape = tuple(int(n) for n in shape)
        if len(shape) != 3:
            raise ValueError(f"shape must be three numbers, not {len(shape)}")
    return _isocubes.read_volume(path, shape, dtype,
                                 arguments.triple("spacing", spacing, (1.0, 1.0, 1.0)),
                                 arguments.triple("origin", origin, (0.0, 0.0, 0.0)))


def write_mesh(path, vertices, faces, normals=None, *, format=None, comment="", ascii=False,
               space=""):
    """Writes a mesh file whole or not at all: OBJ, PLY, STL, glb, VTP or GIfTI.

    format: "obj", "ply", "stl", "glb", "vtp" or "gii"; None: from the
        path's extension. ascii: text PLY. "-" is standard output.
    space: "RAS" or "LPS", the vertices' space, said where readers look for
        it (SPACE=RAS or SPACE=LPS leading STL, OBJ and PLY comments, as 3D
        Slicer reads them; VTK's field data SPACE; GIfTI's coordinate
        system); "": unsaid.

    Raises ValueError for a format it cannot tell or write, FileError (an
    OSError) where writing fails.
    """
    _isocubes.write_mesh(path, *arguments.mesh_rows(vertices, faces, normals), format,
                         str(comment), bool(ascii), str(space))
