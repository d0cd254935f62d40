#include <arpa/inet.h>
#include <mpi.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "mcubes/error.h"
#include "tools/cli_support.h"
#include "tools/cli_words.h"
#include "tools/cluster.h"
#include "volume/output_file.h"
#include "volume/temporary_files.h"

using namespace mcubes::internal;

namespace {

// Launched by mpirun (Open MPI, or a PMI launcher such as srun): only then
// is MPI started, so that a plain run stays as it always was.
bool launched() {
  for (const char* name : {"OMPI_COMM_WORLD_SIZE", "PMIX_RANK", "PMI_SIZE"}) {
    if (std::getenv(name) != nullptr) return true;
  }
  return false;
}

// Messages go in pieces an int counts.
constexpr std::size_t Piece = std::size_t{1} << 30;

void sendBytes(const char* bytes, std::size_t size, int to) {
  std::uint64_t length = size;
  MPI_Send(&length, 1, MPI_UINT64_T, to, 0, MPI_COMM_WORLD);
  for (std::size_t at = 0; at < size; at += Piece) {
    MPI_Send(bytes + at, static_cast<int>(std::min(Piece, size - at)), MPI_BYTE, to, 0,
             MPI_COMM_WORLD);
  }
}

std::vector<char> receiveBytes(int from) {
  std::uint64_t length = 0;
  MPI_Recv(&length, 1, MPI_UINT64_T, from, 0, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
  std::vector<char> bytes(static_cast<std::size_t>(length));
  for (std::size_t at = 0; at < bytes.size(); at += Piece) {
    MPI_Recv(bytes.data() + at, static_cast<int>(std::min(Piece, bytes.size() - at)), MPI_BYTE,
             from, 0, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
  }
  return bytes;
}

// Waits for `requests` without spinning: a process that waits for another
// (the others while process 0 joins and writes the mesh) leaves the core
// to those still working.
void waitIdle(std::vector<MPI_Request>& requests) {
  const auto count = static_cast<int>(requests.size());
  int done = 0;
  MPI_Testall(count, requests.data(), &done, MPI_STATUSES_IGNORE);
  while (!done) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    MPI_Testall(count, requests.data(), &done, MPI_STATUSES_IGNORE);
  }
}

// An MPI error as the C library would name it where there is such a name.
std::string reasonOf(int error) {
  int type = 0;
  MPI_Error_class(error, &type);
  if (type == MPI_ERR_NO_SPACE) return std::strerror(ENOSPC);
  if (type == MPI_ERR_QUOTA) return std::strerror(EDQUOT);
  if (type == MPI_ERR_ACCESS) return std::strerror(EACCES);
  char text[MPI_MAX_ERROR_STRING];
  int length = 0;
  MPI_Error_string(error, text, &length);
  return std::string(text, static_cast<std::size_t>(length));
}

class MpiFile final : public SharedFile {
 public:
  explicit MpiFile(MPI_File file) : file_(file) {}
  void writeAt(std::uint64_t offset, const void* bytes, std::size_t size) override {
    const char* from = static_cast<const char*>(bytes);
    for (std::size_t at = 0; at < size; at += Piece) {
      const int count = static_cast<int>(std::min(Piece, size - at));
      MPI_Status status;
      const int error = MPI_File_write_at(file_, static_cast<MPI_Offset>(offset + at), from + at,
                                          count, MPI_BYTE, &status);
      if (error != MPI_SUCCESS) throw std::runtime_error(reasonOf(error));
      // MPI-IO can return success for a write the file system cut short.
      int written = 0;
      MPI_Get_count(&status, MPI_BYTE, &written);
      if (written != count) {
        throw std::runtime_error("only " + std::to_string(written) + " of " +
                                 std::to_string(count) + " bytes were written at byte " +
                                 std::to_string(offset + at) +
                                 " (is the disk full, or the file larger than allowed?)");
      }
    }
  }

 private:
  MPI_File file_;
};

// The processes of MPI_COMM_WORLD, where this one joined them; alone
// otherwise.
#ifdef OPEN_MPI
// Open MPI's PMIx client talks to the local daemon (mpirun's, or orted) over
// a loopback TCP socket without TCP_NODELAY: the few small messages that
// MPI_Finalize sends in a row then wait for the daemon's delayed
// acknowledgement, 40 ms of every process's end. This process's loopback
// stream sockets are told to send at once.
void sendLoopbackAtOnce() {
  std::error_code failed;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", failed)) {
    const std::string name = entry.path().filename().string();
    char* end = nullptr;
    const long fd = std::strtol(name.c_str(), &end, 10);
    if (end == name.c_str() || *end != '\0') continue;
    int type = 0;
    socklen_t size = sizeof type;
    if (getsockopt(int(fd), SOL_SOCKET, SO_TYPE, &type, &size) != 0 || type != SOCK_STREAM) {
      continue;
    }
    sockaddr_storage peer{};
    size = sizeof peer;
    if (getpeername(int(fd), reinterpret_cast<sockaddr*>(&peer), &size) != 0) continue;
    const bool loopback =
        (peer.ss_family == AF_INET &&
         (ntohl(reinterpret_cast<const sockaddr_in&>(peer).sin_addr.s_addr) >> 24) == 127) ||
        (peer.ss_family == AF_INET6 &&
         IN6_IS_ADDR_LOOPBACK(&reinterpret_cast<const sockaddr_in6&>(peer).sin6_addr));
    const int one = 1;
    if (loopback) setsockopt(int(fd), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
}
#endif

class MpiProcesses final : public Communicator {
 public:
  int rank() const override { return rank_; }
  int size() const override { return size_; }
  void together(const std::function<void()>& step) override;
  std::vector<std::vector<char>> gatherToFirst(const std::vector<char>& mine) override;
  double largest(double value) override;
  ProcessSums sums(const std::vector<std::uint64_t>& values) override;
  std::pair<std::vector<char>, std::vector<char>> swapWithNeighbours(
      int before, int after, const std::vector<char>& toBefore,
      const std::vector<char>& toAfter) override;
  void writeTogether(const std::string& path,
                     const std::function<void(SharedFile&)>& write) override;

  void join(int& argc, char**& argv) {
#ifdef OPEN_MPI
    // Open MPI's own choice of point-to-point layer first starts cm's
    // matching layers for Omni-Path and libfabric (psm, psm2, ofi), which
    // take 0.2 s of every process's start to find no such hardware. Unless
    // the user chose (mpirun --mca pml, OMPI_MCA_pml), cm is left out: the
    // choice is Open MPI's own among the others, ob1 (shared memory, TCP)
    // and UCX (InfiniBand, RoCE).
    setenv("OMPI_MCA_pml", "^cm", 0);
#endif
    MPI_Init(&argc, &argv);
#ifdef OPEN_MPI
    sendLoopbackAtOnce();
#endif
    joined_ = true;
    MPI_Comm_rank(MPI_COMM_WORLD, &rank_);
    MPI_Comm_size(MPI_COMM_WORLD, &size_);
  }

  void leave() {
    if (joined_) MPI_Finalize();
    joined_ = false;
    rank_ = 0;
    size_ = 1;
  }

 private:
  bool joined_ = false;
  int rank_ = 0, size_ = 1;
};

MpiProcesses processes;

}  // namespace

void joinCluster(int& argc, char**& argv) {
  if (launched()) processes.join(argc, argv);
}

void leaveCluster() { processes.leave(); }

Communicator& cluster() { return processes; }

void MpiProcesses::together(const std::function<void()>& step) {
  if (size_ == 1) {
    step();
    return;
  }
  std::string failure;
  try {
    step();
  } catch (const mcubes::Error& error) {
    failure = error.worded(commandLineWord);
  } catch (const std::exception& error) {
    failure = error.what();
    if (failure.empty()) failure = "a process failed";
  }
  // The lowest failing rank tells the rest why.
  int mine = failure.empty() ? INT_MAX : rank_, first = INT_MAX;
  std::vector<MPI_Request> request(1);
  MPI_Iallreduce(&mine, &first, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD, request.data());
  waitIdle(request);
  if (first == INT_MAX) return;
  std::uint64_t length = failure.size();
  MPI_Bcast(&length, 1, MPI_UINT64_T, first, MPI_COMM_WORLD);
  failure.resize(static_cast<std::size_t>(length));
  MPI_Bcast(failure.data(), static_cast<int>(length), MPI_CHAR, first, MPI_COMM_WORLD);
  failCommand(failure);
}

std::vector<std::vector<char>> MpiProcesses::gatherToFirst(const std::vector<char>& mine) {
  if (rank_ != 0) {
    sendBytes(mine.data(), mine.size(), 0);
    return {};
  }
  std::vector<std::vector<char>> all{mine};
  for (int from = 1; from < size_; ++from) all.push_back(receiveBytes(from));
  return all;
}

ProcessSums MpiProcesses::sums(const std::vector<std::uint64_t>& values) {
  ProcessSums sums{std::vector<std::uint64_t>(values.size(), 0), values};
  if (!joined_) return sums;
  std::vector<std::uint64_t> mine = values;
  const auto count = static_cast<int>(values.size());
  MPI_Exscan(mine.data(), sums.before.data(), count, MPI_UINT64_T, MPI_SUM, MPI_COMM_WORLD);
  // Process 0 has nothing before it (MPI leaves its result undefined).
  if (rank_ == 0) std::fill(sums.before.begin(), sums.before.end(), 0);
  MPI_Allreduce(mine.data(), sums.all.data(), count, MPI_UINT64_T, MPI_SUM, MPI_COMM_WORLD);
  return sums;
}

std::pair<std::vector<char>, std::vector<char>> MpiProcesses::swapWithNeighbours(
    int before, int after, const std::vector<char>& toBefore, const std::vector<char>& toAfter) {
  const int peers[2] = {before, after};
  const std::vector<char>* sent[2] = {&toBefore, &toAfter};
  std::vector<char> received[2];
  std::uint64_t sizes[2] = {toBefore.size(), toAfter.size()}, incoming[2] = {0, 0};
  std::vector<MPI_Request> requests;
  const auto start = [&](auto&& post) {
    requests.emplace_back();
    post(&requests.back());
  };
  for (int n = 0; n < 2; ++n) {
    if (peers[n] < 0) continue;
    start([&](MPI_Request* r) {
      MPI_Irecv(&incoming[n], 1, MPI_UINT64_T, peers[n], 1, MPI_COMM_WORLD, r);
    });
    start([&](MPI_Request* r) {
      MPI_Isend(&sizes[n], 1, MPI_UINT64_T, peers[n], 1, MPI_COMM_WORLD, r);
    });
  }
  waitIdle(requests);
  requests.clear();
  for (int n = 0; n < 2; ++n) {
    if (peers[n] < 0) continue;
    received[n].resize(static_cast<std::size_t>(incoming[n]));
    for (std::size_t at = 0; at < received[n].size(); at += Piece) {
      const int count = static_cast<int>(std::min(Piece, received[n].size() - at));
      start([&](MPI_Request* r) {
        MPI_Irecv(received[n].data() + at, count, MPI_BYTE, peers[n], 2, MPI_COMM_WORLD, r);
      });
    }
    for (std::size_t at = 0; at < sent[n]->size(); at += Piece) {
      const int count = static_cast<int>(std::min(Piece, sent[n]->size() - at));
      start([&](MPI_Request* r) {
        MPI_Isend(sent[n]->data() + at, count, MPI_BYTE, peers[n], 2, MPI_COMM_WORLD, r);
      });
    }
  }
  waitIdle(requests);
  return {std::move(received[0]), std::move(received[1])};
}

void MpiProcesses::writeTogether(const std::string& path,
                                 const std::function<void(SharedFile&)>& write) {
  const bool first = rank_ == 0;
  const auto cannot = [&](const std::string& reason) {
    failCommand("cannot write '" + path + "': " + reason);
  };
  // Process 0 makes the temporary file, which fails as one process's would
  // where it cannot be made, and names it to the others.
  std::string temporary;
  std::unique_ptr<NotedTemporary> noted;  // removed by a signal that ends the run
  together([&] {
    if (!first) return;
    temporary = temporaryBeside(path).string();
    noted = std::make_unique<NotedTemporary>(temporary);
    std::FILE* made = std::fopen(temporary.c_str(), "wb");
    if (!made) cannot(std::strerror(errno));
    std::fclose(made);
  });
  std::uint64_t length = temporary.size();
  MPI_Bcast(&length, 1, MPI_UINT64_T, 0, MPI_COMM_WORLD);
  temporary.resize(static_cast<std::size_t>(length));
  MPI_Bcast(temporary.data(), static_cast<int>(length), MPI_CHAR, 0, MPI_COMM_WORLD);

  std::string failure;
  MPI_File file;
  const int opened =
      MPI_File_open(MPI_COMM_WORLD, temporary.c_str(), MPI_MODE_WRONLY, MPI_INFO_NULL, &file);
  if (opened != MPI_SUCCESS) {
    failure = reasonOf(opened);
  } else {
    try {
      MpiFile shared(file);
      write(shared);
    } catch (const std::exception& error) {
      failure = error.what();
    }
    const int closed = MPI_File_close(&file);
    if (closed != MPI_SUCCESS && failure.empty()) failure = reasonOf(closed);
  }
  // Renamed only once every process has written its part.
  std::error_code ignored;
  try {
    together([&] {
      if (!failure.empty()) cannot(failure);
    });
    together([&] {
      if (!first) return;
      std::error_code error;
      std::filesystem::rename(temporary, path, error);
      if (error) cannot(error.message());
    });
  } catch (...) {
    if (first) std::filesystem::remove(temporary, ignored);
    throw;
  }
}

double MpiProcesses::largest(double value) {
  if (!joined_) return value;
  double largest = value;
  MPI_Allreduce(&value, &largest, 1, MPI_DOUBLE, MPI_MAX, MPI_COMM_WORLD);
  return largest;
}
