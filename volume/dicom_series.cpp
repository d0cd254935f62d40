#include "volume/dicom_series.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <utility>

#include "volume/number_text.h"
#include "volume/read_failure.h"
#include "volume/volume_layout.h"
#include "volume/voxel_decoding.h"

namespace mcubes::internal {

namespace {

// How far the slices may stray from an even lattice: a step may differ from
// the usual one by 1 % of it (scanners write positions rounded), the
// orientations' cosines and the pixel spacings by a ten-thousandth.
constexpr double StepTolerance = 0.01;
constexpr double CosineTolerance = 1e-4;
constexpr double SpacingTolerance = 1e-4;

const char* fieldName(DicomField field) {
  static const char* const names[DicomFieldCount] = {"SeriesInstanceUID",
                                                     "SeriesDescription",
                                                     "Modality",
                                                     "ImagePositionPatient",
                                                     "ImageOrientationPatient",
                                                     "PixelSpacing",
                                                     "Rows",
                                                     "Columns",
                                                     "SamplesPerPixel",
                                                     "BitsAllocated",
                                                     "PixelRepresentation",
                                                     "NumberOfFrames",
                                                     "RescaleIntercept",
                                                     "RescaleSlope",
                                                     "ImageType",
                                                     "SOPClassUID"};
  return names[int(field)];
}

// A field's text without the spaces and NULs that pad DICOM values.
std::string trimmed(const std::string& text) {
  const auto padding = [](char c) { return c == ' ' || c == '\0'; };
  const auto first = std::find_if_not(text.begin(), text.end(), padding);
  const auto last = std::find_if_not(text.rbegin(), text.rend(), padding).base();
  return first < last ? std::string(first, last) : std::string();
}

// A multi-valued decimal field ("a\b\c"): every value a finite number, or
// none.
std::optional<std::vector<double>> numbers(const std::string& text) {
  std::vector<double> values;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find('\\', start), text.size());
    const std::string value = trimmed(text.substr(start, end - start));
    char* stop = nullptr;
    const double number = value.empty() ? NAN : std::strtod(value.c_str(), &stop);
    if (!std::isfinite(number) || stop != value.c_str() + value.size()) return std::nullopt;
    values.push_back(number);
    start = end + 1;
  }
  return values;
}

std::string fileName(const DicomFileFields& file) { return printableName(file.file); }

// A field of `count` numbers; `fallback` where it is absent and may be.
std::vector<double> field(const DicomFileFields& file, DicomField which, std::size_t count,
                          std::optional<double> fallback = std::nullopt) {
  const std::string& text = file[which];
  if (trimmed(text).empty() && fallback) return std::vector<double>(count, *fallback);
  const std::optional<std::vector<double>> values = numbers(text);
  if (!values || values->size() != count) {
    failVolume(file.file,
               trimmed(text).empty()
                   ? "has no " + std::string(fieldName(which))
                   : "its " + std::string(fieldName(which)) + " " + shown(text) + " is not " +
                         std::to_string(count) + " number" + (count > 1 ? "s" : ""),
               "a slice of a volume needs it: mesh a series whose files state it");
  }
  return *values;
}

std::int64_t whole(const DicomFileFields& file, DicomField which, std::optional<double> fallback,
                   std::int64_t least, std::int64_t most) {
  const double value = field(file, which, 1, fallback)[0];
  if (!(value >= double(least) && value <= double(most)) || value != std::floor(value)) {
    failVolume(file.file,
               "its " + std::string(fieldName(which)) + " " + shown(file[which]) +
                   " is not a whole number from " + std::to_string(least) + " to " +
                   std::to_string(most),
               "mesh a series of single-frame grey-level images");
  }
  return static_cast<std::int64_t>(value);
}

using SeriesMap = std::map<std::string, std::vector<DicomFileFields>>;

// The series as a table, a line each after its heading, the columns lined
// up: "  2  UID  'description'  MR  512x512x120".
std::string seriesTable(const SeriesMap& series) {
  std::vector<std::array<std::string, 5>> rows{
      {"N", "series UID", "description", "modality", "columns x rows x slices"}};
  std::size_t number = 0;
  for (const auto& [uid, files] : series) {
    const DicomFileFields& first = files.front();
    rows.push_back({std::to_string(++number), printableName(trimmed(first[DicomField::SeriesUid])),
                    shown(trimmed(first[DicomField::SeriesDescription])),
                    printableName(trimmed(first[DicomField::Modality])),
                    printableName(trimmed(first[DicomField::Columns])) + "x" +
                        printableName(trimmed(first[DicomField::Rows])) + "x" +
                        std::to_string(files.size())});
  }
  std::array<std::size_t, 5> widths{};
  for (const auto& row : rows) {
    for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
  }
  std::string table;
  for (const auto& row : rows) {
    table += "\n ";
    for (std::size_t c = 0; c < row.size(); ++c) {
      table += " " + row[c] +
               (c + 1 < row.size() ? std::string(widths[c] - row[c].size() + 1, ' ') : "");
    }
  }
  return table;
}

const std::vector<DicomFileFields>& chosen(const std::string& source, const SeriesMap& series,
                                           const std::string& choice) {
  if (series.empty()) {
    failVolume(source, "holds no DICOM image series",
               "name a folder (or DICOMDIR) of DICOM image files");
  }
  if (choice.empty() && series.size() == 1) return series.begin()->second;
  std::size_t number = 0;
  for (const auto& [uid, files] : series) {
    if (choice == uid || choice == std::to_string(++number)) return files;
  }
  failVolume(
      source,
      choice.empty() ? "holds " + std::to_string(series.size()) + " series"
                     : "holds no series " + shown(choice),
      "choose one with {series}, its number in this listing or its UID:" + seriesTable(series));
}

struct Vector {
  double x, y, z;
};
Vector operator-(Vector a, Vector b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double dot(Vector a, Vector b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vector cross(Vector a, Vector b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Stored integers as the slices hold them.
VoxelType storedType(const DicomFileFields& file) {
  if (whole(file, DicomField::SamplesPerPixel, 1.0, 1, 4) != 1) {
    failVolume(
        file.file,
        "is a colour image (SamplesPerPixel " + shown(file[DicomField::SamplesPerPixel]) + ")",
        "mesh a series of grey-level images");
  }
  const std::int64_t bits = whole(file, DicomField::BitsAllocated, std::nullopt, 1, 64);
  const bool isSigned = whole(file, DicomField::PixelRepresentation, 0.0, 0, 1) == 1;
  if (bits != 8 && bits != 16 && bits != 32) {
    failVolume(file.file, "has " + std::to_string(bits) + " bits per pixel",
               "mesh a series of 8, 16 or 32-bit images");
  }
  const VoxelType types[2][3] = {{VoxelType::Uint8, VoxelType::Uint16, VoxelType::Uint32},
                                 {VoxelType::Int8, VoxelType::Int16, VoxelType::Int32}};
  return types[isSigned][bits == 8 ? 0 : bits == 16 ? 1 : 2];
}

bool near(const std::vector<double>& a, const std::vector<double>& b, double tolerance,
          bool relative) {
  for (std::size_t n = 0; n < a.size(); ++n) {
    const double scale = relative ? std::max(std::fabs(a[n]), std::fabs(b[n])) : 1.0;
    if (!(std::fabs(a[n] - b[n]) <= tolerance * scale)) return false;
  }
  return true;
}

// The multi-frame objects met most, by SOPClassUID.
const char* multiFrameKind(const std::string& sopClass) {
  static const std::pair<const char*, const char*> kinds[] = {
      {"1.2.840.10008.5.1.4.1.1.2.1", "an Enhanced CT image"},
      {"1.2.840.10008.5.1.4.1.1.2.2", "a Legacy Converted Enhanced CT image"},
      {"1.2.840.10008.5.1.4.1.1.4.1", "an Enhanced MR image"},
      {"1.2.840.10008.5.1.4.1.1.4.4", "a Legacy Converted Enhanced MR image"},
      {"1.2.840.10008.5.1.4.1.1.128.1", "a Legacy Converted Enhanced PET image"},
      {"1.2.840.10008.5.1.4.1.1.130", "an Enhanced PET image"},
      {"1.2.840.10008.5.1.4.1.1.481.2", "an RT Dose"},
      {"1.2.840.10008.5.1.4.1.1.20", "a nuclear medicine image"},
      {"1.2.840.10008.5.1.4.1.1.3.1", "a multi-frame ultrasound image"},
      {"1.2.840.10008.5.1.4.1.1.13.1.3", "a breast tomosynthesis image"}};
  for (const auto& [uid, kind] : kinds) {
    if (sopClass == uid) return kind;
  }
  return "a multi-frame image";
}

// Refuses a file whose image is not one slice: a Siemens mosaic tiles a
// volume's slices in one image (ImageType MOSAIC) and a multi-frame object
// holds many slices, or times, in one file; either would be read as one
// slice and meshed wrong.
void refuseUnplaceable(const DicomFileFields& file) {
  if (trimmed(file[DicomField::ImageType]).find("MOSAIC") != std::string::npos) {
    failVolume(file.file,
               "is a Siemens mosaic (its slices tiled in one image, as its ImageType says), "
               "which cannot be placed as one slice",
               "unpack the series with dcm2niix (dcm2niix -o OUT FOLDER) and mesh the NIfTI it "
               "writes");
  }
  const std::int64_t frames = whole(file, DicomField::Frames, 1.0, 1, 1 << 30);
  if (frames > 1) {
    failVolume(file.file,
               "is " + std::string(multiFrameKind(trimmed(file[DicomField::SopClassUid]))) +
                   " of " + std::to_string(frames) +
                   " frames in one file (a multi-frame object), where mcubes reads series of "
                   "one slice per file",
               "convert it to NIfTI or NRRD (dcm2niix for Enhanced images, plastimatch convert for "
               "an RT Dose) and mesh that");
  }
}

// A slice of the series on its way into the lattice.
struct Placed {
  const DicomFileFields* file;
  Vector position;
  double along;  // the position's distance along the slice normal
  double slope, intercept;
};

std::string at(const Placed& slice) {
  return fileName(*slice.file) + " (at " + numberText(slice.along, 6) +
         " mm along the slice normal)";
}

constexpr const char* Resample =
    "resample the series to one even lattice with another tool (e.g. dcm2niix, then mesh the "
    "NIfTI), or choose another series";

}  // namespace

DicomSeries assembleDicomSeries(const std::string& source, std::vector<DicomFileFields> files,
                                const std::string& choice) {
  SeriesMap series;
  std::sort(files.begin(), files.end(),
            [](const DicomFileFields& a, const DicomFileFields& b) { return a.file < b.file; });
  for (DicomFileFields& file : files) {
    const std::string uid = trimmed(file[DicomField::SeriesUid]);
    if (uid.empty() || trimmed(file[DicomField::Rows]).empty() ||
        trimmed(file[DicomField::Columns]).empty()) {
      continue;
    }
    series[uid].push_back(std::move(file));
  }
  const std::vector<DicomFileFields>& slices = chosen(source, series, choice);
  const DicomFileFields& first = slices.front();
  for (const DicomFileFields& file : slices) refuseUnplaceable(file);
  if (slices.size() < 2) {
    failVolume(first.file, "is the only slice of its series",
               "a surface needs two slices or more: choose another series");
  }
  const std::int64_t columns = whole(first, DicomField::Columns, std::nullopt, 1, 1 << 20);
  const std::int64_t rows = whole(first, DicomField::Rows, std::nullopt, 1, 1 << 20);
  const VoxelType type = storedType(first);
  const std::vector<double> orientation = field(first, DicomField::Orientation, 6);
  const std::vector<double> spacing = field(first, DicomField::PixelSpacing, 2);
  const Vector row{orientation[0], orientation[1], orientation[2]};
  const Vector column{orientation[3], orientation[4], orientation[5]};
  if (!(std::fabs(dot(row, row) - 1.0) <= 1e-3 && std::fabs(dot(column, column) - 1.0) <= 1e-3 &&
        std::fabs(dot(row, column)) <= 1e-3)) {
    failVolume(first.file,
               "its ImageOrientationPatient " + shown(trimmed(first[DicomField::Orientation])) +
                   " is not two unit vectors square to each other",
               "mesh a series whose files state a valid orientation");
  }
  if (!(spacing[0] > 0.0 && spacing[1] > 0.0)) {
    failVolume(first.file,
               "its PixelSpacing " + shown(trimmed(first[DicomField::PixelSpacing])) +
                   " is not two positive numbers",
               "mesh a series whose files state a valid pixel spacing");
  }
  const Vector normal = cross(row, column);
  std::vector<Placed> placed;
  for (const DicomFileFields& file : slices) {
    const std::int64_t c = whole(file, DicomField::Columns, std::nullopt, 1, 1 << 20);
    const std::int64_t r = whole(file, DicomField::Rows, std::nullopt, 1, 1 << 20);
    if (c != columns || r != rows) {
      failVolume(file.file,
                 "is " + std::to_string(c) + "x" + std::to_string(r) + " pixels where " +
                     fileName(first) + " of its series is " + std::to_string(columns) + "x" +
                     std::to_string(rows),
                 Resample);
    }
    if (storedType(file) != type) {
      failVolume(file.file,
                 "stores its pixels otherwise than " + fileName(first) + " of its series",
                 Resample);
    }
    if (!near(field(file, DicomField::Orientation, 6), orientation, CosineTolerance, false)) {
      failVolume(file.file,
                 "its ImageOrientationPatient " + shown(trimmed(file[DicomField::Orientation])) +
                     " differs from " + fileName(first) + "'s " +
                     shown(trimmed(first[DicomField::Orientation])) + " in the same series",
                 Resample);
    }
    if (!near(field(file, DicomField::PixelSpacing, 2), spacing, SpacingTolerance, true)) {
      failVolume(file.file,
                 "its PixelSpacing " + shown(trimmed(file[DicomField::PixelSpacing])) +
                     " differs from " + fileName(first) + "'s " +
                     shown(trimmed(first[DicomField::PixelSpacing])) + " in the same series",
                 Resample);
    }
    const std::vector<double> p = field(file, DicomField::Position, 3);
    const Vector position{p[0], p[1], p[2]};
    placed.push_back({&file, position, dot(position, normal),
                      field(file, DicomField::RescaleSlope, 1, 1.0)[0],
                      field(file, DicomField::RescaleIntercept, 1, 0.0)[0]});
  }
  std::stable_sort(placed.begin(), placed.end(),
                   [](const Placed& a, const Placed& b) { return a.along < b.along; });

  // The usual step is the median one: a missing slice shows as a step of a
  // whole multiple of it, uneven spacing as any other.
  std::vector<double> steps;
  for (std::size_t k = 1; k < placed.size(); ++k) {
    steps.push_back(placed[k].along - placed[k - 1].along);
  }
  std::vector<double> sorted = steps;
  std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
  const double usual = sorted[sorted.size() / 2];
  for (std::size_t k = 1; k < placed.size(); ++k) {
    const double step = steps[k - 1];
    const std::string pair = at(placed[k - 1]) + " and " + at(placed[k]);
    if (!(step > StepTolerance * usual)) {
      failVolume(source, "two slices of the series lie at one position: " + pair,
                 "mesh a series of one slice per position (not several echoes or times)");
    }
    const double ratio = step / usual;
    if (std::fabs(ratio - 1.0) <= StepTolerance) continue;
    const double multiple = std::round(ratio);
    if (multiple >= 2.0 && std::fabs(ratio - multiple) <= StepTolerance * multiple) {
      failVolume(source,
                 numberText(multiple - 1.0, 6) + " slice(s) missing between " + pair +
                     ", where the others are " + numberText(usual, 6) + " mm apart",
                 "copy the whole series, or " + std::string(Resample));
    }
    failVolume(source,
               "uneven slice spacing: " + numberText(step, 6) + " mm between " + pair +
                   ", where the others are " + numberText(usual, 6) + " mm apart",
               Resample);
  }

  DicomSeries result;
  VolumeHeader& header = result.header;
  VolumeGeometry& g = header.geometry;
  const std::int64_t count = static_cast<std::int64_t>(placed.size());
  g.dims[0] = columns;
  g.dims[1] = rows;
  g.dims[2] = count;
  latticeBytes(first.file, {columns, rows, count}, voxelBytes(type));
  const Vector origin = placed.front().position;
  const Vector last = placed.back().position;
  // PixelSpacing is the distance between rows (along j), then between
  // columns (along i); the slices' step is the positions' own, which a
  // tilted gantry slants off the normal.
  const Vector through = last - origin;
  g.origin[0] = origin.x;
  g.origin[1] = origin.y;
  g.origin[2] = origin.z;
  for (int a = 0; a < 3; ++a) {
    g.axes[0][a] = orientation[a] * spacing[1];
    g.axes[1][a] = orientation[3 + a] * spacing[0];
  }
  g.axes[2][0] = through.x / double(count - 1);
  g.axes[2][1] = through.y / double(count - 1);
  g.axes[2][2] = through.z / double(count - 1);
  checkGeometry(first.file, g, "ImageOrientationPatient and PixelSpacing", "ImagePositionPatient");
  const double stepLength = std::sqrt(dot(through, through)) / double(count - 1);
  for (std::int64_t k = 1; k + 1 < count; ++k) {
    const double t = double(k) / double(count - 1);
    const Vector expected{origin.x + t * through.x, origin.y + t * through.y,
                          origin.z + t * through.z};
    const Vector off = placed[std::size_t(k)].position - expected;
    if (!(std::sqrt(dot(off, off)) <= StepTolerance * stepLength)) {
      failVolume(source,
                 "slice " + at(placed[std::size_t(k)]) +
                     " lies off the line through the other slices' ImagePositionPatient",
                 Resample);
    }
  }

  header.type = type;
  result.stored = type;
  header.space = WorldSpace::Lps;
  const bool oneRescale = std::all_of(placed.begin(), placed.end(), [&](const Placed& slice) {
    return slice.slope == placed.front().slope && slice.intercept == placed.front().intercept;
  });
  if (oneRescale) {
    header.slope = placed.front().slope;
    header.offset = placed.front().intercept;
  } else {
    header.type = VoxelType::Float64;
  }
  for (const Placed& slice : placed) {
    result.slices.push_back({slice.file->file, slice.slope, slice.intercept});
  }
  return result;
}

}  // namespace mcubes::internal
