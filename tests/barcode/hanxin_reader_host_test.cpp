// Han Xin reading: zint draws, we read. Every version and level through the
// grid reader (the derived tables), damage within and beyond correction,
// and whole scans of pages at module sizes 2 to 8, turns and skews.
#include <gtest/gtest.h>
#include <zint.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "barcode/error_trail.h"
#include "barcode/hanxin.h"
#include "barcode/scan.h"
#include "hanxin_scan.h"
#include "support/barcode_fixtures.h"

namespace {

using namespace barcode;

// Characters of every kind the modes carry (UTF-8): digits, text of both
// sets, bytes, GB 2312 region 1 (rows B0-D7 and A1-A3, A8) and region 2
// (rows D8-F7), two-byte GB 18030 outside GB 2312, four-byte GB 18030
// (BMP and beyond). zint picks every one of the seven modes for them.
const char* const kPieces[] = {
    "0123456789",   "HanXin",       "a+b=c;",           "\xC3\xA9",
    "\xE4\xB8\xAD", "\xE6\x96\x87", "\xE9\xBE\x9F",     "\xE4\xBA\x8D\xE9\xBC\x90",
    "\xE4\xB8\x82", "\xE3\x90\x80", "\xF0\xA0\x80\x80", "\x01\x7F",
    "\xE2\x82\xAC"};

// Text of about length bytes from the pieces, varied by seed.
std::string Mixed(size_t length, uint32_t seed) {
  fixtures::Rng rng(seed);
  std::string s;
  while (s.size() < length) s += kPieces[rng.Next() % (sizeof kPieces / sizeof kPieces[0])];
  return s;
}

fixtures::Matrix Encode(const std::string& utf8, int version, int level, int mask) {
  fixtures::MatrixOptions o;
  o.option1 = level, o.option2 = version, o.option3 = (mask + 1) << 8, o.unicode = true;
  return fixtures::EncodeMatrix(BARCODE_HANXIN, utf8, o);
}

// The longest mixed text zint fits in the version and level (a piece
// more does not fit), so that the data codewords are all used.
fixtures::Matrix EncodeFull(int version, int level, int mask, std::string* text) {
  const uint32_t seed = static_cast<uint32_t>(version * 8 + level);
  auto fits = [&](size_t length) {
    return Encode(Mixed(length, seed), version, level, mask).rows == 2 * version + 21;
  };
  size_t lo = 1, hi = 8;
  while (fits(hi)) lo = hi, hi *= 2;
  while (hi - lo > 1) (fits((lo + hi) / 2) ? lo : hi) = (lo + hi) / 2;
  *text = Mixed(lo, seed);
  return Encode(*text, version, level, mask);
}

std::vector<uint8_t> Grid(const fixtures::Matrix& m) {
  std::vector<uint8_t> g(static_cast<size_t>(m.rows) * m.columns);
  for (int r = 0; r < m.rows; ++r)
    for (int c = 0; c < m.columns; ++c) g[static_cast<size_t>(r) * m.columns + c] = m.Dark(r, c);
  return g;
}

// Text read from a grid, or "!code" when refused.
std::string ReadGrid(std::vector<uint8_t> grid, int version) {
  std::unique_ptr<ReaderOutput> out(new ReaderOutput{});
  int info = 0;
  const int32_t code = DecodeHanXinGrid(grid.data(), version, out.get(), &info);
  if (code != 0) {
    EXPECT_EQ(out->text[0], '\0');
    return "!" + std::to_string(code);
  }
  EXPECT_STREQ(out->name, "HXCode");
  return out->text;
}

TEST(HanXinReader, EveryVersionLevelAndMaskFromTheGrid) {
  for (int version = 1; version <= 84; ++version)
    for (int level = 1; level <= 4; ++level) {
      const int mask = (version + level) % 4;
      std::string text;
      const fixtures::Matrix m = EncodeFull(version, level, mask, &text);
      ASSERT_EQ(m.rows, 2 * version + 21) << version << "/" << level;
      EXPECT_EQ(ReadGrid(Grid(m), version), text) << "version " << version << " level " << level;
    }
}

TEST(HanXinReader, InformationFromEitherCopy) {
  const std::string text = "\xE4\xB8\xAD 12345";
  const fixtures::Matrix m = Encode(text, 7, 2, 1);
  const int n = m.rows;
  std::vector<uint8_t> grid = Grid(m);
  // The first copy (beside the top finders) wiped: read from the second.
  for (int i = 0; i < 9; ++i) grid[8 * n + i] ^= 1, grid[i * n + 8] ^= 1, grid[i * n + n - 9] ^= 1;
  EXPECT_EQ(ReadGrid(grid, 7), text);
  // Both copies wiped: nothing.
  for (int i = 0; i < 9; ++i)
    grid[(n - 9) * n + n - 1 - i] ^= 1, grid[(n - 1 - i) * n + n - 9] ^= 1,
        grid[(n - 1 - i) * n + 8] ^= 1;
  EXPECT_EQ(ReadGrid(grid, 7), "!-6");
}

TEST(HanXinReader, DamageWithinCorrectionReadsAndBeyondDoesNot) {
  // Version 1 at level 4: 9 data and 16 check codewords, 8 correctable.
  // Data rows 9 to 13 run across the whole symbol; a row is 23 modules, so
  // two flipped rows touch at most 7 codewords, five at least 14.
  const std::string text = "HX1";
  const fixtures::Matrix m = Encode(text, 1, 4, 0);
  for (int rows : {1, 2, 5}) {
    std::vector<uint8_t> grid = Grid(m);
    for (int r = 9; r < 9 + rows; ++r)
      for (int c = 0; c < 23; ++c) grid[r * 23 + c] ^= 1;
    const std::string got = ReadGrid(grid, 1);
    if (rows <= 2) {
      EXPECT_EQ(got, text) << rows;
    } else {
      EXPECT_EQ(got[0], '!') << rows;
    }
  }
}

struct Spot {
  int version, level;
  double module, angle, shear;
};

// Draws the spots side by side on one page, scans it for Han Xin and
// expects every text once, of type 14, near its place.
void ScanPage(const std::vector<Spot>& spots, uint32_t seed) {
  std::vector<fixtures::Matrix> drawn;
  std::vector<std::string> texts;
  int width = 20, height = 0;
  for (const Spot& s : spots) {
    texts.push_back(Mixed(static_cast<size_t>(s.version) + 4, seed++));
    drawn.push_back(Encode(texts.back(), s.version, s.level, static_cast<int>(seed % 4)));
    ASSERT_EQ(drawn.back().rows, 2 * s.version + 21) << s.version;
    const int side = static_cast<int>((drawn.back().rows + 8) * s.module * 1.45);
    width += side;
    height = std::max(height, side);
  }
  fixtures::Page page(width, height + 20);
  std::vector<double> xs;
  double x = 10;
  for (size_t i = 0; i < spots.size(); ++i) {
    const int side = static_cast<int>((drawn[i].rows + 8) * spots[i].module * 1.45);
    xs.push_back(x + side / 2.0);
    fixtures::DrawMatrix(&page, drawn[i], xs.back(), page.height / 2.0, spots[i].module,
                         spots[i].angle, 3, spots[i].shear);
    x += side;
  }
  std::vector<uint8_t> binary = fixtures::Binarize(page);
  const hanxin_test::Scan scan = hanxin_test::ScanHanXin(&binary, page.width, page.height);
  ASSERT_EQ(scan.code, 0);
  const SymbolResult* items = scan.items.get();
  const SymbolResultList& list = scan.list;
  for (size_t i = 0; i < spots.size(); ++i) {
    int found = 0;
    for (int k = 0; k < list.count; ++k)
      if (items[k].type == kHxCode && std::fabs(items[k].centreX - xs[i]) < 3 * spots[i].module &&
          texts[i] == items[k].text)
        ++found;
    EXPECT_EQ(found, 1) << "version " << spots[i].version << " module " << spots[i].module
                        << " angle " << spots[i].angle;
  }
  EXPECT_EQ(list.count, static_cast<int32_t>(spots.size()));
}

TEST(HanXinReader, PagesAtSizesTurnsAndSkews) {
  // The smallest and largest versions and each count of alignment lines,
  // module sizes 2 to 8, the four quarter turns, small turns and skews.
  ScanPage({{1, 1, 2, 0, 0}, {3, 4, 8, 90, 0}, {4, 2, 3, 180, 0}, {11, 3, 4, 270, 0}}, 1);
  ScanPage({{10, 4, 5, 4, 0}, {22, 1, 3, 357, 0.02}, {21, 2, 6, 93, 0}}, 2);
  ScanPage({{32, 3, 3, 0, 0}, {41, 4, 3, 90, 0.02}, {49, 1, 2, 0, 0}}, 3);
  ScanPage({{58, 2, 3, 180, 0}, {66, 3, 2, 270, 0}}, 4);
  ScanPage({{75, 4, 3, 2, 0}, {84, 1, 3, 0, 0}}, 5);
  ScanPage({{84, 4, 7, 270, 0}}, 6);
}

std::vector<HxCandidate>* sink = nullptr;
void Collect(const HxCandidate& c) { sink->push_back(c); }

// The found finders' module sizes, measured along the rows, may differ by
// 5 pixels: the bottom-left block (module 4, run 12) drawn longer into the
// quiet zone by 14 pixels still reads, by 17 it does not.
TEST(HanXinReader, FinderModuleSizesAgreeWithin5Pixels) {
  std::string text;
  const fixtures::Matrix m = EncodeFull(3, 2, 1, &text);
  fixtures::Page page(200, 200);
  fixtures::DrawMatrix(&page, m, 100, 100, 4, 0);
  // The top-right finder wiped, so that the bottom-left one is used.
  std::vector<uint8_t> binary = fixtures::Binarize(page);
  const int x0 = 100 + 4 * (m.columns / 2 - 7), y0 = 100 - 4 * (m.rows / 2);
  for (int y = y0 - 4; y < y0 + 4 * 7; ++y)
    for (int x = x0; x < x0 + 4 * 8; ++x) binary[static_cast<size_t>(y) * page.width + x] = 0;
  std::vector<uint8_t> scanned = binary;
  std::vector<HxCandidate> found;
  sink = &found;
  test_hooks::ObserveHanXinCandidates(Collect);
  hanxin_test::ScanHanXin(&scanned, page.width, page.height);
  test_hooks::ObserveHanXinCandidates(nullptr);
  ASSERT_FALSE(found.empty());
  HxCandidate c = found[0];
  int k = 0;
  while (k < c.points && c.role[k] != HxRole::kBottomLeft) ++k;
  ASSERT_LT(k, c.points);
  for (int longer : {0, 14, 17}) {
    std::vector<uint8_t> pixels = binary;
    const int row = static_cast<int>(c.y[k]), left = static_cast<int>(c.x[k]) - 6;
    for (int y = row - 1; y <= row + 1; ++y)
      for (int x = left - longer; x < left; ++x)
        pixels[static_cast<size_t>(y) * page.width + x] = 1;
    const BinaryImage image{200, 200, 200, 1, 8, pixels.data()};
    std::unique_ptr<ReaderOutput> out(new ReaderOutput{});
    HxCandidate copy = c;
    EXPECT_EQ(ReadHanXin(image, &copy, out.get()) == 0 && text == out->text, longer < 17) << longer;
  }
}

}  // namespace
