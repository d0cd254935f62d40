#include <mpi.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <exception>
#include <thread>

#include "tools/cli_support.h"
#include "tools/cluster.h"

namespace {

bool joined = false;

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

// Waits for `request` without spinning: a process that waits for another
// (the others while process 0 joins and writes the mesh) leaves the core
// to those still working.
void waitIdle(MPI_Request& request) {
  int done = 0;
  MPI_Test(&request, &done, MPI_STATUS_IGNORE);
  while (!done) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    MPI_Test(&request, &done, MPI_STATUS_IGNORE);
  }
}

}  // namespace

void joinCluster(int& argc, char**& argv) {
  if (!launched()) return;
  MPI_Init(&argc, &argv);
  joined = true;
}

void leaveCluster() {
  if (joined) MPI_Finalize();
  joined = false;
}

ClusterPlace clusterPlace() {
  ClusterPlace place;
  if (!joined) return place;
  MPI_Comm_rank(MPI_COMM_WORLD, &place.rank);
  MPI_Comm_size(MPI_COMM_WORLD, &place.size);
  return place;
}

void togetherOrFail(const std::function<void()>& step) {
  const ClusterPlace place = clusterPlace();
  if (place.size == 1) {
    step();
    return;
  }
  std::string failure;
  try {
    step();
  } catch (const std::exception& error) {
    failure = error.what();
    if (failure.empty()) failure = "a process failed";
  }
  // The lowest failing rank tells the rest why.
  int mine = failure.empty() ? INT_MAX : place.rank, first = INT_MAX;
  MPI_Request request;
  MPI_Iallreduce(&mine, &first, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD, &request);
  waitIdle(request);
  if (first == INT_MAX) return;
  std::uint64_t length = failure.size();
  MPI_Bcast(&length, 1, MPI_UINT64_T, first, MPI_COMM_WORLD);
  failure.resize(static_cast<std::size_t>(length));
  MPI_Bcast(failure.data(), static_cast<int>(length), MPI_CHAR, first, MPI_COMM_WORLD);
  failCommand(failure);
}

std::vector<std::vector<char>> gatherToFirst(const std::vector<char>& mine) {
  const ClusterPlace place = clusterPlace();
  if (place.rank != 0) {
    sendBytes(mine.data(), mine.size(), 0);
    return {};
  }
  std::vector<std::vector<char>> all{mine};
  for (int from = 1; from < place.size; ++from) all.push_back(receiveBytes(from));
  return all;
}

double largestOfAll(double value) {
  if (!joined) return value;
  double largest = value;
  MPI_Allreduce(&value, &largest, 1, MPI_DOUBLE, MPI_MAX, MPI_COMM_WORLD);
  return largest;
}
