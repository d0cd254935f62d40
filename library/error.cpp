#include "mcubes/error.h"

#include <map>

#include "volume/argument_words.h"

using namespace mcubes::internal;

namespace mcubes {

Error::Error(const std::string& text, std::string file)
    : std::runtime_error(wordArguments(text, libraryWord)), text_(text), file_(std::move(file)) {}

std::string Error::worded(const std::function<std::string(const std::string&)>& term) const {
  return wordArguments(text_, term);
}

std::string libraryWord(const std::string& name) {
  static const std::map<std::string, std::string> words = {
      {"dims", "RawLayout::dims"},
      {"type", "RawLayout::type"},
      {"endian", "RawLayout::bigEndian"},
      {"spacing", "Placement::spacing"},
      {"origin", "Placement::origin"},
      {"series", "FileSource::series"},
      {"outside_references", "FileSource::outsideReferences"},
      {"level", "SurfaceOptions::level"},
      {"otsu", "MeshRequest::otsu"},
      {"inside", "SurfaceOptions::inside"},
      {"inside_below", "SurfaceOptions::inside = Inside::Below"},
      {"unwelded", "SurfaceOptions::welded = false"},
      {"unclosed", "SurfaceOptions::closed = false"},
      {"normals", "SurfaceOptions::normals"},
      {"threads", "SurfaceOptions::threads"},
      {"labels", "MeshRequest::labels"},
      {"label_table", "MeshRequest::labelTable"},
      {"conforming", "MeshRequest::conforming"},
      {"interfaces", "MeshRequest::interfaces"},
      {"space", "MeshRequest::space"},
      {"format", "WriteOptions::format"},
      {"keep_largest", "FinishOptions::keepLargest"},
      {"min_component", "FinishOptions::minComponent"},
      {"smooth", "FinishOptions::smoothIterations"},
      {"passband", "FinishOptions::smoothPassband"},
      {"decimate", "FinishOptions::decimate"},
  };
  return wordFrom(words, name);
}

std::string wordFrom(const std::map<std::string, std::string>& words, const std::string& name) {
  const auto found = words.find(name);
  return found == words.end() ? "{" + name + "}" : found->second;
}

}  // namespace mcubes
