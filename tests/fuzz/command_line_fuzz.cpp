// libFuzzer harness for the mcubes command line: the input, split at NUL
// bytes, is the argument list. Every input must end in exit 0, or exit 2 with
// exactly one "mcubes: ..." line on stderr, never in a crash; it must leave
// no file behind after a failure and, after a success, only files that an
// argument names (no temporary left over). The tool runs in-process, inside
// a scratch directory that is emptied after every input.
#include <dirent.h>
#include <fcntl.h>
#include <sanitizer/common_interface_defs.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/fuzz/volume_header_fuzz_check.h"
#include "tools/mcubes.h"

using namespace mcubes::internal;

namespace {

constexpr std::size_t MaxArguments = 12;

char scratch[] = "/tmp/mcubes-fuzz-XXXXXX";
std::string capturedErr;

void check(bool holds, const std::string& what, const std::vector<std::string>& arguments) {
  if (holds) return;
  std::string shown;
  for (const std::string& argument : arguments) shown += " '" + argument + "'";
  std::fprintf(stderr, "command_line_fuzz: %s\n  arguments:%s\n  stderr: %s\n", what.c_str(),
               shown.c_str(), capturedErr.c_str());
  std::abort();
}

std::vector<std::string> filesIn(const char* directory) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(directory)) {
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
  }
  return names;
}

// Whether an argument names the file: the name itself, or an option's
// value attached with '=' or directly after a short option.
bool named(const std::string& file, const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments) {
    if (argument.size() < file.size()) continue;
    if (argument.compare(argument.size() - file.size(), file.size(), file) == 0) return true;
  }
  return false;
}

// Runs the command line with stdout thrown away and stderr kept in
// capturedErr. The descriptors are swapped underneath stdio, which is flushed
// on both sides of the swap.
int runCaptured(std::vector<std::string> arguments) {
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  std::fflush(stdout);
  std::fflush(stderr);
  const int savedOut = dup(1);
  const int savedErr = dup(2);
  const int devNull = open("/dev/null", O_WRONLY);
  char errPath[] = "/tmp/mcubes-fuzz-stderr-XXXXXX";
  const int errFile = mkstemp(errPath);
  if (savedOut < 0 || savedErr < 0 || devNull < 0 || errFile < 0) {
    std::perror("command_line_fuzz: setting up the streams");
    std::abort();
  }
  dup2(devNull, 1);
  dup2(errFile, 2);
  const int status = runMcubes(static_cast<int>(argv.size() - 1), argv.data());
  std::fflush(stdout);
  std::fflush(stderr);
  dup2(savedOut, 1);
  dup2(savedErr, 2);
  for (int fd : {savedOut, savedErr, devNull, errFile}) close(fd);

  std::ifstream err(errPath, std::ios::binary);
  capturedErr.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
  unlink(errPath);
  return status;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (mkdtemp(scratch) == nullptr) {
    std::perror("command_line_fuzz: mkdtemp");
    std::abort();
  }
  // While the tool runs, descriptor 2 is a capture file: sanitizer reports
  // of a fault inside it go to the real stderr instead.
  static const int realErr = dup(2);
  __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<std::intptr_t>(realErr)));
  // The scratch directory is removed again at exit when it is empty, which
  // it is between inputs.
  std::atexit([] { rmdir(scratch); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> arguments{"mcubes"};
  std::string current;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      arguments.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(data[i]);
    }
  }
  if (size > 0) arguments.push_back(current);
  if (arguments.size() > MaxArguments + 1) return -1;
  for (const std::string& argument : arguments) {
    // A path could reach outside the scratch directory (.. names the folder
    // above it, which a DICOM reader would search); bench and record
    // run up to a million and a hundred thousand frames, far too long for
    // one input; view runs until its window is closed.
    if (argument.find('/') != std::string::npos || argument == ".." || argument == "bench" ||
        argument == "record" || argument == "view") {
      return -1;
    }
  }

  char here[4096];
  if (getcwd(here, sizeof here) == nullptr || chdir(scratch) != 0) {
    std::perror("command_line_fuzz: entering the scratch directory");
    std::abort();
  }
  const int status = runCaptured(arguments);
  const std::vector<std::string> left = filesIn(".");
  for (const std::string& file : left) unlink(file.c_str());
  if (chdir(here) != 0) std::abort();

  check(status == 0 || status == 2, "exit status " + std::to_string(status), arguments);
  if (status == 2) {
    const bool oneLine =
        capturedErr.size() > 1 && capturedErr.back() == '\n' && oneLineOrTableRows(capturedErr);
    check(oneLine, "exit 2 without exactly one line (and a table's rows) on stderr", arguments);
    check(capturedErr.rfind("mcubes: ", 0) == 0, "the error line does not start with 'mcubes: '",
          arguments);
    check(left.empty(), "a failed run left the file '" + (left.empty() ? "" : left[0]) + "'",
          arguments);
  }
  for (const std::string& file : left) {
    check(named(file, arguments), "a file that no argument names was left: '" + file + "'",
          arguments);
  }
  return 0;
}
