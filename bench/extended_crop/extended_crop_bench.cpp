// ExtendedCropSearch on 203-dpi pages onto 2-inch media (406 dots): two
// 800-dot shipping labels side by side, and five labels carrying nine
// barcodes of mixed types. Every label is shrunk; its barcodes too wide for
// their shrunk room are redrawn.
#include <benchmark/benchmark.h>
#include <zint.h>

#include <string>
#include <vector>

#include "../heap_modes.h"
#include "crop/region_analysis.h"
#include "support/barcode_fixtures.h"

namespace {

using fixtures::Page;

void Block(Page* page, int left, int top, int width, int height) {
  for (int y = top; y < top + height; ++y)
    for (int x = left; x < left + width; ++x) page->at(x, y) = 0;
}

void Frame(Page* page, int left, int top, int width, int height) {
  Block(page, left, top, width, 2);
  Block(page, left, top + height - 2, width, 2);
  Block(page, left, top, 2, height);
  Block(page, left + width - 2, top, 2, height);
}

struct Symbol {
  int symbology;
  const char* data;
};

void Label(Page* page, int left, int top, int width, int height, const std::vector<Symbol>& symbols) {
  Frame(page, left, top, width, height);
  for (int line = 0; line < 3; ++line) Block(page, left + 30, top + 30 + line * 30, 200 + 40 * line, 14);
  for (size_t i = 0; i < symbols.size(); ++i) {
    const auto modules = fixtures::EncodeLinear(symbols[i].symbology, symbols[i].data);
    fixtures::DrawLinear(page, modules,
                         {left + width / 2.0, top + 170.0 + 130.0 * double(i), 3, 90, 0}, 0);
  }
}

Page WorkedExample() {
  Page page(1700, 1040);
  for (int l = 0; l < 2; ++l) Label(&page, 20 + l * 860, 20, 800, 1000, {{BARCODE_CODE128, "SHIP-NORVAL"}});
  return page;
}

Page FiveLabels() {
  Page page(1607, 2114);
  const std::vector<Symbol> kinds[5] = {
      {{BARCODE_CODE128, "SHIP-0001-NO"}, {BARCODE_CODE39, "LT39-AB"}},
      {{BARCODE_EANX, "950110153000"}, {BARCODE_C25INTER, "12345678"}},
      {{BARCODE_CODE93, "NINE-3"}, {BARCODE_CODABAR, "A1234B"}},
      {{BARCODE_CODE128, "SHIP-0004-NO"}, {BARCODE_CODE39, "MP39-CD"}},
      {{BARCODE_EANX, "400638133393"}},
  };
  for (int l = 0; l < 5; ++l) {
    const int column = l < 3 ? 0 : 1, row = l < 3 ? l : l - 3;
    Label(&page, 20 + column * 800, 20 + row * 620, 700, 420, kinds[l]);
  }
  return page;
}

// Fails the run unless the page gives the labels and barcodes it carries;
// counts the labels with a barcode redrawn.
void Search(benchmark::State& state, const Page& page, size_t labels, size_t barcodes) {
  bench_heap::FixHeap(bench_heap::kWarm);
  const crop::SourceImage source{page.grey.data(), uint32_t(page.width), uint32_t(page.width),
                                 uint32_t(page.height), 6, 1};
  crop::LabelImageList out;
  for (auto _ : state) {
    const int32_t code = crop::ExtendedCropSearch(&source, 406, 1, &out);
    benchmark::DoNotOptimize(out.data());
    if (code != 0) state.SkipWithError(("search failed with " + std::to_string(code)).c_str());
  }
  size_t found = 0, redrawn = 0;
  for (const crop::LabelImage& l : out) found += l.barcodes.size(), redrawn += l.reRendered != 0;
  if (out.size() != labels || found != barcodes)
    state.SkipWithError(("got " + std::to_string(out.size()) + " labels, " + std::to_string(found) +
                         " barcodes")
                            .c_str());
  state.counters["redrawn labels"] = double(redrawn);
  state.SetLabel(bench_heap::HeapName(bench_heap::kWarm));
}

void BM_ExtendedCropSearchWorkedExample(benchmark::State& state) {
  static const Page page = WorkedExample();
  Search(state, page, 2, 2);
}
BENCHMARK(BM_ExtendedCropSearchWorkedExample)->Unit(benchmark::kMillisecond);

void BM_ExtendedCropSearchFiveLabels(benchmark::State& state) {
  static const Page page = FiveLabels();
  Search(state, page, 5, 9);
}
BENCHMARK(BM_ExtendedCropSearchFiveLabels)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
