#include "volume/data_stream.h"

#include <algorithm>
#include <stdexcept>

#include "volume/gzip_source.h"
#include "volume/output_file.h"
#include "volume/read_failure.h"

namespace mcubes::internal {

namespace {

const char* const SizesOrTruncated =
    "the file is truncated, or its header's sizes or type are wrong";

// The header that asks, in words: itself, or the header file of detached data.
std::string asker(const DataLayout& layout, const std::string& file) {
  return file == layout.headerFile ? "its header" : printableName(layout.headerFile);
}

// The most bytes that one byte of deflate data inflates to: a match of 258
// bytes coded in two bits.
constexpr std::int64_t MostInflated = 1032;

bool skipLines(ByteSource& source, std::int64_t count) {
  unsigned char c;
  while (count > 0) {
    if (source.read(&c, 1) != 1) return false;
    if (c == '\n') --count;
  }
  return true;
}

}  // namespace

bool ByteSource::skip(std::int64_t count) {
  unsigned char scrap[1 << 14];
  while (count > 0) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(count, sizeof scrap));
    const std::size_t got = read(scrap, want);
    if (got < want) return false;
    count -= static_cast<std::int64_t>(got);
  }
  return true;
}

DataStream::DataStream(DataLayout layout) : layout_(std::move(layout)) {
  for (const std::string& file : layout_.files) {
    const std::int64_t size = fileSize(file);
    if (layout_.compressed) {
      // Before anything is allocated for a header's claim: deflate packs at
      // most 1032 bytes into one, so a small file cannot hold a large volume.
      const std::int64_t held = std::max<std::int64_t>(size - layout_.start, 0);
      const std::int64_t asked = layout_.bytesPerFile + std::max<std::int64_t>(layout_.byteSkip, 0);
      if (asked > 0 && held < (asked - 1) / MostInflated + 1) {
        failVolume(file,
                   "holds " + std::to_string(held) + " bytes of compressed data, too few for the " +
                       std::to_string(asked) + " bytes " + asker(layout_, file) +
                       " asks for (deflate packs at most " + std::to_string(MostInflated) +
                       " bytes into one)",
                   SizesOrTruncated);
      }
      continue;
    }
    if (layout_.lineSkip > 0) continue;
    const std::int64_t before = layout_.start + (layout_.byteSkip > 0 ? layout_.byteSkip : 0);
    const std::int64_t held = size > before ? size - before : 0;
    if (held < layout_.bytesPerFile) {
      failVolume(file,
                 "holds " + std::to_string(held) + " bytes of voxels where " +
                     asker(layout_, file) + " asks for " + std::to_string(layout_.bytesPerFile),
                 SizesOrTruncated);
    }
  }
  noteInputFile(layout_.headerFile);
  for (const std::string& file : layout_.files) noteInputFile(file);
  // The first file now, so that what opening it finds (a build that cannot
  // decompress, skips past its end) shows when the volume is opened.
  try {
    openNext();
  } catch (...) {
    forgetInputs();
    throw;
  }
}

DataStream::~DataStream() { forgetInputs(); }

void DataStream::forgetInputs() const {
  forgetInputFile(layout_.headerFile);
  for (const std::string& file : layout_.files) forgetInputFile(file);
}

void DataStream::openNext() {
  if (nextFile_ >= layout_.files.size()) {
    throw std::logic_error("read past the end of a volume's data");
  }
  const std::string& file = layout_.files[nextFile_++];
  auto source = std::make_unique<FileSource>(file);
  const std::int64_t fileBytes = source->size();
  source->seek(layout_.start);
  if (!skipLines(*source, layout_.lineSkip)) {
    failVolume(file, "ends within the " + std::to_string(layout_.lineSkip) + " lines to skip",
               SizesOrTruncated);
  }
  if (layout_.compressed) {
    piece_ = inflatingSource(std::move(source), file);
    if (!piece_->skip(layout_.byteSkip)) {
      failVolume(file, "ends within the " + std::to_string(layout_.byteSkip) + " bytes to skip",
                 SizesOrTruncated);
    }
  } else {
    if (layout_.byteSkip < 0) {
      source->seek(fileBytes - layout_.bytesPerFile);
    } else if (layout_.lineSkip > 0) {
      if (!source->skip(layout_.byteSkip)) {
        failVolume(file, "ends within the " + std::to_string(layout_.byteSkip) + " bytes to skip",
                   SizesOrTruncated);
      }
    } else {
      source->seek(layout_.start + layout_.byteSkip);
    }
    piece_ = std::move(source);
  }
  pieceLeft_ = layout_.bytesPerFile;
}

void DataStream::read(unsigned char* out, std::size_t size) {
  while (size > 0) {
    if (pieceLeft_ == 0) openNext();
    const std::size_t want = static_cast<std::size_t>(
        std::min<std::int64_t>(pieceLeft_, static_cast<std::int64_t>(size)));
    const std::size_t got = piece_->read(out, want);
    pieceLeft_ -= static_cast<std::int64_t>(got);
    if (got < want) endsEarly(layout_.bytesPerFile - pieceLeft_);
    if (pieceLeft_ == 0) piece_->verifyRest();
    out += got;
    size -= got;
  }
}

void DataStream::skip(std::int64_t size) {
  while (size > 0) {
    if (pieceLeft_ == 0) openNext();
    const std::int64_t want = std::min(pieceLeft_, size);
    if (!piece_->skip(want)) endsEarly(layout_.bytesPerFile - pieceLeft_);
    pieceLeft_ -= want;
    if (pieceLeft_ == 0) piece_->verifyRest();
    size -= want;
  }
}

void DataStream::endsEarly(std::int64_t got) const {
  const std::string& file = layout_.files[nextFile_ - 1];
  failVolume(file,
             "its voxels end after " + std::to_string(got) + " of the " +
                 std::to_string(layout_.bytesPerFile) + " bytes " + asker(layout_, file) +
                 " asks for",
             SizesOrTruncated);
}

}  // namespace mcubes::internal
