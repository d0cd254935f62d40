#!/usr/bin/python3
"""Times the whole command on an output-heavy volume with normals: `mcubes
mesh --volume noise.nrrd --iso 0 --normals -o out.ply`, closed (the default)
and --unwelded, against VTK's pipeline doing the same work (its reader,
vtkFlyingEdges3D with normals, the binary PLY writer, on VTK's sequential
backend), one core each, best of --repeat runs, all in one run of this
script, with the load average before and after. A measuring aid only:
nothing in the product or its tests uses VTK.

The volume (written to --dir unless there already): smoothednoise256.nrrd,
a Gaussian of sigma 2 over normal noise (seed 1), float32, raw NRRD, level 0,
about 11 million triangles. Needs python3-vtk9, python3-numpy and
python3-scipy, hence Debian's own /usr/bin/python3:

    benchmarks/normals_reference.py --mcubes build/release/tools/mcubes
"""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pipeline_reference import best, nrrd_reader, reference_options, timed  # noqa: E402

import numpy  # noqa: E402
import vtk  # noqa: E402

NAME, SIZE = "smoothednoise256.nrrd", 256


def write_noise(path):
    from scipy import ndimage
    noise = numpy.random.default_rng(1).standard_normal((SIZE,) * 3).astype(numpy.float32)
    values = ndimage.gaussian_filter(noise, 2.0)
    with open(path, "wb") as f:
        f.write(b"NRRD0004\ntype: float\ndimension: 3\nsizes: 256 256 256\nendian: little\n"
                b"encoding: raw\nspace directions: (1,0,0) (0,1,0) (0,0,1)\n"
                b"space origin: (-128,-128,-128)\n\n")
        f.write(values.astype("<f4").tobytes())


def vtk_pipeline(path, out):
    reader = nrrd_reader(path)
    reader.SetFileName(path)
    surface = vtk.vtkFlyingEdges3D()
    surface.SetInputConnection(reader.GetOutputPort())
    surface.SetValue(0, 0.0)
    surface.ComputeNormalsOn()
    surface.ComputeGradientsOff()
    surface.ComputeScalarsOff()
    writer = vtk.vtkPLYWriter()
    writer.SetInputConnection(surface.GetOutputPort())
    writer.SetFileTypeToBinary()
    writer.SetFileName(out)
    start = time.perf_counter()
    writer.Write()
    return time.perf_counter() - start


def load():
    return "load average " + " ".join(f"{value:.2f}" for value in os.getloadavg())


def main():
    options = reference_options(__doc__)
    out = os.path.join(options.dir, "normals_reference_out.ply")
    path = os.path.join(options.dir, NAME)
    if not os.path.exists(path):
        write_noise(path)
    print(load(), flush=True)
    base = [options.mcubes, "mesh", "--volume", path, "--iso", "0", "--normals", "--threads", "1",
            "-o", out]
    # Interleaved, so that a busy spell falls on both.
    vtk_seconds, closed, unwelded = [], [], []
    for _ in range(options.repeat):
        vtk_seconds.append(vtk_pipeline(path, out))
        closed.append(timed(base))
        unwelded.append(timed(base + ["--unwelded"]))
    vtk_best, closed_best, unwelded_best = min(vtk_seconds), min(closed), min(unwelded)
    print(f"{NAME} iso 0 with normals: VTK reader + FlyingEdges3D + PLY {vtk_best:.3f} s, "
          f"mcubes closed {closed_best:.3f} s ({closed_best / vtk_best:.2f}x VTK), "
          f"--unwelded {unwelded_best:.3f} s ({unwelded_best / vtk_best:.2f}x VTK)")
    print(load())
    os.remove(out)


if __name__ == "__main__":
    main()
