#include "volume/temporary_files.h"

#include <atomic>
#include <cstdio>
#include <cstring>

namespace mcubes::internal {

namespace {

// A signal handler cannot take a lock or free memory that another thread may
// be reading, so the names live in slots that are never freed: blocks of
// them, chained, each added once more files are noted at once than before.
constexpr std::size_t LongestName = 4096;
constexpr int SlotsPerBlock = 32;

enum : int { Free, Filling, Noted };

struct Slot {
  std::atomic<int> state{Free};
  char name[LongestName];
};

struct Block {
  Slot slots[SlotsPerBlock];
  std::atomic<Block*> next{nullptr};
};

Block first;

Slot* takeSlot() {
  for (Block* block = &first;;) {
    for (Slot& slot : block->slots) {
      int expected = Free;
      if (slot.state.compare_exchange_strong(expected, Filling)) return &slot;
    }
    Block* next = block->next.load();
    if (next == nullptr) {
      Block* added = new Block;
      if (block->next.compare_exchange_strong(next, added)) {
        next = added;
      } else {
        delete added;
      }
    }
    block = next;
  }
}

}  // namespace

NotedTemporary::NotedTemporary(const std::string& path) : slot_(nullptr) {
  // A longer name cannot be opened anyway.
  if (path.size() >= LongestName) return;
  Slot* slot = takeSlot();
  std::memcpy(slot->name, path.c_str(), path.size() + 1);
  slot->state.store(Noted);
  slot_ = slot;
}

NotedTemporary::~NotedTemporary() {
  if (slot_ != nullptr) static_cast<Slot*>(slot_)->state.store(Free);
}

void removeTemporaryFiles() {
  for (Block* block = &first; block != nullptr; block = block->next.load()) {
    for (Slot& slot : block->slots) {
      if (slot.state.load() == Noted) std::remove(slot.name);
    }
  }
}

}  // namespace mcubes::internal
