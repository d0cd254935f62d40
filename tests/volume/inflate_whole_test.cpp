// One zlib or gzip stream inflated in one call (an HDF5 chunk's): only a
// whole stream, its check value right, of exactly the size asked for.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstddef>
#include <vector>

#include "volume/gzip_source.h"

using namespace mcubes::internal;

namespace {

// `raw` compressed as one stream, zlib's wrapper or gzip's.
std::vector<unsigned char> deflated(const std::vector<unsigned char>& raw, bool gzip) {
  z_stream stream{};
  EXPECT_EQ(deflateInit2(&stream, 4, Z_DEFLATED, gzip ? 15 + 16 : 15, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::vector<unsigned char> out(deflateBound(&stream, uLong(raw.size())) + 32);
  stream.next_in = const_cast<Bytef*>(raw.data());
  stream.avail_in = uInt(raw.size());
  stream.next_out = out.data();
  stream.avail_out = uInt(out.size());
  EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

TEST(InflateWhole, OnlyAWholeStreamOfExactlyTheSizeAskedForInflates) {
  if (!InflatesGzip) GTEST_SKIP() << "this build does not inflate";
  std::vector<unsigned char> raw(40000);
  for (std::size_t n = 0; n < raw.size(); ++n) raw[n] = static_cast<unsigned char>(n * 37 % 113);
  const struct {
    const char* what;
    bool gzip;
    std::ptrdiff_t sizeOff;  // added to the raw size asked for
    std::ptrdiff_t cut;      // compressed bytes left off the end
    std::ptrdiff_t spoilt;   // the byte this far from the end flipped (0: none)
    bool inflates;
  } cases[] = {
      {"zlib, exactly", false, 0, 0, 0, true},
      {"gzip, exactly", true, 0, 0, 0, true},
      {"zlib, a byte more asked for", false, 1, 0, 0, false},
      {"zlib, a byte fewer asked for", false, -1, 0, 0, false},
      {"gzip, a byte fewer asked for", true, -1, 0, 0, false},
      {"zlib, its check value spoilt", false, 0, 0, 2, false},
      {"gzip, its check value spoilt", true, 0, 0, 6, false},
      {"zlib, cut short", false, 0, 3, 0, false},
      {"gzip, cut short", true, 0, 9, 0, false},
  };
  for (const auto& c : cases) {
    std::vector<unsigned char> stored = deflated(raw, c.gzip);
    stored.resize(stored.size() - std::size_t(c.cut));
    if (c.spoilt != 0) stored[stored.size() - std::size_t(c.spoilt)] ^= 0x5a;
    const std::size_t bytes = std::size_t(std::ptrdiff_t(raw.size()) + c.sizeOff);
    std::vector<unsigned char> out(bytes + 16, 0);
    EXPECT_EQ(inflateWhole(stored.data(), stored.size(), out.data(), bytes), c.inflates) << c.what;
    if (c.inflates) {
      EXPECT_TRUE(std::equal(raw.begin(), raw.end(), out.begin())) << c.what;
      EXPECT_EQ(out[bytes], 0) << c.what << ": written past the size asked for";
    }
  }
}

}  // namespace
