#!/usr/bin/python3
"""Writes the volume fixtures of this folder with tools written elsewhere:
nibabel (NIfTI-1), VTK (MetaImage, NIfTI-1) and teem's unu (NRRD), and prints
what nibabel and VTK read back from them, which volume_files_test.cpp holds
as its expected values. Needs python3-nibabel, python3-vtk9 and teem-apps;
the tests themselves need none of them. itk_rotated.mha comes from
make_itk_fixture.cpp, built against ITK.

Usage: tests/volume/data/make_fixtures.py   (run in this folder)
"""
import os
import shutil
import subprocess

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
    vtk_fixtures()
    nrrd_fixtures()
