#!/usr/bin/python3
"""Times mcubes' finishing steps against VTK's on the same mesh: 20 iterations
of windowed-sinc smoothing (vtkWindowedSincPolyDataFilter, pass band 0.1, its
other settings as they come) and decimation to 10 % of the triangles
(vtkQuadricDecimation, target reduction 0.9), one core each (VTK's sequential
backend; mcubes' steps are single-threaded), and prints the ratios. A
measuring aid only: nothing in the product or its tests uses VTK.

The mesh is a sample volume's surface as `mcubes mesh` writes it (by default
the gyroid at 200^3, about a million triangles; it touches the volume's box
everywhere, so holding the caps on it is part of mcubes' work). Only the step
is timed on each side: VTK's filter's Update() on the mesh read from the PLY
mcubes wrote, and mcubes' function in finishing_benchmark (built with the
benchmarks), which meshes the same sample in memory into the same triangles
and times the step on a fresh copy each run. Timing whole `mcubes mesh`
commands with and without the step measures the same thing plus reading,
extracting and writing, whose noise on a shared machine is as large as the
step; the command's total is printed for scale. The quadric decimation takes
a minute or more and runs once; everything else is the best of --repeat runs.
Steps are timed in processor time on both sides (one thread each, so the same
as wall time on an idle machine, and steadier on a shared one).

Needs python3-vtk9 (Debian: apt-get install python3-vtk9), hence Debian's own
/usr/bin/python3.

    benchmarks/finishing_reference.py --mcubes build/release/tools/mcubes \\
        --benchmark build/release/benchmarks/finishing_benchmark
"""
import argparse
import json
import os
import subprocess
import sys
import tempfile
import time

os.environ.setdefault("VTK_SMP_BACKEND_IN_USE", "Sequential")

try:
    import vtk
except ImportError as error:
    sys.exit(f"finishing_reference.py: needs python3-vtk9 ({error})")


def timed(command):
    start = time.perf_counter()
    subprocess.run(command, check=True, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def update_seconds(algorithm):
    start = time.process_time()
    algorithm.Update()
    return time.process_time() - start


def mcubes_steps(options):
    """Best time of each step in finishing_benchmark, in seconds, and the
    triangles it left."""
    output = subprocess.run(
        [options.benchmark, "--sample", options.sample, "--size", str(options.size), "--iso",
         options.iso, "--benchmark_format=json", f"--benchmark_repetitions={options.repeat}"],
        check=True, capture_output=True, text=True).stdout
    steps = {}
    for run in json.loads(output)["benchmarks"]:
        if run.get("run_type") != "iteration":
            continue
        seconds = run["cpu_time"] / 1000.0  # reported in milliseconds
        name = run["name"]
        if name not in steps or seconds < steps[name][0]:
            steps[name] = (seconds, int(run["triangles_out"]))
    return steps


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--mcubes", required=True, help="the mcubes program")
    parser.add_argument("--benchmark", required=True, help="the finishing_benchmark program")
    parser.add_argument("--dir", default=tempfile.gettempdir(), help="where files are written")
    parser.add_argument("--sample", default="gyroid", help="the sample volume meshed")
    parser.add_argument("--size", type=int, default=200, help="its voxels a side")
    parser.add_argument("--iso", default="0.25", help="the level meshed")
    parser.add_argument("--repeat", type=int, default=3, help="runs of each, the best taken")
    options = parser.parse_args()
    volume = os.path.join(options.dir, f"finishing_{options.sample}{options.size}.nrrd")
    mesh = os.path.join(options.dir, "finishing_reference.ply")
    out = os.path.join(options.dir, "finishing_reference_out.stl")
    subprocess.run([options.mcubes, "sample", options.sample, "--size", str(options.size),
                    "-o", volume], check=True)
    command = [options.mcubes, "mesh", "--volume", volume, "--iso", options.iso]
    subprocess.run(command + ["-o", mesh], check=True, stderr=subprocess.DEVNULL)

    reader = vtk.vtkPLYReader()
    reader.SetFileName(mesh)
    reader.Update()
    polydata = reader.GetOutput()
    print(f"{options.sample} {options.size}^3 at {options.iso}: "
          f"{polydata.GetNumberOfCells()} triangles, {polydata.GetNumberOfPoints()} vertices")
    steps = mcubes_steps(options)

    def sinc():
        smoother = vtk.vtkWindowedSincPolyDataFilter()
        smoother.SetInputData(polydata)
        smoother.SetNumberOfIterations(20)
        smoother.SetPassBand(0.1)
        return update_seconds(smoother)

    vtk_smooth = min(sinc() for _ in range(options.repeat))
    smoothed = steps["smooth20"][0]
    print(f"smoothing, 20 iterations, pass band 0.1: VTK {vtk_smooth:.3f} s, "
          f"mcubes {smoothed:.3f} s ({smoothed / vtk_smooth:.2f}x VTK)")

    quadric = vtk.vtkQuadricDecimation()
    quadric.SetInputData(polydata)
    quadric.SetTargetReduction(0.9)
    vtk_decimate = update_seconds(quadric)
    decimated, kept = steps["decimateToTenth"]
    print(f"decimation to 10 %: VTK {vtk_decimate:.3f} s "
          f"({quadric.GetOutput().GetNumberOfCells()} triangles), mcubes {decimated:.3f} s "
          f"({kept} triangles; {decimated / vtk_decimate:.3f}x VTK)")

    plain = min(timed(command + ["-o", out]) for _ in range(options.repeat))
    both = min(timed(command + ["--smooth", "20", "--decimate", "0.1", "-o", out])
               for _ in range(options.repeat))
    print(f"for scale, the whole mcubes mesh command to STL: {plain:.3f} s, "
          f"with --smooth 20 --decimate 0.1 {both:.3f} s")
    os.remove(out)


if __name__ == "__main__":
    main()
