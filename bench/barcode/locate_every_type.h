// The location front-end timed over a grey page: texts read with given
// options, or with every type wanted.
#pragma once

#include <benchmark/benchmark.h>

#include <set>
#include <string>

#include "crop/locate_barcodes.h"
#include "support/barcode_fixtures.h"

// Runs LocateBarcodes once per iteration; the texts of the last run.
inline std::set<std::string> LocateTexts(benchmark::State& state, const crop::SourceImage& image,
                                         const crop::LocateOptions& options) {
  std::set<std::string> read;
  for (auto _ : state) {
    barcode::SymbolResultList results{0, nullptr};
    if (crop::LocateBarcodes(&image, &options, &results) != crop::kLocateOk) {
      state.SkipWithError("LocateBarcodes failed");
      break;
    }
    read.clear();
    for (int i = 0; i < results.count; ++i) read.insert(results.items[i].text);
    crop::FreeLocateResults(&results);
  }
  return read;
}

// The same with every type wanted, at 300 dpi and up to 100 results.
inline std::set<std::string> LocateEveryType(benchmark::State& state, const fixtures::Page& page) {
  const auto w = static_cast<uint32_t>(page.width), h = static_cast<uint32_t>(page.height);
  const crop::SourceImage image{page.grey.data(), w, w, h, crop::kFormatGrey8, 1};
  crop::LocateOptions o{};
  o.regionWidth = page.width;
  o.regionHeight = page.height;
  for (int t = 0; t < 16; ++t) o.types[t] = 1;
  o.resolution = 300;
  o.maxResults = 100;
  return LocateTexts(state, image, o);
}
