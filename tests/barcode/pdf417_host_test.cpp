// PDF417 symbols drawn from zint's modules onto pages and read by the scan
// engine; zxing-cpp reads the same pages as the reference.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

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

std::string Bytes(int n, int seed) {
  std::string s;
  fixtures::Rng rng(seed);
  for (int i = 0; i < n; ++i) s.push_back(static_cast<char>(rng.Uniform(0, 255)));
  return s;
}

TEST(Pdf417Fixtures, Smoke) {
  auto rows = fixtures::EncodePdf417("Hello PDF417 world", 3, 2);
  ASSERT_FALSE(rows.empty());
  Page page(800, 400);
  fixtures::DrawModules(&page, rows, 400, 200, 3, 9, 0);
  Read r = ScanPdf417(page);
  ASSERT_EQ(r.code, 0);
  ASSERT_EQ(r.results.size(), 1u);
  EXPECT_STREQ(r.results[0].text, "Hello PDF417 world");
}

}  // namespace
