#!/usr/bin/python3
"""Times isocubes.marching_cubes against scikit-image's marching_cubes on the
256^3 sample volumes, the same arrays in one run of this script, and checks
that a 1 GiB uint8 volume passes through without a copy. A measuring aid:
nothing in the product or its tests depends on its numbers.

Volumes (made by `mcubes sample NAME --size 256`, read with
isocubes.read_volume; making them is not timed; float32, indexed [z, y, x]):
  torus            signed distance to a torus, level 0
  wavelet          VTK's Wavelet, level 160.5
  marschner-lobb   Marschner and Lobb's test signal, level 0.5

Wall time, best of --repeat runs: isocubes on every core (threads=0) and on
one (threads=1), open (closed=False, as scikit-image's) with normals, and on
every core without normals; scikit-image's lorensen and lewiner methods (one
core, always with normals). Then smoothed noise (a Gaussian of sigma 2 over
normal noise, level 0) against VTK's vtkFlyingEdges3D with normals, on one
thread each (VTK's sequential SMP backend), where python3-vtk9 is there.
Then, in a fresh process, a 1024^3 uint8 sphere: the peak resident memory,
less the interpreter's before the array was made, against the array plus the
mesh it returns. The load average is printed before and after.

Needs the isocubes package (PYTHONPATH=build/release/python or installed) and
python3-skimage:

    PYTHONPATH=build/release/python benchmarks/python_reference.py \\
        --mcubes build/release/tools/mcubes
"""
import argparse
import json
import os
import subprocess
import sys
import tempfile
import time
import warnings

import numpy

import isocubes

os.environ.setdefault("VTK_SMP_BACKEND_IN_USE", "Sequential")
# The Wavelet's level equals voxels' values: said once here, not per run.
warnings.simplefilter("once", isocubes.MeshWarning)

VOLUMES = {"torus": 0.0, "wavelet": 160.5, "marschner-lobb": 0.5}


def best(repeat, run):
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        run()
        times.append(time.perf_counter() - start)
    return min(times)


def compare(tool, size, repeat):
    from skimage import measure

    rows = []
    with tempfile.TemporaryDirectory() as folder:
        for name, level in VOLUMES.items():
            path = os.path.join(folder, name + ".nrrd")
            subprocess.run([tool, "sample", name, "--size", str(size), "-o", path], check=True,
                           capture_output=True)
            volume, _ = isocubes.read_volume(path)
            vertices, faces, _ = isocubes.marching_cubes(volume, level, closed=False)
            row = {"volume": f"{name}{size}", "triangles": len(faces)}
            for key, threads, normals in (("isocubes_s", 0, True), ("isocubes_1_thread_s", 1, True),
                                          ("isocubes_no_normals_s", 0, False)):
                row[key] = best(repeat, lambda: isocubes.marching_cubes(
                    volume, level, closed=False, normals=normals, threads=threads))
            for method in ("lorensen", "lewiner"):
                row[f"skimage_{method}_s"] = best(repeat, lambda: measure.marching_cubes(
                    volume, level, method=method))
            row["ratio_lorensen"] = row["skimage_lorensen_s"] / row["isocubes_s"]
            row["ratio_lewiner"] = row["skimage_lewiner_s"] / row["isocubes_s"]
            row["ratio_lorensen_1_thread"] = row["skimage_lorensen_s"] / row["isocubes_1_thread_s"]
            row["ratio_lorensen_no_normals"] = (row["skimage_lorensen_s"] /
                                                row["isocubes_no_normals_s"])
            rows.append(row)
    return rows


def noise_against_vtk(size, repeat):
    """Smoothed noise: isocubes and vtkFlyingEdges3D, both with normals and on
    one thread; None without VTK or SciPy."""
    try:
        import vtk
        from scipy import ndimage
        from vtk.util import numpy_support
    except ImportError:
        return None
    noise = numpy.random.default_rng(1).standard_normal((size,) * 3).astype(numpy.float32)
    volume = ndimage.gaussian_filter(noise, 2.0)
    image = vtk.vtkImageData()
    image.SetDimensions(size, size, size)  # x fastest: the array's last axis
    image.GetPointData().SetScalars(numpy_support.numpy_to_vtk(volume.ravel(), deep=False))
    edges = vtk.vtkFlyingEdges3D()
    edges.SetInputData(image)
    edges.SetValue(0, 0.0)
    edges.ComputeNormalsOn()
    edges.ComputeGradientsOff()
    edges.ComputeScalarsOff()

    def flying_edges():
        edges.Modified()
        edges.Update()

    row = {"volume": f"noise{size}",
           "isocubes_1_thread_s": best(repeat, lambda: isocubes.marching_cubes(
               volume, 0.0, closed=False, normals=True, threads=1)),
           "isocubes_s": best(repeat, lambda: isocubes.marching_cubes(
               volume, 0.0, closed=False, normals=True)),
           "vtk_flying_edges_s": best(repeat, flying_edges)}
    row["triangles"] = edges.GetOutput().GetNumberOfCells()
    row["ratio_1_thread"] = row["vtk_flying_edges_s"] / row["isocubes_1_thread_s"]
    return row


def load():
    return "load average " + " ".join(f"{value:.2f}" for value in os.getloadavg())


def peak_bytes():
    """This process's peak resident memory: Linux's VmHWM, as ru_maxrss
    would be but that it keeps the parent's peak across exec."""
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) * 1024
    raise RuntimeError("no VmHWM in /proc/self/status")


def large(size):
    """In this process: a size^3 uint8 sphere built slice by slice, then
    meshed; what the extraction added to the peak."""
    interpreter = peak_bytes()
    volume = numpy.empty((size, size, size), numpy.uint8)
    axis = numpy.arange(size, dtype=numpy.float32) - (size - 1) / 2
    y, x = numpy.meshgrid(axis, axis, indexing="ij")
    for k in range(size):
        radius = numpy.sqrt(x * x + y * y + axis[k] ** 2)
        volume[k] = numpy.clip(255 - radius * (255 / (0.45 * size)), 0, 255).astype(numpy.uint8)
    del y, x, radius
    before = peak_bytes()
    start = time.perf_counter()
    vertices, faces, normals = isocubes.marching_cubes(volume, 127.5, normals=True)
    seconds = time.perf_counter() - start
    mesh = vertices.nbytes + faces.nbytes + normals.nbytes
    added = peak_bytes() - before
    return {"voxels": volume.nbytes, "triangles": len(faces), "mesh_bytes": mesh,
            "seconds": seconds, "interpreter_bytes": interpreter, "peak_before_bytes": before,
            "peak_added_bytes": added,
            "peak_over_array_and_mesh": (before + added - interpreter) / (volume.nbytes + mesh)}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--mcubes", default="mcubes", help="the mcubes tool (for the samples)")
    parser.add_argument("--size", type=int, default=256)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--large", type=int, default=1024,
                        help="voxels along each axis of the uint8 volume (0: skip)")
    parser.add_argument("--large-only", action="store_true", help=argparse.SUPPRESS)
    arguments = parser.parse_args()
    if arguments.large_only:
        print(json.dumps(large(arguments.large)))
        return
    print(load(), f"on {len(os.sched_getaffinity(0))} processors", flush=True)
    print(f"{'volume':<18}{'triangles':>11}{'isocubes':>9}{'1 thread':>10}{'no normals':>12}"
          f"{'lorensen':>10}{'lewiner':>9}{'ratio':>7}{'lewiner':>9}{'1 thread':>9}"
          f"{'no normals':>12}")
    for row in compare(arguments.mcubes, arguments.size, arguments.repeat):
        print(f"{row['volume']:<18}{row['triangles']:>11}{row['isocubes_s'] * 1e3:>7.0f}ms"
              f"{row['isocubes_1_thread_s'] * 1e3:>8.0f}ms"
              f"{row['isocubes_no_normals_s'] * 1e3:>10.0f}ms"
              f"{row['skimage_lorensen_s'] * 1e3:>8.0f}ms{row['skimage_lewiner_s'] * 1e3:>7.0f}ms"
              f"{row['ratio_lorensen']:>6.1f}x{row['ratio_lewiner']:>8.1f}x"
              f"{row['ratio_lorensen_1_thread']:>8.1f}x"
              f"{row['ratio_lorensen_no_normals']:>11.1f}x", flush=True)
    noise = noise_against_vtk(arguments.size, arguments.repeat)
    if noise:
        print(f"{noise['volume']:<18}{noise['triangles']:>11}: isocubes "
              f"{noise['isocubes_1_thread_s'] * 1e3:.0f} ms on one thread "
              f"({noise['isocubes_s'] * 1e3:.0f} ms on every core), vtkFlyingEdges3D "
              f"{noise['vtk_flying_edges_s'] * 1e3:.0f} ms on one: "
              f"{noise['ratio_1_thread']:.2f}x", flush=True)
    if arguments.large:
        run = subprocess.run([sys.executable, __file__, "--large-only", "--large",
                              str(arguments.large)], check=True, capture_output=True, text=True)
        result = json.loads(run.stdout)
        print(f"uint8 {arguments.large}^3 ({result['voxels'] / 2**30:.2f} GiB): "
              f"{result['triangles']} triangles in {result['seconds']:.2f} s; peak resident "
              f"{(result['peak_before_bytes'] + result['peak_added_bytes']) / 2**20:.0f} MiB, "
              f"{result['interpreter_bytes'] / 2**20:.0f} MiB of them the interpreter's before; "
              f"the rest {result['peak_over_array_and_mesh']:.3f} x (array + mesh "
              f"{(result['voxels'] + result['mesh_bytes']) / 2**20:.0f} MiB); the extraction "
              f"added {result['peak_added_bytes'] / 2**20:.0f} MiB to the peak")
    print(load())


if __name__ == "__main__":
    main()
