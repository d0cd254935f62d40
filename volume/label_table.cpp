#include "volume/label_table.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include "volume/read_failure.h"

namespace mcubes::internal {

namespace {

std::string trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::optional<std::int64_t> wholeNumber(const std::string& text) {
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0') return std::nullopt;
  return value;
}

std::optional<double> number(const std::string& text) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(value)) return std::nullopt;
  return value;
}

// R, G and B as 0 to 255, from 0 to 255 or, where all are written with a
// point and none exceeds 1, from 0 to 1.
std::optional<std::array<std::uint8_t, 3>> colourOf(const std::vector<std::string>& rgb) {
  double values[3];
  bool fractions = true;
  for (int c = 0; c < 3; ++c) {
    const std::optional<double> value = number(rgb[static_cast<std::size_t>(c)]);
    if (!value || *value < 0 || *value > 255) return std::nullopt;
    values[c] = *value;
    fractions = fractions && rgb[static_cast<std::size_t>(c)].find('.') != std::string::npos &&
                *value <= 1.0;
  }
  std::array<std::uint8_t, 3> colour;
  for (int c = 0; c < 3; ++c) {
    colour[static_cast<std::size_t>(c)] =
        static_cast<std::uint8_t>(std::lround(fractions ? values[c] * 255.0 : values[c]));
  }
  return colour;
}

std::vector<std::string> fieldsOf(const std::string& line, char separator) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  if (separator == ' ') {
    for (std::string field; in >> field;) fields.push_back(field);
  } else {
    for (std::string field; std::getline(in, field, separator);) fields.push_back(trimmed(field));
  }
  return fields;
}

// One line's label, or nothing where it is none of the table's forms.
std::optional<std::pair<std::int64_t, LabelStyle>> entryOf(const std::string& line) {
  std::int64_t value;
  LabelStyle style{{}, {128, 128, 128}};
  std::vector<std::string> rgb;
  if (const std::size_t quote = line.find('"'); quote != std::string::npos) {
    // ITK-SNAP: value R G B A visible mesh "name".
    const std::size_t end = line.rfind('"');
    const std::vector<std::string> numbers = fieldsOf(line.substr(0, quote), ' ');
    if (end == quote || numbers.size() != 7 || trimmed(line.substr(end + 1)) != "") {
      return std::nullopt;
    }
    const std::optional<std::int64_t> parsed = wholeNumber(numbers[0]);
    if (!parsed) return std::nullopt;
    value = *parsed;
    style.name = line.substr(quote + 1, end - quote - 1);
    rgb.assign(numbers.begin() + 1, numbers.begin() + 4);
  } else {
    const char separator = line.find(',') != std::string::npos    ? ','
                           : line.find('\t') != std::string::npos ? '\t'
                                                                  : ' ';
    const std::vector<std::string> fields = fieldsOf(line, separator);
    if (fields.size() < 2 || fields.size() == 3 || fields.size() == 4) return std::nullopt;
    const std::optional<std::int64_t> parsed = wholeNumber(fields[0]);
    if (!parsed || fields[1].empty()) return std::nullopt;
    value = *parsed;
    style.name = fields[1];
    if (fields.size() >= 5) rgb.assign(fields.begin() + 2, fields.begin() + 5);
  }
  if (style.name.empty()) return std::nullopt;
  if (!rgb.empty()) {
    const std::optional<std::array<std::uint8_t, 3>> colour = colourOf(rgb);
    if (!colour) return std::nullopt;
    style.colour = *colour;
  }
  return std::make_pair(value, style);
}

}  // namespace

std::map<std::int64_t, LabelStyle> readLabelTable(const std::string& path) {
  std::ifstream in(path);
  if (!in)
    failVolume(path, "cannot be read as a label table", "check the path given in {label_table}");
  std::map<std::int64_t, LabelStyle> table;
  bool first = true;
  int number = 0;
  for (std::string text; std::getline(in, text);) {
    ++number;
    const std::string line = trimmed(text);
    if (line.empty() || line[0] == '#') continue;
    const std::optional<std::pair<std::int64_t, LabelStyle>> entry = entryOf(line);
    const bool heading =
        first &&
        !wholeNumber(fieldsOf(line, line.find(',') != std::string::npos ? ',' : ' ').front());
    first = false;
    if (heading) continue;
    if (!entry) {
      failVolume(
          path,
          "line " + std::to_string(number) + ", " + shown(line) + ", is no label of a colour table",
          "write value name R G B (FreeSurfer, 3D Slicer), value R G B A visible mesh "
          "\"name\" (ITK-SNAP) or value,name[,R,G,B] (CSV) a line");
    }
    if (!table.emplace(entry->first, entry->second).second) {
      failVolume(path,
                 "line " + std::to_string(number) + " gives label " + std::to_string(entry->first) +
                     " a second time",
                 "give each label once");
    }
  }
  return table;
}

}  // namespace mcubes::internal
