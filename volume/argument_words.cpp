#include "volume/argument_words.h"

namespace mcubes::internal {

namespace {

bool isNameCharacter(char c) { return (c >= 'a' && c <= 'z') || c == '_'; }

}  // namespace

std::string wordArguments(const std::string& text,
                          const std::function<std::string(const std::string& name)>& term) {
  std::string result;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t open = text.find('{', at);
    if (open == std::string::npos) break;
    std::size_t close = open + 1;
    while (close < text.size() && isNameCharacter(text[close])) ++close;
    result.append(text, at, open - at);
    if (close < text.size() && text[close] == '}' && close > open + 1) {
      result += term(text.substr(open + 1, close - open - 1));
      at = close + 1;
    } else {
      result += '{';
      at = open + 1;
    }
  }
  result.append(text, at, std::string::npos);
  return result;
}

}  // namespace mcubes::internal
