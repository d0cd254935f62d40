#include "volume/header_fields.h"

#include "volume/data_files.h"
#include "volume/header_text.h"
#include "volume/read_failure.h"

namespace mcubes::internal {

namespace {

constexpr std::int64_t MostAxes = 16;  // as teem allows

}  // namespace

void HeaderFields::add(const std::string& name, std::string_view value, const char* kind) {
  if (!values_.emplace(name, value).second) {
    fail("the " + std::string(kind) + " " + shown(name) + " is given twice");
  }
}

std::optional<std::string_view> HeaderFields::find(const std::string& name) const {
  const auto found = values_.find(name);
  if (found == values_.end()) return std::nullopt;
  return found->second;
}

std::string_view HeaderFields::required(const std::string& name,
                                        const std::string& shownName) const {
  const std::optional<std::string_view> value = find(name);
  if (!value) fail("its header has no " + shownName);
  return *value;
}

void HeaderFields::fail(const std::string& problem) const { failVolume(file_, problem, fix_); }

std::int64_t HeaderFields::integer(const std::string& what, std::string_view value) const {
  const std::optional<std::int64_t> number = parseInteger(value);
  if (!number) fail("the " + what + " " + shown(value) + " is no whole number");
  return *number;
}

void HeaderFields::checkCount(const std::string& shownName, std::size_t count, const char* items,
                              std::int64_t needed) const {
  if (static_cast<std::int64_t>(count) != needed) {
    fail("its " + shownName + " has " + std::to_string(count) + " " + items + " where " +
         std::to_string(needed) + " are needed");
  }
}

std::vector<double> HeaderFields::numbers(std::string_view value, const std::string& what,
                                          const std::string& shownName, std::int64_t count) const {
  std::vector<double> result;
  for (const std::string_view word : words(value)) {
    const std::optional<double> number = parseNumber(word);
    if (!number) fail("the " + what + " " + shown(word) + " is no number");
    result.push_back(*number);
  }
  checkCount(shownName, result.size(), "numbers", count);
  return result;
}

std::int64_t HeaderFields::dimension(const std::string& what, std::string_view value) const {
  const std::int64_t axes = integer(what, value);
  if (axes < 3 || axes > MostAxes) {
    failVolume(file_,
               "has " + what + " " + std::to_string(axes) +
                   ": a volume has 3 axes (or more, of which the first volume is meshed)",
               "mesh a volume of 3 to 16 axes");
  }
  return axes;
}

std::vector<std::int64_t> HeaderFields::sizes(std::string_view value, const std::string& what,
                                              const std::string& shownName,
                                              std::int64_t dimension) const {
  std::vector<std::int64_t> result;
  for (const std::string_view word : words(value)) result.push_back(integer(what, word));
  checkCount(shownName, result.size(), "sizes", dimension);
  return result;
}

std::vector<std::string> HeaderFields::dataFiles(std::string_view value,
                                                 const std::string& shownName,
                                                 const std::vector<std::int64_t>& sizes) const {
  const auto dimension = static_cast<std::int64_t>(sizes.size());
  const std::vector<std::string_view> parts = words(value);
  if (parts.empty()) fail("its " + shownName + " names no file");
  const char* const perFile = "data files' dimension";
  std::int64_t subdim = dimension;
  std::vector<std::string> files;
  if (parts[0] == "LIST") {
    // MetaImage writes the axes of a file as "2D".
    subdim = parts.size() > 1 ? integer(perFile, parts[1].substr(0, parts[1].find_first_of("Dd")))
                              : dimension - 1;
    for (const std::string_view name : dataFileList) files.push_back(besideHeader(file_, name));
  } else if ((parts.size() == 4 || parts.size() == 5) &&
             parts[0].find('%') != std::string_view::npos) {
    subdim = parts.size() == 5 ? integer(perFile, parts[4]) : dimension - 1;
    files = numberedFiles(file_, parts[0], integer("first number", parts[1]),
                          integer("last number", parts[2]), integer("number step", parts[3]));
  } else {
    files.push_back(besideHeader(file_, value));
  }
  if (subdim < 1 || subdim > dimension) {
    fail("its " + std::string(perFile) + " " + std::to_string(subdim) + " is no axis");
  }
  std::int64_t wanted = 1;
  for (std::int64_t axis = subdim; axis < dimension; ++axis) wanted *= sizes[axis];
  if (wanted != static_cast<std::int64_t>(files.size())) {
    fail("names " + std::to_string(files.size()) + " data files where the sizes ask for " +
         std::to_string(wanted));
  }
  return files;
}

}  // namespace mcubes::internal
