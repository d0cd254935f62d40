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
    os.remove(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--mcubes", required=True, help="the mcubes program to time")
    parser.add_argument("--dir", default=tempfile.gettempdir(), help="where the volumes are")
    parser.add_argument("--repeat", type=int, default=3, help="runs of each, the best taken")
    options = parser.parse_args()
    print("load average before: %.2f %.2f %.2f" % os.getloadavg())
    for labels in LABEL_COUNTS:
        compare(options, labels)
    print("load average after: %.2f %.2f %.2f" % os.getloadavg())


if __name__ == "__main__":
    main()
