#include <zlib.h>

#include <algorithm>
#include <climits>
#include <new>
#include <vector>

#include "volume/gzip_source.h"
#include "volume/read_failure.h"

namespace mcubes::internal {

const bool InflatesGzip = true;

namespace {

class InflatingSource : public ByteSource {
 public:
  InflatingSource(std::unique_ptr<ByteSource> compressed, const std::string& file)
      : compressed_(std::move(compressed)), file_(file), input_(1 << 18) {
    // 15 + 32: the largest window, gzip or zlib found by the header.
    if (inflateInit2(&stream_, 15 + 32) != Z_OK) throw std::bad_alloc();
  }
  ~InflatingSource() override { inflateEnd(&stream_); }
  InflatingSource(const InflatingSource&) = delete;
  InflatingSource& operator=(const InflatingSource&) = delete;

  std::size_t read(unsigned char* out, std::size_t size) override {
    std::size_t produced = 0;
    while (produced < size && !ended_) {
      if (stream_.avail_in == 0 && !refill()) {
        if (!atMemberStart_) endsEarly();
        ended_ = true;
        break;
      }
      produced += inflateSome(out + produced, size - produced);
    }
    return produced;
  }

  void verifyRest() override {
    unsigned char scrap[1 << 14];
    while (!atMemberStart_) {
      if (stream_.avail_in == 0 && !refill()) endsEarly();
      inflateSome(scrap, sizeof scrap);
    }
  }

 private:
  // Inflates up to `size` bytes of the current member into `out`, from
  // input there is.
  std::size_t inflateSome(unsigned char* out, std::size_t size) {
    // zlib counts in unsigned int: at most 1 GiB a call.
    const std::size_t want = std::min<std::size_t>(size, 1u << 30);
    stream_.next_out = out;
    stream_.avail_out = static_cast<uInt>(want);
    const int result = inflate(&stream_, Z_NO_FLUSH);
    atMemberStart_ = false;
    if (result == Z_STREAM_END) {
      // Another gzip member may follow.
      inflateReset(&stream_);
      atMemberStart_ = true;
    } else if (result == Z_MEM_ERROR) {
      throw std::bad_alloc();
    } else if (result != Z_OK && result != Z_BUF_ERROR) {
      const std::string detail = stream_.msg != nullptr ? stream_.msg : "no detail";
      failVolume(file_, "its compressed data is corrupt (zlib: " + detail + ")",
                 "copy or download the file again");
    }
    return want - stream_.avail_out;
  }

  [[noreturn]] void endsEarly() const {
    failVolume(file_, "its compressed data ends early",
               "the file is truncated: copy or download it again");
  }

  bool refill() {
    const std::size_t got = compressed_->read(input_.data(), input_.size());
    stream_.next_in = input_.data();
    stream_.avail_in = static_cast<uInt>(got);
    return got > 0;
  }

  std::unique_ptr<ByteSource> compressed_;
  std::string file_;
  std::vector<unsigned char> input_;
  z_stream stream_{};
  bool atMemberStart_ = true;
  bool ended_ = false;
};

}  // namespace

bool inflateWhole(const unsigned char* in, std::size_t size, unsigned char* out,
                  std::size_t bytes) {
  if (size > UINT_MAX || bytes > UINT_MAX) return false;
  z_stream stream{};
  if (inflateInit2(&stream, 15 + 32) != Z_OK) throw std::bad_alloc();
  stream.next_in = const_cast<Bytef*>(in);
  stream.avail_in = static_cast<uInt>(size);
  stream.next_out = out;
  stream.avail_out = static_cast<uInt>(bytes);
  const bool whole = inflate(&stream, Z_FINISH) == Z_STREAM_END && stream.avail_out == 0;
  inflateEnd(&stream);
  return whole;
}

std::unique_ptr<ByteSource> inflatingSource(std::unique_ptr<ByteSource> compressed,
                                            const std::string& file) {
  return std::make_unique<InflatingSource>(std::move(compressed), file);
}

}  // namespace mcubes::internal
