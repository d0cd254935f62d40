#include "volume/file_source.h"
#include "volume/header_text.h"
#include "volume/metaimage_header.h"
#include "volume/read_failure.h"
#include "volume/streamed_volume.h"
#include "volume/volume_readers.h"

namespace mcubes::internal {

namespace {

// Far beyond any real header (a few hundred bytes, or a long list of files).
constexpr std::size_t LongestHeader = 8 << 20;

// Where the header ends: just after the line end of its ElementDataFile
// line, or, when that names a LIST of files, at the end of the file.
std::size_t headerEnd(const std::string& head) {
  std::size_t line = 0;
  while (line < head.size()) {
    std::size_t end = head.find('\n', line);
    end = end == std::string::npos ? head.size() : end + 1;
    // The line without its line end, which words() would keep in "LIST\n".
    const std::vector<std::string_view> text =
        lines(std::string_view(head).substr(line, end - line));
    const std::size_t equals = text.empty() ? std::string_view::npos : text[0].find('=');
    if (equals != std::string_view::npos &&
        lowered(trimmed(text[0].substr(0, equals))) == "elementdatafile") {
      const std::vector<std::string_view> value = words(text[0].substr(equals + 1));
      return !value.empty() && value[0] == "LIST" ? head.size() : end;
    }
    line = end;
  }
  return std::string::npos;
}

}  // namespace

std::unique_ptr<VolumeReader> openMetaImage(const std::string& path) {
  const std::string head = fileHead(path, LongestHeader);
  const std::size_t end = headerEnd(head);
  if (end == std::string::npos) {
    failVolume(path, "has no ElementDataFile line, which ends a MetaImage header",
               "check that the file is MetaImage");
  }
  const MetaImageHeader header = parseMetaImageHeader(std::string_view(head).substr(0, end), path);
  DataLayout layout;
  layout.headerFile = path;
  if (header.dataFiles.empty()) {
    layout.files = {path};
    layout.start = static_cast<std::int64_t>(end);
  } else {
    layout.files = header.dataFiles;
    if (header.headerSize >= 0) layout.start = header.headerSize;
    if (header.headerSize < 0) layout.byteSkip = -1;
  }
  layout.compressed = header.compressed;
  layout.bytesPerFile = header.bytes / static_cast<std::int64_t>(layout.files.size());
  return std::make_unique<StreamedVolume>(header.volume, header.bigEndian, std::move(layout));
}

}  // namespace mcubes::internal
