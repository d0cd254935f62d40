#!/usr/bin/python3
"""Times meshing every label of a label map: `mcubes mesh --volume F --labels
all -o out.ply` (the whole command: reading, every label's closed surface,
writing) against VTK's vtkDiscreteFlyingEdges3D computing the same labels on
the same file (its sequential backend, one core), alone and with VTK's reader
and binary PLY writer around it; best of --repeat runs, all in one run of
this script, and prints the ratios. A measuring aid only: nothing in the
product or its tests uses VTK.

Needs python3-vtk9 and python3-numpy (Debian: apt-get install python3-vtk9
python3-numpy), hence Debian's own /usr/bin/python3.

The volumes (written to --dir unless there already): cells20_256.nrrd and
cells200_256.nrrd, 256^3 uint8 label maps of a ball cut into 20 and 200
touching cells (each voxel labelled by its nearest of the fixed random
seeds, 0 outside), raw NRRD. On a busy machine the processor times are the
ones to compare (the load average is printed).

    benchmarks/labels_reference.py --mcubes build/release/tools/mcubes

With --conforming it also times `--conforming` and `--conforming --smooth 20`
beside the default path (and the default with `--smooth 20`), interleaved,
and, where the isocubes module is importable (PYTHONPATH=build/.../python),
measures both kinds of mesh on the same map and on any --scan label maps
(a NIfTI atlas, say): triangles, their smallest angles and aspect ratios,
the share of faces on a boundary between labels that both labels hold
reversed, the largest distance after smoothing between a vertex two labels
shared and its copy in the other label, and each label's enclosed volume
change from smoothing.
"""
import argparse
import os
import subprocess
import sys
import tempfile
import time

os.environ.setdefault("VTK_SMP_BACKEND_IN_USE", "Sequential")

try:
    import numpy
    import vtk
except ImportError as error:
    sys.exit(f"labels_reference.py: needs python3-vtk9 and python3-numpy ({error})")

SIZE = 256
LABEL_COUNTS = (20, 200)


def volume_name(labels):
    return f"cells{labels}_256.nrrd"


def write_cells(path, labels):
    seeds = numpy.random.default_rng(labels).uniform(-0.8, 0.8, (labels, 3))
    axis = numpy.linspace(-1, 1, SIZE)
    y, x = numpy.meshgrid(axis, axis, indexing="ij")
    with open(path, "wb") as f:
        f.write(f"NRRD0004\ntype: uchar\ndimension: 3\nsizes: {SIZE} {SIZE} {SIZE}\n"
                "encoding: raw\nspace directions: (1,0,0) (0,1,0) (0,0,1)\n"
                "space origin: (0,0,0)\n\n".encode())
        for z in axis:
            nearest = numpy.zeros(x.shape, numpy.int64)
            least = numpy.full(x.shape, numpy.inf)
            for n, s in enumerate(seeds):
                distance = (x - s[0]) ** 2 + (y - s[1]) ** 2 + (z - s[2]) ** 2
                closer = distance < least
                nearest[closer], least[closer] = n + 1, distance[closer]
            nearest[x * x + y * y + z * z > 0.9 * 0.9] = 0
            f.write(nearest.astype(numpy.uint8).tobytes())


def reader(path):
    # Debian's VTK replaces vtkNrrdReader by its MPI reader, which needs a
    # controller; the NRRD is raw, so VTK's raw image reader (the base of
    # vtkNrrdReader) reads it past its header.
    with open(path, "rb") as f:
        header = f.read(4096).split(b"\n\n", 1)[0]
    image = vtk.vtkImageReader2()
    image.SetFileName(path)
    image.SetHeaderSize(len(header) + 2)
    image.SetDataScalarTypeToUnsignedChar()
    image.SetFileDimensionality(3)
    image.SetDataExtent(0, SIZE - 1, 0, SIZE - 1, 0, SIZE - 1)
    return image


def discrete(port, labels):
    surface = vtk.vtkDiscreteFlyingEdges3D()
    surface.SetInputConnection(port)
    surface.GenerateValues(labels, 1, labels)
    surface.ComputeNormalsOff()
    surface.ComputeGradientsOff()
    surface.ComputeScalarsOn()
    return surface


def vtk_alone(path, labels):
    image = reader(path)
    image.Update()
    surface = discrete(image.GetOutputPort(), labels)
    start, cpu = time.perf_counter(), time.process_time()
    surface.Update()
    return time.perf_counter() - start, time.process_time() - cpu


def vtk_pipeline(path, labels, out):
    image = reader(path)  # held: the port alone does not keep it alive
    surface = discrete(image.GetOutputPort(), labels)
    writer = vtk.vtkPLYWriter()
    writer.SetInputConnection(surface.GetOutputPort())
    writer.SetFileTypeToBinary()
    writer.SetFileName(out)
    start, cpu = time.perf_counter(), time.process_time()
    writer.Write()
    return time.perf_counter() - start, time.process_time() - cpu


def timed(command):
    """Wall and processor seconds of a command."""
    before = os.times()
    start = time.perf_counter()
    subprocess.run(command, check=True, stderr=subprocess.DEVNULL)
    after = os.times()
    cpu = after.children_user + after.children_system - before.children_user - before.children_system
    return time.perf_counter() - start, cpu


def compare(options, labels):
    """The three timings of one label map, interleaved run by run."""
    name = volume_name(labels)
    path = os.path.join(options.dir, name)
    out = os.path.join(options.dir, "labels_reference_out.ply")
    if not os.path.exists(path):
        write_cells(path, labels)
    command = [options.mcubes, "mesh", "--volume", path, "--labels", "all", "--threads", "1",
               "-o", out]
    runs = [(vtk_alone(path, labels), vtk_pipeline(path, labels, out), timed(command))
            for _ in range(options.repeat)]
    alone, pipeline, mcubes = (min(run[n] for run in runs) for n in range(3))
    print(f"{name}, {labels} labels, seconds of wall time (of processor time):")
    print(f"  vtkDiscreteFlyingEdges3D alone      {alone[0]:.3f} ({alone[1]:.3f})")
    print(f"  VTK reader + that filter + PLY      {pipeline[0]:.3f} ({pipeline[1]:.3f})")
    print(f"  mcubes mesh --labels all -o x.ply   {mcubes[0]:.3f} ({mcubes[1]:.3f}), closed meshes")
    print(f"  mcubes / VTK's filter alone: {mcubes[0] / alone[0]:.2f}x wall, "
          f"{mcubes[1] / alone[1]:.2f}x processor; / VTK's pipeline: "
          f"{mcubes[0] / pipeline[0]:.2f}x wall, {mcubes[1] / pipeline[1]:.2f}x processor")
    if options.conforming and labels == LABEL_COUNTS[0]:
        conforming(options, [path] + options.scan, out, alone[0])
    os.remove(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--mcubes", required=True, help="the mcubes program to time")
    parser.add_argument("--dir", default=tempfile.gettempdir(), help="where the volumes are")
    parser.add_argument("--repeat", type=int, default=3, help="runs of each, the best taken")
    parser.add_argument("--conforming", action="store_true",
                        help="time and measure conforming labels and joint smoothing too")
    parser.add_argument("--scan", action="append", default=[],
                        help="a further label map to measure with --conforming")
    options = parser.parse_args()
    print("load average before: %.2f %.2f %.2f" % os.getloadavg())
    for labels in LABEL_COUNTS:
        compare(options, labels)
    print("load average after: %.2f %.2f %.2f" % os.getloadavg())


def conforming(options, paths, out, alone):
    """Conforming labels and joint smoothing beside the default path."""
    ways = {"default": [], "conforming": ["--conforming"],
            "conforming --smooth 20": ["--conforming", "--smooth", "20"],
            "default --smooth 20": ["--smooth", "20"]}
    for path in paths:
        best = {way: (float("inf"), 0.0) for way in ways}
        for _ in range(options.repeat):  # interleaved: the machine's load is shared alike
            for way, flags in ways.items():
                command = [options.mcubes, "mesh", "--volume", path, "--labels", "all",
                           "--threads", "1", *flags, "-o", out]
                best[way] = min(best[way], timed(command))
        print(f"{os.path.basename(path)}, mcubes mesh --labels all --threads 1, best of "
              f"{options.repeat}, wall s (processor s):")
        for way, (wall, cpu) in best.items():
            print(f"  {way:24} {wall:.3f} ({cpu:.3f})  {wall / best['default'][0]:.2f}x default"
                  + (f", {wall / alone:.2f}x vtkDiscreteFlyingEdges3D alone"
                     if path == paths[0] else ""))
        try:
            import isocubes
        except ImportError:
            print("  (isocubes not importable: no mesh measures)")
            continue
        voxels, affine = isocubes.read_volume(path)
        voxels = numpy.asarray(voxels).astype(numpy.int32)
        for way, kind in (("default", False), ("conforming", True)):
            raw = isocubes.mesh_labels(voxels, affine=affine, conforming=kind)
            smooth = isocubes.mesh_labels(voxels, affine=affine, conforming=kind, smooth=20)
            print(f"  {way}: " + measures(raw, smooth, voxels if kind else None))


def touching(voxels):
    """Pairs of neighbouring voxels of two labels, neither 0."""
    pairs = 0
    for axis in range(3):
        a = numpy.moveaxis(voxels, axis, 0)
        low, high = a[:-1], a[1:]
        pairs += int(numpy.sum((low != high) & (low != 0) & (high != 0)))
    return pairs


def measures(raw, smooth, voxels=None):
    """Quality, sharing and gaps of the label meshes of one map; with the
    voxels, the faces both labels hold against two per touching pair."""
    labels = list(raw)
    angles, aspects, triangles = [], [], 0
    owner, masks = {}, {}  # each oriented face's label; each vertex's labels, a bit each
    for bit, label in enumerate(labels):
        vertices, tris, _ = raw[label]
        corners = vertices[tris].astype(numpy.float64)
        triangles += len(tris)
        edges = [corners[:, (c + 1) % 3] - corners[:, c] for c in range(3)]
        lengths = [numpy.linalg.norm(e, axis=1) for e in edges]
        for c in range(3):
            before = (c + 2) % 3
            cos = numpy.einsum("ij,ij->i", -edges[before], edges[c]) / numpy.maximum(
                lengths[before] * lengths[c], 1e-30)
            angles.append(numpy.degrees(numpy.arccos(numpy.clip(cos, -1, 1))))
        area2 = numpy.linalg.norm(numpy.cross(edges[0], -edges[2]), axis=1)
        longest = numpy.max(lengths, axis=0)
        # 1 for an equilateral triangle, growing as it thins.
        aspects.append(longest * longest * numpy.sqrt(3) / 2 / numpy.maximum(area2, 1e-30))
        for key in rotations(vertices[tris]):
            owner[key] = label
        for v in vertices:
            key = v.tobytes()
            masks[key] = masks.get(key, 0) | 1 << bit
    angles, aspects = numpy.concatenate(angles), numpy.concatenate(aspects)
    # Faces on a boundary between labels: all three corners in another
    # label's mesh too; shared: another label holds the face reversed.
    on = shared = both = 0
    for bit, label in enumerate(labels):
        vertices, tris, _ = raw[label]
        corner = [masks[v.tobytes()] for v in vertices]
        for t, key in zip(tris, rotations(vertices[tris][:, ::-1])):
            if corner[t[0]] & corner[t[1]] & corner[t[2]] & ~(1 << bit):
                on += 1
                shared += owner.get(key, label) != label
            both += owner.get(key, label) != label
    # After smoothing: each vertex labels shared, against its copies.
    copies = {}
    for label in labels:
        for n, v in enumerate(raw[label][0]):
            copies.setdefault(v.tobytes(), []).append((label, n))
    gap = 0.0
    for held in copies.values():
        if len(held) > 1:
            moved = numpy.array([smooth[label][0][n] for label, n in held], numpy.float64)
            gap = max(gap, float(numpy.max(numpy.linalg.norm(moved - moved[0], axis=1))))
    changes = numpy.abs([100 * (volume(*smooth[label][:2]) / volume(*raw[label][:2]) - 1)
                         for label in labels])
    return (f"{triangles} triangles, smallest angle {angles.min():.1f} deg (1 % below "
            f"{numpy.percentile(angles, 1):.1f}), aspect mean {aspects.mean():.2f} "
            f"(99 % below {numpy.percentile(aspects, 99):.2f}); boundary faces shared "
            f"{100 * shared / max(on, 1):.2f} % of {on}"
            + (f"; faces both labels hold {100 * both / 2 / max(2 * touching(voxels), 1):.2f} "
               f"% of two per pair of touching voxels ({both // 2})" if voxels is not None else "")
            + "; after --smooth 20 the largest gap "
            f"between shared copies {gap:.3g}, volume change median {numpy.median(changes):.2f} "
            f"%, largest {changes.max():.2f} %")


def rotations(corners):
    """Each triangle (T, 3, 3) as bytes, started at its least corner."""
    start = numpy.zeros(len(corners), int)
    for shift in (1, 2):
        a = corners[numpy.arange(len(corners)), shift]
        b = corners[numpy.arange(len(corners)), start]
        less = (a[:, 0] < b[:, 0]) | ((a[:, 0] == b[:, 0]) & ((a[:, 1] < b[:, 1]) | (
            (a[:, 1] == b[:, 1]) & (a[:, 2] < b[:, 2]))))
        start[less] = shift
    index = (start[:, None] + numpy.arange(3)[None, :]) % 3
    turned = numpy.ascontiguousarray(corners[numpy.arange(len(corners))[:, None], index])
    return [t.tobytes() for t in turned]


def volume(vertices, faces):
    a, b, c = (vertices[faces[:, k]].astype(numpy.float64) for k in range(3))
    return float(numpy.einsum("ij,ij->i", a, numpy.cross(b, c)).sum() / 6)


if __name__ == "__main__":
    main()
