// MaxiCode symbols drawn by zint, located by the bullseye group: one result
// per symbol around its drawing and not over the text beside it, clipped at
// the page border.
#include <gtest/gtest.h>

#include <algorithm>
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

struct Box {
  int left, top, right, bottom;
};

// The dark pixels' bounding box at the scan threshold.
Box DarkBox(const Page& page) {
  const std::vector<uint8_t> bits = fixtures::Binarize(page);
  Box b{page.width, page.height, -1, -1};
  for (int y = 0; y < page.height; ++y)
    for (int x = 0; x < page.width; ++x)
      if (bits[size_t(y) * page.width + x])
        b = {std::min(b.left, x), std::min(b.top, y), std::max(b.right, x), std::max(b.bottom, y)};
  return b;
}

// Fake text (a block of lines, or one line) cut to its own ink.
Page TextBlock(int width, int height, int lines, uint64_t seed) {
  Page drawn(width, height);
  fixtures::Rng rng(seed);
  fixtures::DrawClutter(&drawn, &rng, lines, 0);
  const Box b = DarkBox(drawn);
  Page text(b.right - b.left + 1, b.bottom - b.top + 1);
  for (int y = 0; y < text.height; ++y)
    for (int x = 0; x < text.width; ++x) text.at(x, y) = drawn.at(x + b.left, y + b.top);
  return text;
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
      // Each with the quiet zone of a module that the symbology asks for.
      const int quiet = static_cast<int>(symbol.width / 30.0 + 0.5);
      const Page clear(symbol.width + 2 * quiet, symbol.height + 2 * quiet);
      for (double x : xs) {
        fixtures::Paste(&page, clear, x, page.height / 2.0, angle);
        fixtures::Paste(&page, symbol, x, page.height / 2.0, angle);
      }
      const auto found = Locate(page, sizes[k].step);
      const std::string where = "mode " + std::to_string(mode) + " scale " +
                                std::to_string(scale) + " angle " + std::to_string(angle);
      ASSERT_EQ(found.size(), 2u) << where;
      // The ink of one symbol at this angle, alone.
      Page alone(symbol.width * 2, symbol.height * 2);
      fixtures::Paste(&alone, symbol, alone.width / 2.0, alone.height / 2.0, angle);
      const Box ink = DarkBox(alone);
      const double module = symbol.width / 30.0;
      for (const auto& r : found) {
        EXPECT_EQ(r.type, barcode::kMaxiCodeLocated);
        EXPECT_STREQ(r.text, "1234567890");
        EXPECT_STREQ(r.secondText, "1234567890");
        EXPECT_EQ(r.angle, 0);
        EXPECT_GT(r.moduleSize, 0);
        // Text close by stays out of the square but for a module or so; the
        // corners of a skewed symbol may fall outside it.
        const double x = r.centreX < page.width / 2 ? xs[0] : xs[1];
        EXPECT_NEAR(r.centreX, x, 2 * module) << where;
        EXPECT_NEAR(r.centreY, page.height / 2.0, 2 * module) << where;
        EXPECT_NEAR(r.width, ink.right - ink.left + 7, 3 * module) << where;
        EXPECT_NEAR(r.height, ink.bottom - ink.top + 7, 3 * module) << where;
      }
    }
  }
}

// Text a few pixels to a module or so beside each side (a block of lines
// left and right, a line above and below): the square stays on the
// symbol's own edge, to within the outermost module and the widening.
TEST(BullseyeFixtures, TextBesideStaysOutside) {
  enum Side { kLeft, kRight, kAbove, kBelow };
  struct Case {
    float scale;
    int step;
    double angle;
    Side side;
    int gap;  // pixels between the symbol's ink and the text's
  };
  const Case cases[] = {
      {0.68f, 2, 0, kLeft, 2},   {0.68f, 2, 90, kAbove, 3}, {0.75f, 3, 0, kBelow, 5},
      {1.0f, 3, 0, kRight, 3},   {1.0f, 3, 90, kLeft, 10},  {1.0f, 3, 4, kAbove, 2},
      {1.25f, 3, 180, kBelow, 2}, {1.5f, 3, 0, kAbove, 4},  {1.5f, 3, 270, kRight, 2},
      {1.75f, 3, 90, kBelow, 6}, {2.0f, 3, 0, kLeft, 5},    {2.0f, 3, 4, kRight, 12},
  };
  int seed = 0;
  for (const Case& c : cases) {
    const Page symbol = fixtures::DrawMaxiCode("TEXT BESIDE " + std::to_string(seed), 4, c.scale);
    Page page(symbol.width * 3, symbol.height * 3);
    fixtures::Paste(&page, symbol, page.width / 2.0, page.height / 2.0, c.angle);
    const Box ink = DarkBox(page);
    const bool block = c.side == kLeft || c.side == kRight;
    const Page text = TextBlock(block ? symbol.width / 2 : symbol.width * 3 / 2,
                                block ? symbol.height * 3 / 2 : 24, block ? 12 : 2, ++seed);
    double x = page.width / 2.0, y = page.height / 2.0;
    if (c.side == kLeft) x = ink.left - c.gap - text.width / 2.0;
    if (c.side == kRight) x = ink.right + 1 + c.gap + text.width / 2.0;
    if (c.side == kAbove) y = ink.top - c.gap - text.height / 2.0;
    if (c.side == kBelow) y = ink.bottom + 1 + c.gap + text.height / 2.0;
    fixtures::Paste(&page, text, x, y, 0);
    const auto found = Locate(page, c.step);
    const std::string where = "scale " + std::to_string(c.scale) + " angle " +
                              std::to_string(c.angle) + " side " + std::to_string(c.side);
    ASSERT_EQ(found.size(), 1u) << where;
    const auto& r = found[0];
    const int left = r.centreX - r.width / 2, top = r.centreY - r.height / 2;
    const Box got{left, top, left + r.width - 1, top + r.height - 1};
    const double module = symbol.width / 30.0, out = 1.5 * module + 3, in = 1.5 * module;
    EXPECT_LE(ink.left - got.left, out) << where;
    EXPECT_LE(got.right - ink.right, out) << where;
    EXPECT_LE(ink.top - got.top, out) << where;
    EXPECT_LE(got.bottom - ink.bottom, out) << where;
    EXPECT_LE(got.left - ink.left, in) << where;
    EXPECT_LE(ink.right - got.right, in) << where;
    EXPECT_LE(got.top - ink.top, in) << where;
    EXPECT_LE(ink.bottom - got.bottom, in) << where;
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
