#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "viewer/background_extraction.h"

using namespace mcubes::internal;

struct BackgroundExtraction::Shared {
  SurfaceSource& source;
  std::mutex mutex;
  std::condition_variable wake;
  std::optional<ViewState> pending;
  std::optional<Extraction> done;
  bool stopping = false;
  std::thread worker;  // started with the first request

  explicit Shared(SurfaceSource& s) : source(s) {}

  void work() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      wake.wait(lock, [this] { return stopping || pending.has_value(); });
      if (stopping) return;
      const ViewState state = *pending;
      pending.reset();
      lock.unlock();
      Extraction extraction;
      extractTimed(source, state, extraction);
      lock.lock();
      done = std::move(extraction);
    }
  }
};

BackgroundExtraction::BackgroundExtraction(SurfaceSource& source)
    : shared_(std::make_unique<Shared>(source)) {}

BackgroundExtraction::~BackgroundExtraction() {
  {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->stopping = true;
  }
  shared_->wake.notify_all();
  if (shared_->worker.joinable()) shared_->worker.join();
}

void BackgroundExtraction::request(const ViewState& state) {
  {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->pending = state;
    if (!shared_->worker.joinable()) {
      Shared* shared = shared_.get();
      shared_->worker = std::thread([shared] { shared->work(); });
    }
  }
  shared_->wake.notify_all();
}

bool BackgroundExtraction::take(Extraction& done) {
  const std::lock_guard<std::mutex> lock(shared_->mutex);
  if (!shared_->done.has_value()) return false;
  done = std::move(*shared_->done);
  shared_->done.reset();
  return true;
}
