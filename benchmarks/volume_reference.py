#!/usr/bin/python3
"""Times VTK's vtkFlyingEdges3D on the benchmark volumes, for comparison with
`mcubes bench --volume` on the same data and machine. A measuring aid only:
nothing in the product or its tests uses VTK.

Needs python3-vtk9 and python3-numpy (Debian: apt-get install python3-vtk9
python3-numpy), hence Debian's own /usr/bin/python3.

Volumes (float32, i fastest, the filter's input already in memory; making it
is not timed; the filter runs on VTK's sequential SMP backend):
  wavelet256, wavelet512   VTK's Wavelet source (vtkRTAnalyticSource), iso 157
  marschner-lobb256        the Marschner-Lobb test function on [-1, 1]^3, iso 0.5
  sphere512                a signed distance to a sphere of radius 200 voxels, iso 0
  noise256                 uniform noise in [0, 1) (seed 1), iso 0.5: the dense worst case

With --write DIR the volume is also written as DIR/NAME.raw (float32, little
endian); with --mcubes PATH, `mcubes bench --volume` is run on that file at
the given thread counts, and each ratio to VTK printed:

    benchmarks/volume_reference.py --volume wavelet256 --write /tmp \\
        --mcubes build/release/tools/mcubes --threads 1 2
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import time

os.environ.setdefault("VTK_SMP_BACKEND_IN_USE", "Sequential")

try:
    import numpy
    import vtk
    from vtk.util import numpy_support
except ImportError as error:
    sys.exit(f"volume_reference.py: needs python3-vtk9 and python3-numpy ({error})")

VOLUMES = {
    "wavelet256": ("wavelet", 256, 157.0),
    "wavelet512": ("wavelet", 512, 157.0),
    "marschner-lobb256": ("marschner-lobb", 256, 0.5),
    "sphere512": ("sphere", 512, 0.0),
    "noise256": ("noise", 256, 0.5),
}


def wavelet(n):
    source = vtk.vtkRTAnalyticSource()
    half = n // 2
    source.SetWholeExtent(-half, n - half - 1, -half, n - half - 1, -half, n - half - 1)
    source.Update()
    image = vtk.vtkImageData()
    image.DeepCopy(source.GetOutput())
    return image


def from_values(values, origin=(0.0, 0.0, 0.0), spacing=(1.0, 1.0, 1.0)):
    # values[k, j, i]: VTK's point order, i fastest.
    n = values.shape
    image = vtk.vtkImageData()
    image.SetDimensions(n[2], n[1], n[0])
    image.SetOrigin(*origin)
    image.SetSpacing(*spacing)
    array = numpy_support.numpy_to_vtk(values.ravel(), deep=True)
    array.SetName("values")
    image.GetPointData().SetScalars(array)
    return image


def marschner_lobb(n):
    axis = numpy.linspace(-1.0, 1.0, n)
    z, y, x = numpy.meshgrid(axis, axis, axis, indexing="ij")
    alpha, frequency = 0.25, 6.0
    radial = numpy.cos(2 * numpy.pi * frequency * numpy.cos(numpy.pi * numpy.sqrt(x * x + y * y) / 2))
    values = (1 - numpy.sin(numpy.pi * z / 2) + alpha * (1 + radial)) / (2 * (1 + alpha))
    step = 2.0 / (n - 1)
    return from_values(values.astype(numpy.float32), (-1.0, -1.0, -1.0), (step, step, step))


def sphere(n):
    axis = numpy.arange(n, dtype=numpy.float32) - (n - 1) / 2
    z, y, x = numpy.meshgrid(axis, axis, axis, indexing="ij", sparse=True)
    values = numpy.sqrt(x * x + y * y + z * z) - numpy.float32(200.0)
    return from_values(values.astype(numpy.float32))


def noise(n):
    values = numpy.random.default_rng(1).random((n, n, n), dtype=numpy.float32)
    return from_values(values)


def make(name):
    kind, n, iso = VOLUMES[name]
    image = {"wavelet": wavelet, "marschner-lobb": marschner_lobb, "sphere": sphere,
             "noise": noise}[kind](n)
    return image, iso


def time_flying_edges(image, iso, repeat):
    if hasattr(vtk.vtkSMPTools, "SetBackend"):
        vtk.vtkSMPTools.SetBackend("Sequential")
    flying = vtk.vtkFlyingEdges3D()
    flying.SetInputData(image)
    flying.SetValue(0, iso)
    flying.ComputeNormalsOff()
    flying.ComputeGradientsOff()
    flying.ComputeScalarsOff()
    samples, cpu_samples = [], []
    for _ in range(repeat):
        flying.Modified()
        start, cpu_start = time.perf_counter(), time.thread_time()
        flying.Update()
        samples.append((time.perf_counter() - start) * 1e6)
        cpu_samples.append((time.thread_time() - cpu_start) * 1e6)
    return {
        "us_median": round(statistics.median(samples), 1),
        "us_min": round(min(samples), 1),
        "cpu_us_median": round(statistics.median(cpu_samples), 1),
        "triangles": flying.GetOutput().GetNumberOfPolys(),
        "smp_backend": vtk.vtkSMPTools.GetBackend(),
    }


def write_raw(image, path):
    values = numpy_support.vtk_to_numpy(image.GetPointData().GetScalars()).astype("<f4")
    values.tofile(path)
    # Voxel (0, 0, 0) lies at the bounds' lower corner (the extent may not
    # start at 0, as the Wavelet's does not).
    layout = {"dims": list(image.GetDimensions()), "spacing": list(image.GetSpacing()),
              "origin": list(image.GetBounds()[0::2])}
    with open(path + ".json", "w") as sidecar:
        json.dump(layout, sidecar)
    return raw_arguments(path, layout)


def raw_arguments(path, layout):
    listed = lambda values: ",".join(repr(v) for v in values)
    return (f"--volume {path} --dims {listed(layout['dims'])} --type float32 "
            f"--spacing {listed(layout['spacing'])} --origin {listed(layout['origin'])}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--volume", choices=sorted(VOLUMES), required=True)
    parser.add_argument("--repeat", type=int, default=11)
    parser.add_argument("--write", metavar="DIR", help="also write DIR/NAME.raw")
    parser.add_argument("--mcubes", metavar="PATH", help="run `mcubes bench` on the written file")
    parser.add_argument("--threads", type=int, nargs="+", default=[1])
    parser.add_argument("--skip-vtk", action="store_true", help="only write (and run mcubes)")
    parser.add_argument("--load", metavar="DIR",
                        help="read DIR/NAME.raw, as --write wrote it, instead of making the volume "
                             "(quicker under valgrind)")
    options = parser.parse_args()
    if options.mcubes and not (options.write or options.load):
        parser.error("--mcubes needs --write DIR or --load DIR")

    if options.load:
        path = os.path.join(options.load, options.volume + ".raw")
        with open(path + ".json") as sidecar:
            layout = json.load(sidecar)
        dims = layout["dims"]
        values = numpy.fromfile(path, dtype="<f4").reshape(dims[2], dims[1], dims[0])
        image, iso = from_values(values, layout["origin"], layout["spacing"]), VOLUMES[options.volume][2]
    else:
        image, iso = make(options.volume)
    report = {"volume": options.volume, "iso": iso, "dims": list(image.GetDimensions())}
    if not options.skip_vtk:
        report["flying_edges"] = time_flying_edges(image, iso, options.repeat)
    if options.write or options.load:
        if options.write:
            path = os.path.join(options.write, options.volume + ".raw")
            arguments = write_raw(image, path)
        else:
            arguments = raw_arguments(path, layout)
        del image
        report["mcubes_arguments"] = f"{arguments} --iso {iso!r}"
        for threads in options.threads if options.mcubes else []:
            command = [options.mcubes, "bench"] + report["mcubes_arguments"].split() + [
                "--threads", str(threads), "--frames", str(options.repeat), "--json"]
            result = json.loads(subprocess.run(command, check=True, capture_output=True,
                                               text=True).stdout)
            report[f"mcubes_threads_{threads}"] = result
            if "flying_edges" in report:
                report[f"ratio_threads_{threads}"] = round(
                    result["extract_us_median"] / report["flying_edges"]["us_median"], 3)
    print(json.dumps(report))


if __name__ == "__main__":
    main()
