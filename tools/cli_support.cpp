#include "tools/cli_support.h"

#include <charconv>

#include "library/mesh_run.h"
#include "tools/cli_words.h"

using namespace mcubes::internal;

namespace {

// Accepts exactly an optional sign and decimal digits within the 32-bit
// range, and hands the parser the plain decimal form: "010" is ten, not an
// octal eight, and "0x10", " 5", "" and 2147483648 are refused rather than
// reinterpreted.
std::string normaliseInt32(std::string& text) {
  const char* first = text.data();
  const char* last = first + text.size();
  const char* digits = first != last && (*first == '+' || *first == '-') ? first + 1 : first;
  bool decimal = digits != last;
  for (const char* c = digits; c != last; ++c) decimal = decimal && *c >= '0' && *c <= '9';
  std::int32_t value = 0;
  if (decimal) {
    const auto result = std::from_chars(*first == '+' ? first + 1 : first, last, value);
    if (result.ec == std::errc() && result.ptr == last) {
      text = std::to_string(value);
      return {};
    }
  }
  return "not a 32-bit integer: '" + text + "'";
}

// One side of a size: decimal digits only, 1 to maxSnapshotSide, read
// without overflow however long the text.
bool parseSide(const std::string& text, int& side) {
  if (text.empty()) {
    return false;
  }
  long value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') {
      return false;
    }
    value = value * 10 + (c - '0');
    if (value > maxSnapshotSide) {
      return false;
    }
  }
  if (value < 1) {
    return false;
  }
  side = static_cast<int>(value);
  return true;
}

}  // namespace

CLI::Option* addTickOption(CLI::App& command, std::int32_t& tick) {
  return command
      .add_option("--tick", tick, "Animation clock in timer ticks, any 32-bit signed integer")
      ->transform(CLI::Validator(normaliseInt32, "INT32", "32-bit integer"))
      ->capture_default_str();
}

CLI::Option* addThreadsOption(CLI::App& command, int& threads) {
  return command
      .add_option("--threads", threads,
                  "Worker threads, 1 to 1024, or 0 for one per processor this process may run "
                  "on (the default; the output is the same)")
      ->check(CLI::Range(0, 1024))
      ->capture_default_str()
      ->each([&threads](const std::string&) {
        if (threads == 0) threads = mcubes::availableProcessors();
      });
}

bool parseSnapshotSize(const std::string& text, int& width, int& height, std::string& error) {
  const std::size_t x = text.find('x');
  if (x == std::string::npos || !parseSide(text.substr(0, x), width) ||
      !parseSide(text.substr(x + 1), height)) {
    error = "bad size '" + text + "': expected WxH, each side from 1 to " +
            std::to_string(maxSnapshotSide);
    return false;
  }
  return true;
}

CLI::Option* addSizeOption(CLI::App& command, std::string& size) {
  size = "800x600";
  const std::string limit = std::to_string(maxSnapshotSide);
  return command.add_option("--size", size, "Picture size WxH, each side 1 to " + limit)
      ->capture_default_str();
}

void sizeOrFail(const std::string& size, int& width, int& height) {
  std::string error;
  if (!parseSnapshotSize(size, width, height, error)) failCommand(error);
}

CLI::Option* addOutputOption(CLI::App& command, std::string& path, const std::string& what) {
  return command.add_option("-o,--output", path, what + "; - for standard output");
}

void failCommand(const std::string& message) {
  throw CLI::RuntimeError(inFlags(message), BadInputExitCode);
}
