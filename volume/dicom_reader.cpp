// DICOM series read with GDCM: the header fields of every file scanned up
// front (no pixel data), the series assembled from them (dicom_series.h),
// then each slice's file read and its pixels decoded, whatever transfer
// syntax GDCM decodes, one slice ahead of the sweep (dicom_decoder.h). GDCM
// runs in child processes, where its aborts and allocations cost a line.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <iterator>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "volume/child_process.h"
#include "volume/data_files.h"
#include "volume/dicom_decoder.h"
#include "volume/dicom_library.h"
#include "volume/dicom_series.h"
#include "volume/read_failure.h"
#include "volume/volume_readers.h"
#include "volume/voxel_decoding.h"

namespace mcubes::internal {

namespace {

namespace fs = std::filesystem;

// Every regular file under `folder`, at any depth.
std::vector<std::string> filesUnder(const std::string& folder) {
  std::vector<std::string> files;
  std::error_code error;
  for (fs::recursive_directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    if (entry->is_regular_file(error)) files.push_back(entry->path().string());
  }
  if (error) {
    failVolume(folder, "cannot be listed (" + error.message() + ")",
               "check that the folder is readable by you");
  }
  return files;
}

// The files a DICOMDIR names (ReferencedFileID, its parts separated by
// backslashes, relative to the DICOMDIR's folder).
std::vector<std::string> filesNamedBy(const DicomLibrary& gdcm, const std::string& dicomdir) {
  std::vector<std::string> ids;
  const bool read =
      gdcm.namedFiles(dicomdir.c_str(), &ids, [](void* context, const char* id, std::size_t size) {
        static_cast<std::vector<std::string>*>(context)->emplace_back(id, size);
      });
  if (!read) {
    failVolume(dicomdir, "GDCM cannot read it as a DICOMDIR (damaged, or not DICOM)",
               "name the folder of the series instead");
  }
  std::vector<std::string> files;
  for (const std::string& id : ids) {
    fs::path file;
    std::string part;
    for (const char c : id + '\\') {
      if (c != '\\') {
        if (c != ' ' && c != '\0') part += c;
      } else if (!part.empty()) {
        file /= part;
        part.clear();
      }
    }
    // Entries stay in or below the DICOMDIR's folder, and a FIFO (which
    // would hang the scan for ever) or a device is never opened.
    files.push_back(besideHeader(dicomdir, file.string()));
  }
  return files;
}

// The fields of one file, or none where it is no DICOM file.
std::optional<DicomFileFields> scannedFile(const DicomLibrary& gdcm, const std::string& file) {
  DicomFileFields record;
  record.file = file;
  if (!gdcm.scanFile(file.c_str(), &record, [](void* context, int field, const char* value) {
        static_cast<DicomFileFields*>(context)->values[field] = value;
      })) {
    return std::nullopt;
  }
  return record;
}

// Each file as a flag (DICOM or not) and its fields, each a length and its
// bytes: one write of the pipe per file.
void sendFields(const DicomLibrary& gdcm, int to, const std::vector<std::string>& files) {
  std::string message;
  for (const std::string& file : files) {
    const std::optional<DicomFileFields> record = scannedFile(gdcm, file);
    message.assign(1, record ? 1 : 0);
    for (int f = 0; record && f < DicomFieldCount; ++f) {
      const std::uint32_t size = std::uint32_t(record->values[f].size());
      message.append(reinterpret_cast<const char*>(&size), sizeof size);
      message += record->values[f];
    }
    if (!writeAll(to, message.data(), message.size())) return;
  }
}

// A child scanning the files from one on, and the pipe it sends their
// fields down.
struct Scan {
  pid_t child;
  int pipe;
};

Scan startScan(const DicomLibrary& gdcm, const std::string& source,
               const std::vector<std::string>& files, std::size_t from) {
  int ends[2];
  if (::pipe(ends) != 0) failVolume(source, "cannot be scanned (no pipe)", "try again");
  // The scan reads headers only, skipping the values it was not asked for.
  const pid_t child = forkGdcmChild(std::size_t(512) << 20, true, ends[1]);
  if (child < 0) {
    ::close(ends[0]);
    ::close(ends[1]);
    failVolume(source, "cannot be scanned (no process)", "try again");
  }
  if (child == 0) {
    sendFields(gdcm, ends[1],
               std::vector<std::string>(files.begin() + std::ptrdiff_t(from), files.end()));
    ::_exit(0);
  }
  ::close(ends[1]);
  return {child, ends[0]};
}

// The fields of the DICOM files that `scan` (of `files` from `from` on)
// sends, put in `fields`, the child then reaped; returns the number of
// files scanned, fewer than were left where the child died on the next one.
std::size_t collectScan(const Scan& scan, const std::vector<std::string>& files, std::size_t from,
                        std::vector<DicomFileFields>& fields) {
  BufferedReader pipe(scan.pipe);
  std::size_t read = from;
  for (char dicom = 0; read < files.size() && pipe.read(&dicom, 1); ++read) {
    DicomFileFields record;
    record.file = files[read];
    bool whole = true;
    for (int f = 0; dicom && whole && f < DicomFieldCount; ++f) {
      std::uint32_t size = 0;
      whole = pipe.read(&size, sizeof size);
      record.values[f].resize(whole ? size : 0);
      whole = whole && pipe.read(record.values[f].data(), size);
    }
    if (!whole) break;
    if (dicom) fields.push_back(std::move(record));
  }
  ::close(scan.pipe);
  reapChild(scan.child);
  return read - from;
}

// The fields of every DICOM file among `files` from `from` on, put in
// `fields`. GDCM, as Debian builds it, asserts on some damaged files (the
// process aborts) instead of failing, so the files are scanned by a child
// process that hands the fields over a pipe; the files it dies on are left
// out and put in `damaged`, and the scan goes on after each in a new child.
// A damaged file of no series, or of another, costs nothing; one of the
// chosen series shows as a slice missing.
void scanInOrder(const DicomLibrary& gdcm, const std::string& source,
                 const std::vector<std::string>& files, std::size_t from,
                 std::vector<DicomFileFields>& fields, std::vector<std::string>& damaged) {
  while (from < files.size()) {
    from += collectScan(startScan(gdcm, source, files, from), files, from, fields);
    if (from < files.size()) damaged.push_back(files[from++]);
  }
}

// As scanInOrder, the second half of a series of many files scanned by a
// second child beside the first where the machine has a core for it: the
// scan is most of opening a series, and nothing else runs meanwhile. Both
// children are forked before the thread that reads the second's pipe
// starts, and any that goes on after a damaged file once it has ended: a
// child forked while another thread runs inherits that thread's locks as
// they are (the allocator's, under a sanitizer), and can wait on them for
// ever.
std::vector<DicomFileFields> scanned(const DicomLibrary& gdcm, const std::string& source,
                                     const std::vector<std::string>& files,
                                     std::vector<std::string>& damaged) {
  constexpr std::size_t FewFiles = 32;
  std::vector<DicomFileFields> fields;
  if (files.size() < FewFiles || std::thread::hardware_concurrency() < 2) {
    scanInOrder(gdcm, source, files, 0, fields, damaged);
    return fields;
  }
  const auto middle = files.begin() + std::ptrdiff_t(files.size() / 2);
  const std::vector<std::string> first(files.begin(), middle), second(middle, files.end());
  const Scan firstScan = startScan(gdcm, source, first, 0);
  Scan secondScan{};
  try {
    secondScan = startScan(gdcm, source, second, 0);
  } catch (...) {
    collectScan(firstScan, first, 0, fields);
    throw;
  }
  std::vector<DicomFileFields> secondFields;
  std::size_t secondDone = 0;
  std::exception_ptr secondFailure;  // running out of memory
  std::thread beside([&] {
    try {
      secondDone = collectScan(secondScan, second, 0, secondFields);
    } catch (...) {
      secondFailure = std::current_exception();
    }
  });
  std::size_t firstDone = 0;
  std::exception_ptr firstFailure;
  try {
    firstDone = collectScan(firstScan, first, 0, fields);
  } catch (...) {
    firstFailure = std::current_exception();
  }
  beside.join();
  if (firstFailure || secondFailure) {
    std::rethrow_exception(firstFailure ? firstFailure : secondFailure);
  }
  // Where a child died on a file, its half goes on after it, here.
  std::vector<std::string> secondDamaged;
  if (firstDone < first.size()) {
    damaged.push_back(first[firstDone]);
    scanInOrder(gdcm, source, first, firstDone + 1, fields, damaged);
  }
  if (secondDone < second.size()) {
    secondDamaged.push_back(second[secondDone]);
    scanInOrder(gdcm, source, second, secondDone + 1, secondFields, secondDamaged);
  }
  std::move(secondFields.begin(), secondFields.end(), std::back_inserter(fields));
  damaged.insert(damaged.end(), secondDamaged.begin(), secondDamaged.end());
  return fields;
}

// The warning that names the files of `source` left out.
std::string leftOut(const std::string& source, const std::vector<std::string>& damaged) {
  std::string names;
  for (std::size_t n = 0; n < damaged.size() && n < 3; ++n) {
    names += (n == 0 ? "" : ", ") + printableName(damaged[n]);
  }
  if (damaged.size() > 3) names += " and " + std::to_string(damaged.size() - 3) + " more";
  return printableName(source) + ": left out " + names +
         ", which GDCM fails on (damaged, or not DICOM); a slice of the series among them would "
         "show as one missing";
}

class DicomVolume : public VolumeReader {
 public:
  DicomVolume(DicomSeries series, const DicomLibrary& gdcm)
      : series_(std::move(series)),
        decoder_(std::size_t(series_.header.geometry.dims[0] * series_.header.geometry.dims[1]) *
                     std::size_t(voxelBytes(series_.stored)),
                 gdcm) {
    // What every slice's scaling allows.
    for (const DicomSlice& slice : series_.slices) {
      form_ = std::max(form_, exactValueForm(series_.stored, slice.slope, slice.intercept));
    }
  }
  const VolumeHeader& header() const override { return series_.header; }

  void readSlices(std::int64_t count, double* out) override { read(count, out); }
  ValueForm valueForm() const override { return form_; }

  // Each slice is a file of its own: the ones skipped are never opened
  // (but the next, already asked for).
  void skipSlices(std::int64_t count) override {
    checkSlicesLeft(count, nextSlice_, series_.header.geometry.dims[2]);
    if (count > 0 && decoder_.pending() > 0) decoder_.take(false);
    nextSlice_ += count;
  }

 private:
  void readNarrowSlices(std::int64_t count, float* out) override { read(count, out); }
  void readNarrowSlices(std::int64_t count, std::uint8_t* out) override { read(count, out); }

  template <typename Value>
  void read(std::int64_t count, Value* out) {
    const VolumeGeometry& g = series_.header.geometry;
    checkSlicesLeft(count, nextSlice_, g.dims[2]);
    const std::int64_t voxels = g.dims[0] * g.dims[1];
    for (std::int64_t k = 0; k < count; ++k, ++nextSlice_, out += voxels) {
      const DicomSlice& slice = series_.slices[std::size_t(nextSlice_)];
      if (decoder_.pending() == 0) decoder_.ask(slice.file);
      const unsigned char* pixels = decoder_.take();
      // The next slice is decoded while this one is widened and meshed;
      // after the last, the decoding process ends while it is meshed.
      if (nextSlice_ + 1 < g.dims[2]) {
        decoder_.ask(series_.slices[std::size_t(nextSlice_ + 1)].file);
      } else {
        decoder_.finish();
      }
      // GDCM hands pixels in the machine's byte order, little-endian
      // wherever this is built.
      decodeVoxels(series_.stored, false, pixels, std::size_t(voxels), out);
      // In double arithmetic, whatever the form: where that is floats, the
      // values are integers that floats hold.
      if (slice.slope != 1.0 || slice.intercept != 0.0) {
        for (std::int64_t n = 0; n < voxels; ++n) {
          out[n] = static_cast<Value>(static_cast<double>(out[n]) * slice.slope + slice.intercept);
        }
      }
    }
  }

  DicomSeries series_;
  DicomDecoder decoder_;
  ValueForm form_ = ValueForm::Bytes;
  std::int64_t nextSlice_ = 0;
};

}  // namespace

std::unique_ptr<VolumeReader> openDicom(const std::string& path, const std::string& series) {
  std::error_code error;
  const bool folder = fs::is_directory(path, error);
  if (!folder && !fs::is_regular_file(path, error)) {
    failVolume(path, "no such folder or DICOMDIR", "check the path");
  }
  // Loaded here, before any child process starts, so that each has it.
  const DicomLibrary& gdcm = dicomLibrary(path);
  gdcm.silence();
  // A DICOMDIR is scanned first too, so that one GDCM dies on is named.
  std::vector<std::string> damaged;
  if (!folder && (scanned(gdcm, path, {path}, damaged), !damaged.empty())) {
    failVolume(path, "GDCM fails on it (it stops the reading process: damaged, or not DICOM)",
               "name the folder of the series instead");
  }
  std::vector<DicomFileFields> fields =
      scanned(gdcm, path, folder ? filesUnder(path) : filesNamedBy(gdcm, path), damaged);
  DicomSeries assembled = assembleDicomSeries(path, std::move(fields), series);
  if (!damaged.empty()) assembled.header.notice = leftOut(path, damaged);
  return std::make_unique<DicomVolume>(std::move(assembled), gdcm);
}

}  // namespace mcubes::internal
