// MaxiCode symbols drawn by zint, located by the bullseye group: one result
// per symbol around its drawing, clipped at the page border.
#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "barcode/scan.h"
#include "support/barcode_fixtures.h"

namespace {

using fixtures::Page;

std::vector<barcode::SymbolResult> Locate(const Page& page, int step = 1) {
  std::vector<uint8_t> bits = fixtures::Binarize(page);
  barcode::BinaryImage image{uint32_t(page.width), uint32_t(page.width), uint32_t(page.height), 1,
                             8, bits.data()};
  std::unique_ptr<barcode::SymbolResult[]> items(new barcode::SymbolResult[barcode::kMaxResults]());
  barcode::SymbolResultList list{0, items.get()};
  barcode::ScanOptions o{};
  o.bullseye = 1;
  o.types[15] = 1;
  EXPECT_EQ(barcode::ScanSymbols(&image, step, &list, &o), 0);
  EXPECT_EQ(bits, fixtures::Binarize(page));  // nothing erased
  return std::vector<barcode::SymbolResult>(items.get(), items.get() + list.count);
}

// Modes 2-6 at zint scales from 0.75 to 2 (about 7 to 20 pixels a module)
// with the row step of a 300-dpi page, and the module sizes of a 203-dpi
// label with its step; upright, turned and skewed; two symbols and text a
// page.
TEST(BullseyeFixtures, EveryModeOneResultAroundTheSymbol) {
  struct Size {
    float scale;
    int step;
  };
  const Size sizes[] = {{0.75f, 3}, {1.0f, 3}, {1.25f, 3}, {1.5f, 3}, {1.65f, 3},
                        {1.75f, 3}, {2.0f, 3}, {0.6f, 2},  {0.68f, 2}, {0.75f, 2}};
  const double angles[] = {0, 90, 180, 270, 4};
  for (int mode = 2; mode <= 6; ++mode) {
    for (size_t k = 0; k < std::size(sizes); ++k) {
      const float scale = sizes[k].scale;
      const Page symbol =
          fixtures::DrawMaxiCode("MAXI " + std::to_string(mode * 100 + k), mode, scale);
      ASSERT_GT(symbol.width, 0) << mode;
      const double angle = angles[(mode + k) % 5];
      Page page(symbol.width * 3, symbol.height * 2);
      fixtures::Rng rng(mode * 10 + k);
      fixtures::DrawClutter(&page, &rng, 4, 0);
      const double xs[2] = {symbol.width * 0.75, symbol.width * 2.2};
      for (double x : xs) fixtures::Paste(&page, symbol, x, page.height / 2.0, angle);
      const auto found = Locate(page, sizes[k].step);
      const std::string where = "mode " + std::to_string(mode) + " scale " +
                                std::to_string(scale) + " angle " + std::to_string(angle);
      ASSERT_EQ(found.size(), 2u) << where;
      for (const auto& r : found) {
        EXPECT_EQ(r.type, barcode::kMaxiCodeLocated);
        EXPECT_STREQ(r.text, "1234567890");
        EXPECT_STREQ(r.secondText, "1234567890");
        EXPECT_EQ(r.angle, 0);
        EXPECT_GT(r.moduleSize, 0);
        // Text close by can join the square: it may grow by up to 40 %.
        const double half = symbol.width / 2.0, slack = 0.2 * half;
        const double x = r.centreX < page.width / 2 ? xs[0] : xs[1];
        EXPECT_NEAR(r.centreX, x, slack) << where;
        EXPECT_NEAR(r.centreY, page.height / 2.0, slack) << where;
        EXPECT_GT(r.width / 2.0, half * 0.85) << where;
        EXPECT_LT(r.width / 2.0, half * 1.4) << where;
      }
    }
  }
}

// A symbol cut by the left edge: its square is clipped to the page.
TEST(BullseyeFixtures, AtTheBorderClipped) {
  const Page symbol = fixtures::DrawMaxiCode("EDGE", 4, 1.0f);
  Page page(symbol.width * 2, symbol.height * 2);
  fixtures::Paste(&page, symbol, symbol.width * 0.3, page.height / 2.0, 0);
  const auto found = Locate(page);
  ASSERT_EQ(found.size(), 1u);
  const auto& r = found[0];
  EXPECT_EQ(r.centreX - r.width / 2, 0);
  EXPECT_NEAR(r.centreX + r.width / 2.0, symbol.width * 0.8, 12);
}

}  // namespace
