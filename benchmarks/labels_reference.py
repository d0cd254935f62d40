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

The volume (written to --dir unless there already): cells20_256.nrrd, a
256^3 uint8 label map of a ball cut into 20 touching cells (each voxel
labelled by its nearest of 20 fixed random seeds, 0 outside), raw NRRD.

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

SIZE, LABELS = 256, 20
NAME = "cells20_256.nrrd"


def write_cells(path):
    seeds = numpy.random.default_rng(20).uniform(-0.8, 0.8, (LABELS, 3))
    axis = numpy.linspace(-1, 1, SIZE)
    y, x = numpy.meshgrid(axis, axis, indexing="ij")
    with open(path, "wb") as f:
        f.write(f"NRRD0004\ntype: uchar\ndimension: 3\nsizes: {SIZE} {SIZE} {SIZE}\n"
                "encoding: raw\nspace directions: (1,0,0) (0,1,0) (0,0,1)\n"
                "space origin: (0,0,0)\n\n".encode())
        for z in axis:
            distances = [(x - s[0]) ** 2 + (y - s[1]) ** 2 + (z - s[2]) ** 2 for s in seeds]
            labels = numpy.argmin(distances, axis=0) + 1
            labels[x * x + y * y + z * z > 0.9 * 0.9] = 0
            f.write(labels.astype(numpy.uint8).tobytes())


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


def discrete(port):
    surface = vtk.vtkDiscreteFlyingEdges3D()
    surface.SetInputConnection(port)
    surface.GenerateValues(LABELS, 1, LABELS)
    surface.ComputeNormalsOff()
    surface.ComputeGradientsOff()
    surface.ComputeScalarsOn()
    return surface


def vtk_alone(path):
    image = reader(path)
    image.Update()
    surface = discrete(image.GetOutputPort())
    start, cpu = time.perf_counter(), time.process_time()
    surface.Update()
    return time.perf_counter() - start, time.process_time() - cpu


def vtk_pipeline(path, out):
    image = reader(path)  # held: the port alone does not keep it alive
    surface = discrete(image.GetOutputPort())
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


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--mcubes", required=True, help="the mcubes program to time")
    parser.add_argument("--dir", default=tempfile.gettempdir(), help="where the volume is")
    parser.add_argument("--repeat", type=int, default=3, help="runs of each, the best taken")
    options = parser.parse_args()
    path = os.path.join(options.dir, NAME)
    out = os.path.join(options.dir, "labels_reference_out.ply")
    if not os.path.exists(path):
        write_cells(path)
    alone = min(vtk_alone(path) for _ in range(options.repeat))
    pipeline = min(vtk_pipeline(path, out) for _ in range(options.repeat))
    command = [options.mcubes, "mesh", "--volume", path, "--labels", "all", "--threads", "1",
               "-o", out]
    mcubes = min(timed(command) for _ in range(options.repeat))
    print(f"{NAME}, {LABELS} labels, seconds of wall time (of processor time):")
    print(f"  vtkDiscreteFlyingEdges3D alone      {alone[0]:.3f} ({alone[1]:.3f})")
    print(f"  VTK reader + that filter + PLY      {pipeline[0]:.3f} ({pipeline[1]:.3f})")
    print(f"  mcubes mesh --labels all -o x.ply   {mcubes[0]:.3f} ({mcubes[1]:.3f}), closed meshes")
    print(f"  mcubes / VTK's filter alone: {mcubes[0] / alone[0]:.2f}x wall, "
          f"{mcubes[1] / alone[1]:.2f}x processor; / VTK's pipeline: "
          f"{mcubes[0] / pipeline[0]:.2f}x wall, {mcubes[1] / pipeline[1]:.2f}x processor")
    os.remove(out)


if __name__ == "__main__":
    main()
