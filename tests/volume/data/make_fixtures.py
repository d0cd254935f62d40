#!/usr/bin/python3
"""Writes the volume fixtures of this folder with tools written elsewhere:
nibabel (NIfTI-1, NIfTI-2, Analyze 7.5, MGH), h5py (HDF5), VTK (MetaImage,
NIfTI-1) and teem's unu (NRRD), and prints what nibabel and VTK read back
from them, which volume_files_test.cpp holds as its expected values. Needs
python3-nibabel, python3-h5py, python3-vtk9 and teem-apps; the tests
themselves need none of them. itk_rotated.mha comes from
make_itk_fixture.cpp, built against ITK.

Usage: tests/volume/data/make_fixtures.py   (run in this folder)
"""
import os
import shutil
import subprocess

import h5py
import nibabel as nib
import numpy as np
import vtk
from vtk.util import numpy_support

# Small volumes: 4 x 3 x 2 voxels, i fastest.
SHAPE = (4, 3, 2)
INT16 = (np.arange(24, dtype=np.int16) * 37 - 400).reshape(SHAPE, order="F")


def nifti_fixtures():
    # Big-endian int16, a qform only (an oblique rotation with a flip, qfac
    # -1), scaled by scl_slope 0.5 and scl_inter -3, with a second volume.
    header = nib.Nifti1Header(endianness=">")
    data = np.stack([INT16, -INT16], axis=3)
    image = nib.Nifti1Image(data, None, header)
    rotation = np.array([[0.0, -1.0, 0.0], [0.6, 0.0, 0.8], [-0.8, 0.0, 0.6]])
    affine = np.eye(4)
    affine[:3, :3] = rotation @ np.diag([1.5, 2.0, -0.5])
    affine[:3, 3] = [10.0, -20.5, 7.25]
    image.set_qform(affine, code=1)
    image.set_sform(None, code=0)
    image.header.set_slope_inter(0.5, -3.0)
    nib.save(image, "nibabel_qform_4d_big.nii")
    # Little-endian float32 with NaN voxels, an sform only, compressed.
    values = np.linspace(-1.0, 1.0, 24, dtype=np.float32).reshape(SHAPE, order="F")
    values[1, 2, 0] = np.nan
    values[3, 0, 1] = np.nan
    sform = np.array([[0.0, 0.0, 3.0, -5.0], [-1.25, 0.0, 0.0, 2.0], [0.0, 0.75, 0.0, 0.5], [0, 0, 0, 1]])
    image = nib.Nifti1Image(values, None)
    image.set_sform(sform, code=2)
    image.set_qform(None, code=0)
    nib.save(image, "nibabel_sform_nan.nii.gz")
    # From nibabel's own test data: uint8, an sform only.
    shutil.copy("/usr/lib/python3/dist-packages/nibabel/tests/data/standard.nii.gz", ".")
    for name in ["nibabel_qform_4d_big.nii", "nibabel_sform_nan.nii.gz", "standard.nii.gz"]:
        image = nib.load(name)
        first = np.asanyarray(image.dataobj, dtype=np.float64)
        if first.ndim > 3:
            first = first[..., 0]
        print(name, "affine", image.affine[:3].tolist())
        print("  values", first.flatten(order="F").tolist())


NIBABEL_DATA = "/usr/lib/python3/dist-packages/nibabel/tests/data/"


def show(name, image):
    first = np.asanyarray(image.dataobj, dtype=np.float64)
    if first.ndim > 3:
        first = first[..., 0]
    values = first.flatten(order="F")
    print(name, "shape", image.shape, "affine", image.affine[:3].tolist())
    print("  zooms", image.header.get_zooms()[:3], "sum", values.sum())
    print("  values", values.tolist() if values.size <= 60 else values[[0, 1, 1000, 7679]].tolist())


def nibabel_fixtures():
    # From nibabel's own test data: NIfTI-2 (int16, an sform, two volumes,
    # extensions before the voxels) and MGZ (float, two frames).
    for name in ["example_nifti2.nii.gz", "test.mgz"]:
        shutil.copy(NIBABEL_DATA + name, ".")
        show(name, nib.load(name))
    # MGH int16, oblique: its direction cosines are no symmetric matrix, so
    # rows and columns cannot be mixed up unseen.
    rotation = np.array([[0.0, -1.0, 0.0], [0.6, 0.0, 0.8], [-0.8, 0.0, 0.6]])
    affine = np.eye(4)
    affine[:3, :3] = rotation @ np.diag([1.5, 2.0, 0.5])
    affine[:3, 3] = [10.0, -20.5, 7.25]
    nib.save(nib.MGHImage(INT16, affine), "nibabel_oblique.mgh")
    # MGZ uchar, one frame.
    nib.save(nib.MGHImage((INT16 % 200 + 20).astype(np.uint8), np.diag([1.0, 1.5, 2.0, 1.0])),
             "nibabel_uchar.mgz")
    # Analyze 7.5, big-endian int16: a .hdr and its .img.
    header = nib.AnalyzeHeader(endianness=">")
    nib.save(nib.AnalyzeImage(INT16, np.diag([1.5, 2.0, 0.5, 1.0]), header), "nibabel_analyze_big.hdr")
    for name in ["nibabel_oblique.mgh", "nibabel_uchar.mgz", "nibabel_analyze_big.hdr"]:
        show(name, nib.load(name))


def hdf5_fixture():
    # Written as simulation codes write them: C order (z, y, x), chunked,
    # gzip, in groups, the voxel size as Fiji writes it (z, y, x); beside
    # them a 64-bit one, a 2-D one and one whose voxel size is 0 along y.
    with h5py.File("h5py_fields.h5", "w") as f:
        density = np.linspace(-1.0, 1.0, 24, dtype=np.float32).reshape((2, 3, 4))
        density[1, 0, 3] = np.nan
        f.create_dataset("fields/density", data=density, chunks=(1, 2, 2), compression="gzip")
        f["fields/density"].attrs["element_size_um"] = [0.5, 2.0, 1.5]
        f.create_dataset("odd/spacing", data=np.zeros((2, 3, 4), dtype=np.uint8))
        f["odd/spacing"].attrs["element_size_um"] = [1.0, 0.0, 1.0]
        f.create_dataset("fields/count", data=np.arange(24, dtype=np.int64).reshape((2, 3, 4)))
        f.create_dataset("plane", data=np.zeros((3, 4), dtype=np.int16))
    with h5py.File("h5py_fields.h5", "r") as f:
        print("h5py_fields.h5 /fields/density", f["fields/density"][...].flatten().tolist())


def hdf5_references_fixture():
    # Datasets whose voxels lie in other files, named as they are stored:
    # above the file's folder (../b.h5, a copy of h5py_fields.h5 there, and
    # ../raw.bin, 24 bytes), beside it (h5py_fields.h5), and a device; and
    # 512^3 voxels that lie nowhere, never written.
    with h5py.File("h5py_references.h5", "w") as f:
        f["far"] = h5py.ExternalLink("../b.h5", "/fields/density")
        f["near"] = h5py.ExternalLink("h5py_fields.h5", "/fields/density")
        f.create_dataset("stored", shape=(2, 3, 4), dtype="u1", external=[("../raw.bin", 0, 24)])
        f.create_dataset("device", shape=(2, 3, 4), dtype="u1", external=[("/dev/zero", 0, 24)])
        layout = h5py.VirtualLayout(shape=(2, 3, 4), dtype="f4")
        layout[...] = h5py.VirtualSource("../b.h5", "fields/density", shape=(2, 3, 4))
        f.create_virtual_dataset("virtual", layout)
        f.create_dataset("unwritten", shape=(512, 512, 512), dtype="u1", chunks=(64, 64, 64),
                         compression="gzip")


def vtk_image():
    image = vtk.vtkImageData()
    image.SetDimensions(*SHAPE)
    image.SetOrigin(1.5, -2.0, 3.25)
    image.SetSpacing(0.5, 2.0, 1.25)
    scalars = numpy_support.numpy_to_vtk(INT16.flatten(order="F"), deep=1, array_type=vtk.VTK_SHORT)
    image.GetPointData().SetScalars(scalars)
    return image


def vtk_fixtures():
    image = vtk_image()
    for name, compressed in [("vtk.mha", False), ("vtk_compressed.mha", True), ("vtk.mhd", False)]:
        writer = vtk.vtkMetaImageWriter()
        writer.SetInputData(image)
        writer.SetFileName(name)
        if name.endswith(".mhd"):
            writer.SetRAWFileName("vtk.raw")
        writer.SetCompression(compressed)
        writer.Write()
    writer = vtk.vtkNIFTIImageWriter()
    writer.SetInputData(image)
    writer.SetFileName("vtk.nii")
    writer.Write()
    reader = vtk.vtkMetaImageReader()
    reader.SetFileName("vtk.mha")
    reader.Update()
    out = reader.GetOutput()
    print("vtk.mha origin", out.GetOrigin(), "spacing", out.GetSpacing())
    print("  values", numpy_support.vtk_to_numpy(out.GetPointData().GetScalars()).tolist())


def unu(*arguments):
    subprocess.run(["teem-unu", *arguments], check=True)


def nrrd_fixtures():
    INT16.flatten(order="F").astype("<i2").tofile("int16.raw")
    # Big-endian, gzip, detached (.nhdr and .raw.gz), oblique directions.
    unu("make", "-i", "int16.raw", "-t", "short", "-s", "4", "3", "2", "-e", "raw", "-en", "little",
        "-spc", "LPS", "-orig", "(1,2,3)", "-dirs", "(0,0.5,0) (-2,0,0) (0,0.25,1.5)",
        "-o", "unu_oblique.nrrd")
    unu("save", "-f", "nrrd", "-e", "gzip", "-en", "big", "-i", "unu_oblique.nrrd",
        "-o", "unu_oblique_big_gzip.nhdr")
    # 4-D float little-endian, attached raw: two volumes, spacings only.
    np.concatenate([INT16.flatten(order="F"), INT16.flatten(order="F") * 2]).astype("<f4").tofile("f.raw")
    unu("make", "-i", "f.raw", "-t", "float", "-s", "4", "3", "2", "2", "-e", "raw", "-en", "little",
        "-sp", "0.5", "2", "1.25", "nan", "-o", "unu_4d_float.nrrd")
    for scratch in ["int16.raw", "f.raw", "unu_oblique.nrrd"]:
        os.remove(scratch)


if __name__ == "__main__":
    nifti_fixtures()
    nibabel_fixtures()
    hdf5_references_fixture()
    hdf5_fixture()
    vtk_fixtures()
    nrrd_fixtures()
