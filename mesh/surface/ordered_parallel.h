// Parts of one job made on several threads and handed on in order: the
// extractors' slabs of the scene, chunks of a volume's layers, the slabs
// of a volume read as it streams and an STL file's blocks of facets. The
// result is the same at any thread count, and memory held in parts started
// and not yet handed on stays bounded.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <vector>

#include "mesh/surface/worker_pool.h"

namespace mcubes::internal {

// For every i in [0, count): `start(i, part)` in order of i (what must be
// done in order before a part is made: its slices read), then
// `make(worker, i, part)` (worker says which, for per-thread state), then
// `take(i, part)` in order of i (the part joined to what came before). All
// three run on the pool's workers, whichever is free, so that the steps
// that go in order do not all fall on one thread: one worker may take a
// part while another starts the next and others make theirs. Starts follow
// one another, and takes do, but a start and a take may run at once.
// `taken(n)` runs on the calling thread for n = 1 ... count as the first n
// parts are taken (for progress; the workers do not wait for it). At most
// `ahead` parts (1 or more) are between their start and their take: part i
// starts once part i - ahead is taken, so whatever part i's start fills
// for it in place i % ahead is free again. Parts are reused, so `make`
// clears what it appends to. Without workers everything runs on the
// calling thread, part after part. An exception from any of them ends the
// run once the workers are done with the parts, and comes out of it.
template <typename Part, typename Start, typename Make, typename Take, typename Taken>
void runInOrder(WorkerPool& pool, std::int64_t count, std::int64_t ahead, Start&& start,
                Make&& make, Take&& take, Taken&& taken) {
  if (pool.size() == 0) {
    Part part;
    for (std::int64_t i = 0; i < count; ++i) {
      start(i, part);
      make(0, i, part);
      take(i, part);
      taken(i + 1);
    }
    return;
  }
  struct Slot {
    Part part;
    bool made = false;
  };
  std::vector<Slot> slots(static_cast<std::size_t>(ahead));
  const auto slotOf = [&](std::int64_t i) -> Slot& {
    return slots[static_cast<std::size_t>(i % ahead)];
  };
  std::mutex mutex;
  std::condition_variable changed;
  // Under the mutex: the next part to start and to take, whether a worker
  // is starting or taking one, the workers still in the run, the first
  // failure.
  std::int64_t nextStart = 0, nextTake = 0;
  bool starting = false, taking = false;
  int running = pool.size();
  std::exception_ptr failure;
  const auto fail = [&](std::unique_lock<std::mutex>& lock) {
    if (!lock.owns_lock()) lock.lock();
    if (!failure) failure = std::current_exception();
  };
  for (int w = 0; w < pool.size(); ++w) {
    pool.post([&](int worker) {
      std::unique_lock<std::mutex> lock(mutex);
      while (!failure && nextTake < count) {
        try {
          if (!taking && slotOf(nextTake).made) {
            // The oldest part first: it frees its place for the next start.
            taking = true;
            const std::int64_t i = nextTake;
            lock.unlock();
            take(i, slotOf(i).part);
            lock.lock();
            slotOf(i).made = false;
            taking = false;
            ++nextTake;
          } else if (!starting && nextStart < count && nextStart - nextTake < ahead) {
            starting = true;
            const std::int64_t i = nextStart;
            lock.unlock();
            start(i, slotOf(i).part);
            lock.lock();
            starting = false;
            ++nextStart;
            changed.notify_all();
            lock.unlock();
            make(worker, i, slotOf(i).part);
            lock.lock();
            slotOf(i).made = true;
          } else {
            changed.wait(lock);
            continue;
          }
        } catch (...) {
          fail(lock);
        }
        changed.notify_all();
      }
      // Told under the lock: once the last worker is seen out the run can
      // end, and with it the condition variable.
      --running;
      changed.notify_all();
    });
  }
  std::unique_lock<std::mutex> lock(mutex);
  for (std::int64_t reported = 0; reported < count && !failure;) {
    if (reported == nextTake) {
      changed.wait(lock);
      continue;
    }
    lock.unlock();
    try {
      taken(++reported);
    } catch (...) {
      fail(lock);
      changed.notify_all();
    }
    if (!lock.owns_lock()) lock.lock();
  }
  changed.wait(lock, [&] { return running == 0; });
  if (failure) std::rethrow_exception(failure);
}

// The same without a start, on `threads` threads made for this run.
template <typename Part, typename Make, typename Take, typename Taken>
void runInOrder(std::int64_t count, int threads, Make&& make, Take&& take, Taken&& taken) {
  WorkerPool pool(threads);
  runInOrder<Part>(
      pool, count, 2 * static_cast<std::int64_t>(threads), [](std::int64_t, Part&) {}, make, take,
      taken);
}

}  // namespace mcubes::internal
