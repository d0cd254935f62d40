// Messages below the front ends name the arguments a user gave as {name}
// ({dims}, {series}, {level}): the volume readers and the pipeline know what
// was asked of them, not whether it came as a flag of mcubes, a keyword of
// the Python module or a field of the library. Each front end words the
// names its own way where it shows the message.
#pragma once

#include <functional>
#include <string>

namespace mcubes::internal {

// `text` with each {name} of lower-case letters and underscores replaced by
// term(name); other braces stay as they are. A term returns "{name}" for a
// name that is no argument of its front end ({label} in an output's name).
std::string wordArguments(const std::string& text,
                          const std::function<std::string(const std::string& name)>& term);

}  // namespace mcubes::internal
