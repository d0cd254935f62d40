#!/usr/bin/python3
"""Times the whole command a user waits on: `mcubes mesh --volume F --iso V -o
out.stl`, closed (the default) and --unwelded, against VTK's pipeline doing the
same work (its reader, vtkFlyingEdges3D, the binary STL writer, on VTK's
sequential backend) on the same file, one core, best of --repeat runs, all in
one run of this script, and prints the ratios. Beside them the floor: the
input read from the page cache and as many bytes as mcubes's closed STL
written to a file beside it, through one reused buffer, and mcubes's ratio
to it. A measuring aid only: nothing in the product or its tests uses VTK.

Needs python3-vtk9 and python3-numpy (Debian: apt-get install python3-vtk9
python3-numpy), hence Debian's own /usr/bin/python3.

Volumes (written to --dir unless there already):
  wavelet256.nrrd     VTK's Wavelet source (vtkRTAnalyticSource) on 256^3,
                      float32, raw NRRD; iso 160
  torus256.nii.gz     a 256^3 int16 torus with ripples (values 1000 - 8 *
                      distance from its core circle), gzip-compressed NIfTI-1;
                      iso 700.5

    benchmarks/pipeline_reference.py --mcubes build/release/tools/mcubes
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
    from vtk.util import numpy_support
except ImportError as error:
    sys.exit(f"pipeline_reference.py: needs python3-vtk9 and python3-numpy ({error})")

VOLUMES = {"wavelet256.nrrd": 160.0, "torus256.nii.gz": 700.5}


def write_wavelet(path):
    source = vtk.vtkRTAnalyticSource()
    source.SetWholeExtent(-128, 127, -128, 127, -128, 127)
    source.Update()
    values = numpy_support.vtk_to_numpy(source.GetOutput().GetPointData().GetScalars())
    with open(path, "wb") as f:
        f.write(b"NRRD0004\ntype: float\ndimension: 3\nsizes: 256 256 256\nendian: little\n"
                b"encoding: raw\nspace directions: (1,0,0) (0,1,0) (0,0,1)\n"
                b"space origin: (-128,-128,-128)\n\n")
        f.write(values.astype("<f4").tobytes())


def torus_values():
    """The torus volume's int16 values, indexed [z, y, x]."""
    axis = numpy.arange(256) - 127.5
    z, y, x = numpy.meshgrid(axis, axis, axis, indexing="ij")
    distance = numpy.sqrt((numpy.sqrt(x * x + y * y) - 70) ** 2 + z * z)
    return (1000 - 8 * distance + 40 * numpy.sin(x / 9) * numpy.cos(y / 7)).astype(numpy.int16)


def write_torus(path):
    image = vtk.vtkImageData()
    image.SetDimensions(256, 256, 256)
    image.SetSpacing(0.8, 0.8, 0.8)
    image.GetPointData().SetScalars(numpy_support.numpy_to_vtk(torus_values().ravel(), deep=True))
    writer = vtk.vtkNIFTIImageWriter()
    writer.SetInputData(image)
    writer.SetFileName(path)
    writer.Write()


def nrrd_reader(path):
    # Debian's VTK replaces vtkNrrdReader by its MPI reader, which needs a
    # controller; the NRRD is raw, so VTK's raw image reader (the base of
    # vtkNrrdReader) reads it past its header.
    with open(path, "rb") as f:
        header = f.read(4096).split(b"\n\n", 1)[0]
    reader = vtk.vtkImageReader2()
    reader.SetHeaderSize(len(header) + 2)
    reader.SetDataScalarTypeToFloat()
    reader.SetDataByteOrderToLittleEndian()
    reader.SetFileDimensionality(3)
    reader.SetDataExtent(0, 255, 0, 255, 0, 255)
    reader.SetDataOrigin(-128, -128, -128)
    return reader


def flying_edges_to_stl(connect, iso, out):
    """VTK's flying edges at `iso` over the input that `connect(surface)`
    gives it, then its binary STL writer to `out`: the writer and the
    surface, ready to run."""
    surface = vtk.vtkFlyingEdges3D()
    connect(surface)
    surface.SetValue(0, iso)
    surface.ComputeNormalsOff()
    surface.ComputeGradientsOff()
    surface.ComputeScalarsOff()
    writer = vtk.vtkSTLWriter()
    writer.SetInputConnection(surface.GetOutputPort())
    writer.SetFileTypeToBinary()
    writer.SetFileName(out)
    return writer, surface


def vtk_pipeline(path, iso, out):
    reader = nrrd_reader(path) if path.endswith(".nrrd") else vtk.vtkNIFTIImageReader()
    reader.SetFileName(path)
    writer, surface = flying_edges_to_stl(
        lambda surface: surface.SetInputConnection(reader.GetOutputPort()), iso, out)
    start = time.perf_counter()
    writer.Write()
    return time.perf_counter() - start, surface.GetOutput().GetNumberOfCells()


def read_write_floor(path, size, out):
    """Reads `path` (from the page cache, once it has been read) and writes
    `size` bytes to `out`, 1 MiB at a time through one buffer: what no
    mesher of the file into a file of that size can beat."""
    buffer = bytearray(1 << 20)
    start = time.perf_counter()
    with open(path, "rb", buffering=0) as f:
        while f.readinto(buffer):
            pass
    view = memoryview(buffer)
    with open(out, "wb", buffering=0) as f:
        left = size
        while left > 0:
            left -= f.write(view[:min(left, len(buffer))])
    return time.perf_counter() - start


def best(repeat, run):
    return min(run() for _ in range(repeat))


def timed(command):
    start = time.perf_counter()
    subprocess.run(command, check=True, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def reference_options(doc):
    """The options of the scripts that time mcubes against VTK."""
    parser = argparse.ArgumentParser(description=doc.split("\n\n")[0])
    parser.add_argument("--mcubes", required=True, help="the mcubes program to time")
    parser.add_argument("--dir", default=tempfile.gettempdir(), help="where the volumes are")
    parser.add_argument("--repeat", type=int, default=3, help="runs of each, the best taken")
    return parser.parse_args()


def main():
    options = reference_options(__doc__)
    print(f"load average {open('/proc/loadavg').read().split()[0]}")
    out = os.path.join(options.dir, "pipeline_reference_out.stl")
    for name, iso in VOLUMES.items():
        path = os.path.join(options.dir, name)
        if not os.path.exists(path):
            (write_wavelet if name.startswith("wavelet") else write_torus)(path)
        vtk_seconds = best(options.repeat, lambda: vtk_pipeline(path, iso, out)[0])
        base = [options.mcubes, "mesh", "--volume", path, "--iso", str(iso), "-o", out]
        closed = best(options.repeat, lambda: timed(base))
        size = os.path.getsize(out)
        unwelded = best(options.repeat, lambda: timed(base + ["--unwelded"]))
        floor = best(options.repeat, lambda: read_write_floor(path, size, out))
        print(f"{name} iso {iso}: VTK reader + FlyingEdges3D + STL {vtk_seconds:.3f} s, "
              f"mcubes closed {closed:.3f} s ({closed / vtk_seconds:.2f}x VTK, "
              f"{closed / unwelded:.2f}x --unwelded, {closed / floor:.2f}x the floor), "
              f"--unwelded {unwelded:.3f} s; floor (read {os.path.getsize(path)} bytes, "
              f"write {size}) {floor:.3f} s")
    os.remove(out)


if __name__ == "__main__":
    main()
