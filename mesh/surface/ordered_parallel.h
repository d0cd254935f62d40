// Parts of one job made on several threads and handed on in order: the
// extractors' slabs of the scene and chunks of a volume's layers. The result
// is the same at any thread count, and memory held in finished parts waiting
// for their turn stays bounded.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

// Runs `make(worker, i, part)` for every i in [0, count) on `threads`
// threads (worker 0 ... threads - 1 says which thread, for per-thread
// state) and hands each part to `take(i, part)` on the calling thread, in
// order of i. A part is handed over in a state `make` leaves it in; parts
// are reused, so `make` clears what it appends to. No thread starts a part
// more than 2 * threads ahead of the oldest one not yet taken. With one
// thread everything runs on the calling thread.
template <typename Part, typename Make, typename Take>
void runInOrder(std::int64_t count, int threads, Make&& make, Take&& take) {
  if (threads <= 1 || count <= 1) {
    Part part;
    for (std::int64_t i = 0; i < count; ++i) {
      make(0, i, part);
      take(i, part);
    }
    return;
  }
  struct Slot {
    Part part;
    bool done = false;
  };
  std::vector<Slot> slots(static_cast<std::size_t>(2 * threads));
  std::mutex mutex;
  std::condition_variable changed;
  std::int64_t next = 0, taken = 0;
  const auto slotOf = [&](std::int64_t i) -> Slot& {
    return slots[static_cast<std::size_t>(i) % slots.size()];
  };
  const auto work = [&](int worker) {
    Part part;
    for (;;) {
      std::int64_t i;
      {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] {
          return next >= count || next - taken < static_cast<std::int64_t>(slots.size());
        });
        if (next >= count) return;
        i = next++;
      }
      make(worker, i, part);
      {
        std::lock_guard<std::mutex> lock(mutex);
        Slot& slot = slotOf(i);
        std::swap(slot.part, part);
        slot.done = true;
      }
      changed.notify_all();
    }
  };
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) workers.emplace_back(work, t);
  Part part;
  for (std::int64_t i = 0; i < count; ++i) {
    {
      std::unique_lock<std::mutex> lock(mutex);
      Slot& slot = slotOf(i);
      changed.wait(lock, [&] { return slot.done; });
      std::swap(part, slot.part);
      slot.done = false;
      ++taken;
    }
    changed.notify_all();
    take(i, part);
  }
  for (std::thread& worker : workers) worker.join();
}
