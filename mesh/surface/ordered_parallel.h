// Parts of one job made on several threads and handed on in order: the
// extractors' slabs of the scene, chunks of a volume's layers and the slabs
// of a volume read as it streams. The result is the same at any thread
// count, and memory held in parts started and not yet handed on stays
// bounded.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <utility>
#include <vector>

#include "mesh/surface/worker_pool.h"

namespace mcubes::internal {

// For every i in [0, count), in order of i on the calling thread,
// `start(i, part)` (what must be done in order before a part is made: its
// slices read), then `make(worker, i, part)` on the pool's workers (worker
// says which, for per-thread state), then `take(i, part)` back on the
// calling thread in order of i. At most `ahead` parts (1 or more) are
// between their start and their take: part i starts once part i - ahead is
// taken, so whatever part i's start fills for it in place i % ahead is free
// again. Parts are reused, so `make` clears what it appends to. Without
// workers everything runs on the calling thread, part after part. An
// exception from make, start or take ends the run once the parts made are
// done with, and comes out of it.
template <typename Part, typename Start, typename Make, typename Take>
void runInOrder(WorkerPool& pool, std::int64_t count, std::int64_t ahead, Start&& start,
                Make&& make, Take&& take) {
  if (pool.size() == 0) {
    Part part;
    for (std::int64_t i = 0; i < count; ++i) {
      start(i, part);
      make(0, i, part);
      take(i, part);
    }
    return;
  }
  struct Slot {
    Part part;
    bool done = false;
    std::exception_ptr failure;
  };
  std::vector<Slot> slots(static_cast<std::size_t>(ahead));
  std::mutex mutex;
  std::condition_variable made;
  const auto slotOf = [&](std::int64_t i) -> Slot& {
    return slots[static_cast<std::size_t>(i % ahead)];
  };
  std::int64_t started = 0, taken = 0;
  // Waits for the oldest part not taken and hands it on.
  const auto takeOldest = [&] {
    Slot& slot = slotOf(taken);
    {
      std::unique_lock<std::mutex> lock(mutex);
      made.wait(lock, [&] { return slot.done; });
      slot.done = false;
    }
    const std::int64_t i = taken++;
    if (slot.failure) std::rethrow_exception(std::exchange(slot.failure, nullptr));
    take(i, slot.part);
  };
  try {
    for (; started < count; ++started) {
      if (started - taken == ahead) takeOldest();
      Slot& slot = slotOf(started);
      start(started, slot.part);
      const std::int64_t i = started;
      pool.post([&, i](int worker) {
        Slot& mine = slotOf(i);
        try {
          make(worker, i, mine.part);
        } catch (...) {
          mine.failure = std::current_exception();
        }
        // Told under the lock: once the part is seen done the run can end,
        // and with it the condition variable.
        std::lock_guard<std::mutex> lock(mutex);
        mine.done = true;
        made.notify_all();
      });
    }
    while (taken < count) takeOldest();
  } catch (...) {
    // The workers still use the slots and what the caller lent them.
    std::unique_lock<std::mutex> lock(mutex);
    for (std::int64_t i = taken; i < started; ++i) {
      made.wait(lock, [&] { return slotOf(i).done; });
    }
    throw;
  }
}

// The same without a start, on `threads` threads made for this run.
template <typename Part, typename Make, typename Take>
void runInOrder(std::int64_t count, int threads, Make&& make, Take&& take) {
  WorkerPool pool(threads);
  runInOrder<Part>(
      pool, count, 2 * static_cast<std::int64_t>(threads), [](std::int64_t, Part&) {}, make, take);
}

}  // namespace mcubes::internal
