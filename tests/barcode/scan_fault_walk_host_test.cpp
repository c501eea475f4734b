// Every allocation of a scan fails in turn, on a page of each symbology: the
// engine ends with its memory code and names the failure in the error trail,
// the location front-end ends with 3 or 7 and keeps nothing, and a scan that
// gets through reads exactly what a clean scan reads. Under AddressSanitizer
// the same walks show that no failure path leaks.
#include <gtest/gtest.h>
#include <zint.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "barcode/alloc.h"
#include "barcode/error_trail.h"
#include "barcode/scan.h"
#include "crop/locate_barcodes.h"
#include "crop/work_images.h"
#include "support/barcode_fixtures.h"

namespace {

using fixtures::Page;

struct Read {
  uint32_t type;
  std::string text;
  bool operator==(const Read& o) const { return type == o.type && text == o.text; }
};

Page LinearPage(int zint, const std::string& data, bool gs1 = false) {
  const std::vector<uint8_t> modules = fixtures::EncodeLinear(zint, data, gs1);
  Page page(static_cast<int>(modules.size() + 20) * 2 + 40, 120);
  if (!modules.empty()) fixtures::DrawLinear(&page, modules, {page.width / 2.0, 60, 2, 70, 0});
  return page;
}

Page MatrixPage(int zint, const std::string& data, fixtures::MatrixOptions options = {}) {
  const fixtures::Matrix m = fixtures::EncodeMatrix(zint, data, options);
  const int side = (m.rows + 12) * 4;
  Page page(side, side);
  if (m.rows > 0) fixtures::DrawMatrix(&page, m, side / 2.0, side / 2.0, 4, 0);
  return page;
}

Page Pdf417Page() {
  const auto rows = fixtures::EncodePdf417("WALK PDF417 0123", 3, 2);
  Page page(rows.empty() ? 1 : static_cast<int>(rows[0].size()) * 2 + 60,
            static_cast<int>(rows.size()) * 6 + 60);
  if (!rows.empty())
    fixtures::DrawModules(&page, rows, page.width / 2.0, page.height / 2.0, 2, 6, 0);
  return page;
}

Page MaxiCodePage() {
  const Page symbol = fixtures::DrawMaxiCode("MAXI WALK", 4, 1.0f);
  Page page(symbol.width + 60, symbol.height + 60);
  if (symbol.width > 0) fixtures::Paste(&page, symbol, page.width / 2.0, page.height / 2.0, 0);
  return page;
}

// Three symbols of three groups side by side: a scan cut short keeps the
// reads it had, in order.
Page MixedPage() {
  Page page(760, 260);
  const std::vector<uint8_t> modules = fixtures::EncodeLinear(BARCODE_CODE128, "MIXED");
  fixtures::DrawLinear(&page, modules, {130, 130, 2, 70, 0});
  const fixtures::Matrix qr = fixtures::EncodeMatrix(BARCODE_QRCODE, "MIXED QR");
  fixtures::DrawMatrix(&page, qr, 400, 130, 4, 0);
  const fixtures::Matrix dm = fixtures::EncodeMatrix(BARCODE_DATAMATRIX, "MIXED DM");
  fixtures::DrawMatrix(&page, dm, 620, 130, 4, 0);
  return page;
}

struct Case {
  const char* what;
  Page page;
  uint32_t type;         // what a clean scan reads; kUnknown: three of several types
  bool mustRead = true;  // Han Xin: finding and framing are walked either way
};

std::vector<Case> Cases() {
  return {
      {"Code 39", LinearPage(BARCODE_CODE39, "WALK-39"), barcode::kCode39},
      {"ITF", LinearPage(BARCODE_C25INTER, "12345678"), barcode::kItf},
      {"Code 128", LinearPage(BARCODE_CODE128, "Walk 128"), barcode::kCode128},
      {"GS1-128", LinearPage(BARCODE_GS1_128, "[01]09501101530003", true), barcode::kGs1_128},
      {"Codabar", LinearPage(BARCODE_CODABAR, "A40156B"), barcode::kCodabar},
      {"UPC-A", LinearPage(BARCODE_UPCA, "01234567890"), barcode::kUpcA},
      {"UPC-E", LinearPage(BARCODE_UPCE, "0123456"), barcode::kUpcE},
      {"EAN-8", LinearPage(BARCODE_EANX, "9638507"), barcode::kEan8},
      {"EAN-13", LinearPage(BARCODE_EANX, "950110153000"), barcode::kEan13},
      {"Code 93", LinearPage(BARCODE_CODE93, "WALK 93"), barcode::kCode93},
      {"QR Code", MatrixPage(BARCODE_QRCODE, "WALK QR 0123"), barcode::kQrCode},
      {"Data Matrix", MatrixPage(BARCODE_DATAMATRIX, "WALK DM"), barcode::kDataMatrix},
      {"Han Xin", MatrixPage(BARCODE_HANXIN, "WALK HX", {2, 3}), barcode::kHxCode, false},
      {"PDF417", Pdf417Page(), barcode::kPdf417},
      {"MaxiCode", MaxiCodePage(), barcode::kMaxiCodeLocated},
      {"Code 128, QR Code and Data Matrix", MixedPage(), barcode::kUnknown},
  };
}

barcode::ScanOptions EveryGroup() {
  barcode::ScanOptions o{};
  o.linear = o.qrCode = o.dataMatrix = o.hanXin = o.pdf417 = o.bullseye = 1;
  for (int t = 0; t <= int{barcode::kMaxiCodeLocated}; ++t) o.types[t] = 1;
  return o;
}

struct Outcome {
  int32_t code;
  std::vector<Read> reads;
};

Outcome Scan(const Page& page) {
  std::unique_ptr<barcode::SymbolResult[]> items(new barcode::SymbolResult[barcode::kMaxResults]());
  barcode::SymbolResultList list{0, items.get()};
  std::vector<uint8_t> bits = fixtures::Binarize(page);
  barcode::BinaryImage image{
      uint32_t(page.width), uint32_t(page.width), uint32_t(page.height), 1, 8, bits.data()};
  barcode::ScanOptions options = EveryGroup();
  Outcome out{barcode::ScanSymbols(&image, 1, &list, &options), {}};
  for (int i = 0; i < list.count; ++i) out.reads.push_back({items[i].type, items[i].text});
  return out;
}

Outcome Locate(const Page& page) {
  const crop::SourceImage image{
      page.grey.data(), uint32_t(page.width), uint32_t(page.width), uint32_t(page.height), 6, 1};
  crop::LocateOptions options{};
  options.regionWidth = page.width;
  options.regionHeight = page.height;
  for (int t = 0; t <= int{barcode::kMaxiCodeLocated}; ++t) options.types[t] = 1;
  options.resolution = 300;
  options.maxResults = 100;
  barcode::SymbolResultList results{0, nullptr};
  Outcome out{crop::LocateBarcodes(&image, &options, &results), {}};
  if (out.code != 0) {
    EXPECT_EQ(results.items, nullptr) << "results kept after code " << out.code;
  }
  for (int i = 0; i < results.count && results.items != nullptr; ++i)
    out.reads.push_back({results.items[i].type, results.items[i].text});
  crop::FreeLocateResults(&results);
  return out;
}

::testing::AssertionResult TrailNamesMemory() {
  const barcode::ErrorTrail& trail = barcode::GetErrorTrail();
  std::string slots;
  for (uint32_t i = 0; i < trail.count; ++i) {
    if (-trail.slots[i] / barcode::kCategoryMemory == 1) return ::testing::AssertionSuccess();
    slots += " " + std::to_string(trail.slots[i]);
  }
  return ::testing::AssertionFailure() << "no memory failure in the trail:" << slots;
}

// Runs `run` with allocation n failing for n = 0, 1, ... until a run asks for
// no more than n allocations; `check` judges each failed run against the
// clean one. Returns the number of allocations of the clean run.
template <class Run, class Check>
long long Walk(const Case& c, Run run, Check check) {
  crop::ReleaseWorkImages();  // kept work buffers would hide their allocations
  barcode::test_hooks::FailAllocationAfter(-1);
  const Outcome clean = run(c.page);
  const long long total = barcode::test_hooks::AllocationsSincePlan();
  EXPECT_EQ(clean.code, 0) << c.what;
  EXPECT_TRUE(!c.mustRead || !clean.reads.empty()) << c.what << ": the clean scan reads nothing";
  if (c.type == barcode::kUnknown) {
    EXPECT_EQ(clean.reads.size(), 3u) << c.what;
  } else {
    for (const Read& r : clean.reads) EXPECT_EQ(r.type, c.type) << c.what << " read " << r.text;
  }
  for (long long n = 0; n < total; ++n) {
    crop::ReleaseWorkImages();
    barcode::ClearErrorTrail();
    barcode::test_hooks::FailAllocationAfter(static_cast<int>(n));
    const Outcome failed = run(c.page);
    barcode::test_hooks::FailAllocationAfter(-1);
    SCOPED_TRACE(std::string(c.what) + ", allocation " + std::to_string(n));
    if (failed.code == 0) {
      EXPECT_EQ(failed.reads, clean.reads);
    } else {
      check(failed);
      EXPECT_LE(failed.reads.size(), clean.reads.size());
      for (size_t i = 0; i < failed.reads.size() && i < clean.reads.size(); ++i) {
        EXPECT_EQ(failed.reads[i], clean.reads[i]);
      }
    }
    if (testing::Test::HasFailure()) break;
  }
  crop::ReleaseWorkImages();
  testing::Test::RecordProperty(c.what, static_cast<int>(total));
  return total;
}

TEST(ScanFaultWalk, EveryAllocationOfTheEngineOnEverySymbology) {
  for (const Case& c : Cases()) {
    const long long total = Walk(c, Scan, [](const Outcome& failed) {
      // Memory ends the scan with 1 and is named in the trail; a reader
      // output that cannot be had ends the stage with 2.
      EXPECT_TRUE(failed.code == 1 || failed.code == 2) << "code " << failed.code;
      if (failed.code == 1) {
        EXPECT_TRUE(TrailNamesMemory());
      }
    });
    EXPECT_GT(total, 0) << c.what;
    if (testing::Test::HasFailure()) return;
  }
}

TEST(ScanFaultWalk, EveryAllocationOfTheFrontEndOnEverySymbology) {
  for (const Case& c : Cases()) {
    Walk(c, Locate, [](const Outcome& failed) {
      // Its own buffers give 3, a failed library stage 7; nothing is kept.
      EXPECT_TRUE(failed.code == crop::kLocateNoMemory || failed.code == crop::kLocateStepFailed)
          << failed.code;
      EXPECT_TRUE(failed.reads.empty());
    });
    if (testing::Test::HasFailure()) return;
  }
}

}  // namespace
