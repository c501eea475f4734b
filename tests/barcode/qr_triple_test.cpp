// Pairing three finder points into a square symbol.
#include <gtest/gtest.h>

#include "barcode/qr.h"

namespace {

using barcode::FinderPoint;
using barcode::FinderTriple;

TEST(FinderTriple, RightIsoscelesWithinSixPercentPairedOthersNot) {
  const struct {
    FinderPoint a, b, c;
    bool paired;
    int corner;
  } cases[] = {
      // Corner in the middle, first or last place.
      {{100, 0, 9, 0}, {0, 0, 9, 0}, {0, 100, 9, 0}, true, 1},
      {{0, 0, 9, 0}, {100, 0, 9, 0}, {0, 100, 9, 0}, true, 0},
      {{100, 0, 9, 0}, {0, 100, 9, 0}, {0, 0, 9, 0}, true, 2},
      // Hypotenuse 3.6 longer than sqrt(2) x leg (tolerance 6): paired.
      {{100, 0, 9, 0}, {0, 0, 9, 0}, {-5, 100, 9, 0}, true, 1},
      // 13.5 longer: not.
      {{100, 0, 9, 0}, {0, 0, 9, 0}, {-20, 98, 9, 0}, false, 0},
      // Legs 100 and 200: not.
      {{200, 0, 9, 0}, {0, 0, 9, 0}, {0, 100, 9, 0}, false, 0},
      // Three points on a line: not.
      {{0, 0, 9, 0}, {50, 0, 9, 0}, {100, 0, 9, 0}, false, 0},
  };
  for (const auto& c : cases) {
    FinderTriple t{};
    ASSERT_EQ(barcode::TestFinderTriple(c.a, c.b, c.c, &t), c.paired) << c.c.x << "," << c.c.y;
    if (!c.paired) continue;
    EXPECT_EQ(t.corner, c.corner);
    const FinderPoint* p[3] = {&c.a, &c.b, &c.c};
    EXPECT_DOUBLE_EQ(t.centreX, (p[t.ends[0]]->x + p[t.ends[1]]->x) / 2);
    EXPECT_DOUBLE_EQ(t.centreY, (p[t.ends[0]]->y + p[t.ends[1]]->y) / 2);
    EXPECT_GE(t.angle, 0);
    EXPECT_LT(t.angle, 360);
  }
}

}  // namespace
