"""marching_cubes and mesh_labels: a volume's surfaces."""

from . import _arguments as arguments
from . import _chunked as chunked
from . import _isocubes


def marching_cubes(volume, level=None, *, spacing=None, origin=None, affine=None, closed=None,
                   welded=True, normals=False, threads=0, inside=None, progress=None):
    """The isosurface of a volume at `level`, exact and wound outward.

    volume: a 3-D array or array-like, or the path of a volume file (str or
        os.PathLike). Arrays of uint8, int8, uint16, int16, uint32, int32,
        float32, float64 and bool (0 and 1) are read in place, never copied,
        whatever their strides; other integers are meshed from a float64
        copy, array-likes through numpy.asarray, whole. zarr and dask arrays
        are meshed piece by piece, a piece per chunk along axis 0 from that
        chunk and the slice after it (and one more on each side with
        normals), never read whole; a dask array's pieces are dask tasks,
        made by whatever scheduler it computes with (a dask.distributed
        cluster too). The mesh is the whole array's, bit for bit. A file (.nrrd, .nhdr, .nii, .nii.gz, .hdr, .mha, .mhd, .mgh,
        .mgz, .h5:/dataset, DICOM) is read slice by slice, never whole, and
        gives the mesh `mcubes mesh --volume` writes, in the file's world.
    level: the iso level, a finite number; None: halfway between the
        array's lowest and highest values, as scikit-image takes it. The
        inside is where values lie above it, unless inside="below".
    spacing, origin: the voxel size and the first voxel's place, one number
        per array axis, as scikit-image's spacing: vertex column c is
        origin[c] + index along axis c * spacing[c].
    affine: instead, the 4x4 matrix taking (index along axis 0, 1, 2, 1) to
        world coordinates, as nibabel's img.affine for img.get_fdata() and
        read_volume's: the vertices are in that world, and faces are wound
        outward there whatever the matrix's determinant.
    closed: flat caps where the surface leaves the volume, so that it bounds
        a solid (False: scikit-image's open surface). None: as welded.
    welded: vertices shared by neighbouring triangles; False gives each
        triangle its own three, as extracted, which have no caps (so
        closed=True with it is refused).
    normals: per-vertex unit normals from the volume's gradient, outward.
    threads: worker threads, 0 for one per processor this process may run
        on (its CPU affinity); the mesh does not depend on it. The GIL is
        released meanwhile.
    inside: None or "above" (CT, MRI, densities, probabilities), or "below"
        (signed distance fields and level sets: the object where values are
        below the level), closed and wound outward either way.
    progress: progress(done, total) called between slabs of layers (of a
        zarr array, after each piece; not for a dask array's); an
        exception it raises stops the run and comes out of this call (as
        Ctrl+C does, as KeyboardInterrupt), with a note of how far it got.

    Returns (vertices, faces, normals): float32 (N, 3), uint32 (M, 3), and
    float32 (N, 3) or None without normals. Faces are counter-clockwise seen
    from outside. The scaling of the data does not matter: the data and the
    level times a power of two give the same vertices, bit for bit.

    What the run finds that is likely not what was meant (NaN voxels, a
    level beyond the data, a box closed around a signed distance field's
    outside) is warned as isocubes.MeshWarning, a UserWarning. Raises
    ValueError for bad arguments, FileError (an OSError) where a file cannot
    be read.
    """
    options = (bool(welded) if closed is None else bool(closed), bool(welded), bool(normals),
               arguments.threads(threads), inside, arguments.progress(progress))
    if arguments.is_path(volume):
        if level is None:
            raise ValueError("level=None takes the middle of an array's values; give a number "
                             "for a file, which is read slice by slice")
        if spacing is not None or origin is not None or affine is not None:
            raise ValueError("a file states where its voxels lie: spacing, origin and affine "
                             "are for arrays (read_volume reads a file as one)")
        return _isocubes.mesh_file(volume, arguments.number("level", level), *options)
    sizes = chunked.chunk_sizes(volume)
    if sizes is not None:
        level = (chunked.mid_range(volume, sizes) if level is None else
                 arguments.number("level", level))
        return chunked.marching_cubes(volume, sizes, level,
                                      arguments.placement(spacing, origin, affine), options[:-1],
                                      options[-1])
    array = arguments.voxels(volume)
    level = arguments.mid_range(array) if level is None else arguments.number("level", level)
    return _isocubes.marching_cubes(array, level, *arguments.placement(spacing, origin, affine),
                                    *options)


def mesh_labels(volume, labels=None, *, spacing=None, origin=None, affine=None, closed=None,
                welded=True, normals=False, threads=0, progress=None, conforming=False,
                interfaces=False, smooth=0, passband=0.1):
    """The surfaces of a label map's labels from one pass over it.

    volume: a 3-D array or array-like of integer values (any integer dtype,
        bool, or floats holding integers), read in place as marching_cubes
        reads an array (zarr and dask arrays too, through numpy.asarray,
        whole).
    labels: the labels to mesh, or None for every label but 0.
    conforming: False gives each label its voxels' exact surface, meshed on
        its own. True gives meshes that fit together (surface nets over all
        labels at once): where labels a and b touch, both meshes hold the
        same triangles at the same vertices, wound oppositely, and where
        three or more meet they join without gap or overlap; each mesh is
        closed and outward (the volume's outside counts as label 0, which
        cannot be asked for). One thread.
    interfaces: with conforming, one surface per pair of touching labels
        instead, keyed (a, b): the faces between them wound out of a (b is
        0 for the background and the volume's outside; a the lower
        otherwise), for every pair with a label asked for.
    smooth, passband: windowed-sinc smoothing as finish's, each label on
        its own; with conforming, all labels together: a vertex that labels share moves
        once, the lines where three labels meet move only along
        themselves, and the labels stay joined.

    Returns {label: (vertices, faces, normals)} in the order asked (or of
    increasing labels); labels found nowhere are left out. The other
    arguments are marching_cubes's. Raises ValueError where a voxel is no
    integer.
    """
    array = arguments.voxels(volume)
    if labels is not None:
        labels = [int(label) for label in labels]
    return _isocubes.mesh_labels(array, labels, *arguments.placement(spacing, origin, affine),
                                 bool(welded) if closed is None else bool(closed), bool(welded),
                                 bool(normals), arguments.threads(threads),
                                 arguments.progress(progress), bool(conforming), bool(interfaces),
                                 int(smooth), arguments.number("passband", passband))
