#!/usr/bin/python3
"""Times the whole command a user waits on for the files scans and simulations
come as: `mcubes mesh --volume F --iso 700.5 -o out.stl` on one 256^3 int16
volume stored as a gzip-compressed NIfTI-1, as a DICOM series of 256 files and
as a gzip-chunked HDF5 dataset, against VTK doing the same work in one run (its
reader -- vtkNIFTIImageReader, vtkDICOMImageReader, or h5py into a
vtkImageData -- then vtkFlyingEdges3D and its binary STL writer, on VTK's
sequential backend); best of --repeat runs, all in one run of this script. It
prints the ratios and `mcubes bench --volume`'s read_us: the time to read the
whole volume into memory as doubles (128 MiB here, most of it fresh pages),
which `mcubes mesh` never holds -- it reads slab by slab. It prints too the
start of the mcubes process alone (`mcubes --help`: its shared libraries
loaded), which the ratios count for mcubes and not for VTK, timed inside
Python. A measuring aid
only: nothing in the product or its tests uses VTK, h5py or pydicom.

Needs python3-vtk9, python3-numpy, python3-h5py and python3-pydicom (Debian
packages), hence Debian's own /usr/bin/python3.

The volume is pipeline_reference.py's torus (values 1000 - 8 * distance from
its core circle, with ripples; voxels 0.8 apart), written to --dir unless there
already: torus256.nii.gz, torus256.h5 (dataset /torus, chunks of 32^3, gzip
level 4) and torus256_dicom/ (CT slices, 256 files).

    benchmarks/reading_reference.py --mcubes build/release/tools/mcubes
"""
import json
import os
import subprocess
import sys
import time

os.environ.setdefault("VTK_SMP_BACKEND_IN_USE", "Sequential")

try:
    import h5py
    import numpy
    import vtk
    from vtk.util import numpy_support

    from make_dicom_series import write_series
    from pipeline_reference import (flying_edges_to_stl, reference_options, timed,
                                    torus_values, write_torus)
except ImportError as error:
    sys.exit("reading_reference.py: needs python3-vtk9, python3-numpy, python3-h5py and "
             f"python3-pydicom ({error})")

ISO = 700.5
SPACING = 0.8


def write_hdf5(path):
    with h5py.File(path, "w") as f:
        data = f.create_dataset("torus", data=torus_values(), chunks=(32, 32, 32),
                                compression="gzip", compression_opts=4)
        data.attrs["element_size_um"] = [SPACING] * 3


def write_dicom(folder):
    # The slices are z; [z, y, x] turned into [i, j, k].
    write_series(folder, torus_values().transpose(2, 1, 0),
                 numpy.diag([SPACING, SPACING, SPACING, 1.0]))


def hdf5_image(path):
    """What a VTK user does with an HDF5 dataset: h5py, then a vtkImageData."""
    with h5py.File(path, "r") as f:
        values = f["torus"][...]
    image = vtk.vtkImageData()
    image.SetDimensions(values.shape[2], values.shape[1], values.shape[0])
    image.SetSpacing(SPACING, SPACING, SPACING)
    image.GetPointData().SetScalars(numpy_support.numpy_to_vtk(values.ravel(), deep=False))
    return image, values


def vtk_pipeline(kind, path, out):
    start = time.perf_counter()
    if kind == "hdf5":
        image, values = hdf5_image(path)  # values keeps the image's memory alive
        connect = lambda surface: surface.SetInputData(image)
    else:
        reader = vtk.vtkNIFTIImageReader() if kind == "nifti" else vtk.vtkDICOMImageReader()
        if kind == "nifti":
            reader.SetFileName(path)
        else:
            reader.SetDirectoryName(path)
        connect = lambda surface: surface.SetInputConnection(reader.GetOutputPort())
    writer, _ = flying_edges_to_stl(connect, ISO, out)
    writer.Write()
    return time.perf_counter() - start


def started(mcubes):
    """Seconds for the mcubes process to start and end, doing nothing."""
    begin = time.perf_counter()
    subprocess.run([mcubes, "--help"], check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - begin


def read_us(mcubes, volume):
    shown = subprocess.run([mcubes, "bench", "--volume", volume, "--iso", str(ISO), "--json"],
                           check=True, capture_output=True, text=True).stdout
    return json.loads(shown)["read_us"]


def main():
    options = reference_options(__doc__)
    out = os.path.join(options.dir, "reading_reference_out.stl")
    files = [("nifti", "torus256.nii.gz", write_torus),
             ("dicom", "torus256_dicom", write_dicom),
             ("hdf5", "torus256.h5", write_hdf5)]
    for kind, name, write in files:
        path = os.path.join(options.dir, name)
        if not os.path.exists(path):
            write(path)
        volume = path + ":/torus" if kind == "hdf5" else path
        vtk_seconds = min(vtk_pipeline(kind, path, out) for _ in range(options.repeat))
        command = [options.mcubes, "mesh", "--volume", volume, "--iso", str(ISO), "-o", out]
        mcubes_seconds = min(timed(command) for _ in range(options.repeat))
        print(f"{name}: VTK {vtk_seconds:.3f} s, mcubes mesh {mcubes_seconds:.3f} s "
              f"({mcubes_seconds / vtk_seconds:.2f}x VTK); read into memory whole by mcubes "
              f"bench in {read_us(options.mcubes, volume) / 1e6:.3f} s")
    start = min(started(options.mcubes) for _ in range(options.repeat))
    print(f"the mcubes process's start alone (mcubes --help): {start:.3f} s")
    os.remove(out)


if __name__ == "__main__":
    main()
