// What the DICOM reader's child processes share: whole reads and writes of
// a pipe, and the start of a child that GDCM may abort or exhaust in place
// of the caller.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <vector>

namespace mcubes::internal {

// Reads or writes `size` bytes of a pipe or socket whole, through
// interruptions; false where the other end is gone (a socket's, without
// SIGPIPE).
bool writeAll(int to, const void* bytes, std::size_t size);
bool readAll(int from, void* bytes, std::size_t size);

// A pipe read through a buffer: a record's many small fields in few reads
// of the pipe.
class BufferedReader {
 public:
  explicit BufferedReader(int from) : from_(from), buffer_(std::size_t(1) << 16) {}
  // As readAll.
  bool read(void* bytes, std::size_t size);

 private:
  int from_;
  std::vector<char> buffer_;
  std::size_t at_ = 0, end_ = 0;  // the bytes read and not yet taken
};

// fork() for a child that runs GDCM: its stderr goes nowhere (GDCM's
// warnings and failed assertions), and its data may grow by `headroom`
// bytes at most, so that a length a damaged file claims fails the
// allocation there instead of taking the machine's memory. With
// `diesWithThread`, it is killed when the calling thread ends (a signal, a
// crash: no child is left behind blocked on a file), for a child the
// thread waits for; a child that outlives the call ends when its pipe
// does. The child holds no descriptor of the parent's but `keep` (a child
// that held another's end of its pipe would keep that one from ending).
// Returns what fork() returns.
pid_t forkGdcmChild(std::size_t headroom, bool diesWithThread, int keep);

// Waits for the child to end, through interruptions.
void reapChild(pid_t child);

}  // namespace mcubes::internal
