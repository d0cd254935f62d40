#include "volume/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace mcubes::internal {

bool writeAll(int to, const void* bytes, std::size_t size) {
  const char* at = static_cast<const char*>(bytes);
  while (size > 0) {
    // A socket whose other end is gone fails the write (no SIGPIPE).
    ssize_t done = ::send(to, at, size, MSG_NOSIGNAL);
    if (done < 0 && errno == ENOTSOCK) done = ::write(to, at, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    at += done;
    size -= std::size_t(done);
  }
  return true;
}

bool readAll(int from, void* bytes, std::size_t size) {
  char* at = static_cast<char*>(bytes);
  while (size > 0) {
    const ssize_t done = ::read(from, at, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    at += done;
    size -= std::size_t(done);
  }
  return true;
}

bool BufferedReader::read(void* bytes, std::size_t size) {
  char* to = static_cast<char*>(bytes);
  while (size > 0) {
    if (at_ == end_) {
      const ssize_t done = ::read(from_, buffer_.data(), buffer_.size());
      if (done < 0 && errno == EINTR) continue;
      if (done <= 0) return false;
      at_ = 0;
      end_ = std::size_t(done);
    }
    const std::size_t taken = std::min(size, end_ - at_);
    std::memcpy(to, buffer_.data() + at_, taken);
    at_ += taken;
    to += taken;
    size -= taken;
  }
  return true;
}

namespace {

// The bytes of data and stack mapped now (/proc/self/statm's sixth field),
// which the limit on data is counted against.
std::size_t dataBytes() {
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  unsigned long pages[6] = {};
  if (statm != nullptr) {
    if (std::fscanf(statm, "%lu %lu %lu %lu %lu %lu", &pages[0], &pages[1], &pages[2], &pages[3],
                    &pages[4], &pages[5]) != 6) {
      pages[5] = 0;
    }
    std::fclose(statm);
  }
  return std::size_t(pages[5]) * std::size_t(::sysconf(_SC_PAGESIZE));
}

// Closes every descriptor from 3 on but `keep`; one by one where the
// kernel has no close_range (before Linux 5.9).
void closeAllBut(int keep) {
  const bool below = keep <= 3 || ::close_range(3, unsigned(keep) - 1, 0) == 0;
  if (below && ::close_range(unsigned(keep) + 1, ~0u, 0) == 0) return;
  const long open = ::sysconf(_SC_OPEN_MAX);
  for (int fd = 3; fd < (open > 0 && open < 65536 ? open : 65536); ++fd) {
    if (fd != keep) ::close(fd);
  }
}

}  // namespace

pid_t forkGdcmChild(std::size_t headroom, bool diesWithThread, int keep) {
  const pid_t parent = ::getpid();
  const pid_t child = ::fork();
  if (child != 0) return child;
  if (diesWithThread) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have ended before the line above.
    if (::getppid() != parent) ::_exit(1);
  }
  closeAllBut(keep);
  const int nowhere = ::open("/dev/null", O_WRONLY);
  if (nowhere >= 0) ::dup2(nowhere, 2), ::close(nowhere);
  const std::size_t now = dataBytes();
  if (now > 0) {
    const rlimit limit = {now + headroom, now + headroom};
    ::setrlimit(RLIMIT_DATA, &limit);
  }
  return 0;
}

void reapChild(pid_t child) {
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace mcubes::internal
