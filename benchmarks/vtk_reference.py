#!/usr/bin/python3
"""Times VTK's isosurface filters on the scene's field, for comparison with
`mcubes bench` on the same machine. A measuring aid only: nothing in the
product or its tests uses VTK.

Needs python3-vtk9 and python3-numpy (Debian: apt-get install python3-vtk9
python3-numpy), hence Debian's own /usr/bin/python3.

The field is sampled on the corner lattice of the scene's grid at N
divisions, (N + 2)^3 points from -8 - h to 8 + h (h: half a cell), as float64,
and handed to the filter ready-made: its sampling is not timed. The filters
run on one thread (VTK's sequential SMP backend).

    benchmarks/vtk_reference.py --divisions 16 --algorithm flying-edges
"""
import argparse
import json
import math
import os
import statistics
import sys
import time

os.environ.setdefault("VTK_SMP_BACKEND_IN_USE", "Sequential")

try:
    import numpy
    import vtk
    from vtk.util import numpy_support
except ImportError as error:
    sys.exit(f"vtk_reference.py: needs python3-vtk9 and python3-numpy ({error})")


def ball_centres(ticks):
    t = ticks / 50.0
    f32 = lambda v: float(numpy.float32(v))
    return ((f32(5.5 * math.cos(t)), f32(5.0 * math.sin(t)), 0.0),
            (f32(5.5 * math.sin(t)), f32(5.0 * math.sin(t)), 0.0))


def field_image(divisions, ticks):
    step = 16.0 / divisions
    points = divisions + 2
    axis = -8.0 - step / 2 + step * numpy.arange(points)
    # VTK image order: x fastest.
    z, y, x = numpy.meshgrid(axis, axis, axis, indexing="ij")
    value = numpy.zeros_like(x)
    for cx, cy, cz in ball_centres(ticks):
        value += 2.0 / (1.0 + (x - cx) ** 2 + (y - cy) ** 2 + (z - cz) ** 2)
    image = vtk.vtkImageData()
    image.SetDimensions(points, points, points)
    image.SetOrigin(axis[0], axis[0], axis[0])
    image.SetSpacing(step, step, step)
    array = numpy_support.numpy_to_vtk(value.ravel(), deep=True)
    array.SetName("field")
    image.GetPointData().SetScalars(array)
    return image


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--divisions", type=int, default=16)
    parser.add_argument("--tick", type=int, default=0)
    parser.add_argument("--repeat", type=int, default=200)
    parser.add_argument("--algorithm", choices=["flying-edges", "marching-cubes"],
                        default="flying-edges")
    options = parser.parse_args()
    if hasattr(vtk.vtkSMPTools, "SetBackend"):
        vtk.vtkSMPTools.SetBackend("Sequential")

    image = field_image(options.divisions, options.tick)
    if options.algorithm == "flying-edges":
        filter = vtk.vtkFlyingEdges3D()
    else:
        filter = vtk.vtkMarchingCubes()
    filter.SetInputData(image)
    filter.SetValue(0, 0.25)
    filter.ComputeNormalsOff()
    filter.ComputeGradientsOff()
    filter.ComputeScalarsOff()
    # Wall time, and this thread's processor time, which a busy machine
    # disturbs less.
    samples, cpu_samples = [], []
    for _ in range(options.repeat):
        filter.Modified()
        start, cpu_start = time.perf_counter(), time.thread_time()
        filter.Update()
        samples.append((time.perf_counter() - start) * 1e6)
        cpu_samples.append((time.thread_time() - cpu_start) * 1e6)
    print(json.dumps({
        "algorithm": options.algorithm,
        "divisions": options.divisions,
        "tick": options.tick,
        "us_median": round(statistics.median(samples), 1),
        "us_min": round(min(samples), 1),
        "cpu_us_median": round(statistics.median(cpu_samples), 1),
        "triangles": filter.GetOutput().GetNumberOfPolys(),
        "smp_backend": vtk.vtkSMPTools.GetBackend(),
    }))


if __name__ == "__main__":
    main()
