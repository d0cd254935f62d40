#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/cli_support.h"
#include "tools/snapshot_render.h"

namespace {

struct Pixel {
  int r, g, b;
  bool operator==(const Pixel& o) const { return r == o.r && g == o.g && b == o.b; }
};

std::ostream& operator<<(std::ostream& out, const Pixel& p) {
  return out << "(" << p.r << ", " << p.g << ", " << p.b << ")";
}

constexpr Pixel grey{64, 64, 64};
constexpr Pixel red{255, 0, 0};

Pixel at(const std::vector<unsigned char>& rgb, int width, int column, int row) {
  const std::size_t i = (static_cast<std::size_t>(row) * width + column) * 3;
  return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

// Where a world point lands in the picture (column, row from the top), worked
// out from the demo's fixed view: eye offset -40 along z, 45-degree vertical
// field of view, aspect width / height.
void pictureOf(double x, double y, int width, int height, int& column, int& row) {
  const double f = 1.0 / std::tan(22.5 * std::acos(-1.0) / 180.0);
  const double aspect = static_cast<double>(width) / height;
  const double ndcX = f / aspect * x / 40.0;
  const double ndcY = f * y / 40.0;
  column = static_cast<int>((ndcX + 1.0) / 2.0 * width);
  row = height - 1 - static_cast<int>((ndcY + 1.0) / 2.0 * height);
}

void expectCornersGrey(const std::vector<unsigned char>& rgb, int width, int height) {
  EXPECT_EQ(at(rgb, width, 0, 0), grey);
  EXPECT_EQ(at(rgb, width, width - 1, 0), grey);
  EXPECT_EQ(at(rgb, width, 0, height - 1), grey);
  EXPECT_EQ(at(rgb, width, width - 1, height - 1), grey);
}

void expectRedAt(const std::vector<unsigned char>& rgb, int width, int height, double x, double y) {
  int column = 0;
  int row = 0;
  pictureOf(x, y, width, height, column, row);
  EXPECT_EQ(at(rgb, width, column, row), red) << "at world (" << x << ", " << y << ")";
}

}  // namespace

TEST(Snapshot, TickZeroIsRedAtBothBallCentresOnMidGrey) {
  std::vector<unsigned char> rgb;
  std::string error;
  ASSERT_TRUE(renderSnapshot(0, 800, 600, rgb, error)) << error;
  ASSERT_EQ(rgb.size(), 800u * 600u * 3u);
  expectCornersGrey(rgb, 800, 600);
  expectRedAt(rgb, 800, 600, 5.5, 0.0);  // ball A
  expectRedAt(rgb, 800, 600, 0.0, 0.0);  // ball B
  // Only the two colours: no lighting, no blending, no smoothing.
  for (std::size_t i = 0; i < rgb.size(); i += 3) {
    const Pixel p{rgb[i], rgb[i + 1], rgb[i + 2]};
    ASSERT_TRUE(p == grey || p == red) << p << " at byte " << i;
  }
}

TEST(Snapshot, FollowsTheTickAndTheSizeWithTopRowFirst) {
  // Tick 25: t = 0.5, both centres at y = 5 sin 0.5, above the middle; a
  // 300x500 picture, taller than wide, changes the aspect.
  const double t = 0.5;
  std::vector<unsigned char> rgb;
  std::string error;
  ASSERT_TRUE(renderSnapshot(25, 300, 500, rgb, error)) << error;
  ASSERT_EQ(rgb.size(), 300u * 500u * 3u);
  expectCornersGrey(rgb, 300, 500);
  expectRedAt(rgb, 300, 500, 5.5 * std::cos(t), 5.0 * std::sin(t));
  expectRedAt(rgb, 300, 500, 5.5 * std::sin(t), 5.0 * std::sin(t));
  // Mirrored below the middle there is no blob.
  int column = 0;
  int row = 0;
  pictureOf(5.5 * std::cos(t), -5.0 * std::sin(t), 300, 500, column, row);
  EXPECT_EQ(at(rgb, 300, column, row), grey);
}

TEST(Snapshot, OneRendererGivesEachTickTheSamePictureAsAFreshWindow) {
  // Nothing of one picture may leak into the next: render a later tick first.
  std::vector<unsigned char> alone0, alone25, first, second;
  std::string error;
  ASSERT_TRUE(renderSnapshot(0, 200, 150, alone0, error)) << error;
  ASSERT_TRUE(renderSnapshot(25, 200, 150, alone25, error)) << error;
  ASSERT_NE(alone0, alone25);
  SnapshotRenderer renderer;
  ASSERT_TRUE(renderer.open(200, 150, error)) << error;
  ASSERT_TRUE(renderer.render(25, first, error)) << error;
  ASSERT_TRUE(renderer.render(0, second, error)) << error;
  EXPECT_TRUE(first == alone25);
  EXPECT_TRUE(second == alone0);
}

TEST(Snapshot, SizeMustBeTwoPositiveSidesWithinTheLimit) {
  int width = 0;
  int height = 0;
  std::string error;
  ASSERT_TRUE(parseSnapshotSize("800x600", width, height, error)) << error;
  EXPECT_EQ(width, 800);
  EXPECT_EQ(height, 600);
  ASSERT_TRUE(parseSnapshotSize("1x8192", width, height, error)) << error;
  EXPECT_EQ(width, 1);
  EXPECT_EQ(height, 8192);
  for (const char* bad :
       {"0x0", "0x600", "800x0", "abc", "", "x", "800x", "x600", "800*600", "800x600x2", "-800x600",
        "+800x600", "800 x600", "8193x600", "99999x99999", "99999999999999999999x1"}) {
    error.clear();
    EXPECT_FALSE(parseSnapshotSize(bad, width, height, error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}
