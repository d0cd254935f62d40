// Threads made once for a run and given its parts one after another, so
// that a run of many small parts (slabs of a volume one slice thick) does
// not pay for starting threads part by part.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace mcubes::internal {

class WorkerPool {
 public:
  // `threads` workers; with one or fewer, none: the caller does the work.
  explicit WorkerPool(int threads);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // The workers (0 when the caller does the work).
  int size() const { return static_cast<int>(threads_.size()); }

  // Runs `task(worker)` on the first worker free (worker 0 ... size() - 1
  // says which, for per-thread state), tasks in the order posted. A task
  // must not throw.
  void post(std::function<void(int worker)> task);

 private:
  void work(int worker);

  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::function<void(int)>> tasks_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace mcubes::internal
