// Standard output (file descriptor 1, stdio's buffer included) redirected
// into a temporary file while a CapturedStdout lives, so that a test can
// read what was written, and how much at any moment.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

class CapturedStdout {
 public:
  CapturedStdout() : file_(std::tmpfile()) {
    std::fflush(stdout);
    saved_ = dup(1);
    dup2(fileno(file_), 1);
  }
  ~CapturedStdout() {
    std::fflush(stdout);
    dup2(saved_, 1);
    close(saved_);
    std::fclose(file_);
  }
  CapturedStdout(const CapturedStdout&) = delete;
  CapturedStdout& operator=(const CapturedStdout&) = delete;

  long size() const {
    std::fflush(stdout);
    struct stat status {};
    fstat(fileno(file_), &status);
    return static_cast<long>(status.st_size);
  }

  // Carriage returns are dropped: a Windows runtime's text mode adds them,
  // and the lines are what matters.
  std::string text() const {
    std::string all(static_cast<std::size_t>(size()), '\0');
    std::rewind(file_);
    all.resize(std::fread(all.data(), 1, all.size(), file_));
    all.erase(std::remove(all.begin(), all.end(), '\r'), all.end());
    return all;
  }

 private:
  std::FILE* file_;
  int saved_;
};

// What `body` writes to standard output.
template <typename Body>
std::string capturedStdout(Body body) {
  CapturedStdout capture;
  body();
  return capture.text();
}
