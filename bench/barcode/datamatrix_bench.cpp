// Reading the two Data Matrix symbols of a 4x6-inch 300-dpi label among its
// text: the location front-end with Data Matrix wanted (every turn it makes
// for that group), against zxing-cpp's ReadBarcodes restricted to Data Matrix
// with rotation tried, on the same image in the same run.
#include <ZXing/ReadBarcode.h>
#include <benchmark/benchmark.h>
#include <zint.h>

#include <set>
#include <string>

#include "../heap_modes.h"
#include "crop/locate_barcodes.h"
#include "locate_every_type.h"
#include "support/barcode_fixtures.h"

namespace {

const char* const kTexts[] = {"SHIP-TO 4711 OSLO NO-0150 PKG 1/2", "LOT 2026-12-07 QTY 0040"};

fixtures::Page LabelPage() {
  fixtures::Page page(1200, 1800);
  fixtures::Rng rng(11);
  fixtures::DrawClutter(&page, &rng, 16, 4);
  const double at[2][3] = {{300, 500, 0}, {850, 1300, 90}};
  for (int i = 0; i < 2; ++i) {
    for (int y = static_cast<int>(at[i][1]) - 140; y < at[i][1] + 140; ++y)
      for (int x = static_cast<int>(at[i][0]) - 140; x < at[i][0] + 140; ++x) page.at(x, y) = 255;
    const fixtures::Matrix grid = fixtures::EncodeMatrix(BARCODE_DATAMATRIX, kTexts[i]);
    fixtures::DrawMatrix(&page, grid, at[i][0], at[i][1], 6, at[i][2]);
  }
  return page;
}

int CountFound(const std::set<std::string>& texts) {
  int found = 0;
  for (const char* t : kTexts) found += texts.count(t) ? 1 : 0;
  return found;
}

void BM_LocateDataMatrix(benchmark::State& state) {
  bench_heap::FixHeap(bench_heap::kWarm);
  const fixtures::Page page = LabelPage();
  crop::LocateOptions o{};
  o.regionWidth = page.width;
  o.regionHeight = page.height;
  o.types[barcode::kDataMatrix] = 1;
  o.resolution = 300;
  o.maxResults = 100;
  const crop::SourceImage image{page.grey.data(), 1200, 1200, 1800, crop::kFormatGrey8, 1};
  const std::set<std::string> texts = LocateTexts(state, image, o);
  state.counters["found"] = CountFound(texts);
}

void BM_ZxingDataMatrix(benchmark::State& state) {
  bench_heap::FixHeap(bench_heap::kWarm);
  const fixtures::Page page = LabelPage();
  ZXing::DecodeHints hints;
  hints.setFormats(ZXing::BarcodeFormat::DataMatrix);
  hints.setTryRotate(true);
  const ZXing::ImageView view(page.grey.data(), page.width, page.height, ZXing::ImageFormat::Lum);
  std::set<std::string> texts;
  for (auto _ : state) {
    texts.clear();
    for (const ZXing::Result& r : ZXing::ReadBarcodes(view, hints)) {
      if (r.isValid()) texts.insert(r.text());
    }
  }
  state.counters["found"] = CountFound(texts);
}

BENCHMARK(BM_LocateDataMatrix)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZxingDataMatrix)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
