// Numbers as messages, comments and headers write them.
#pragma once

#include <string>

namespace mcubes::internal {

// `value` with at most `digits` significant digits (printf's %g): 9, the
// default, tells every float apart; 17 every double.
std::string numberText(double value, int digits = 9);

// The shortest decimal that reads back as exactly `value`.
std::string exactNumber(double value);

}  // namespace mcubes::internal
