// Data Matrix: zint draws, we read. Codeword level (placement, correction,
// encodations) from zint's module grid, and whole pages through the scan
// engine and the location front-end.
#include <gtest/gtest.h>
#include <zint.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "barcode/alloc.h"
#include "barcode/datamatrix.h"
#include "barcode/error_trail.h"
#include "barcode/scan.h"
#include "crop/locate_barcodes.h"
#include "linear_scan.h"
#include "support/barcode_fixtures.h"

namespace {

using fixtures::Matrix;
using fixtures::Page;

fixtures::MatrixOptions Options(int size, bool gs1 = false) {
  fixtures::MatrixOptions o;
  o.option2 = size;
  o.gs1 = gs1;
  return o;
}

std::vector<uint8_t> GridCodewords(const Matrix& grid) {
  const barcode::DataMatrixSize* size = barcode::FindDataMatrixSize(grid.rows, grid.columns);
  if (size == nullptr) return {};
  std::vector<uint8_t> cw(size->dataCodewords + size->ecCodewords);
  if (!barcode::ExtractCodewords(*size, grid.dark.data(), cw.data())) return {};
  return cw;
}

// The text of a module grid, or "<uncorrectable>"/"<invalid>".
std::string GridText(const Matrix& grid) {
  std::vector<uint8_t> cw = GridCodewords(grid);
  if (cw.empty()) return "<no size>";
  const barcode::DataMatrixSize* size = barcode::FindDataMatrixSize(grid.rows, grid.columns);
  if (!barcode::CorrectDataMatrixBlocks(*size, cw.data())) return "<uncorrectable>";
  std::vector<char> text(barcode::kReaderTextSize);
  if (barcode::DecodeDataMatrixData(cw.data(), size->dataCodewords, text.data(),
                                    static_cast<int32_t>(text.size())) != 0)
    return "<invalid>";
  return text.data();
}

const barcode::ScanOptions kDataMatrixOnly =
    barcode_test::GroupOptions(&barcode::ScanOptions::dataMatrix, {barcode::kDataMatrix});

std::vector<barcode::SymbolResult> Scan(const Page& page, int step = 1) {
  return barcode_test::ScanPage(page, kDataMatrixOnly, step);
}

// Digits that fill most of a size's data codewords (two digits each).
std::string Digits(int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s += static_cast<char>('0' + (i * 7 + 3) % 10);
  return s;
}

TEST(DataMatrixSizes, EverySizeEncodedByZintReadsBackFromGridAndPage) {
  for (int index = 0; index < barcode::kDataMatrixSizeCount; ++index) {
    const barcode::DataMatrixSize& size = barcode::DataMatrixSizes()[index];
    SCOPED_TRACE(std::to_string(size.rows) + "x" + std::to_string(size.columns));
    const std::string data = Digits(2 * size.dataCodewords - 2);
    Matrix grid = fixtures::EncodeMatrix(BARCODE_DATAMATRIX, data, Options(index + 1));
    ASSERT_EQ(grid.rows, size.rows);
    ASSERT_EQ(grid.columns, size.columns);
    EXPECT_EQ(GridText(grid), data);

    // Drawn with the L side at least 60 pixels: the finder's smallest arm is 50.
    const int module = std::max(3, (60 + size.rows - 1) / size.rows);
    Page page(size.columns * module + 120, size.rows * module + 120);
    fixtures::DrawMatrix(&page, grid, page.width / 2.0, page.height / 2.0, module, 0);
    const std::vector<barcode::SymbolResult> found = Scan(page);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].text, data);
    EXPECT_EQ(found[0].secondText, data);
    EXPECT_EQ(found[0].type, barcode::kDataMatrix);
    // Upright at whole pixels a module, the pitch is measured to 0.02 pixel.
    EXPECT_NEAR(found[0].moduleSize, module, 0.02);
  }
}

}  // namespace

namespace {

bool Contains(const std::vector<uint8_t>& v, int value) {
  return std::find(v.begin(), v.end(), value) != v.end();
}

std::string Bytes(int from, int to) {
  std::string s;
  for (int b = from; b <= to; ++b) s += static_cast<char>(b);
  return s;
}

// Read from zint's module grid: the page readings of every size above
// share this decoding.
TEST(DataMatrixEncodations, DataDrivingEachSchemeReadsBack) {
  struct Case {
    const char* name;
    std::string data;
    bool gs1;
    int latch;  // codeword that must occur in the symbol's data, 0 for none
    std::string text;
  };
  const std::string upper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ABCDEFGHIJ";
  const std::string lower = "abcdefghijklmnopqrstuvwxyz0123456789 abcdefghij";
  const std::string x12 = "ABC*DEF>GHI\rJKL*MNO>PQR\r012*345>678\rXYZ";
  const std::string edifact = "@ABC[DEF\\GHI]JKL^MNO_PQR:STU;VWX<YZ=>?!\"#$%&'()";
  const std::string binary = Bytes(128, 255) + Bytes(1, 127) + Bytes(128, 255);
  const Case cases[] = {
      {"ascii", "Hello, World! 0123456789 ~{}|", false, 0, ""},
      {"ascii upper shift", "caf\xe9 1", false, 235, ""},
      {"c40", upper, false, 230, ""},
      {"c40 shifts", "ABCDEF!GHIJ\x01KLMN`OPQR\xc1STUV", false, 230, ""},
      {"text", lower, false, 239, ""},
      {"text shifts", "abcdef!ghij\x01klmnAopqr\xe1stuv", false, 239, ""},
      {"x12", x12, false, 238, ""},
      {"edifact", edifact, false, 240, ""},
      {"base 256 short", Bytes(128, 200), false, 231, ""},
      {"base 256 long", binary, false, 231, ""},
      {"fnc1", "[01]09501101530003[10]ABC123", true, 232,
       "\x1d"
       "0109501101530003"
       "10ABC123"},
      {"macro 05",
       "[)>\x1e"
       "05\x1d"
       "ABC123\x1e\x04",
       false, 236, "[)>RS05GSABC123RSEOT"},
      {"macro 06",
       "[)>\x1e"
       "06\x1d"
       "XYZ\x1e\x04",
       false, 237, "[)>RS06GSXYZRSEOT"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Matrix grid = fixtures::EncodeMatrix(BARCODE_DATAMATRIX, c.data, Options(0, c.gs1));
    ASSERT_GT(grid.rows, 0);
    const std::string want = c.text.empty() ? c.data : c.text;
    std::vector<uint8_t> cw = GridCodewords(grid);
    const barcode::DataMatrixSize* size = barcode::FindDataMatrixSize(grid.rows, grid.columns);
    cw.resize(size->dataCodewords);
    if (c.latch != 0) {
      EXPECT_TRUE(Contains(cw, c.latch));
    } else {
      for (int latch : {230, 231, 235, 238, 239, 240}) EXPECT_FALSE(Contains(cw, latch));
    }
    EXPECT_EQ(GridText(grid), want);
  }
}

}  // namespace

namespace {

// Reads through the location front-end, every turn it makes for Data Matrix.
struct Located {
  barcode::SymbolResultList list{0, nullptr};
  int32_t code;
  explicit Located(const Page& page, int dpi = 300) {
    crop::LocateOptions o{};
    o.regionWidth = page.width;
    o.regionHeight = page.height;
    o.types[barcode::kDataMatrix] = 1;
    o.resolution = dpi;
    o.maxResults = 100;
    const crop::SourceImage image{page.grey.data(),      uint32_t(page.width), uint32_t(page.width),
                                  uint32_t(page.height), crop::kFormatGrey8,   1};
    code = crop::LocateBarcodes(&image, &o, &list);
  }
  ~Located() { crop::FreeLocateResults(&list); }
};

// The smallest square size whose side reaches 60 pixels at this module size.
int SquareSizeFor(int module) {
  for (int index = 0; index < 24; ++index)
    if (barcode::DataMatrixSizes()[index].rows * module >= 60) return index + 1;
  return 24;
}

// A page with one symbol of the given module size drawn turned.
struct TurnedSymbol {
  std::string data;
  Page page{1, 1};
  double cx = 0, cy = 0;
  TurnedSymbol(int module, double angle) {
    data = std::to_string(module * 1000 + static_cast<int>(angle + 360));
    Matrix grid = fixtures::EncodeMatrix(BARCODE_DATAMATRIX, data, Options(SquareSizeFor(module)));
    EXPECT_EQ(grid.rows, barcode::DataMatrixSizes()[SquareSizeFor(module) - 1].rows);
    const int side = grid.rows * module;
    page = Page(side * 2 + 200, side * 2 + 150);
    cx = page.width * 0.45, cy = page.height * 0.55;
    fixtures::DrawMatrix(&page, grid, cx, cy, module, angle);
  }
};

// The engine alone reads a symbol whose L lies at the left: upright or a
// quarter turn clockwise, and a few degrees off either, at row steps 1 and
// 3. The location front-end turns the page, so it reads every orientation;
// its thin-run pre-pass fills single light modules of under four pixels,
// which two-pixel modules do not survive in every turn.
TEST(DataMatrixPlacement, ModuleSizesAndTurnsByTheEngineAndTheFrontEnd) {
  const struct {
    int firstModule;
    std::vector<double> angles;
    bool frontEnd;
  } passes[] = {{2, {0, 90, 3, -4, 93, 86}, false}, {3, {0, 90, 180, 270, 184, 273}, true}};
  for (const auto& pass : passes)
    for (int module = pass.firstModule; module <= 8; ++module)
      for (double angle : pass.angles)
        for (int step : {1, 3}) {
          if (pass.frontEnd && step == 3) continue;  // the front-end picks its own step
          SCOPED_TRACE(testing::Message() << "module " << module << " angle " << angle << " step "
                                          << step << (pass.frontEnd ? " front-end" : ""));
          TurnedSymbol s(module, angle);
          std::vector<barcode::SymbolResult> found;
          if (pass.frontEnd) {
            Located located(s.page);
            ASSERT_EQ(located.code, 0);
            found.assign(located.list.items, located.list.items + located.list.count);
          } else {
            found = Scan(s.page, step);
          }
          ASSERT_EQ(found.size(), 1u);
          const barcode::SymbolResult& r = found[0];
          EXPECT_EQ(r.text, s.data);
          EXPECT_NEAR(r.moduleSize, module, 0.3);
          if (pass.frontEnd) {  // upright boxes, left and top first
            EXPECT_NEAR(r.centreX + r.width / 2.0, s.cx, module + 2);
            EXPECT_NEAR(r.centreY + r.height / 2.0, s.cy, module + 2);
            continue;
          }
          EXPECT_NEAR(r.centreX, s.cx, module + 2);
          EXPECT_NEAR(r.centreY, s.cy, module + 2);
          // The rectangle's angle is the bottom row's direction.
          EXPECT_NEAR(std::remainder(r.angle - angle, 360), 0, 3);
          EXPECT_NEAR(r.width, s.page.width / 2 - 100, 2 * module + 2);
        }
}

}  // namespace

namespace {

// Flips every module of the first `count` codewords of a single-region
// symbol (in placement order, so whole codewords are wrong).
void DamageCodewords(Matrix* grid, int count) {
  const int rows = grid->rows - 2, columns = grid->columns - 2;
  std::vector<int32_t> map(static_cast<size_t>(rows) * columns);
  barcode::PlaceCodewords(rows, columns, map.data());
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) {
      const int32_t m = map[static_cast<size_t>(r) * columns + c];
      // Every third codeword, so that the damage spreads over the symbol.
      if (m >= 0 && (m / 8) % 3 == 0 && (m / 8) / 3 < count)
        grid->dark[static_cast<size_t>(r + 1) * grid->columns + c + 1] ^= 1;
    }
}

TEST(DataMatrixDamage, ReadUpToHalfTheCheckCodewordsWrongAndNeverAWrongTextBeyond) {
  // 24 x 24: 36 data and 24 check codewords, so 12 wrong codewords mend.
  const std::string data = "DAMAGE-TEST-0123456789-ABCDEFGHIJ";
  for (int wrong : {0, 1, 11, 12, 13, 16, 20}) {
    SCOPED_TRACE("wrong codewords " + std::to_string(wrong));
    Matrix grid = fixtures::EncodeMatrix(BARCODE_DATAMATRIX, data, Options(8));
    ASSERT_EQ(grid.rows, 24);
    DamageCodewords(&grid, wrong);
    Page page(24 * 4 + 120, 24 * 4 + 120);
    fixtures::DrawMatrix(&page, grid, page.width / 2.0, page.height / 2.0, 4, 0);
    const std::vector<barcode::SymbolResult> found = Scan(page);
    ASSERT_EQ(found.size(), wrong <= 12 ? 1u : 0u);
    if (wrong <= 12) {
      EXPECT_EQ(found[0].text, data);
    }
  }
  // A whole symbol whose text is empty (a lone NUL) is not reported either.
  const Matrix nul = fixtures::EncodeMatrix(BARCODE_DATAMATRIX, std::string(1, '\0'), Options(3));
  ASSERT_EQ(nul.rows, 14);
  Page page(200, 200);
  fixtures::DrawMatrix(&page, nul, 100, 100, 5, 0);
  EXPECT_EQ(Scan(page).size(), 0u);
}

// A 4x6-inch page at 300 dpi with text, three symbols and two more copies
// of the first, in several turns: all five are reported.
TEST(DataMatrixPage, SeveralSymbolsAndCopiesAllReported) {
  Page page(1200, 1800);
  fixtures::Rng rng(7);
  fixtures::DrawClutter(&page, &rng, 10, 0);
  struct Placed {
    std::string data;
    int size;
    double x, y, module, angle;
  };
  const Placed placed[] = {
      {"SHIP-TO 12345", 4, 250, 450, 5, 0},
      {"SHIP-TO 12345", 4, 900, 450, 5, 90},
      {"SHIP-TO 12345", 4, 250, 1450, 5, 180},
      {"lot a-17 / 2026", 30, 850, 1000, 6, 0},
      {std::string(300, 'Z') + "123", 0, 600, 1450, 3, 270},
  };
  // Clear bands for the symbols over the text.
  for (const Placed& p : placed)
    for (int y = static_cast<int>(p.y) - 170; y < p.y + 170; ++y)
      for (int x = static_cast<int>(p.x) - 170; x < p.x + 170; ++x) page.at(x, y) = 255;
  for (const Placed& p : placed) {
    Matrix grid = fixtures::EncodeMatrix(BARCODE_DATAMATRIX, p.data, Options(p.size));
    ASSERT_GT(grid.rows, 0);
    fixtures::DrawMatrix(&page, grid, p.x, p.y, p.module, p.angle);
  }
  Located found(page);
  ASSERT_EQ(found.code, 0);
  std::multiset<std::string> ours, wanted;
  for (const Placed& p : placed) wanted.insert(p.data);
  for (int i = 0; i < found.list.count; ++i) ours.insert(found.list.items[i].text);
  EXPECT_EQ(ours, wanted);
}

}  // namespace

namespace {

// Every allocation of a scan that reads a symbol fails in turn: the scan
// ends with a code and the trail names the reader's site, or reads the
// symbol right; no other text appears.
TEST(DataMatrixFailures, EachFailedAllocationEndsTheScanWithItsSite) {
  Matrix grid = fixtures::EncodeMatrix(BARCODE_DATAMATRIX, "ALLOC", Options(3));
  Page page(200, 200);
  fixtures::DrawMatrix(&page, grid, 100, 100, 5, 0);
  const int32_t readerSite = -(barcode::kCategoryStageFailed + barcode::kModuleScan + 171);
  bool sawReaderSite = false, sawOutputFailure = false;
  for (int n = 0; n < 40; ++n) {
    barcode::ClearErrorTrail();
    barcode::test_hooks::FailAllocationAfter(n);
    barcode_test::Scanner scan(page);
    scan.list.count = 0;
    const int32_t code = scan.Scan(1, nullptr, kDataMatrixOnly);
    barcode::test_hooks::FailAllocationAfter(-1);
    if (code == 0) {
      ASSERT_EQ(scan.list.count, 1) << n;
      EXPECT_STREQ(scan.items[0].text, "ALLOC");
      continue;
    }
    EXPECT_EQ(scan.list.count, 0);
    const barcode::ErrorTrail& trail = barcode::GetErrorTrail();
    ASSERT_GE(trail.count, 1u);
    for (uint32_t i = 0; i + 1 < trail.count; ++i) {
      if (trail.slots[i] == readerSite) {
        sawReaderSite = true;
        EXPECT_EQ(code, 1);
        ASSERT_GE(i, 1u);
        EXPECT_EQ(trail.slots[i - 1], -10103103);
      }
    }
    sawOutputFailure |= code == 2;
  }
  EXPECT_TRUE(sawReaderSite);
  EXPECT_TRUE(sawOutputFailure);
}

}  // namespace
