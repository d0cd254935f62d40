#include "volume/label_styles.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <set>
#include <sstream>

namespace mcubes::internal {

namespace {

// Ten colours told apart at a glance (Tableau's), label 1 the first.
constexpr std::array<std::uint8_t, 3> Palette[] = {
    {31, 119, 180}, {255, 127, 14},  {44, 160, 44},   {214, 39, 40},  {148, 103, 189},
    {140, 86, 75},  {227, 119, 194}, {127, 127, 127}, {188, 189, 34}, {23, 190, 207}};

struct Segment {
  std::string name;
  std::string labelValue, colour, layer;
};

bool wholeNumber(const std::string& text, std::int64_t& value) {
  char* end = nullptr;
  const long long parsed = std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0') return false;
  value = parsed;
  return true;
}

bool colourOf(const std::string& text, std::array<std::uint8_t, 3>& colour) {
  std::istringstream in(text);
  double rgb[3];
  if (!(in >> rgb[0] >> rgb[1] >> rgb[2])) return false;
  for (int c = 0; c < 3; ++c) {
    if (!(rgb[c] >= 0.0 && rgb[c] <= 1.0)) return false;
    colour[c] = static_cast<std::uint8_t>(std::lround(rgb[c] * 255.0));
  }
  return true;
}

}  // namespace

LabelStyles::LabelStyles(const VolumeHeader& header,
                         const std::map<std::int64_t, LabelStyle>& table) {
  std::map<std::int64_t, Segment> segments;
  for (const auto& [key, value] : header.keyValues) {
    std::int64_t n;
    const std::size_t underscore = key.find('_');
    if (key.rfind("Segment", 0) != 0 || underscore == std::string::npos ||
        !wholeNumber(key.substr(7, underscore - 7), n)) {
      continue;
    }
    const std::string field = key.substr(underscore + 1);
    Segment& segment = segments[n];
    if (field == "Name") segment.name = value;
    if (field == "LabelValue") segment.labelValue = value;
    if (field == "Color") segment.colour = value;
    if (field == "Layer") segment.layer = value;
  }
  std::int64_t largest = 0;
  std::vector<std::pair<const Segment*, LayeredSegment>> kept;
  for (const auto& [n, segment] : segments) {
    std::int64_t value, layer = 0;
    if (!wholeNumber(segment.labelValue, value)) continue;
    if (!segment.layer.empty() &&
        (!wholeNumber(segment.layer, layer) || layer < 0 || layer >= header.layers)) {
      continue;
    }
    largest = std::max(largest, value);
    kept.push_back({&segment, {value, layer, value}});
  }
  std::set<std::int64_t> taken;
  for (auto& [segment, layered] : kept) {
    if (header.layers > 1) {
      if (!taken.insert(layered.value).second) layered.number = ++largest;
      taken.insert(layered.number);
      layered_.push_back(layered);
    }
    LabelStyle style = (*this)(layered.number);
    if (!segment->name.empty()) style.name = segment->name;
    colourOf(segment->colour, style.colour);
    segments_[layered.number] = style;
  }
  for (const auto& [label, style] : table) segments_[label] = style;
}

std::optional<std::int64_t> LabelStyles::labelNamed(const std::string& name) const {
  const auto lower = [](std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  };
  for (const auto& [label, style] : segments_) {
    if (lower(style.name) == lower(name)) return label;
  }
  return std::nullopt;
}

LabelStyle LabelStyles::operator()(std::int64_t label) const {
  if (const auto found = segments_.find(label); found != segments_.end()) return found->second;
  const std::int64_t count = std::size(Palette);
  return {"label " + std::to_string(label), Palette[((label - 1) % count + count) % count]};
}

}  // namespace mcubes::internal
