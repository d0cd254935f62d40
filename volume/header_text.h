// Reading the values of text headers (NRRD, MetaImage): numbers, words and
// lines, strictly (a value with anything left over is no value).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mcubes::internal {

std::string_view trimmed(std::string_view text);
// Splits at runs of spaces and tabs.
std::vector<std::string_view> words(std::string_view text);
// Splits at line ends (LF or CRLF); a last line without an end counts.
std::vector<std::string_view> lines(std::string_view text);

// The whole of `text` (surrounding spaces allowed) as a number.
std::optional<std::int64_t> parseInteger(std::string_view text);
std::optional<double> parseNumber(std::string_view text);
// Lower case, for keywords that files write in any case.
std::string lowered(std::string_view text);

}  // namespace mcubes::internal
