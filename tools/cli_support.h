// Pieces that the mcubes subcommands share: their options (--tick,
// --threads, --size, -o), the one-line failure, and output that never leaves
// a partial file behind.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <string>

// Every kind of bad input (arguments, formats, unwritable paths) ends the
// tool with this status and one line on stderr.
constexpr int BadInputExitCode = 2;

// Adds `--tick N` to a subcommand: an optional sign and decimal digits that
// fit a signed 32-bit integer. Anything else fails parsing with a message
// that names the value.
CLI::Option* addTickOption(CLI::App& command, std::int32_t& tick);

// Adds `--threads T`, 0 to 1024 (0: one per processor); the output never
// depends on it.
CLI::Option* addThreadsOption(CLI::App& command, int& threads);

// Largest width or height of a picture.
constexpr int maxSnapshotSide = 8192;

// Parses "WxH" with each side from 1 to maxSnapshotSide; false with a reason
// otherwise.
bool parseSnapshotSize(const std::string& text, int& width, int& height, std::string& error);

// Adds `--size WxH` for a picture, 800x600 unless given; sizeOrFail reads it.
CLI::Option* addSizeOption(CLI::App& command, std::string& size);

// The width and height that --size gives, or ends the command with why not
// (failCommand).
void sizeOrFail(const std::string& size, int& width, int& height);

// Adds `-o,--output FILE`, described as `what` ("Output PNG file"); "-" is
// standard output (writeOutput, volume/output_file.h).
CLI::Option* addOutputOption(CLI::App& command, std::string& path, const std::string& what);

// Ends a subcommand's callback with `message` as the tool's one error line
// and BadInputExitCode; main catches it and prints it, the arguments it
// names as {name} worded as flags (tools/cli_words.h).
[[noreturn]] void failCommand(const std::string& message);
