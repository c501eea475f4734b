// Whole pages through the plug-in, bands in and stream out, as labeljob runs
// them: one 4x6-inch page per iteration, by resolution, halftone method and
// raster compression; and a long job for time per page and memory growth.
//
// The page buffer is reallocated at every band, so a page costs whatever the
// heap charges for large blocks: each benchmark fixes the heap first.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cmath>
#include <string>

#include "../heap_modes.h"
#include "job_runner.h"
#include "job_settings.h"

namespace {

using namespace bench_heap;

// A shipping-label-like page: text-like strokes, boxes, bars and a grey ramp.
labeljob::GreyPage LabelPicture(std::uint32_t width, std::uint32_t height) {
  labeljob::GreyPage page;
  page.width = width;
  page.height = height;
  page.pixels.assign(static_cast<std::size_t>(width) * height, 255);
  std::uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      std::uint8_t& p = page.pixels[static_cast<std::size_t>(y) * width + x];
      if (y < height / 4) {  // text lines
        if ((y / 12) % 3 != 2 && (next() >> 28) < 5) p = 0;
      } else if (y < height / 2) {  // barcode bars
        if (((x / 3) * 2654435761u >> 29) & 1) p = 0;
      } else if (y < height * 3 / 4) {  // boxes
        if (x % 100 < 3 || y % 100 < 3) p = 0;
      } else {  // a photo-like ramp
        p = static_cast<std::uint8_t>((x * 255) / width);
      }
    }
  }
  return page;
}

labeljob::JobSettings Settings(int dpi, int halftone, int compression) {
  labeljob::JobSettings job = labeljob::DefaultJobSettings();
  std::string error;
  labeljob::ApplySetting("printerResolution=" + std::to_string(dpi), &job, &error);
  labeljob::ApplySetting("modelName=" + std::string(dpi == 300 ? "Norvale LT-310 (300 dpi)"
                                                               : "Norvale LT-210 (203 dpi)"),
                         &job, &error);
  labeljob::ApplySetting("halftoneMode=" + std::to_string(halftone), &job, &error);
  labeljob::ApplySetting("rasterCompression=" + std::to_string(compression), &job, &error);
  return job;
}

void BM_Page(benchmark::State& state) {
  const Heap heap = static_cast<Heap>(state.range(3));
  FixHeap(heap);
  const int dpi = static_cast<int>(state.range(0));
  const labeljob::JobSettings job =
      Settings(dpi, static_cast<int>(state.range(1)), static_cast<int>(state.range(2)));
  const std::uint32_t w = dpi == 300 ? 1200 : 812;
  const std::uint32_t h = dpi == 300 ? 1800 : 1218;
  const std::vector<labeljob::GreyPage> pages = {LabelPicture(w, h)};
  labeljob::RunOptions options;
  labeljob::PrepareWorld(job, options);
  std::size_t bytes = 0;
  for (auto _ : state) {
    const labeljob::JobResult result = labeljob::RunDocument(job, pages, options);
    bytes = result.stream.size();
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["stream_bytes"] = static_cast<double>(bytes);
  state.SetLabel(std::to_string(dpi) + " dpi, halftone " + std::to_string(state.range(1)) +
                 ", compression " + std::to_string(state.range(2)) + ", " + HeapName(heap));
}
// Args: resolution, halftone mode, raster compression, heap.
BENCHMARK(BM_Page)
    ->ArgsProduct({{203, 300}, {0, 1, 2}, {0, 1, 2}, {kWarm}})
    ->ArgsProduct({{203, 300}, {0}, {0}, {kFresh}})
    ->Unit(benchmark::kMillisecond);

long PeakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void BM_LongJob(benchmark::State& state) {
  const Heap heap = static_cast<Heap>(state.range(1));
  FixHeap(heap);
  state.SetLabel(HeapName(heap));
  const labeljob::JobSettings job = Settings(203, 0, 0);
  const std::vector<labeljob::GreyPage> pages(static_cast<std::size_t>(state.range(0)),
                                              LabelPicture(812, 1218));
  labeljob::RunOptions options;
  labeljob::PrepareWorld(job, options);
  const long before = PeakKilobytes();
  for (auto _ : state) {
    const labeljob::JobResult result = labeljob::RunDocument(job, pages, options);
    benchmark::DoNotOptimize(result.stream.data());
  }
  state.counters["ms_per_page"] =
      benchmark::Counter(static_cast<double>(state.range(0)) * state.iterations(),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["peak_rss_growth_kb"] = static_cast<double>(PeakKilobytes() - before);
}
// Args: pages, heap.
BENCHMARK(BM_LongJob)
    ->ArgsProduct({{20, 200}, {kWarm}})
    ->Args({20, kFresh})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
