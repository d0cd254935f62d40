// The mcubes command line as a function, so that it can also be driven
// in-process (the fuzzer does).
#pragma once

// Parses the arguments (argv[0] is the program name), runs the subcommand and
// returns the exit status: 0, or BadInputExitCode after one line on stderr.
int runMcubes(int argc, char** argv);
