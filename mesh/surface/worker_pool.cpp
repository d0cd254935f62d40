#include "mesh/surface/worker_pool.h"

#include <utility>

namespace mcubes::internal {

WorkerPool::WorkerPool(int threads) {
  for (int t = 0; threads > 1 && t < threads; ++t)
    threads_.emplace_back(&WorkerPool::work, this, t);
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  posted_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void WorkerPool::post(std::function<void(int worker)> task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  posted_.notify_one();
}

void WorkerPool::work(int worker) {
  for (;;) {
    std::function<void(int)> task;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      posted_.wait(lock, [&] { return stopping_ || !tasks_.empty(); });
      if (tasks_.empty()) return;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task(worker);
  }
}

}  // namespace mcubes::internal
