#!/usr/bin/python3
"""Writes a volume as a DICOM series, one uncompressed int16 CT slice per
file, for timing `mcubes mesh --volume DIR` (and VTK's vtkDICOMImageReader)
on the same data as a NIfTI or HDF5 copy. A measuring aid only.

Needs python3-pydicom and python3-numpy, and python3-nibabel for --from
(Debian's own /usr/bin/python3).

    benchmarks/make_dicom_series.py /tmp/series --from volume.nii.gz
    benchmarks/make_dicom_series.py /tmp/series --size 256

--from: a NIfTI (or anything nibabel reads) rounded to int16, placed by its
affine (RAS) turned into DICOM's LPS; without it, a sphere of 1000 in a
background of -1000 (iso 0) on a lattice of SIZE^3 voxels of 1 mm.
"""
import argparse
import os
import sys

try:
    import numpy
    import pydicom
    from pydicom.dataset import FileDataset, FileMetaDataset
    from pydicom.uid import CTImageStorage, ExplicitVRLittleEndian, generate_uid
except ImportError as error:
    sys.exit(f"make_dicom_series.py: needs python3-pydicom and python3-numpy ({error})")


def volume(args):
    """The voxels (i, j, k order) and the 4x4 index-to-LPS matrix."""
    if args.source:
        import nibabel

        image = nibabel.load(args.source)
        data = numpy.rint(numpy.asanyarray(image.dataobj)).astype(numpy.int16)
        return data, numpy.diag([-1.0, -1.0, 1.0, 1.0]) @ image.affine
    n = args.size
    i, j, k = numpy.indices((n, n, n), dtype=numpy.float32) - (n - 1) / 2
    inside = numpy.sqrt(i * i + j * j + k * k) < 0.4 * n
    return numpy.where(inside, 1000, -1000).astype(numpy.int16), numpy.eye(4)


def write_series(folder, data, matrix):
    """Writes `data` (int16, indexed [i, j, k]) as one CT slice per k into
    `folder`, placed by the 4x4 index-to-LPS `matrix`."""
    axes = [matrix[:3, a] for a in range(3)]
    spacing = [float(numpy.linalg.norm(axis)) for axis in axes]
    orientation = [float(v) for v in list(axes[0] / spacing[0]) + list(axes[1] / spacing[1])]
    series, study = generate_uid(), generate_uid()
    os.makedirs(folder, exist_ok=True)
    for k in range(data.shape[2]):
        meta = FileMetaDataset()
        meta.MediaStorageSOPClassUID = CTImageStorage
        meta.MediaStorageSOPInstanceUID = generate_uid()
        meta.TransferSyntaxUID = ExplicitVRLittleEndian
        path = os.path.join(folder, f"IM{k:05d}.dcm")
        slice_ = FileDataset(path, {}, file_meta=meta, preamble=b"\0" * 128)
        slice_.is_little_endian, slice_.is_implicit_VR = True, False
        slice_.SOPClassUID, slice_.SOPInstanceUID = CTImageStorage, meta.MediaStorageSOPInstanceUID
        slice_.Modality, slice_.SeriesDescription = "CT", "make_dicom_series.py"
        slice_.StudyInstanceUID, slice_.SeriesInstanceUID = study, series
        slice_.InstanceNumber = k + 1
        slice_.ImagePositionPatient = [float(v) for v in matrix[:3, 3] + k * axes[2]]
        slice_.ImageOrientationPatient = orientation
        slice_.PixelSpacing = [spacing[1], spacing[0]]
        slice_.Rows, slice_.Columns = data.shape[1], data.shape[0]
        slice_.SamplesPerPixel, slice_.PhotometricInterpretation = 1, "MONOCHROME2"
        slice_.BitsAllocated, slice_.BitsStored, slice_.HighBit = 16, 16, 15
        slice_.PixelRepresentation = 1
        slice_.RescaleSlope, slice_.RescaleIntercept = 1, 0
        # Rows are j, i fastest within a row.
        slice_.PixelData = numpy.ascontiguousarray(data[:, :, k].T).astype("<i2").tobytes()
        slice_.save_as(path, write_like_original=False)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("folder", help="where the slices go (created)")
    parser.add_argument("--from", dest="source", help="a volume file nibabel reads")
    parser.add_argument("--size", type=int, default=256, help="the sphere's lattice (256)")
    args = parser.parse_args()
    data, matrix = volume(args)
    write_series(args.folder, data, matrix)
    print(f"make_dicom_series.py: {data.shape[2]} slices of {data.shape[0]}x{data.shape[1]} "
          f"in {args.folder}")


if __name__ == "__main__":
    main()
