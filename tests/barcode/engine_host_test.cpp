// Engine and reader edge cases on zint-drawn symbols.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>
#include <zint.h>

#include <cmath>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "barcode/group_stages.h"
#include "barcode/linear_readers.h"
#include "barcode/scan.h"
#include "linear_scan.h"
#include "support/barcode_fixtures.h"

namespace {

using fixtures::Page;

using barcode_test::Scanner;

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

// The filter works 64 columns at a time; moved right by 0 to 64 columns, a
// noisy patch (both colours, runs crossing every word boundary) comes out
// moved by as much and otherwise the same.
TEST(ThinRunFilter, SameAtEveryColumnOffset) {
  const int w = 150, h = 30, margin = 12, wide = w + 64 + 2 * margin;
  fixtures::Rng rng(11);
  std::vector<uint8_t> patch(size_t{w} * h);
  for (uint8_t& p : patch) p = rng.Uniform(0, 99) < 55 ? 1 : 0;
  for (int colour : {0, 1}) {
    std::vector<uint8_t> first;
    for (int shift = 0; shift <= 64; ++shift) {
      std::vector<uint8_t> page(size_t{wide} * h, static_cast<uint8_t>(1 - colour));
      for (int y = 0; y < h; ++y)
        std::copy_n(&patch[size_t{w} * y], w, &page[size_t{wide} * y + margin + shift]);
      barcode::BinaryImage image{wide, wide, h, 1, 8, page.data()};
      ASSERT_EQ(barcode::ThinRunFilter(&image, colour), 0);
      std::vector<uint8_t> out;
      for (int y = 0; y < h; ++y)
        out.insert(out.end(), &page[size_t{wide} * y + margin + shift],
                   &page[size_t{wide} * y + margin + shift + w]);
      if (shift == 0) {
        first = out;
        EXPECT_NE(out, patch) << "nothing flipped";
      }
      ASSERT_EQ(out, first) << "colour " << colour << ", moved by " << shift;
    }
  }
}

// The QR group's row stage hands the post stage exactly one finder point per
// finder pattern, at its centre, sized by its dark centre.
std::vector<barcode::FinderPoint> qrFinders;
void KeepQrFinders(const char* stage, const barcode::ScanContext& ctx) {
  if (std::string(stage) != "qr") return;
  qrFinders.assign(ctx.qrFinders.items.get(), ctx.qrFinders.items.get() + ctx.qrFinders.count);
}

TEST(ScanEngine, QrFinderPointsReachThePostStage) {
  const fixtures::Matrix m =
      fixtures::EncodeMatrix(BARCODE_QRCODE, "https://example.com/label/0042");
  const int n = m.rows, module = 6, origin = 40;
  Page page(2 * origin + n * module, 2 * origin + n * module);
  fixtures::DrawMatrix(&page, m, page.width / 2.0, page.height / 2.0, module, 0);
  Scanner scanner(page);
  qrFinders.clear();
  barcode::test_hooks::ObserveStages(KeepQrFinders);
  const int32_t code = scanner.Scan(
      1, nullptr, barcode_test::GroupOptions(&barcode::ScanOptions::qrCode, {barcode::kQrCode}));
  barcode::test_hooks::ObserveStages(nullptr);
  ASSERT_EQ(code, 0);
  const double near = origin + 3.5 * module, far = origin + (n - 3.5) * module;
  const double centres[3][2] = {{near, near}, {far, near}, {near, far}};
  // Data modules rarely pass the column and squareness checks as well (a
  // track that gave a point is looked at again below it).
  ASSERT_GE(qrFinders.size(), 3u);
  ASSERT_LE(qrFinders.size(), 5u);
  for (const auto& centre : centres) {
    int close = 0;
    for (const barcode::FinderPoint& p : qrFinders)
      close +=
          std::hypot(p.x + 0.5 - centre[0], p.y + 0.5 - centre[1]) <= 0.5 && p.size == 3 * module;
    EXPECT_EQ(close, 1) << centre[0] << "," << centre[1];
  }
}

// Memory between two inaccessible pages: touching a byte before or after it
// faults.
class Fenced {
 public:
  explicit Fenced(size_t size) : size_(size) {
    base_ = static_cast<uint8_t*>(
        mmap(nullptr, size + 2 * kPage, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    mprotect(base_ + kPage, size, PROT_READ | PROT_WRITE);
  }
  ~Fenced() { munmap(base_, size_ + 2 * kPage); }
  uint8_t* data() { return base_ + kPage; }
  static inline const size_t kPage = static_cast<size_t>(sysconf(_SC_PAGESIZE));

 private:
  size_t size_;
  uint8_t* base_;
};

// The image is a window into a larger page (rows above and below, stride
// columns either side), with symbols touching or crossing each edge: the
// scan and the pre-pass give exactly what they give on the window copied
// alone between fences, and leave the page around the window as it was.
TEST(ScanEngine, PixelsAroundTheImageNeitherReadNorWritten) {
  const uint32_t w = 512, h = 360, m = 3, stride = w + 2 * m;
  ASSERT_EQ(size_t{w} * h % Fenced::kPage, 0u);
  Page page(stride, h + 2 * m);
  fixtures::Rng rng(5);
  fixtures::AddNoise(&page, &rng, 131);
  const std::vector<uint8_t> c39 = fixtures::EncodeLinear(BARCODE_CODE39, "LEFT");
  fixtures::DrawLinear(&page, c39, {m + c39.size() + 2.0, m + 200.0, 2, 60, 0}, 1);
  fixtures::DrawLinear(&page, fixtures::EncodeLinear(BARCODE_CODE128, "TOP"),
                       {m + 150.0, m + 25.0, 2, 60, 0}, 4);
  fixtures::DrawLinear(&page, fixtures::EncodeLinear(BARCODE_EANX, "9638507"),
                       {m + 200.0, m + 334.0, 2, 64, 180}, 4);
  fixtures::DrawMatrix(&page, fixtures::EncodeMatrix(BARCODE_QRCODE, "RIGHT"), m + 466.0, m + 150.0,
                       4, 0, 2);
  fixtures::DrawMatrix(&page, fixtures::EncodeMatrix(BARCODE_DATAMATRIX, "CORNER"), m + 472.0,
                       m + 320.0, 5, 0, 1);
  barcode::ScanOptions all{};
  all.linear = all.qrCode = all.dataMatrix = all.hanXin = all.pdf417 = all.bullseye = 1;
  for (int t = 0; t < 16; ++t) all.types[t] = 1;
  const std::vector<uint8_t> bits = fixtures::Binarize(page);
  for (int pass = 0; pass < 3; ++pass) {  // the scan, then the pre-pass for each colour
    SCOPED_TRACE(pass);
    std::vector<uint8_t> framed = bits;
    Fenced fenced(size_t{w} * h);
    uint8_t* alone = fenced.data();
    for (uint32_t y = 0; y < h; ++y) std::copy_n(&bits[(y + m) * stride + m], w, &alone[y * w]);
    barcode::BinaryImage a{w, w, h, 1, 8, alone};
    barcode::BinaryImage f{w, stride, h, 1, 8, &framed[m * stride + m]};
    Scanner sa(page), sf(page);
    if (pass == 0) {
      ASSERT_EQ(barcode::ScanSymbols(&a, 1, &sa.list, &all), 0);
      ASSERT_EQ(barcode::ScanSymbols(&f, 1, &sf.list, &all), 0);
      EXPECT_EQ(sa.list.count, 5);
    } else {
      ASSERT_EQ(barcode::ThinRunFilter(&a, pass - 1), 0);
      ASSERT_EQ(barcode::ThinRunFilter(&f, pass - 1), 0);
    }
    ASSERT_EQ(sa.list.count, sf.list.count);
    for (int i = 0; i < sa.list.count; ++i) {
      const barcode::SymbolResult &p = sa.items[i], &q = sf.items[i];
      EXPECT_STREQ(p.text, q.text);
      EXPECT_EQ(std::tie(p.type, p.centreX, p.centreY, p.width, p.height, p.angle, p.moduleSize),
                std::tie(q.type, q.centreX, q.centreY, q.width, q.height, q.angle, q.moduleSize));
    }
    for (uint32_t y = 0; y < h + 2 * m; ++y)
      for (uint32_t x = 0; x < stride; ++x) {
        const bool inside = y >= m && y < h + m && x >= m && x < w + m;
        const uint8_t want = inside ? alone[(y - m) * w + x - m] : bits[y * stride + x];
        ASSERT_EQ(framed[y * stride + x], want) << x - m << "," << y - m;
      }
  }
}

}  // namespace
