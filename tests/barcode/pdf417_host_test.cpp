// PDF417 symbols drawn from zint's modules onto pages and read by the scan
// engine; zxing-cpp reads the same pages as the reference.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "barcode/pdf417.h"
#include "barcode/scan.h"
#include "support/barcode_fixtures.h"

namespace {

using fixtures::Page;

struct Read {
  int32_t code = 0;
  std::vector<barcode::SymbolResult> results;
};

Read ScanPdf417(const Page& page, int step = 1) {
  std::vector<uint8_t> bits = fixtures::Binarize(page);
  barcode::BinaryImage image{uint32_t(page.width), uint32_t(page.width), uint32_t(page.height), 1,
                             8, bits.data()};
  std::unique_ptr<barcode::SymbolResult[]> items(new barcode::SymbolResult[barcode::kMaxResults]());
  barcode::SymbolResultList list{0, items.get()};
  barcode::ScanOptions o{};
  o.pdf417 = 1;
  o.types[11] = o.types[12] = 1;
  Read r;
  r.code = barcode::ScanSymbols(&image, step, &list, &o);
  r.results.assign(items.get(), items.get() + list.count);
  return r;
}

// The data kinds that pick each compaction mode.
std::string Data(int kind, int n, int seed) {
  fixtures::Rng rng(seed);
  std::string s;
  const std::string text = "Mixed Case text, with punctuation: #1 & (2) @ $3.50 / 40% {ok}\t~!";
  for (int i = 0; i < n; ++i) {
    if (kind == 0) s.push_back(text[(i + seed) % text.size()]);
    if (kind == 1) s.push_back(static_cast<char>(rng.Uniform(1, 255)));  // texts end at NUL
    if (kind == 2) s.push_back(static_cast<char>('0' + rng.Uniform(0, 9)));
  }
  return s;
}

// Columns 1-30, levels 0-8, text, byte and numeric data, modules 2-8 pixels,
// upright, upside down and a few degrees off;
// zxing-cpp reads the same page.
TEST(Pdf417Fixtures, ColumnsLevelsDataModulesAngles) {
  const double angles[] = {0, 180, 2, -3, 178};
  int cases = 0, ours = 0, theirs = 0;
  std::vector<std::string> missed;
  for (int columns = 1; columns <= 30; ++columns) {
    const int level = columns % 9, kind = columns % 3, module = 2 + columns % 7;
    const double angle = angles[columns % 5];
    const int length = kind == 1 ? columns * 8 : 10 + columns * 6;
    const std::string data = Data(kind, length, columns);
    const auto rows = fixtures::EncodePdf417(data, columns, level);
    ASSERT_FALSE(rows.empty()) << columns;
    // Stripes under 21 rows are never taken for a symbol.
    ASSERT_GE(rows.size() * module * 3, 21u) << columns;
    const double w = rows[0].size() * module, h = rows.size() * module * 3.0;
    Page page(static_cast<int>(w * 1.2 + h * 0.1 + 60), static_cast<int>(h * 1.2 + w * 0.1 + 60));
    fixtures::DrawModules(&page, rows, page.width / 2.0, page.height / 2.0, module, module * 3,
                          angle);
    ++cases;
    const Read r = ScanPdf417(page);
    EXPECT_EQ(r.code, 0);
    const bool read = r.results.size() == 1 && r.results[0].text == data &&
                      r.results[0].type == barcode::kPdf417;
    ours += read;
    if (!read)
      missed.push_back("columns " + std::to_string(columns) + " module " + std::to_string(module) +
                       " angle " + std::to_string(angle) + " found " +
                       std::to_string(r.results.size()));
    for (const auto& z : fixtures::ReadPdf417WithZxing(page)) {
      if (z.text != data) continue;
      ++theirs;
      if (!read) continue;
      // Our box holds zxing's corners, give or take a module.
      const auto& s = r.results[0];
      const double c = std::cos(s.angle * M_PI / 180), sn = std::sin(s.angle * M_PI / 180);
      const double hw = (std::fabs(s.width * c) + std::fabs(s.height * sn)) / 2 + module;
      const double hh = (std::fabs(s.width * sn) + std::fabs(s.height * c)) / 2 + module;
      EXPECT_LE(s.centreX - hw, z.left) << columns;
      EXPECT_GE(s.centreX + hw, z.right) << columns;
      EXPECT_LE(s.centreY - hh, z.top) << columns;
      EXPECT_GE(s.centreY + hh, z.bottom) << columns;
    }
  }
  for (const auto& m : missed) ADD_FAILURE() << m;
  std::printf("PDF417: %d cases, ours %d, zxing-cpp %d\n", cases, ours, theirs);
}

// A stop pattern shown only in short bands is no segment of its own: the
// start alone finds it and the symbol is flagged. Several symbols per page.
TEST(Pdf417Fixtures, DamagedStopIsFlaggedNextToWholeSymbols) {
  const std::string texts[] = {"FLAGGED 0123456789 ABCDEFGHIJ", "PAIRED A", "PAIRED B"};
  const int module = 4;
  Page page(1400, 900);
  std::vector<std::vector<std::vector<uint8_t>>> symbols;
  for (const auto& t : texts) symbols.push_back(fixtures::EncodePdf417(t, 2, 3));
  fixtures::DrawModules(&page, symbols[0], 400, 220, module, module * 3, 0);
  fixtures::DrawModules(&page, symbols[1], 1000, 220, module, module * 3, 0);
  fixtures::DrawModules(&page, symbols[2], 700, 650, module, module * 3, 180);
  // White out the first symbol's stop pattern except bands of 12 of every 40 rows.
  const int w = static_cast<int>(symbols[0][0].size()) * module;
  const int h = static_cast<int>(symbols[0].size()) * module * 3;
  const int stopLeft = 400 - w / 2 + w - 18 * module, top = 220 - h / 2;
  for (int y = top; y < top + h; ++y)
    if ((y - top) % 40 >= 12)
      for (int x = stopLeft; x < stopLeft + 18 * module; ++x) page.at(x, y) = 255;
  ASSERT_GE(h, 3 * 40);
  const Read r = ScanPdf417(page);
  ASSERT_EQ(r.code, 0);
  ASSERT_EQ(r.results.size(), 3u);
  int flagged = 0;
  for (const auto& s : r.results) {
    const std::string text = s.text;
    EXPECT_TRUE(text == texts[0] || text == texts[1] || text == texts[2]) << text;
    EXPECT_EQ(s.type, text == texts[0] ? barcode::kPdf417Flagged : barcode::kPdf417) << text;
    flagged += s.type == barcode::kPdf417Flagged;
    EXPECT_NEAR(s.moduleSize, module, 0.5);
  }
  EXPECT_EQ(flagged, 1);
}

}  // namespace

namespace {

// Row indicators that disagree: when half the lines tell another column
// count the vote keeps the right one; when all do, nothing is read. Never a
// wrong text.
TEST(Pdf417Fixtures, DisagreeingRowIndicatorsNeverGiveWrongText) {
  const std::string text = "ROW INDICATORS 0123456789";
  for (bool all : {false, true}) {
    auto rows = fixtures::EncodePdf417(text, 3, 2);
    const int columns = 3, width = static_cast<int>(rows[0].size());
    for (size_t r = 0; r < rows.size(); ++r) {
      const int cluster = static_cast<int>(r % 3);
      // Left indicators of cluster-2 rows and right ones of cluster-0 rows
      // carry the column count: say one more.
      int from = -1;
      if (cluster == 2) from = 17;
      if (cluster == 0 && all) from = width - 18 - 17;
      if (from < 0) continue;
      const int value = 30 * static_cast<int>(r / 3) + columns;
      const uint32_t bits = barcode::Pdf417Pattern(cluster, value);
      for (int k = 0; k < 17; ++k) rows[r][from + k] = (bits >> (16 - k)) & 1;
    }
    Page page(500, 400);
    fixtures::DrawModules(&page, rows, 250, 200, 3, 9, 0);
    const Read read = ScanPdf417(page);
    EXPECT_EQ(read.code, 0);
    if (all) {
      EXPECT_TRUE(read.results.empty());
    } else {
      ASSERT_EQ(read.results.size(), 1u);
      EXPECT_STREQ(read.results[0].text, text.c_str());
    }
  }
}

}  // namespace

namespace {

// Modules of 2-4 pixels a few degrees off, wide and low symbols (the rows
// slope by more than a row across them). Whole symbols, and symbols whose
// stop shows only in bands (found from the start alone, flagged): the stop
// search must drop stop-like windows off the stop line.
TEST(Pdf417Fixtures, SkewedSmallModules) {
  int cases = 0, theirs = 0;
  for (bool damaged : {false, true})
    for (int module = 2; module <= (damaged ? 4 : 3); ++module)
      for (double angle : {1.0, 2.0, -3.0, 3.0, -2.5, 178.0})
        for (int columns : {2, 9, 16}) {
          // With a damaged stop only an upright start is searched from.
          if (damaged && (angle == 178 || columns == 2))
            continue;
          const std::string data =
              Data(columns % 3, damaged ? 100 + columns * 20 : 20 + columns * 5, columns);
          auto rows = fixtures::EncodePdf417(data, columns, 2 + columns % 4);
          const int w = static_cast<int>(rows[0].size());
          for (size_t r = 0; damaged && r < rows.size(); ++r)
            if (r * module * 3 % 40 >= 12)
              for (int x = w - 18; x < w; ++x) rows[r][x] = 0;
          const double pw = w * module, h = rows.size() * module * 3.0;
          Page page(static_cast<int>(pw * 1.2 + h * 0.1 + 60),
                    static_cast<int>(h * 1.2 + pw * 0.1 + 60));
          fixtures::DrawModules(&page, rows, page.width / 2.0, page.height / 2.0, module,
                                module * 3, angle);
          ++cases;
          const Read r = ScanPdf417(page);
          const std::string what = "module " + std::to_string(module) + " angle " +
                                   std::to_string(angle) + " columns " + std::to_string(columns) +
                                   (damaged ? " damaged" : "");
          ASSERT_EQ(r.results.size(), 1u) << what;
          EXPECT_EQ(r.results[0].text, data) << what;
          EXPECT_EQ(r.results[0].type, damaged ? barcode::kPdf417Flagged : barcode::kPdf417)
              << what;
          for (const auto& z : fixtures::ReadPdf417WithZxing(page)) theirs += z.text == data;
        }
  std::printf("PDF417 skewed: %d cases, all ours, zxing-cpp %d\n", cases, theirs);
}

// Scan lines a degree or two off the rows cross from one row into the next
// within a line; each codeword must still land in its own row. The reader
// is handed a start line turned off the symbol's true slope.
TEST(Pdf417Fixtures, LinesOffTheRowsFollowTheRows) {
  const std::string data = Data(0, 120, 7);
  const auto rows = fixtures::EncodePdf417(data, 16, 4);
  const int module = 3, w = static_cast<int>(rows[0].size()) * module;
  const int h = static_cast<int>(rows.size()) * module * 3;
  Page page(w + 80, h + 80);
  fixtures::DrawModules(&page, rows, page.width / 2.0, page.height / 2.0, module, module * 3, 0);
  std::vector<uint8_t> bits = fixtures::Binarize(page);
  const barcode::BinaryImage image{uint32_t(page.width), uint32_t(page.width),
                                   uint32_t(page.height), 1, 8, bits.data()};
  const float left = 40, right = left + w - 1, top = 40, bottom = top + h - 1;
  for (double degrees : {-2.0, -1.0, 1.0, 2.0}) {
    // The line's foot moves; its length stays.
    const float shift = static_cast<float>(h * std::tan(degrees * M_PI / 180));
    const barcode::Pdf417Segment start{left, top, left + shift, bottom, 0, barcode::kPdfStartKind, 0};
    const barcode::Pdf417Segment stop{right, top, right + shift, bottom, 0, barcode::kPdfStopKind, 0};
    std::unique_ptr<barcode::ReaderOutput> out(new barcode::ReaderOutput());
    EXPECT_EQ(barcode::ReadPdf417(image, start, stop, out.get(), 1), 0) << degrees;
    EXPECT_EQ(std::string(out->text), data) << degrees;
  }
}

}  // namespace
