// DICOM series assembled from the header fields of their files: grouped by
// SeriesInstanceUID, one chosen, its slices sorted along the slice normal and
// checked to make one evenly spaced lattice. The fields come as text, as a
// DICOM library shows them ("0.5\0.5"), so that this part is the same for
// files and for a fuzzer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "volume/volume.h"

namespace mcubes::internal {

// The fields read from each file, as text (absent: empty).
enum class DicomField {
  SeriesUid,            // (0020,000E)
  SeriesDescription,    // (0008,103E)
  Modality,             // (0008,0060)
  Position,             // ImagePositionPatient (0020,0032): x\y\z, mm
  Orientation,          // ImageOrientationPatient (0020,0037): row\column cosines
  PixelSpacing,         // (0028,0030): between rows\between columns, mm
  Rows,                 // (0028,0010)
  Columns,              // (0028,0011)
  SamplesPerPixel,      // (0028,0002)
  BitsAllocated,        // (0028,0100)
  PixelRepresentation,  // (0028,0103): 0 unsigned, 1 signed
  Frames,               // NumberOfFrames (0028,0008)
  RescaleIntercept,     // (0028,1052)
  RescaleSlope,         // (0028,1053)
  ImageType,            // (0008,0008): ORIGINAL\PRIMARY\...; MOSAIC for a Siemens mosaic
  SopClassUid,          // (0008,0016): what kind of object the file holds
};
constexpr int DicomFieldCount = 16;

struct DicomFileFields {
  std::string file;
  std::string values[DicomFieldCount];
  const std::string& operator[](DicomField field) const { return values[int(field)]; }
  std::string& operator[](DicomField field) { return values[int(field)]; }
};

// One slice of the chosen series: its file and the rescale it states.
struct DicomSlice {
  std::string file;
  double slope, intercept;
};

// The chosen series, its slices in the order of k. The header is in DICOM's
// patient space (LPS); its voxel type is the stored integer type, its slope
// and offset the slices' RescaleSlope and RescaleIntercept where they all
// state the same, else float64, 1 and 0 with each slice's own rescale
// applied as it is read.
struct DicomSeries {
  VolumeHeader header;
  VoxelType stored;  // the slices' pixels as their files hold them
  std::vector<DicomSlice> slices;
};

// Assembles the series that `choice` names (its number in the listing,
// from 1, or its UID; empty: the only one) from the image files of
// `source` (a folder or a DICOMDIR, for messages). Files with no
// SeriesInstanceUID or no Rows and Columns (no image) are left out. Fails in
// one line naming `source` or the file at fault: no image series, several
// without a choice (listing them), a choice that names none, and slices
// that make no lattice (mixed sizes, types or orientations, two at one
// position, missing slices, uneven spacing, a single slice, colour images,
// fields that are no numbers), and files whose slices it cannot place: a
// Siemens mosaic (slices tiled in one image) or a multi-frame object
// (Enhanced CT or MR, RT Dose...), each said as what it is.
DicomSeries assembleDicomSeries(const std::string& source, std::vector<DicomFileFields> files,
                                const std::string& choice);

}  // namespace mcubes::internal
