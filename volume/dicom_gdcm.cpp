// GDCM's side of the DICOM reader (dicom_library.h): header fields scanned,
// DICOMDIRs listed and slices decoded, each the one call the reader makes
// for it; the rest of the reader knows no GDCM.
#include <fcntl.h>
#include <gdcmImageReader.h>
#include <gdcmReader.h>
#include <gdcmScanner.h>
#include <gdcmTrace.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "volume/dicom_library.h"
#include "volume/dicom_series.h"

namespace mcubes::internal {

namespace {

// The tags of the fields, in DicomField's order.
const gdcm::Tag FieldTags[DicomFieldCount] = {
    {0x0020, 0x000e}, {0x0008, 0x103e}, {0x0008, 0x0060}, {0x0020, 0x0032},
    {0x0020, 0x0037}, {0x0028, 0x0030}, {0x0028, 0x0010}, {0x0028, 0x0011},
    {0x0028, 0x0002}, {0x0028, 0x0100}, {0x0028, 0x0103}, {0x0028, 0x0008},
    {0x0028, 0x1052}, {0x0028, 0x1053}, {0x0008, 0x0008}, {0x0008, 0x0016}};

void silence() {
  gdcm::Trace::SetWarning(false);
  gdcm::Trace::SetError(false);
}

bool namedFiles(const char* dicomdir, void* context,
                void (*each)(void* context, const char* id, std::size_t size)) {
  gdcm::Reader reader;
  reader.SetFileName(dicomdir);
  if (!reader.Read()) return false;
  const gdcm::DataSet& root = reader.GetFile().GetDataSet();
  const gdcm::Tag recordsTag(0x0004, 0x1220), fileTag(0x0004, 0x1500);
  if (!root.FindDataElement(recordsTag)) return true;
  const gdcm::SmartPointer<gdcm::SequenceOfItems> records =
      root.GetDataElement(recordsTag).GetValueAsSQ();
  for (gdcm::SequenceOfItems::SizeType n = 1; records && n <= records->GetNumberOfItems(); ++n) {
    const gdcm::DataSet& record = records->GetItem(n).GetNestedDataSet();
    if (!record.FindDataElement(fileTag)) continue;
    const gdcm::ByteValue* value = record.GetDataElement(fileTag).GetByteValue();
    if (value) each(context, value->GetPointer(), value->GetLength());
  }
  return true;
}

bool scanFile(const char* file, void* context,
              void (*each)(void* context, int field, const char* value)) {
  gdcm::Scanner scanner;
  for (const gdcm::Tag& tag : FieldTags) scanner.AddTag(tag);
  scanner.Scan({file});
  if (!scanner.IsKey(file)) return false;
  for (int f = 0; f < DicomFieldCount; ++f) {
    if (const char* value = scanner.GetValue(file, FieldTags[f])) each(context, f, value);
  }
  return true;
}

const gdcm::Tag PixelData(0x7fe0, 0x0010);

// What is wrong with a slice and what to do; no problem where it decoded.
struct Outcome {
  std::string problem, remedy;
};

Outcome damaged(const std::string& problem) { return {problem, "copy the series again"}; }

// A little-endian unsigned short of the data set; none where absent.
std::optional<unsigned> shortValue(const gdcm::DataSet& data, const gdcm::Tag& tag) {
  if (!data.FindDataElement(tag)) return std::nullopt;
  const gdcm::ByteValue* value = data.GetDataElement(tag).GetByteValue();
  if (value == nullptr || value->GetLength() != 2) return std::nullopt;
  const auto* bytes = reinterpret_cast<const unsigned char*>(value->GetPointer());
  return unsigned(bytes[0]) | unsigned(bytes[1]) << 8;
}

// Whether GDCM would hand the pixels over as stored: a little-endian
// syntax, one grey-level sample of 8, 16 or 32 bits, every bit of it used
// (GDCM masks unused high bits, and overlays kept in them), `bytes` in all.
bool decodedAsStored(const gdcm::File& file, std::size_t bytes) {
  const gdcm::TransferSyntax syntax = file.GetHeader().GetDataSetTransferSyntax();
  if (syntax != gdcm::TransferSyntax::ExplicitVRLittleEndian &&
      syntax != gdcm::TransferSyntax::ImplicitVRLittleEndian) {
    return false;
  }
  const gdcm::DataSet& data = file.GetDataSet();
  const std::optional<unsigned> samples = shortValue(data, {0x0028, 0x0002}),
                                rows = shortValue(data, {0x0028, 0x0010}),
                                columns = shortValue(data, {0x0028, 0x0011}),
                                allocated = shortValue(data, {0x0028, 0x0100}),
                                stored = shortValue(data, {0x0028, 0x0101}),
                                high = shortValue(data, {0x0028, 0x0102});
  const gdcm::Tag photometric(0x0028, 0x0004);
  const gdcm::ByteValue* grey =
      data.FindDataElement(photometric) ? data.GetDataElement(photometric).GetByteValue() : nullptr;
  if (!samples || !rows || !columns || !allocated || !stored || !high || grey == nullptr) {
    return false;
  }
  std::string_view interpretation(grey->GetPointer(), grey->GetLength());
  while (!interpretation.empty() &&
         (interpretation.back() == ' ' || interpretation.back() == '\0')) {
    interpretation.remove_suffix(1);
  }
  return *samples == 1 && (*allocated == 8 || *allocated == 16 || *allocated == 32) &&
         *stored == *allocated && *high + 1 == *allocated &&
         std::size_t(*rows) * *columns * (*allocated / 8) == bytes &&
         (interpretation == "MONOCHROME2" || interpretation == "MONOCHROME1");
}

// Reads the `bytes` of a pixel data value that starts at `at` in `file`
// (of `size` bytes) into `out`: false where the element before `at` is not
// an uncompressed pixel data element (its tag, then VR or not, then a
// length of `bytes` at least, that the file holds) or the file holds fewer.
bool readStoredPixels(const std::string& file, std::uint64_t size, std::uint64_t at,
                      std::size_t bytes, unsigned char* out) {
  if (at < 12) return false;
  const int descriptor = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return false;
  unsigned char element[12];
  bool whole = ::pread(descriptor, element, sizeof element, off_t(at - 12)) == 12;
  const unsigned char tag[4] = {0xe0, 0x7f, 0x10, 0x00};
  const bool explicitVr = std::memcmp(element, tag, 4) == 0 && element[4] == 'O' &&
                          (element[5] == 'W' || element[5] == 'B') && element[6] == 0 &&
                          element[7] == 0;
  const bool implicitVr = std::memcmp(element + 4, tag, 4) == 0;
  const std::uint32_t length = std::uint32_t(element[8]) | std::uint32_t(element[9]) << 8 |
                               std::uint32_t(element[10]) << 16 | std::uint32_t(element[11]) << 24;
  whole = whole && (explicitVr || implicitVr) && length >= bytes && at + length <= size;
  for (std::size_t done = 0; whole && done < bytes;) {
    const ssize_t got = ::pread(descriptor, out + done, bytes - done, off_t(at + done));
    whole = got > 0;
    done += whole ? std::size_t(got) : 0;
  }
  ::close(descriptor);
  return whole;
}

// Decodes `file` into `out`, which holds `bytes`, and checks first that
// pixel data stored as it is (not compressed) lies whole in the file.
Outcome decodeInto(const std::string& file, std::size_t bytes, unsigned char* out) {
  struct stat status;
  if (::stat(file.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
    return {"cannot be read (gone, or no regular file)", "check the series' folder"};
  }
  const std::uint64_t size = std::uint64_t(status.st_size);
  gdcm::Reader head;
  head.SetFileName(file.c_str());
  if (!head.ReadUpToTag(PixelData, {PixelData})) {
    return damaged("GDCM cannot read it (damaged, or its pixel data is missing)");
  }
  const gdcm::TransferSyntax syntax = head.GetFile().GetHeader().GetDataSetTransferSyntax();
  // Where the pixel data's value starts, as stored; a deflated data set's
  // positions are those of the inflated stream.
  const bool raw =
      !syntax.IsEncapsulated() && syntax != gdcm::TransferSyntax::DeflatedExplicitVRLittleEndian;
  if (raw) {
    const std::uint64_t at = head.GetStreamCurrentPosition();
    const std::uint64_t held = at < size ? size - at : 0;
    if (held < bytes) {
      return damaged("its pixel data holds " + std::to_string(held) + " of the " +
                     std::to_string(bytes) + " bytes its header promises (the file is cut short)");
    }
    // Most series: the pixels read once, straight into `out`, where GDCM
    // would read the file a second time and copy them twice.
    if (decodedAsStored(head.GetFile(), bytes) && readStoredPixels(file, size, at, bytes, out)) {
      return {};
    }
  }
  gdcm::ImageReader reader;
  reader.SetFileName(file.c_str());
  if (!reader.Read()) {
    return damaged("GDCM cannot read its image (damaged, or its pixel data is missing)");
  }
  const gdcm::Image& image = reader.GetImage();
  if (image.GetBufferLength() != bytes) {
    return damaged("its pixel data holds " + std::to_string(image.GetBufferLength()) +
                   " bytes where its header promises " + std::to_string(bytes));
  }
  const gdcm::ByteValue* stored =
      reader.GetFile().GetDataSet().GetDataElement(PixelData).GetByteValue();
  if (raw && (stored == nullptr || stored->GetLength() < bytes)) {
    return damaged("its pixel data element holds " +
                   std::to_string(stored ? std::uint64_t(stored->GetLength()) : 0) + " of the " +
                   std::to_string(bytes) + " bytes its header promises");
  }
  if (!image.GetBuffer(reinterpret_cast<char*>(out))) {
    return {
        "its pixel data cannot be decoded (transfer syntax " +
            std::string(gdcm::TransferSyntax::GetTSString(image.GetTransferSyntax())) +
            ", which this GDCM cannot decode, or damaged)",
        "convert the series to an uncompressed transfer syntax, such as explicit VR little endian "
        "(GDCM's gdcmconv converts DICOM files)"};
  }
  return {};
}

bool decode(const char* file, std::size_t bytes, unsigned char* out, void* context,
            void (*fail)(void* context, const char* problem, const char* remedy)) {
  Outcome outcome;
  try {
    outcome = decodeInto(file, bytes, out);
  } catch (const std::exception&) {
    // Most often std::bad_alloc: a length larger than the process may take.
    outcome = damaged("GDCM cannot decode it (damaged: it claims more memory than it holds)");
  }
  if (outcome.problem.empty()) return true;
  fail(context, outcome.problem.c_str(), outcome.remedy.c_str());
  return false;
}

}  // namespace

const DicomLibrary gdcmDicomLibrary = {DicomLibraryLayout, silence, namedFiles, scanFile, decode};

}  // namespace mcubes::internal
