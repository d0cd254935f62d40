#include "volume/dicom_decoder.h"

#include <fcntl.h>
#include <gdcmImageReader.h>
#include <gdcmReader.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <exception>
#include <optional>
#include <set>
#include <string_view>

#include "volume/child_process.h"
#include "volume/read_failure.h"

namespace mcubes::internal {

namespace {

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
    return {"its pixel data cannot be decoded (transfer syntax " +
                std::string(gdcm::TransferSyntax::GetTSString(image.GetTransferSyntax())) +
                ", which this GDCM cannot decode, or damaged)",
            "convert the series to an uncompressed transfer syntax (e.g. gdcmconv --raw)"};
  }
  return {};
}

bool sendText(int to, const std::string& text) {
  const std::uint32_t size = std::uint32_t(text.size());
  return writeAll(to, &size, sizeof size) && writeAll(to, text.data(), size);
}

bool receiveText(int from, std::string& text) {
  std::uint32_t size = 0;
  if (!readAll(from, &size, sizeof size)) return false;
  text.resize(size);
  return readAll(from, text.data(), size);
}

// The child: a file's name and the slot for its pixels in, its outcome out,
// until the parent's end of the socket closes.
[[noreturn]] void serve(int channel, std::size_t bytes, unsigned char* pixels) {
  for (std::string file; receiveText(channel, file);) {
    unsigned char slot = 0;
    if (!readAll(channel, &slot, 1)) break;
    Outcome outcome;
    try {
      outcome = decodeInto(file, bytes, pixels + std::size_t(slot & 1) * (bytes + 1));
    } catch (const std::exception&) {
      // Most often std::bad_alloc: a length larger than the child may take.
      outcome = damaged("GDCM cannot decode it (damaged: it claims more memory than it holds)");
    }
    if (!sendText(channel, outcome.problem) || !sendText(channel, outcome.remedy)) break;
  }
  ::_exit(0);
}

}  // namespace

DicomDecoder::DicomDecoder(std::size_t sliceBytes) : bytes_(sliceBytes) {
  void* shared =
      ::mmap(nullptr, 2 * (bytes_ + 1), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (shared == MAP_FAILED) {
    failVolume("the DICOM series", "cannot be read (no memory)", "try again");
  }
  pixels_ = shared;
  // A socket, not pipes: a request to a child that is gone fails instead
  // of raising SIGPIPE.
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
    stop();
    failVolume("the DICOM series", "cannot be read (no socket)", "try again");
  }
  // Room for GDCM's copy of a slice's file and its codecs' work.
  const std::size_t headroom = (std::size_t(256) << 20) + 16 * bytes_;
  child_ = forkGdcmChild(headroom, false, ends[1]);
  if (child_ == 0) {
    serve(ends[1], bytes_, static_cast<unsigned char*>(pixels_));
  }
  ::close(ends[1]);
  channel_ = ends[0];
  if (child_ < 0) {
    stop();
    failVolume("the DICOM series", "cannot be read (no process)", "try again");
  }
}

DicomDecoder::~DicomDecoder() { stop(); }

void DicomDecoder::stop() {
  if (channel_ >= 0) ::close(channel_);
  channel_ = -1;
  if (child_ > 0) reapChild(child_);
  child_ = -1;
  if (pixels_ != nullptr) ::munmap(pixels_, 2 * (bytes_ + 1));
  pixels_ = nullptr;
}

unsigned char* DicomDecoder::slot(int n) const {
  return static_cast<unsigned char*>(pixels_) + std::size_t(n & 1) * (bytes_ + 1);
}

void DicomDecoder::ask(const std::string& file) {
  const unsigned char slot = static_cast<unsigned char>(asked_ & 1);
  files_[slot] = file;
  ++asked_;
  // A child that is gone shows when the file is taken.
  if (channel_ >= 0 && !(sendText(channel_, file) && writeAll(channel_, &slot, 1))) {
    ::close(channel_);
    channel_ = -1;
  }
}

const unsigned char* DicomDecoder::take(bool needed) {
  const int n = taken_++;
  const std::string& file = files_[n & 1];
  std::string problem, remedy;
  if (channel_ < 0 || !receiveText(channel_, problem) || !receiveText(channel_, remedy)) {
    stop();
    if (!needed) return nullptr;
    failVolume(file, "GDCM fails on it (it stops the decoding process: damaged, or cut short)",
               "copy the series again");
  }
  if (!problem.empty() && needed) failVolume(file, problem, remedy);
  return slot(n);
}

}  // namespace mcubes::internal
