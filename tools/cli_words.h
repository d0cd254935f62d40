// How mcubes names the arguments that messages from below it name as
// {name} (volume/argument_words.h): by its flags.
#pragma once

#include <string>

// The flag for `name` ("--dims X,Y,Z" for dims), or "{name}" for a name
// that is no argument of mcubes.
std::string commandLineWord(const std::string& name);

// `text` with its {name}s worded as flags.
std::string inFlags(const std::string& text);
