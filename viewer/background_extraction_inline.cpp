#include <optional>

#include "viewer/background_extraction.h"

using namespace mcubes::internal;

struct BackgroundExtraction::Shared {
  SurfaceSource& source;
  std::optional<ViewState> pending;

  explicit Shared(SurfaceSource& s) : source(s) {}
};

BackgroundExtraction::BackgroundExtraction(SurfaceSource& source)
    : shared_(std::make_unique<Shared>(source)) {}

BackgroundExtraction::~BackgroundExtraction() = default;

void BackgroundExtraction::request(const ViewState& state) { shared_->pending = state; }

bool BackgroundExtraction::take(Extraction& done) {
  if (!shared_->pending.has_value()) return false;
  extractTimed(shared_->source, *shared_->pending, done);
  shared_->pending.reset();
  return true;
}
