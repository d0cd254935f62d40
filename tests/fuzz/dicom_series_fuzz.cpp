// libFuzzer harness for the assembly of a DICOM series from its files'
// header fields, without files: the first line is the series asked for, each
// further line one file's fields in DicomField's order, separated by '|'.
#include <cstdint>
#include <set>
#include <string>

#include "tests/fuzz/volume_header_fuzz_check.h"
#include "volume/dicom_series.h"
#include "volume/voxel_decoding.h"

using namespace mcubes::internal;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string choice;
  std::vector<DicomFileFields> files;
  std::size_t start = 0;
  for (int line = 0; start <= text.size(); ++line) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::string fields = text.substr(start, end - start);
    start = end + 1;
    if (line == 0) {
      choice = fields;
      continue;
    }
    DicomFileFields file;
    file.file = std::string(FuzzedFile) + "/" + std::to_string(line);
    std::size_t from = 0;
    for (int f = 0; f < DicomFieldCount && from <= fields.size(); ++f) {
      const std::size_t bar = std::min(fields.find('|', from), fields.size());
      file.values[f] = fields.substr(from, bar - from);
      from = bar + 1;
    }
    files.push_back(std::move(file));
  }
  try {
    const DicomSeries series = assembleDicomSeries(FuzzedFile, files, choice);
    const VolumeGeometry& g = series.header.geometry;
    const std::int64_t bytes = g.dims[0] * g.dims[1] * g.dims[2] * voxelBytes(series.header.type);
    checkHeader(series.header, 1, bytes, voxelBytes(series.header.type), "dicom_series_fuzz");
    check(g.dims[2] >= 2 && series.slices.size() == std::size_t(g.dims[2]), "dicom_series_fuzz",
          "not one slice per k, or fewer than two");
    std::set<std::string> names;
    for (const DicomSlice& slice : series.slices) names.insert(slice.file);
    check(names.size() == series.slices.size(), "dicom_series_fuzz", "a file used twice");
  } catch (const VolumeError& error) {
    const std::string message = error.what();
    check(message.rfind(FuzzedFile, 0) == 0, "dicom_series_fuzz",
          "the message names no file: " + message);
    check(oneLineOrTableRows(message), "dicom_series_fuzz",
          "the message is not one line (and a table's rows): " + message);
    check(message.find("; ") != std::string::npos, "dicom_series_fuzz",
          "the message says nothing to do: " + message);
  }
  return 0;
}
