// The fields of a text header (NRRD's "field: value" lines, MetaImage's
// "Key = Value") by name, and what both formats read from them alike: whole
// numbers, lists of numbers, the axes and their sizes, the data files. Every
// failure names the header's file, shows the field as its format spells it
// ("'sizes' field", "DimSize") and ends in the format's remedy ("correct the
// NRRD header").
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mcubes::internal {

class HeaderFields {
 public:
  HeaderFields(const std::string& file, const char* fix) : file_(file), fix_(fix) {}

  // Adds a field; one given twice fails ("the key 'x' is given twice", where
  // `kind` is the format's word for a field).
  void add(const std::string& name, std::string_view value, const char* kind);
  std::optional<std::string_view> find(const std::string& name) const;
  // The field's value; fails where the header lacks it.
  std::string_view required(const std::string& name, const std::string& shownName) const;

  // NRRD's key:=value pairs, in order.
  std::vector<std::pair<std::string, std::string>> keyValues;
  // The lines after a data file field of LIST.
  std::vector<std::string_view> dataFileList;

  // Fails with the format's remedy.
  [[noreturn]] void fail(const std::string& problem) const;
  // `value` as a whole number (`what`: "size", "NDims").
  std::int64_t integer(const std::string& what, std::string_view value) const;
  // Fails unless a field holds as many items as needed.
  void checkCount(const std::string& shownName, std::size_t count, const char* items,
                  std::int64_t needed) const;
  // Each word of `value` as a number (`what`: one of them, "spacing"),
  // `count` of them.
  std::vector<double> numbers(std::string_view value, const std::string& what,
                              const std::string& shownName, std::int64_t count) const;

  // The number of axes (`what`: "dimension", "NDims"): 3 or more, of which
  // the first volume is meshed, up to 16.
  std::int64_t dimension(const std::string& what, std::string_view value) const;
  // The `dimension` axes' sizes, each a whole number (`what`: one of them).
  std::vector<std::int64_t> sizes(std::string_view value, const std::string& what,
                                  const std::string& shownName, std::int64_t dimension) const;

  // The data files that a field's `value` names: LIST and the lines after
  // it, a numbered series ("name%03d.raw FIRST LAST STEP"), or one file;
  // beside the header unless absolute. A LIST or series may say how many
  // axes each file holds (one less than all without). Fails unless they are
  // as many as the axes past those ask for.
  std::vector<std::string> dataFiles(std::string_view value, const std::string& shownName,
                                     const std::vector<std::int64_t>& sizes) const;

 private:
  std::string file_;
  const char* fix_;
  std::map<std::string, std::string_view> values_;
};

}  // namespace mcubes::internal
