// MaxiCode symbols drawn by zint, located by the bullseye group: one result
// per symbol around its drawing, clipped at the page border.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "barcode/scan.h"
#include "support/barcode_fixtures.h"

namespace {

using fixtures::Page;

std::vector<barcode::SymbolResult> Locate(const Page& page) {
  std::vector<uint8_t> bits = fixtures::Binarize(page);
  barcode::BinaryImage image{uint32_t(page.width), uint32_t(page.width), uint32_t(page.height), 1,
                             8, bits.data()};
  std::unique_ptr<barcode::SymbolResult[]> items(new barcode::SymbolResult[barcode::kMaxResults]());
  barcode::SymbolResultList list{0, items.get()};
  barcode::ScanOptions o{};
  o.bullseye = 1;
  o.types[15] = 1;
  EXPECT_EQ(barcode::ScanSymbols(&image, 1, &list, &o), 0);
  EXPECT_EQ(bits, fixtures::Binarize(page));  // nothing erased
  return std::vector<barcode::SymbolResult>(items.get(), items.get() + list.count);
}

// Modes 2-6 at zint scales from 0.75 to 1.25 (about 7 to 12
// pixels a module), upright, turned and skewed; two symbols and text a page.
TEST(BullseyeFixtures, EveryModeOneResultAroundTheSymbol) {
  const float scales[] = {0.75f, 1.0f, 1.25f, 1.1f};
  const double angles[] = {0, 90, 180, 270, 4};
  for (int mode = 2; mode <= 6; ++mode) {
    for (int k = 0; k < 4; ++k) {
      const Page symbol =
          fixtures::DrawMaxiCode("MAXI " + std::to_string(mode * 100 + k), mode, scales[k]);
      ASSERT_GT(symbol.width, 0) << mode;
      const double angle = angles[(mode + k) % 5];
      Page page(symbol.width * 3, symbol.height * 2);
      fixtures::Rng rng(mode * 10 + k);
      fixtures::DrawClutter(&page, &rng, 4, 0);
      const double xs[2] = {symbol.width * 0.75, symbol.width * 2.2};
      for (double x : xs) fixtures::Paste(&page, symbol, x, page.height / 2.0, angle);
      const auto found = Locate(page);
      ASSERT_EQ(found.size(), 2u) << "mode " << mode << " scale " << scales[k];
      for (const auto& r : found) {
        EXPECT_EQ(r.type, barcode::kMaxiCodeLocated);
        EXPECT_STREQ(r.text, "1234567890");
        EXPECT_STREQ(r.secondText, "1234567890");
        EXPECT_EQ(r.angle, 0);
        EXPECT_GT(r.moduleSize, 0);
        // Text close by can join the square: it may grow by up to 40 %.
        const double half = symbol.width / 2.0, slack = 0.2 * half;
        const double x = r.centreX < page.width / 2 ? xs[0] : xs[1];
        EXPECT_NEAR(r.centreX, x, slack) << mode << " " << k;
        EXPECT_NEAR(r.centreY, page.height / 2.0, slack) << mode << " " << k;
        EXPECT_GT(r.width / 2.0, half * 0.85) << mode << " " << k;
        EXPECT_LT(r.width / 2.0, half * 1.4) << mode << " " << k;
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
