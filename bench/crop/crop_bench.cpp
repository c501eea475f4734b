// Crop print on a 203-dpi Letter sheet of 3 x 10 address labels (Code 128,
// a line of text under each): the basic search alone, one whole crop page
// through the plug-in's entry points, and a 100-page crop job for memory.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <string>
#include <vector>

#include "../heap_modes.h"
#include "crop/basic_crop_search.h"
#include "job_runner.h"
#include "job_settings.h"
#include "support/label_sheet.h"

namespace {

using namespace bench_heap;

// Letter at 203 dpi as labeljob renders it (the driver's printable area);
// labels 2.66 x 1 inch.
constexpr std::uint32_t kPageWidth = 1607, kPageHeight = 2114;

labeljob::GreyPage AddressSheet() {
  testing_support::LabelSheet sheet(kPageWidth, kPageHeight);
  for (int c = 0; c < 3; ++c) {
    for (int r = 0; r < 10; ++r) {
      const std::string text = "ADR-" + std::to_string(c) + "-" + std::to_string(100 + r);
      const int x = 50 + c * 540, y = 50 + r * 203;
      sheet.Code128(x, y, text, 2, 100);
      sheet.TextLine(x, y + 112, static_cast<int>(text.size()), 10);
    }
  }
  return sheet.page();
}

void BM_BasicCropSearch(benchmark::State& state) {
  FixHeap(kWarm);
  const labeljob::GreyPage page = AddressSheet();
  const crop::SourceImage image{page.pixels.data(), page.width, page.width, page.height, 6, 1};
  std::vector<crop::CropRectangle> rectangles;
  for (auto _ : state) {
    const std::int32_t code = crop::BasicCropSearch(&image, &rectangles);
    benchmark::DoNotOptimize(code);
  }
  state.counters["labels"] = static_cast<double>(rectangles.size());
}
BENCHMARK(BM_BasicCropSearch)->Unit(benchmark::kMillisecond);

// 3-inch labels, one per surface; threshold halftoning, LZSS raster.
labeljob::JobSettings CropSettings() {
  labeljob::JobSettings job = labeljob::DefaultJobSettings();
  job.printer.media = {testing_support::LabelMedia("3in", 2, 762, 254)};
  std::string error;
  for (const char* s : {"cropPrintSwitch=1", "formName=3in", "dmFormName=Letter", "halftoneMode=0",
                        "rasterCompression=0"}) {
    labeljob::ApplySetting(s, &job, &error);
  }
  return job;
}

void BM_CropPage(benchmark::State& state) {
  FixHeap(kWarm);
  const labeljob::JobSettings job = CropSettings();
  const std::vector<labeljob::GreyPage> pages = {AddressSheet()};
  labeljob::RunOptions options;
  labeljob::PrepareWorld(job, options);
  std::uint32_t labels = 0;
  for (auto _ : state) {
    const labeljob::JobResult result = labeljob::RunDocument(job, pages, options);
    labels = result.labelsPrinted;
    benchmark::DoNotOptimize(labels);
  }
  state.counters["labels"] = labels;
  state.SetLabel("warm heap");
}
BENCHMARK(BM_CropPage)->Unit(benchmark::kMillisecond);

long PeakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void BM_LongCropJob(benchmark::State& state) {
  FixHeap(kWarm);
  const labeljob::JobSettings job = CropSettings();
  const std::vector<labeljob::GreyPage> pages(static_cast<std::size_t>(state.range(0)),
                                              AddressSheet());
  labeljob::RunOptions options;
  labeljob::PrepareWorld(job, options);
  // One page first, so the growth counts what later pages add.
  labeljob::RunDocument(job, {pages.front()}, options);
  const long before = PeakKilobytes();
  std::uint32_t labels = 0;
  for (auto _ : state) {
    labels = labeljob::RunDocument(job, pages, options).labelsPrinted;
  }
  state.counters["labels"] = labels;
  state.counters["ms_per_page"] =
      benchmark::Counter(static_cast<double>(state.range(0)) * state.iterations(),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["peak_rss_growth_kb"] = static_cast<double>(PeakKilobytes() - before);
}
BENCHMARK(BM_LongCropJob)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
