"""The isocubes package against the mcubes command line, scikit-image and
nibabel.

Run by CTest with the module built (PYTHONPATH) and the tool's path in
MCUBES_CLI.
"""
import errno
import inspect
import os
import pathlib
import re
import signal
import subprocess
import threading
import time

import numpy as np
import pytest

import isocubes

CLI = os.environ.get("MCUBES_CLI", "mcubes")
# Along x, y, z of the files the command line reads: an array's axes 2, 1, 0.
SPACING = (0.5, 1.0, 2.0)
ORIGIN = (1.0, -2.0, 3.0)


def field(dtype):
    """A blob and a hole over a 9 x 11 x 13 (z, y, x) grid, spread over the
    dtype's range, with level a value between voxels."""
    z, y, x = np.meshgrid(np.arange(9), np.arange(11), np.arange(13), indexing="ij")
    blob = np.cos(x * 0.6) * np.sin(y * 0.5 + 0.3) + np.cos(z * 0.7 + x * 0.2)
    scale = 60.0 if np.dtype(dtype).itemsize == 1 else 3000.0
    values = np.round(blob * scale)
    if np.dtype(dtype).kind == "u":
        values += 2 * scale
    return values.astype(dtype), float(values.mean()) + 0.5


def read_obj(path):
    vertices, normals, faces = [], [], []
    with open(path) as lines:
        for line in lines:
            words = line.split()
            if not words:
                continue
            if words[0] == "v":
                vertices.append([float(w) for w in words[1:4]])
            elif words[0] == "vn":
                normals.append([float(w) for w in words[1:4]])
            elif words[0] == "f":
                faces.append([int(w.split("/")[0]) - 1 for w in words[1:4]])
    return (np.array(vertices, np.float32).reshape(-1, 3),
            np.array(faces, np.int64).reshape(-1, 3),
            np.array(normals, np.float32).reshape(-1, 3))


_cli_meshes = {}


def cli_mesh(tmp_path, volume, level, unwelded):
    """`mcubes mesh` of the C-ordered bytes of `volume` as a raw file."""
    key = (volume.dtype.str, unwelded)
    if key not in _cli_meshes:
        raw = tmp_path / "volume.raw"
        np.ascontiguousarray(volume).tofile(raw)
        out = tmp_path / "mesh.obj"
        nz, ny, nx = volume.shape
        command = [CLI, "mesh", "--volume", str(raw), "--dims", f"{nx},{ny},{nz}",
                   "--type", volume.dtype.name, "--spacing", ",".join(map(str, SPACING)),
                   "--origin", ",".join(map(str, ORIGIN)), "--iso", repr(level), "--normals",
                   "-o", str(out)] + (["--unwelded"] if unwelded else [])
        subprocess.run(command, check=True, capture_output=True)
        _cli_meshes[key] = read_obj(out)
    return _cli_meshes[key]


def _strided(volume):
    """Every other x of a volume twice as wide: the same voxels, apart."""
    wide = np.zeros(volume.shape[:2] + (2 * volume.shape[2],), volume.dtype)
    wide[:, :, ::2] = volume
    return wide[:, :, ::2]


LAYOUTS = {
    "C order": lambda a: a,
    "Fortran order": np.asfortranarray,
    "strided view": _strided,
    "reversed view": lambda a: np.ascontiguousarray(a[:, ::-1])[:, ::-1],
}
DTYPES = ["uint8", "int8", "uint16", "int16", "uint32", "int32", "float32", "float64"]


# Along the array's axes, the command line's mesh of the same voxels comes out
# with its columns reversed (x, y, z to axes 2, 1, 0): a mirror, so each face
# is turned to stay outward.
@pytest.mark.parametrize("unwelded", [False, True], ids=["welded", "unwelded"])
@pytest.mark.parametrize("layout", LAYOUTS)
@pytest.mark.parametrize("dtype", DTYPES)
def test_the_cli_triangles_for_every_dtype_and_layout(tmp_path, dtype, layout, unwelded):
    volume, level = field(dtype)
    view = LAYOUTS[layout](volume)
    assert np.array_equal(view, volume)
    vertices, faces, normals = isocubes.marching_cubes(view, level, spacing=SPACING[::-1],
                                                       origin=ORIGIN[::-1], welded=not unwelded,
                                                       threads=3, normals=True)
    expected = cli_mesh(tmp_path, volume, level, unwelded)
    assert len(faces) > 100
    assert vertices.dtype == np.float32 and faces.dtype == np.uint32
    assert np.array_equal(vertices[:, ::-1], expected[0])
    assert np.array_equal(faces[:, [0, 2, 1]], expected[1])
    assert np.array_equal(normals[:, ::-1], expected[2])


def _mesh_of_volume_file(tmp_path, volume, level):
    """A raw file of `volume` (C order) with the command line's placement,
    and `mcubes mesh`'s mesh of it."""
    raw = tmp_path / "volume.raw"
    volume.tofile(raw)
    return raw, cli_mesh(tmp_path, volume, level, False)


# What people have, as the first argument: each is the mesh of an array the
# library reads, or of the command line for a path; read_volume's array
# with its affine is the command line's mesh, bit for bit.
def _first_arguments(tmp_path):
    volume, level = field("int32")
    blob = volume > level
    low = int(volume.min())
    placed = {"spacing": SPACING[::-1], "origin": ORIGIN[::-1]}
    raw, cli = _mesh_of_volume_file(tmp_path, volume, level)
    tall = np.concatenate([volume, volume[::-1]] * 5)  # more slices than one block holds
    voxels, affine = isocubes.read_volume(raw, volume.shape, "int32", spacing=SPACING[::-1],
                                          origin=ORIGIN[::-1])
    return [
        ("bool", (blob, 0.5), (blob.astype(np.uint8), 0.5), placed),
        ("bool, level=None", (blob, None), (blob.astype(np.uint8), 0.5), placed),
        ("int64", (volume.astype(np.int64), level), (volume, level), placed),
        ("uint64 view", ((volume - low).astype(np.uint64)[::-1], level - low),
         ((volume - low)[::-1], level - low), placed),
        ("nested lists", (volume.tolist(), level), (volume, level), placed),
        ("level=None: mid-range", (volume, None),
         (volume, (float(volume.min()) + float(volume.max())) / 2), placed),
        ("float16", (volume.astype(np.float16) / 64, 0.25),
         (volume.astype(np.float16).astype(np.float32) / 64, 0.25), placed),
        ("Fortran order, gathered in blocks of slices", (np.asfortranarray(tall), level),
         (tall, level), placed),
        ("path", (str(raw), level), None, cli),
        ("read_volume's affine", (voxels, level), None, dict(affine=affine, expected=cli)),
    ]


def test_the_first_argument_takes_what_people_have(tmp_path):
    for name, given, same_as, extra in _first_arguments(tmp_path):
        if name == "path":
            # A file is meshed streamed, as the command line meshes it: a raw
            # file needs its layout, which a path alone cannot give, so the
            # same voxels go through a NRRD header.
            header = tmp_path / "volume.nhdr"
            nz, ny, nx = field("int32")[0].shape
            header.write_text(
                f"NRRD0004\ntype: int32\ndimension: 3\nsizes: {nx} {ny} {nz}\n"
                f"spacings: {' '.join(map(str, SPACING))}\nencoding: raw\n"
                f"endian: little\nspace origin: ({','.join(map(str, ORIGIN))})\n"
                f"data file: volume.raw\n\n")
            ours = isocubes.marching_cubes(header, given[1], normals=True)
            expected = extra
        elif name == "read_volume's affine":
            ours = isocubes.marching_cubes(*given, affine=extra["affine"], normals=True)
            expected = extra["expected"]
        else:
            ours = isocubes.marching_cubes(*given, normals=True, **extra)
            expected = isocubes.marching_cubes(*same_as, normals=True, **extra)
        assert len(ours[1]) > 100, name
        for a, b in zip(ours, expected):
            assert np.array_equal(a, b), name
# zarr and dask arrays, meshed piece by piece from their chunks along axis 0
# (one layer each, uneven, across other axes too, on a cluster of
# processes): the whole array's mesh, bit for bit.
def _chunked_arrays(volume):
    import dask.array
    import zarr
    return [
        ("zarr, 1-slice chunks", zarr.array(volume, chunks=(1, 11, 13))),
        ("zarr, 4-slice chunks, 1 in the last", zarr.array(volume, chunks=(4, 5, 13))),
        ("zarr, one chunk", zarr.array(volume, chunks=(9, 11, 13))),
        ("dask, 1-slice chunks", dask.array.from_array(volume, chunks=(1, 11, 13))),
        ("dask, uneven chunks", dask.array.from_array(volume, chunks=((2, 5, 1, 1), 11, 13))),
        ("dask, chunked on every axis", dask.array.from_array(volume, chunks=(3, 4, 6))),
    ]


CHUNKED_OPTIONS = [
    {"normals": True},
    {"closed": False, "inside": "below"},
    {"welded": False, "normals": True},
    {"level": None, "affine": np.diag([2.0, -1.0, 0.5, 1.0])},
]


def _on_a_cluster(mesh):
    """`mesh()` with dask computing on two worker processes."""
    import dask.distributed
    with dask.distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                       dashboard_address=None) as cluster:
        with dask.distributed.Client(cluster):
            return mesh()


@pytest.mark.parametrize("options", CHUNKED_OPTIONS, ids=lambda o: ", ".join(o))
def test_zarr_and_dask_arrays_mesh_as_the_whole_array(options):
    volume, level = field("int16")
    options = dict({"level": level}, **options)
    expected = isocubes.marching_cubes(volume, **options)
    assert len(expected[1]) > 100
    arrays = _chunked_arrays(volume)
    cases = [(name, lambda a=array: isocubes.marching_cubes(a, **options))
             for name, array in arrays]
    if options.get("normals"):
        cases.append(("dask on a cluster of processes",
                      lambda: _on_a_cluster(lambda: isocubes.marching_cubes(arrays[-2][1],
                                                                            **options))))
    for name, mesh in cases:
        ours = mesh()
        for a, b in zip(ours, expected):
            assert (a is None and b is None) or np.array_equal(a, b), name


def _cli_error(*arguments):
    run = subprocess.run([CLI, "mesh", *arguments], capture_output=True, text=True)
    assert run.returncode == 2
    return run.stderr.strip().removeprefix("mcubes: ")


def test_file_errors_carry_the_cli_message(tmp_path):
    missing = str(tmp_path / "missing.nrrd")
    bad = tmp_path / "bad.nrrd"
    bad.write_bytes(b"NRRD0004\ntype: float\ndimension: 3\nsizes: 2 2\n\n")
    for path in (missing, str(bad)):
        with pytest.raises(isocubes.FileError) as raised:
            isocubes.read_volume(path)
        assert isinstance(raised.value, OSError)
        assert str(raised.value) == _cli_error("--volume", path, "--iso", "1")


def test_a_read_volume_written_back_meshes_as_it_was(tmp_path):
    volume, level = field("int16")
    raw = tmp_path / "v.raw"
    volume.astype(">i2").tofile(raw)
    voxels, affine = isocubes.read_volume(raw, shape=volume.shape, dtype=">i2",
                                          spacing=SPACING[::-1], origin=ORIGIN[::-1])
    assert voxels.dtype == np.int16 and np.array_equal(voxels, volume)
    # Columns along the array's axes, rows the file's x, y, z.
    assert np.array_equal(affine, [[0, 0, 0.5, 1], [0, 1, 0, -2], [2, 0, 0, 3], [0, 0, 0, 1]])
    vertices, faces, normals = isocubes.marching_cubes(voxels, level, affine=affine, normals=True)
    finished = isocubes.finish(vertices, faces, normals, smooth=5, keep_largest=True,
                               volume_shape=voxels.shape, affine=affine)
    assert 0 < len(finished[1]) <= len(faces) and finished[2].shape == finished[0].shape
    isocubes.write_mesh(tmp_path / "m.obj", vertices, faces.astype(np.int32), normals,
                        space="RAS")
    assert (tmp_path / "m.obj").read_text().startswith("# SPACE=RAS")
    back = read_obj(tmp_path / "m.obj")
    assert np.array_equal(back[0], vertices) and np.array_equal(back[1], faces)
    labels = isocubes.mesh_labels((voxels > level).astype(np.uint8) * 3, affine=affine,
                                  normals=False)
    assert list(labels) == [3] and np.array_equal(labels[3][1], faces)


def test_conforming_labels_share_their_interfaces_also_smoothed():
    volume = np.zeros((6, 7, 8), np.uint8)
    volume[1:5, 1:6, 1:4] = 1
    volume[1:5, 1:6, 4:7] = 2
    volume[1:3, 1:3, 2:6] = 7
    for smooth in (0, 20):
        meshed = isocubes.mesh_labels(volume, conforming=True, smooth=smooth, spacing=(1, 2, 0.5))
        assert list(meshed) == [1, 2, 7]
        faces = {}
        for label, (vertices, triangles, _) in meshed.items():
            for t in vertices[triangles]:
                corners = [tuple(c) for c in t]
                first = corners.index(min(corners))
                faces[tuple(corners[first:] + corners[:first])] = label
        shared = {(a, b): 0 for a in meshed for b in meshed if a < b}
        for corners, label in faces.items():
            back = corners[:1] + corners[:0:-1]
            if back in faces and label < faces[back]:
                shared[label, faces[back]] += 1
        # Two triangles per pair of touching voxels, counted from the voxels.
        for a, b in shared:
            pairs = sum(int(np.sum((np.diff(volume, axis=x) != 0)
                                   & (np.minimum(volume[s0], volume[s1]) == a)
                                   & (np.maximum(volume[s0], volume[s1]) == b)))
                        for x, (s0, s1) in enumerate(_neighbours(volume.shape)))
            assert shared[a, b] == 2 * pairs, (smooth, a, b)
        # The same faces, one surface per pair of touching labels.
        pairs = isocubes.mesh_labels(volume, conforming=True, interfaces=True, smooth=smooth,
                                     spacing=(1, 2, 0.5))
        assert sorted(pairs) == [(1, 0), (1, 2), (1, 7), (2, 0), (2, 7), (7, 0)]
        for (a, b), (vertices, triangles, _) in pairs.items():
            if b:
                assert len(triangles) == shared[a, b]
            for t in vertices[triangles]:
                corners = [tuple(c) for c in t]
                first = corners.index(min(corners))
                assert faces[tuple(corners[first:] + corners[:first])] == a


def _neighbours(shape):
    """Per axis, the slices of each voxel and of its neighbour along it."""
    for axis in range(3):
        low = [slice(None)] * 3
        high = [slice(None)] * 3
        low[axis] = slice(0, shape[axis] - 1)
        high[axis] = slice(1, shape[axis])
        yield tuple(low), tuple(high)


BAD = [
    (lambda: isocubes.marching_cubes(np.zeros((3, 3)), 0), ValueError, "3-D array"),
    (lambda: isocubes.marching_cubes(np.zeros((3, 3, 3), np.complex64), 0), ValueError,
     "dtype complex64 is none of"),
    (lambda: isocubes.marching_cubes(np.zeros((3, 3, 3), "U1"), 0), ValueError, "dtype <U1"),
    (lambda: isocubes.marching_cubes(np.zeros((9, 9, 9)), 0, spacing=(1, 2)), ValueError,
     "spacing must be three numbers, one per array axis, not 2"),
    (lambda: isocubes.marching_cubes(np.zeros((9, 9, 9)), 0, spacing=2), ValueError,
     "give (2, 2, 2) for all three"),
    (lambda: isocubes.marching_cubes(np.zeros((9, 9, 9)), "1"), TypeError,
     "level must be a number, not str"),
    (lambda: isocubes.marching_cubes(np.zeros((9, 9, 9)), 0, affine=np.eye(3)), ValueError,
     "affine must be a 4x4 matrix (index to world), not of shape (3, 3)"),
    (lambda: isocubes.marching_cubes(np.zeros((9, 9, 9)), 0, affine=2 * np.eye(4)), ValueError,
     "affine's last row must be (0, 0, 0, 1)"),
    (lambda: isocubes.marching_cubes(np.zeros((9, 9, 9)), 0, affine=np.eye(4), spacing=(1, 1, 1)),
     ValueError, "give affine, or spacing and origin, not both"),
    (lambda: isocubes.marching_cubes("v.nrrd"), ValueError, "give a number for a file"),
    (lambda: isocubes.marching_cubes("v.nrrd", 1, spacing=(1, 1, 1)), ValueError,
     "a file states where its voxels lie"),
    (lambda: isocubes.marching_cubes(np.zeros((9, 9, 9)), 0, progress=1), TypeError,
     "progress must be a callable"),
    (lambda: isocubes.marching_cubes([[[0, 1]], [[1]]], 0), TypeError,
     "volume must be a 3-D array or array-like"),
    (lambda: isocubes.marching_cubes(np.zeros((3, 3, 3), ">f4"), 0), ValueError, "byte order"),
    (lambda: isocubes.marching_cubes(np.zeros((3, 0, 3)), 0), ValueError, "at least one"),
    (lambda: isocubes.marching_cubes(np.zeros((3, 3, 3)), float("nan")), ValueError,
     "level nan: the iso level must be a finite number"),
    (lambda: isocubes.marching_cubes(np.zeros((3, 3, 3)), 0, threads=-1), ValueError, "threads -1"),
    (lambda: isocubes.marching_cubes(np.zeros((3, 3, 3)), 0, inside="left"), ValueError,
     "inside 'left'"),
    (lambda: isocubes.marching_cubes(np.zeros((3, 3, 3)), 0, welded=False, closed=True),
     ValueError, "welded=False gives the triangles as extracted, each with its own vertices, "
     "and no caps: ask for closed=False with it"),
    (lambda: isocubes.marching_cubes(np.zeros((3, 3, 3)), 0, spacing=(1, 0, 1)), ValueError,
     "spacing nonzero"),
    (lambda: isocubes.mesh_labels(np.full((3, 3, 3), 0.5)), ValueError, "holds 0.5"),
    (lambda: isocubes.mesh_labels(np.zeros((3, 3, 3), np.uint8), [0, 1], conforming=True),
     ValueError, "labels 0 with conforming=True: label 0 is the background"),
    (lambda: isocubes.read_volume("v.raw", shape=(2, 2, 2)), ValueError, "both shape and dtype"),
    (lambda: isocubes.write_mesh("m.xyz", np.zeros((3, 3)), [[0, 1, 2]]), ValueError,
     "cannot tell the mesh format from 'm.xyz'"),
    (lambda: isocubes.write_mesh("m.obj", np.zeros((3, 3)), [[0, 1, 3]]), ValueError,
     "names vertex 3 of a mesh of 3 vertices"),
    (lambda: isocubes.write_mesh("m.obj", np.zeros((3, 2)), [[0, 1, 2]]), ValueError, "(N, 3)"),
    (lambda: isocubes.finish(np.zeros((300, 3)), [[0, 1, 2], [0, 1]]), TypeError,
     "faces must be an array of shape (N, 3) of numbers"),
    (lambda: isocubes.write_mesh("m.obj", np.zeros((300, 3)), [[0, 1, 2]], np.zeros((300, 2))),
     ValueError, "normals must be an array of shape (N, 3), not (300, 2)"),
    (lambda: isocubes.write_mesh("m.obj", np.zeros((3, 3)), [[0, 1, 2]], space="ras"), ValueError,
     "unknown space 'ras' (use RAS, LPS or none)"),
    (lambda: isocubes.write_mesh("/nonexistent/m.obj", np.zeros((3, 3)), [[0, 1, 2]]),
     isocubes.FileError, "cannot write '/nonexistent/m.obj': No such file or directory"),
    (lambda: isocubes.finish(np.zeros((3, 3)), [[0, 1, 2]], decimate=0), ValueError,
     "decimate must lie above 0"),
]


@pytest.mark.parametrize("call, error, message", BAD, ids=[m for _, _, m in BAD])
def test_bad_arguments_raise_one_line(call, error, message):
    with pytest.raises(error) as raised:
        call()
    assert message in str(raised.value) and "\n" not in str(raised.value)
    assert "array(" not in str(raised.value) and len(str(raised.value)) < 300


def _areas(vertices, faces):
    v = vertices[faces].astype(np.float64)
    return 0.5 * np.linalg.norm(np.cross(v[:, 1] - v[:, 0], v[:, 2] - v[:, 0]), axis=1).sum()


def _grid(n):
    return np.meshgrid(*(np.linspace(-1, 1, n),) * 3, indexing="ij")


def _sphere():
    z, y, x = _grid(40)
    return np.sqrt(x * x + y * y + z * z).astype(np.float32), 0.7


def _torus():
    z, y, x = _grid(48)
    return np.hypot(np.hypot(x, y) - 0.55, z), 0.25


def _waves():
    z, y, x = _grid(36)
    return (np.sin(4 * x) * np.cos(3 * y) + np.sin(5 * z + x)).astype(np.float32), 0.1


@pytest.mark.parametrize("make", [_sphere, _torus, _waves], ids=["sphere", "torus", "waves"])
def test_agrees_with_scikit_image(make):
    measure = pytest.importorskip("skimage.measure")
    spatial = pytest.importorskip("scipy.spatial")
    volume, level = make()
    ours, faces, _ = isocubes.marching_cubes(volume, level, closed=False, normals=False)
    theirs, their_faces, _, _ = measure.marching_cubes(volume, level, method="lorensen")
    distance, _ = spatial.cKDTree(theirs).query(ours)
    back, _ = spatial.cKDTree(ours).query(theirs)
    assert distance.max() < 1e-5 and back.max() < 1e-5
    assert _areas(ours, faces) == pytest.approx(_areas(theirs, their_faces), rel=0.01)


def _edges_twice(faces):
    edges = np.sort(faces[:, [0, 1, 1, 2, 2, 0]].reshape(-1, 2), axis=1)
    _, counts = np.unique(edges, axis=0, return_counts=True)
    return bool((counts == 2).all())


# A signed distance field (negative inside) of a sphere of radius 0.6, at
# the level 0.1 (radius 0.7), scaled by S: inside="below" meshes the ball,
# closed and outward, as the negated volume at the negated level does, bit
# for bit; and the mesh does not depend on the units: the same faces at any
# scale, the same vertices at powers of two, the same small radius error.
@pytest.mark.parametrize("scale, power_of_two", [(1.0, True), (2.0 ** -20, True), (1e-3, False),
                                                 (1e-6, False)])
def test_a_signed_distance_is_meshed_inside_below_at_any_scale(scale, power_of_two):
    z, y, x = _grid(40)
    distance = np.sqrt(x * x + y * y + z * z) - 0.6
    below = isocubes.marching_cubes(distance * scale, 0.1 * scale, inside="below", normals=True)
    negated = isocubes.marching_cubes(-distance * scale, -0.1 * scale, normals=True)
    for ours, theirs in zip(below, negated):
        assert np.array_equal(ours, theirs)
    vertices, faces, normals = below
    assert len(faces) > 1000 and _edges_twice(faces)
    corners = vertices[faces].astype(np.float64)
    volume6 = np.einsum("ij,ij->i", corners[:, 0], np.cross(corners[:, 1], corners[:, 2])).sum()
    assert volume6 > 0  # wound outward
    centre = 19.5
    outward = np.einsum("ij,ij->i", normals, vertices - centre)
    assert (outward > 0).all()
    radius = np.linalg.norm(vertices - centre, axis=1) * 2 / 39
    assert np.abs(radius - 0.7).max() < 0.002
    plain = isocubes.marching_cubes(distance, 0.1, inside="below")
    assert np.array_equal(faces, plain[1])
    if power_of_two:
        assert np.array_equal(vertices, plain[0])
    else:
        assert np.abs(vertices - plain[0]).max() < 1e-4


# Decimation as a printer takes it, by open3d's checks where open3d is
# installed (python3-open3d): the triangles asked for (within 10 %), every
# edge of two faces, no pinched vertex, the same parts, and no
# self-intersection, on a surface with handles, caps and several parts.
def test_decimation_keeps_the_surface_printable():
    o3d = pytest.importorskip("open3d")
    z, y, x = _grid(40)
    volume = np.sin(5 * x) * np.cos(4 * y) + np.sin(4 * z + x)
    vertices, faces, _ = isocubes.marching_cubes(volume, 0.25, normals=False)

    def checked(v, f):
        mesh = o3d.geometry.TriangleMesh(o3d.utility.Vector3dVector(v.astype(np.float64)),
                                         o3d.utility.Vector3iVector(f.astype(np.int32)))
        _, counts, _ = mesh.cluster_connected_triangles()
        assert mesh.is_edge_manifold(allow_boundary_edges=False)
        assert mesh.is_vertex_manifold()
        assert not mesh.is_self_intersecting()
        return len(counts)

    parts = checked(vertices, faces)
    for fraction in (0.5, 0.1):
        v, f, _ = isocubes.finish(vertices, faces, decimate=fraction, volume_shape=volume.shape)
        assert abs(len(f) - fraction * len(faces)) <= 0.1 * fraction * len(faces)
        assert _edges_twice(f)
        assert checked(v, f) == parts


# Ctrl+C during a long call stops it between slabs of layers, as
# KeyboardInterrupt with a note of how far it got; raised after the call
# returned instead (while its mesh goes to numpy, say), it would carry no
# note. So the signal is sent at points spread over one call's time: those
# early in it fall in the sweep, and one of them must stop it there.
def test_ctrl_c_stops_a_call_between_slabs_of_layers():
    z, y, x = _grid(256)
    volume = (1 - np.sqrt(x * x + y * y + z * z)).astype(np.float32)
    start = time.perf_counter()
    before = isocubes.marching_cubes(volume, 0.5, normals=False, threads=1)
    took = time.perf_counter() - start

    def interrupted(delay):
        timer = threading.Timer(delay, os.kill, (os.getpid(), signal.SIGINT))
        timer.start()
        try:
            while True:
                isocubes.marching_cubes(volume, 0.5, normals=False, threads=1)
        except KeyboardInterrupt as stop:
            return getattr(stop, "__notes__", [])
        finally:
            timer.join()

    tries = 20
    notes = next((n for n in (interrupted(took * t / tries) for t in range(1, tries)) if n), [])
    assert len(notes) == 1 and re.fullmatch(r"isocubes stopped after (\d+) of 255 layers", notes[0])
    # Nothing is left half-done: the next call gives the same mesh.
    after = isocubes.marching_cubes(volume, 0.5, normals=False)
    assert all(np.array_equal(a, b) for a, b in zip(before[:2], after[:2]))


def _signed_volume(vertices, faces):
    """Six times the enclosed volume: positive where faces wind outward."""
    corners = vertices[faces].astype(np.float64)
    return np.einsum("ij,ij->i", corners[:, 0], np.cross(corners[:, 1], corners[:, 2])).sum()


def _matches(ours, theirs, tolerance):
    distance, _ = spatial_tree(theirs).query(ours)
    back, _ = spatial_tree(ours).query(theirs)
    return max(distance.max(), back.max()) < tolerance


def spatial_tree(points):
    return pytest.importorskip("scipy.spatial").cKDTree(points)


# An oblique affine of either handedness: the vertices are the affine of the
# index-space vertices (within float32 rounding), the faces the same or, for
# a mirror, each turned, so the surface stays outward; the normals point
# outward in world space.
@pytest.mark.parametrize("mirror", [False, True], ids=["rotation", "mirrored"])
def test_an_affine_places_the_surface_and_keeps_it_outward(mirror):
    volume, level = _sphere()
    angle = 0.4
    rotation = np.array([[np.cos(angle), -np.sin(angle), 0], [np.sin(angle), np.cos(angle), 0],
                         [0, 0, 1]])
    linear = rotation @ np.diag([0.8, 1.5, -2.0 if mirror else 2.0])
    affine = np.eye(4)
    affine[:3, :3] = linear
    affine[:3, 3] = (10, -20, 5)
    index, index_faces, _ = isocubes.marching_cubes(volume, level, inside="below")
    vertices, faces, normals = isocubes.marching_cubes(volume, level, affine=affine,
                                                       inside="below", normals=True)
    world = index.astype(np.float64) @ linear.T + affine[:3, 3]
    assert np.abs(vertices - world).max() < 1e-4
    assert np.array_equal(faces, index_faces[:, [0, 2, 1]] if mirror else index_faces)
    assert _signed_volume(vertices, faces) > 0 and _signed_volume(index, index_faces) > 0
    centre = affine[:3, :3] @ np.full(3, 19.5) + affine[:3, 3]
    assert (np.einsum("ij,ij->i", normals, vertices - centre) > 0).all()


# scikit-image's gallery ("Marching Cubes"), ported by changing the module's
# name: an ellipsoid's level set (negative inside) with and without an
# anisotropic spacing gives skimage's vertices, in its columns, and its area;
# inside="below" says where the object is, and its faces and normals then
# point out of it.
@pytest.mark.parametrize("spacing", [None, (1.0, 2.0, 0.5)], ids=["unit", "anisotropic"])
def test_scikit_image_gallery_calls_port_unchanged(spacing):
    draw = pytest.importorskip("skimage.draw")
    measure = pytest.importorskip("skimage.measure")
    ellipsoid = draw.ellipsoid(6, 10, 16, levelset=True)
    keywords = {} if spacing is None else {"spacing": spacing}
    theirs, their_faces, _, _ = measure.marching_cubes(ellipsoid, 0.0, method="lorensen",
                                                       **keywords)
    ours, faces, normals = isocubes.marching_cubes(ellipsoid, 0.0, closed=False, normals=True,
                                                   inside="below", **keywords)
    assert _matches(ours, theirs, 1e-4)
    assert measure.mesh_surface_area(ours, faces) == pytest.approx(
        measure.mesh_surface_area(theirs, their_faces), rel=1e-3)
    assert _signed_volume(ours, faces) > 0
    centre = (np.array(ellipsoid.shape) - 1) / 2 * (spacing or (1, 1, 1))
    assert (np.einsum("ij,ij->i", normals, ours - centre) > 0).all()


# nibabel's way: img.get_fdata() (indexed [i, j, k]) with img.affine, of a
# NIfTI file whose affine is oblique and mirrored, gives the surface of the
# file meshed by path (the command line's, streamed) and of read_volume's
# array and affine, outward in world space.
def test_nibabel_arrays_with_their_affine_mesh_as_the_file(tmp_path):
    nib = pytest.importorskip("nibabel")
    z, y, x = _grid(30)
    data = (1 - np.sqrt(x * x + 2 * y * y + z * z)).astype(np.float32)
    affine = np.array([[0, -1.5, 0.2, 10], [2.0, 0, 0, -5], [0.1, 0, -1.2, 3], [0, 0, 0, 1]])
    assert np.linalg.det(affine) < 0
    path = tmp_path / "blob.nii.gz"
    nib.save(nib.Nifti1Image(data, affine), path)
    image = nib.load(path)
    ours = isocubes.marching_cubes(image.get_fdata(), 0.3, affine=image.affine, normals=True)
    streamed = isocubes.marching_cubes(path, 0.3, normals=True)
    voxels, read_affine = isocubes.read_volume(path)
    assert np.array_equal(voxels, image.get_fdata().transpose(2, 1, 0))
    assert np.allclose(read_affine, image.affine[:, [2, 1, 0, 3]])
    read = isocubes.marching_cubes(voxels, 0.3, affine=read_affine, normals=True)
    assert all(np.array_equal(a, b) for a, b in zip(read, streamed))
    assert _matches(ours[0], streamed[0], 1e-4)
    for vertices, faces, _ in (ours, streamed):
        assert _signed_volume(vertices, faces) > 0
    assert _signed_volume(*ours[:2]) == pytest.approx(_signed_volume(*streamed[:2]), rel=1e-6)
    out = tmp_path / "blob.obj"
    subprocess.run([CLI, "mesh", "--volume", str(path), "--iso", "0.3", "--normals", "-o",
                    str(out)], check=True, capture_output=True)
    for a, b in zip(streamed, read_obj(out)):
        assert np.array_equal(a, b)


def test_progress_is_told_and_can_stop_the_run():
    volume, level = _torus()
    told = []
    isocubes.marching_cubes(volume, level, inside="below",
                            progress=lambda done, total: told.append((done, total)))
    assert told and told[-1] == (47, 47) and told == sorted(told)

    def stop(done, total):
        if done > 0:
            raise RuntimeError("enough")

    with pytest.raises(RuntimeError, match="enough") as raised:
        isocubes.mesh_labels((volume < level).astype(np.uint8), progress=stop)
    assert re.fullmatch(r"isocubes stopped after \d+ of 47 layers",
                        getattr(raised.value, "__notes__", ["(no note: Python < 3.11)"])[0])


def test_file_errors_are_os_errors_with_errno_and_filename(tmp_path):
    missing = tmp_path / "missing.nii"
    with pytest.raises(FileNotFoundError) as raised:
        isocubes.marching_cubes(missing, 1)
    error = raised.value
    assert isinstance(error, isocubes.MissingFileError) and isinstance(error, isocubes.FileError)
    assert error.errno == errno.ENOENT and error.filename == str(missing)
    assert str(error) == _cli_error("--volume", str(missing), "--iso", "1")
    bad = tmp_path / "bad.nrrd"
    bad.write_bytes(b"NRRD0004\ntype: float\ndimension: 3\nsizes: 2 2\n\n")
    with pytest.raises(isocubes.FileError) as raised:
        isocubes.read_volume(bad)
    assert not isinstance(raised.value, FileNotFoundError)
    assert raised.value.errno is None and raised.value.filename == str(bad)


def test_the_package_describes_itself():
    root = pathlib.Path(__file__).resolve().parents[2]
    header = (root / "include" / "mcubes" / "version.h").read_text()
    assert isocubes.__version__ == re.search(r'MCUBES_VERSION "(\S+)"', header).group(1)
    for function in (isocubes.marching_cubes, isocubes.mesh_labels, isocubes.read_volume,
                     isocubes.finish, isocubes.write_mesh):
        documented = function.__doc__ + isocubes.marching_cubes.__doc__
        assert all(name in documented for name in inspect.signature(function).parameters
                   if name not in ("vertices", "faces", "path"))
    assert list(inspect.signature(isocubes.marching_cubes).parameters)[:2] == ["volume", "level"]
    assert issubclass(isocubes.MeshWarning, UserWarning)


# threads=0 is one worker per processor this process may run on: pinned to
# one (taskset -c 0), the run has as many threads as with threads=1, and
# fewer than with two. Counted from the progress callback, mid-run.
@pytest.mark.skipif(not hasattr(os, "sched_setaffinity"), reason="no CPU affinity here")
def test_threads_follow_the_cpu_affinity():
    volume, level = _torus()

    def threads_while_meshing(**keywords):
        seen = []
        isocubes.marching_cubes(volume, level, inside="below", progress=lambda done, total:
                                seen.append(len(os.listdir("/proc/self/task"))), **keywords)
        return max(seen)

    processors = os.sched_getaffinity(0)
    os.sched_setaffinity(0, {min(processors)})
    try:
        one = threads_while_meshing(threads=1)
        assert threads_while_meshing() == one < threads_while_meshing(threads=2)
    finally:
        os.sched_setaffinity(0, processors)
