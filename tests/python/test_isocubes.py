"""The mcubes Python module against the mcubes command line and scikit-image.

Run by CTest with the module built (PYTHONPATH) and the tool's path in
MCUBES_CLI.
"""
import os
import re
import signal
import subprocess
import threading

import numpy as np
import pytest

import mcubes

CLI = os.environ.get("MCUBES_CLI", "mcubes")
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


@pytest.mark.parametrize("unwelded", [False, True], ids=["welded", "unwelded"])
@pytest.mark.parametrize("layout", LAYOUTS)
@pytest.mark.parametrize("dtype", DTYPES)
def test_the_cli_triangles_for_every_dtype_and_layout(tmp_path, dtype, layout, unwelded):
    volume, level = field(dtype)
    view = LAYOUTS[layout](volume)
    assert np.array_equal(view, volume)
    vertices, faces, normals = mcubes.marching_cubes(view, level, spacing=SPACING, origin=ORIGIN,
                                                     welded=not unwelded, threads=3,
                                                     normals=True)
    expected = cli_mesh(tmp_path, volume, level, unwelded)
    assert len(faces) > 100
    assert vertices.dtype == np.float32 and faces.dtype == np.uint32
    assert np.array_equal(vertices, expected[0])
    assert np.array_equal(faces, expected[1])
    assert np.array_equal(normals, expected[2])


def _cli_error(*arguments):
    run = subprocess.run([CLI, "mesh", *arguments], capture_output=True, text=True)
    assert run.returncode == 2
    return run.stderr.strip().removeprefix("mcubes: ")


def test_file_errors_carry_the_cli_message(tmp_path):
    missing = str(tmp_path / "missing.nrrd")
    bad = tmp_path / "bad.nrrd"
    bad.write_bytes(b"NRRD0004\ntype: float\ndimension: 3\nsizes: 2 2\n\n")
    for path in (missing, str(bad)):
        with pytest.raises(mcubes.FileError) as raised:
            mcubes.read_volume(path)
        assert isinstance(raised.value, OSError)
        assert str(raised.value) == _cli_error("--volume", path, "--iso", "1")


def _affine_volume(tmp_path):
    volume, level = field("int16")
    raw = tmp_path / "v.raw"
    volume.astype(">i2").tofile(raw)
    voxels, affine = mcubes.read_volume(raw, shape=volume.shape, dtype=">i2", spacing=SPACING,
                                        origin=ORIGIN)
    assert voxels.dtype == np.int16 and np.array_equal(voxels, volume)
    assert np.array_equal(affine, [[0.5, 0, 0, 1], [0, 1, 0, -2], [0, 0, 2, 3], [0, 0, 0, 1]])
    return voxels, level


def test_a_read_volume_written_back_meshes_as_it_was(tmp_path):
    voxels, level = _affine_volume(tmp_path)
    vertices, faces, normals = mcubes.marching_cubes(voxels, level, SPACING, ORIGIN, normals=True)
    finished = mcubes.finish(vertices, faces, normals, smooth=5, keep_largest=True,
                             volume_shape=voxels.shape, spacing=SPACING, origin=ORIGIN)
    assert 0 < len(finished[1]) <= len(faces) and finished[2].shape == finished[0].shape
    mcubes.write_mesh(tmp_path / "m.obj", vertices, faces.astype(np.int32), normals, space="RAS")
    assert (tmp_path / "m.obj").read_text().startswith("# SPACE=RAS")
    back = read_obj(tmp_path / "m.obj")
    assert np.array_equal(back[0], vertices) and np.array_equal(back[1], faces)
    labels = mcubes.mesh_labels((voxels > level).astype(np.uint8) * 3, spacing=SPACING,
                                origin=ORIGIN, normals=False)
    assert list(labels) == [3] and np.array_equal(labels[3][1], faces)


BAD = [
    (lambda: mcubes.marching_cubes(np.zeros((3, 3)), 0), ValueError, "3-D array"),
    (lambda: mcubes.marching_cubes(np.zeros((3, 3, 3), np.complex64), 0), ValueError,
     "dtype complex64 is none of"),
    (lambda: mcubes.marching_cubes(np.zeros((3, 3, 3), bool), 0), ValueError, "dtype bool"),
    (lambda: mcubes.marching_cubes(np.zeros((3, 3, 3), ">f4"), 0), ValueError, "byte order"),
    (lambda: mcubes.marching_cubes(np.zeros((3, 0, 3)), 0), ValueError, "at least one"),
    (lambda: mcubes.marching_cubes(np.zeros((3, 3, 3)), float("nan")), ValueError,
     "level nan: the iso level must be a finite number"),
    (lambda: mcubes.marching_cubes(np.zeros((3, 3, 3)), 0, threads=-1), ValueError, "threads -1"),
    (lambda: mcubes.marching_cubes(np.zeros((3, 3, 3)), 0, inside="left"), ValueError,
     "inside 'left'"),
    (lambda: mcubes.marching_cubes(np.zeros((3, 3, 3)), 0, spacing=(1, 0, 1)), ValueError,
     "spacing nonzero"),
    (lambda: mcubes.mesh_labels(np.full((3, 3, 3), 0.5)), ValueError, "holds 0.5"),
    (lambda: mcubes.read_volume("v.raw", shape=(2, 2, 2)), ValueError, "both shape and dtype"),
    (lambda: mcubes.write_mesh("m.xyz", np.zeros((3, 3)), [[0, 1, 2]]), ValueError,
     "cannot tell the mesh format from 'm.xyz'"),
    (lambda: mcubes.write_mesh("m.obj", np.zeros((3, 3)), [[0, 1, 3]]), ValueError,
     "names vertex 3 of a mesh of 3 vertices"),
    (lambda: mcubes.write_mesh("m.obj", np.zeros((3, 2)), [[0, 1, 2]]), ValueError, "(N, 3)"),
    (lambda: mcubes.write_mesh("m.obj", np.zeros((3, 3)), [[0, 1, 2]], space="ras"), ValueError,
     "unknown space 'ras' (use RAS, LPS or none)"),
    (lambda: mcubes.write_mesh("/nonexistent/m.obj", np.zeros((3, 3)), [[0, 1, 2]]),
     mcubes.FileError, "cannot write '/nonexistent/m.obj': No such file or directory"),
    (lambda: mcubes.finish(np.zeros((3, 3)), [[0, 1, 2]], decimate=0), ValueError,
     "decimate must lie above 0"),
]


@pytest.mark.parametrize("call, error, message", BAD, ids=[m for _, _, m in BAD])
def test_bad_arguments_raise_one_line(call, error, message):
    with pytest.raises(error) as raised:
        call()
    assert message in str(raised.value) and "\n" not in str(raised.value)


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
    ours, faces, _ = mcubes.marching_cubes(volume, level, closed=False, normals=False)
    theirs, their_faces, _, _ = measure.marching_cubes(volume, level, method="lorensen")
    theirs = theirs[:, ::-1]  # (z, y, x) columns to (x, y, z)
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
    below = mcubes.marching_cubes(distance * scale, 0.1 * scale, inside="below", normals=True)
    negated = mcubes.marching_cubes(-distance * scale, -0.1 * scale, normals=True)
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
    plain = mcubes.marching_cubes(distance, 0.1, inside="below")
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
    vertices, faces, _ = mcubes.marching_cubes(volume, 0.25, normals=False)

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
        v, f, _ = mcubes.finish(vertices, faces, decimate=fraction, volume_shape=volume.shape)
        assert abs(len(f) - fraction * len(faces)) <= 0.1 * fraction * len(faces)
        assert _edges_twice(f)
        assert checked(v, f) == parts


# Ctrl+C during a long call stops it between slabs of layers, as
# KeyboardInterrupt with a note of how far it got; raised after the call
# returned instead, it would carry no note. The signal may fall between two
# calls, so a few tries are allowed: one must stop a call.
def test_ctrl_c_stops_a_call_between_slabs_of_layers():
    z, y, x = _grid(256)
    volume = (1 - np.sqrt(x * x + y * y + z * z)).astype(np.float32)
    before = mcubes.marching_cubes(volume, 0.5, normals=False)

    def interrupted():
        timer = threading.Timer(0.05, os.kill, (os.getpid(), signal.SIGINT))
        timer.start()
        try:
            while True:
                mcubes.marching_cubes(volume, 0.5, normals=False, threads=1)
        except KeyboardInterrupt as stop:
            return getattr(stop, "__notes__", [])
        finally:
            timer.join()

    notes = next((n for n in (interrupted() for _ in range(10)) if n), [])
    assert len(notes) == 1 and re.fullmatch(r"mcubes stopped after (\d+) of 255 layers", notes[0])
    # Nothing is left half-done: the next call gives the same mesh.
    after = mcubes.marching_cubes(volume, 0.5, normals=False)
    assert all(np.array_equal(a, b) for a, b in zip(before[:2], after[:2]))
