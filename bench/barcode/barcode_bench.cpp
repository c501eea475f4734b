// Finding the linear barcodes of a 4x6-inch shipping label at 300 and 203 dpi:
// the location front-end as crop print calls it (linear types, rotation mode
// 0, no extra pass) against zxing-cpp's ReadBarcodes with the same formats and
// rotation tried, on the same images; and the scan engine alone in rows per
// second.
#include <ZXing/ReadBarcode.h>
#include <benchmark/benchmark.h>
#include <zint.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "../heap_modes.h"
#include "barcode/scan.h"
#include "crop/locate_barcodes.h"
#include "locate_every_type.h"
#include "support/barcode_fixtures.h"

namespace {

struct Symbol {
  int symbology;
  const char* data;
  const char* text;  // as read
};
const Symbol kSymbols[] = {
    {BARCODE_CODE128, "SHIP-0012345678", "SHIP-0012345678"},
    {BARCODE_CODE39, "LABEL-39", "LABEL-39"},
    {BARCODE_EANX, "950110153000", "9501101530003"},
    {BARCODE_C25INTER, "1234567890", "1234567890"},
};

// The label: text lines and boxes, then the four barcodes in bands down the
// page, the third turned a quarter so that a turned pass must find it.
fixtures::Page LabelPage(int dpi, bool withBarcodes = true) {
  const int width = dpi == 300 ? 1200 : 812;
  const int height = dpi == 300 ? 1800 : 1218;
  const int module = dpi == 300 ? 3 : 2;
  fixtures::Page page(width, height);
  fixtures::Rng rng(42);
  fixtures::DrawClutter(&page, &rng, 14, 4);
  for (int i = 0; i < (withBarcodes ? 4 : 0); ++i) {
    const std::vector<std::uint8_t> modules =
        fixtures::EncodeLinear(kSymbols[i].symbology, kSymbols[i].data);
    const double angle = i == 2 ? 90 : 0;
    fixtures::DrawLinear(&page, modules,
                         {width / 2.0, height * (0.14 + 0.23 * i), module, height / 14, angle});
  }
  return page;
}

int CountFound(const std::set<std::string>& texts) {
  int found = 0;
  for (const Symbol& s : kSymbols) found += texts.count(s.text) ? 1 : 0;
  return found;
}

crop::LocateOptions CropOptions(const fixtures::Page& page, int dpi) {
  crop::LocateOptions o{};
  o.regionWidth = page.width;
  o.regionHeight = page.height;
  for (int t : {0, 1, 2, 3, 4, 5, 6, 7, 8, 13}) o.types[t] = 1;  // the linear types
  o.resolution = static_cast<std::uint32_t>(dpi);
  o.rotationMode = 0;
  o.extraPasses = 0;
  o.maxResults = 100;
  return o;
}

crop::SourceImage GreyImage(const fixtures::Page& page) {
  const auto w = static_cast<std::uint32_t>(page.width),
             h = static_cast<std::uint32_t>(page.height);
  return {page.grey.data(), w, w, h, crop::kFormatGrey8, 1};
}

// Each page benchmark runs on both heaps (second argument). zxing-cpp keeps
// no page-sized image; our front-end keeps its work images from one call to
// the next, so on fresh pages only its first call pays for them (what that
// costs a call without the keep: BM_WorkImagesAlone).
void SetHeap(benchmark::State& state) {
  const auto heap = static_cast<bench_heap::Heap>(state.range(1));
  bench_heap::FixHeap(heap);
  state.SetLabel(bench_heap::HeapName(heap));
}

void BM_LocateBarcodes(benchmark::State& state) {
  const int dpi = static_cast<int>(state.range(0));
  SetHeap(state);
  const fixtures::Page page = LabelPage(dpi);
  const crop::SourceImage image = GreyImage(page);
  const std::set<std::string> texts = LocateTexts(state, image, CropOptions(page, dpi));
  state.counters["found"] = CountFound(texts);
  state.counters["reads"] = static_cast<double>(texts.size());
}

// zxing-cpp 1.4 as packaged asserts when one call reads more than one linear
// symbol, so the peer reads the page as four horizontal bands holding one
// barcode each, a call per band that stops at its first symbol: no more work
// than one call over the whole page would do.
void BM_ZxingReadBarcodes(benchmark::State& state) {
  const int dpi = static_cast<int>(state.range(0));
  SetHeap(state);
  const fixtures::Page page = LabelPage(dpi);
  ZXing::DecodeHints hints;
  hints.setFormats(ZXing::BarcodeFormat::LinearCodes);
  hints.setTryRotate(true);
  hints.setMaxNumberOfSymbols(1);
  const int band = page.height / 4;
  std::set<std::string> texts;
  for (auto _ : state) {
    texts.clear();
    for (int i = 0; i < 4; ++i) {
      const ZXing::ImageView view(
          page.grey.data() + static_cast<std::size_t>(band) * i * page.width, page.width, band,
          ZXing::ImageFormat::Lum);
      for (const ZXing::Result& r : ZXing::ReadBarcodes(view, hints)) {
        if (r.isValid()) texts.insert(r.text());
      }
    }
  }
  state.counters["found"] = CountFound(texts);
  state.counters["reads"] = static_cast<double>(texts.size());
}

// Both readers over the same label without its barcodes: every row and turn
// they would try, with nothing to stop them early. This is the fair measure of
// a whole-page read for zxing-cpp, whose banded read above stops at the first
// symbol of each band.
void BM_LocateBarcodesNothingToFind(benchmark::State& state) {
  const int dpi = static_cast<int>(state.range(0));
  SetHeap(state);
  const fixtures::Page page = LabelPage(dpi, false);
  const crop::SourceImage image = GreyImage(page);
  const crop::LocateOptions options = CropOptions(page, dpi);
  int reads = 0;
  for (auto _ : state) {
    barcode::SymbolResultList results{0, nullptr};
    crop::LocateBarcodes(&image, &options, &results);
    reads = results.count;
    crop::FreeLocateResults(&results);
  }
  state.counters["reads"] = reads;
}

void BM_ZxingNothingToFind(benchmark::State& state) {
  const int dpi = static_cast<int>(state.range(0));
  SetHeap(state);
  const fixtures::Page page = LabelPage(dpi, false);
  ZXing::DecodeHints hints;
  hints.setFormats(ZXing::BarcodeFormat::LinearCodes);
  hints.setTryRotate(true);
  const ZXing::ImageView view(page.grey.data(), page.width, page.height, ZXing::ImageFormat::Lum);
  std::size_t reads = 0;
  for (auto _ : state) reads = ZXing::ReadBarcodes(view, hints).size();
  state.counters["reads"] = static_cast<double>(reads);
}

// The engine on the binarised 300-dpi page, every row. Found symbols are
// erased from the image, so each pass scans a fresh copy.
void BM_ScanSymbols(benchmark::State& state) {
  const fixtures::Page page = LabelPage(300);
  const std::vector<std::uint8_t> binary = fixtures::Binarize(page);
  std::vector<std::uint8_t> work(binary.size());
  std::unique_ptr<barcode::SymbolResult[]> items(new barcode::SymbolResult[barcode::kMaxResults]());
  barcode::ScanOptions options{};
  options.linear = 1;
  for (int t : {0, 1, 2, 3, 4, 5, 6, 7, 8, 13}) options.types[t] = 1;
  int found = 0;
  for (auto _ : state) {
    state.PauseTiming();
    work = binary;
    state.ResumeTiming();
    barcode::BinaryImage image{static_cast<std::uint32_t>(page.width),
                               static_cast<std::uint32_t>(page.width),
                               static_cast<std::uint32_t>(page.height),
                               1,
                               8,
                               work.data()};
    barcode::SymbolResultList results{0, items.get()};
    barcode::ScanSymbols(&image, 1, &results, &options);
    found = results.count;
  }
  state.counters["rows_per_second"] = benchmark::Counter(
      static_cast<double>(page.height), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["reads"] = found;
}

// What the location front-end's two page-sized work images (the binary
// image and its turned copy) would cost every call if they were not kept:
// allocated, written in full and freed. On fresh pages this is the price of
// the page faults, which depends on the machine far more than the scan does.
void BM_WorkImagesAlone(benchmark::State& state) {
  const int dpi = static_cast<int>(state.range(0));
  SetHeap(state);
  const std::size_t size = dpi == 300 ? std::size_t{1200} * 1800 : std::size_t{812} * 1218;
  for (auto _ : state) {
    for (int image = 0; image < 2; ++image) {
      std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[size]);
      std::memset(bytes.get(), image + 1, size);
      benchmark::DoNotOptimize(bytes.get());
    }
  }
  const double pages = 2.0 * double((size + 4095) / 4096);
  state.counters["pages"] = pages;
  state.counters["us_per_page"] = benchmark::Counter(
      pages * 1e-6, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// A 300-dpi label with a PDF417 and a MaxiCode among text: the front-end with
// PDF417 (both types) and MaxiCode wanted, against zxing-cpp reading PDF417
// and MaxiCode (it decodes the MaxiCode; we only locate it).
const char kPdfText[] = "SHIP TO: 4711 MAIN ST, SPRINGFIELD 12345-6789 / ORDER 0012345678";

fixtures::Page TwoDimensionalPage() {
  fixtures::Page page(1200, 1800);
  fixtures::Rng rng(7);
  fixtures::DrawClutter(&page, &rng, 14, 3);
  const auto rows = fixtures::EncodePdf417(kPdfText, 6, 4);
  fixtures::DrawModules(&page, rows, 600, 500, 3, 9, 0, 4);
  const fixtures::Page maxi = fixtures::DrawMaxiCode("MAXICODE 0012345678", 4, 1.0f);
  fixtures::Paste(&page, maxi, 600, 1250, 0);
  return page;
}

void BM_LocatePdf417MaxiCode(benchmark::State& state) {
  const fixtures::Page page = TwoDimensionalPage();
  const crop::SourceImage image = GreyImage(page);
  crop::LocateOptions options = CropOptions(page, 300);
  std::memset(options.types, 0, sizeof(options.types));
  options.types[11] = options.types[12] = options.types[15] = 1;
  int pdf = 0, maxi = 0;
  for (auto _ : state) {
    barcode::SymbolResultList results{0, nullptr};
    if (crop::LocateBarcodes(&image, &options, &results) != crop::kLocateOk) {
      state.SkipWithError("LocateBarcodes failed");
      break;
    }
    pdf = maxi = 0;
    for (int i = 0; i < results.count; ++i) {
      pdf += results.items[i].type == 11 && std::strcmp(results.items[i].text, kPdfText) == 0;
      maxi += results.items[i].type == 15;
    }
    crop::FreeLocateResults(&results);
  }
  state.counters["pdf417"] = pdf;
  state.counters["maxicode"] = maxi;
}

void BM_ZxingPdf417MaxiCode(benchmark::State& state) {
  const fixtures::Page page = TwoDimensionalPage();
  ZXing::DecodeHints hints;
  hints.setFormats(ZXing::BarcodeFormat::PDF417 | ZXing::BarcodeFormat::MaxiCode);
  hints.setTryRotate(true);
  int pdf = 0, maxi = 0;
  for (auto _ : state) {
    const ZXing::ImageView view(page.grey.data(), page.width, page.height, ZXing::ImageFormat::Lum);
    pdf = maxi = 0;
    for (const ZXing::Result& r : ZXing::ReadBarcodes(view, hints)) {
      if (!r.isValid()) continue;
      pdf += r.format() == ZXing::BarcodeFormat::PDF417 && r.text() == kPdfText;
      maxi += r.format() == ZXing::BarcodeFormat::MaxiCode;
    }
  }
  state.counters["pdf417"] = pdf;
  state.counters["maxicode"] = maxi;
}

#define PAGE_BENCHMARK(name)                                               \
  BENCHMARK(name)                                                          \
      ->ArgsProduct({{300, 203}, {bench_heap::kWarm, bench_heap::kFresh}}) \
      ->Unit(benchmark::kMillisecond)
PAGE_BENCHMARK(BM_LocateBarcodes);
PAGE_BENCHMARK(BM_ZxingReadBarcodes);
PAGE_BENCHMARK(BM_LocateBarcodesNothingToFind);
PAGE_BENCHMARK(BM_ZxingNothingToFind);
PAGE_BENCHMARK(BM_WorkImagesAlone);
BENCHMARK(BM_ScanSymbols)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LocatePdf417MaxiCode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZxingPdf417MaxiCode)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
