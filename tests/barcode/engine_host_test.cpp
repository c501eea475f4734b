// Engine and reader edge cases on zint-drawn symbols.
#include <gtest/gtest.h>
#include <zint.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "barcode/group_stages.h"
#include "barcode/linear_readers.h"
#include "barcode/scan.h"
#include "linear_scan.h"
#include "support/barcode_fixtures.h"

namespace {

using fixtures::Page;

using barcode_test::Scanner;

// Runs of one module row with x pixels a module, dark first.
std::vector<uint32_t> ModuleRuns(const std::vector<uint8_t>& modules, int quiet, int x) {
  std::vector<uint32_t> runs;
  std::vector<uint8_t> px(quiet, 0);
  px.insert(px.end(), modules.begin(), modules.end());
  px.insert(px.end(), quiet, 0);
  uint8_t colour = 1;
  size_t i = 0;
  while (i < px.size()) {
    uint32_t n = 0;
    while (i < px.size() && px[i] == colour) ++i, n += x;
    runs.push_back(n);
    colour ^= 1;
  }
  return runs;
}

TEST(ScanEngine, HundredAndFirstSymbolDroppedAndErasedSymbolsNotFoundAgain) {
  std::vector<uint8_t> modules = fixtures::EncodeLinear(BARCODE_CODE39, "A1");
  const int cellW = static_cast<int>(modules.size() + 24) * 2, cellH = 50;
  Page page(cellW * 11, cellH * 10);
  for (int k = 0; k < 101; ++k) {
    double x = (k % 11) * cellW + cellW / 2.0, y = (k / 11) * cellH + cellH / 2.0;
    if (k == 100) x = 10 * cellW + cellW / 2.0, y = 9 * cellH + cellH / 2.0;
    fixtures::DrawLinear(&page, modules, {x, y, 2, 40, 0});
  }
  // 100 cells of the 11 x 10 grid, plus the one last cell: 101 symbols.
  Scanner s(page);
  EXPECT_EQ(s.Scan(), 0);
  EXPECT_EQ(s.list.count, 100);
  for (int i = 0; i < s.list.count; ++i) EXPECT_STREQ(s.items[i].text, "A1");
  // Scanning the erased image again finds only what was not read, and then
  // nothing more.
  barcode::SymbolResultList again{0, s.items.get()};
  EXPECT_EQ(s.Scan(1, &again), 0);
  EXPECT_LE(again.count, 10);
  barcode::SymbolResultList last{0, s.items.get()};
  EXPECT_EQ(s.Scan(1, &last), 0);
  EXPECT_EQ(last.count, 0);
}

TEST(ScanEngine, ShortBarsAreNeverRead) {
  std::vector<uint8_t> modules = fixtures::EncodeLinear(BARCODE_CODE128, "SHORT");
  const struct {
    int barHeight, step;
    bool read;
  } cases[] = {{18, 1, false}, {20, 1, false}, {34, 1, true}, {20, 3, false}, {60, 3, true}};
  for (const auto& c : cases) {
    Page page(400, 200);
    fixtures::DrawLinear(&page, modules, {200, 100, 2, c.barHeight, 0});
    Scanner s(page);
    EXPECT_EQ(s.Scan(c.step), 0);
    EXPECT_EQ(s.list.count, c.read ? 1 : 0) << c.barHeight << " rows, step " << c.step;
  }
}

TEST(LinearReaders, RunListEdgeCases) {
  barcode::ReaderOutput out{};
  bool found = false;
  auto read = [&](barcode::LinearReader reader, std::vector<uint32_t> runs) {
    out = barcode::ReaderOutput{};
    barcode::RunList list{static_cast<int32_t>(runs.size()), runs.data()};
    EXPECT_EQ(reader(list, &out, &found), 0);
    return found ? std::string(out.text) : std::string("-");
  };
  // Code 128 touching the left edge: read without a leading quiet zone,
  // whether the row starts dark (index 0) or light (an empty first run).
  std::vector<uint8_t> c128 = fixtures::EncodeLinear(BARCODE_CODE128, "EDGE");
  std::vector<uint32_t> edge = ModuleRuns(c128, 0, 3);
  edge.push_back(30);
  EXPECT_EQ(read(barcode::ReadCode128, edge), "EDGE");
  std::vector<uint32_t> lightFirst = {0, 2};
  lightFirst.insert(lightFirst.end(), edge.begin(), edge.end());
  EXPECT_EQ(read(barcode::ReadCode128, lightFirst), "EDGE");
  EXPECT_DOUBLE_EQ(out.moduleSize, 3.0);
  // A start deeper in the row (index 3 on) needs its quiet zone.
  std::vector<uint32_t> crowded = {4, 3, 4, 3};
  crowded.insert(crowded.end(), edge.begin(), edge.end());
  EXPECT_EQ(read(barcode::ReadCode128, crowded), "-");

  // ITF: half a digit pair taken out leaves runs that are not a multiple
  // of ten between the guards, so it cannot be read.
  std::vector<uint8_t> itf = fixtures::EncodeLinear(BARCODE_C25INTER, "123456");
  std::vector<uint32_t> runs = ModuleRuns(itf, 10, 2);
  EXPECT_EQ(read(barcode::ReadItf, runs), "123456");
  std::vector<uint32_t> odd = runs;
  odd.erase(odd.begin() + 5, odd.begin() + 10);
  EXPECT_EQ(read(barcode::ReadItf, odd), "-");

  // EAN-13 with a leading 0 is UPC-A, twelve digits in both texts.
  std::vector<uint8_t> ean = fixtures::EncodeLinear(BARCODE_EANX, "012345678901");
  EXPECT_EQ(read(barcode::ReadEanUpc, ModuleRuns(ean, 10, 2)), "123456789012");
  EXPECT_STREQ(out.name, "UPC_A");
  EXPECT_STREQ(out.secondText, "123456789012");

  // Code 39 "*" inside a longer run of characters is passed over.
  std::vector<uint8_t> a = fixtures::EncodeLinear(BARCODE_CODE39, "AB");
  std::vector<uint8_t> b = fixtures::EncodeLinear(BARCODE_CODE39, "CD");
  std::vector<uint8_t> joined = a;
  joined.push_back(0);
  joined.insert(joined.end(), b.begin(), b.end());
  EXPECT_EQ(read(barcode::ReadCode39, ModuleRuns(joined, 12, 2)), "ABCD");

  // Code 128 with FNC1 first is GS1-128 with no character for the FNC1;
  // the second text keeps the check character's rendering (if it has one).
  std::vector<uint8_t> gs1 = fixtures::EncodeLinear(BARCODE_GS1_128, "[10]AB12", true);
  EXPECT_EQ(read(barcode::ReadCode128, ModuleRuns(gs1, 10, 2)), "10AB12");
  EXPECT_STREQ(out.name, "GS1_128");
  EXPECT_EQ(std::string(out.secondText).substr(0, 6), "10AB12");
  std::vector<uint8_t> plain = fixtures::EncodeLinear(BARCODE_CODE128, "AB");
  EXPECT_EQ(read(barcode::ReadCode128, ModuleRuns(plain, 10, 2)), "AB");
  // Set B: start 104 + 33 + 2 * 34 = 205, mod 103 = 102 (FNC1: no rendering)
  EXPECT_STREQ(out.secondText, "AB");
  std::vector<uint8_t> withCheck = fixtures::EncodeLinear(BARCODE_CODE128, "AC");
  EXPECT_EQ(read(barcode::ReadCode128, ModuleRuns(withCheck, 10, 2)), "AC");
  // 104 + 33 + 2 * 35 = 207, mod 103 = 1: rendered as "!".
  EXPECT_STREQ(out.secondText, "AC!");

  // Code 93: the check characters are in the second text only.
  std::vector<uint8_t> c93 = fixtures::EncodeLinear(BARCODE_CODE93, "TEST93");
  EXPECT_EQ(read(barcode::ReadCode93, ModuleRuns(c93, 10, 2)), "TEST93");
  EXPECT_EQ(std::string(out.secondText).substr(0, 6), "TEST93");
  EXPECT_EQ(std::string(out.secondText).size(), 8u);

  // Codabar start and stop go to their own fields.
  std::vector<uint8_t> cb = fixtures::EncodeLinear(BARCODE_CODABAR, "C1234D");
  EXPECT_EQ(read(barcode::ReadCodabar, ModuleRuns(cb, 10, 2)), "1234");
  EXPECT_EQ(out.codabarStart, 'C');
  EXPECT_EQ(out.codabarStop, 'D');
}

TEST(ThinRunFilter, ClosesHolesKeepsGaps) {
  // A dark block with a one-pixel light hole, and a barcode-like light gap
  // running down the whole block.
  Page page(40, 20);
  for (int y = 2; y < 18; ++y)
    for (int x = 2; x < 38; ++x) page.at(x, y) = 0;
  page.at(10, 8) = 255;
  for (int y = 2; y < 18; ++y) page.at(25, y) = page.at(26, y) = 255;
  std::vector<uint8_t> bits = fixtures::Binarize(page);
  barcode::BinaryImage image{40, 40, 20, 1, 8, bits.data()};
  ASSERT_EQ(barcode::ThinRunFilter(&image, 0), 0);
  EXPECT_EQ(bits[8 * 40 + 10], 1);   // hole closed
  EXPECT_EQ(bits[10 * 40 + 25], 0);  // gap kept
  EXPECT_EQ(bits[10 * 40 + 26], 0);
  EXPECT_EQ(bits[0], 0);
  // Dark specks: the dark-run variant removes an isolated dot.
  Page specks(40, 20);
  specks.at(12, 9) = 0;
  std::vector<uint8_t> sb = fixtures::Binarize(specks);
  barcode::BinaryImage si{40, 40, 20, 1, 8, sb.data()};
  ASSERT_EQ(barcode::ThinRunFilter(&si, 1), 0);
  EXPECT_EQ(sb[9 * 40 + 12], 0);
}

// The QR group's row stage hands the post stage exactly one finder point per
// finder pattern, at its centre, sized by its dark centre.
std::vector<barcode::FinderPoint> qrFinders;
void KeepQrFinders(const char* stage, const barcode::ScanContext& ctx) {
  if (std::string(stage) != "qr") return;
  qrFinders.assign(ctx.qrFinders.items.get(), ctx.qrFinders.items.get() + ctx.qrFinders.count);
}

TEST(ScanEngine, QrFinderPointsReachThePostStage) {
  zint_symbol* symbol = ZBarcode_Create();
  symbol->symbology = BARCODE_QRCODE;
  const std::string data = "https://example.com/label/0042";
  ASSERT_LT(ZBarcode_Encode(symbol, reinterpret_cast<const unsigned char*>(data.data()),
                            static_cast<int>(data.size())),
            ZINT_ERROR);
  const int n = symbol->width, m = 6, origin = 40;
  Page page(2 * origin + n * m, 2 * origin + n * m);
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c)
      if (symbol->encoded_data[r][c / 8] >> (c % 8) & 1)
        for (int y = 0; y < m; ++y)
          for (int x = 0; x < m; ++x) page.at(origin + c * m + x, origin + r * m + y) = 0;
  ZBarcode_Delete(symbol);
  Scanner scanner(page);
  barcode::ScanOptions o{};
  o.qrCode = 1;
  o.types[barcode::kQrCode] = 1;
  qrFinders.clear();
  barcode::test_hooks::ObserveStages(KeepQrFinders);
  const int32_t code = barcode::ScanSymbols(&scanner.image, 1, &scanner.list, &o);
  barcode::test_hooks::ObserveStages(nullptr);
  ASSERT_EQ(code, 0);
  const double near = origin + 3.5 * m, far = origin + (n - 3.5) * m;
  const double centres[3][2] = {{near, near}, {far, near}, {near, far}};
  // Data modules rarely pass the column and squareness checks as well.
  ASSERT_GE(qrFinders.size(), 3u);
  ASSERT_LE(qrFinders.size(), 4u);
  for (const auto& centre : centres) {
    int close = 0;
    for (const barcode::FinderPoint& p : qrFinders)
      close += std::hypot(p.x + 0.5 - centre[0], p.y + 0.5 - centre[1]) <= 0.5 && p.size == 3 * m;
    EXPECT_EQ(close, 1) << centre[0] << "," << centre[1];
  }
}

}  // namespace
