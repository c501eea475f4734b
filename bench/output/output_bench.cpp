// Pixel and raster steps on 4x6-inch labels at 203 dpi (812 x 1218) and 300 dpi
// (1200 x 1800): a label picture (text, rules, barcodes) and a photo-like grey
// ramp. zlib compress2 level 6 runs on the same rasters as the peer.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "output/halftone.h"
#include "output/label_image.h"
#include "output/lzss.h"
#include "output/raster_block.h"
#include "output/run_length.h"
#include "output/tone.h"
#include "output/turn180.h"

namespace {

struct Grey {
  std::uint16_t width, height;
  std::uint32_t stride;
  std::vector<std::uint8_t> pixels;
};

// Size 0: 812 x 1218; size 1: 1200 x 1800. Picture 0: label; 1: grey ramp.
Grey MakeGrey(int size, int picture) {
  Grey g;
  g.width = size == 0 ? 812 : 1200;
  g.height = size == 0 ? 1218 : 1800;
  g.stride = (g.width + 3u) & ~3u;
  g.pixels.assign(std::size_t{g.stride} * g.height, 255);
  std::mt19937 rng(42);
  auto px = [&](int x, int y) -> std::uint8_t& { return g.pixels[std::size_t(y) * g.stride + x]; };
  if (picture == 1) {
    for (int y = 0; y < g.height; ++y) {
      for (int x = 0; x < g.width; ++x) {
        const int v = (x * 255 / g.width + y * 64 / g.height) + int(rng() % 17) - 8;
        px(x, y) = static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
      }
    }
    return g;
  }
  const int w = g.width, h = g.height;
  // Frame and rules.
  for (int x = 0; x < w; ++x) {
    for (int t = 0; t < 6; ++t) px(x, 10 + t) = px(x, h - 16 + t) = px(x, h / 3 + t) = 0;
  }
  // Text: lines of glyph-sized blocks with anti-aliased edges.
  for (int line = 0; line < 14; ++line) {
    const int y0 = 40 + line * (h / 3 - 40) / 14 * 2;
    if (y0 + 30 >= h) break;
    for (int x0 = 30; x0 + 20 < w - 30; x0 += 26) {
      if (rng() % 7 == 0) continue;
      const std::uint32_t glyph = rng();
      for (int y = 0; y < 28; ++y) {
        for (int x = 0; x < 18; ++x) {
          if ((glyph >> ((y / 4) * 3 + x / 6)) & 1) px(x0 + x, y0 + y) = (x % 6 == 0) ? 128 : 0;
        }
      }
    }
  }
  // Two barcodes.
  for (int code = 0; code < 2; ++code) {
    const int y0 = h / 2 + code * h / 5, barH = h / 7;
    int x = 60;
    while (x < w - 60) {
      const int bar = 2 + rng() % 8, gap = 2 + rng() % 8;
      for (int y = y0; y < y0 + barH; ++y) {
        for (int b = 0; b < bar && x + b < w - 60; ++b) px(x + b, y) = 0;
      }
      x += bar + gap;
    }
  }
  return g;
}

output::LabelImage MakeRaster(int size, int picture, int method) {
  const Grey g = MakeGrey(size, picture);
  auto image = output::CreateLabelImage(g.width, g.height);
  output::Halftone({g.pixels.data(), g.width, g.stride, g.height, method}, image->bits.data());
  output::InvertImage(*image);
  return std::move(*image);
}

// Bytes per iteration as throughput: Google Benchmark's bytes_per_second
// counts in binary units (M = 2^20); the MB counter is decimal (10^6), the unit
// the targets are given in.
void SetThroughput(benchmark::State& state, double bytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(double(state.iterations()) * bytes));
  state.counters["MB"] =
      benchmark::Counter(bytes * 1e-6, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Halftone(benchmark::State& state) {
  const Grey g = MakeGrey(state.range(0), state.range(1));
  const int method = static_cast<int>(state.range(2));
  std::vector<std::uint8_t> out(std::size_t{output::LabelStride(g.width)} * g.height);
  for (auto _ : state) {
    output::Halftone({g.pixels.data(), g.width, g.stride, g.height, method}, out.data());
    benchmark::DoNotOptimize(out.data());
  }
  const double pixels = double(g.width) * g.height;
  SetThroughput(state, pixels);
  state.counters["ns_per_px"] = benchmark::Counter(
      pixels * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Tone(benchmark::State& state) {
  const Grey source = MakeGrey(state.range(0), state.range(1));
  Grey g = source;
  for (auto _ : state) {
    state.PauseTiming();
    g.pixels = source.pixels;
    state.ResumeTiming();
    output::AdjustTone(g.pixels.data(), g.width, g.height, g.stride, 10, 40);
    benchmark::DoNotOptimize(g.pixels.data());
  }
  SetThroughput(state, double(g.width) * g.height);
}

void BM_Turn180(benchmark::State& state) {
  auto image = MakeRaster(state.range(0), 0, 3);
  for (auto _ : state) {
    output::Turn180(image.bits.data(), image.width, image.stride, image.height);
    benchmark::DoNotOptimize(image.bits.data());
  }
  SetThroughput(state, double(image.bits.size()));
}

// Encoders on the halftoned, inverted label raster (method from range 2).
void BM_Lzss(benchmark::State& state) {
  const auto image = MakeRaster(state.range(0), state.range(1), 3);
  std::size_t encoded = 0;
  for (auto _ : state) {
    auto out = output::LzssEncode(image.bits.data(), image.bits.size());
    encoded = out->size();
    benchmark::DoNotOptimize(out->data());
  }
  SetThroughput(state, double(image.bits.size()));
  state.counters["out_bytes"] = double(encoded);
  state.counters["in_bytes"] = double(image.bits.size());
}

void BM_RunLength(benchmark::State& state) {
  const auto image = MakeRaster(state.range(0), state.range(1), 3);
  std::size_t encoded = 0;
  for (auto _ : state) {
    auto out = output::RunLengthEncode(image.bits.data(), image.bits.size());
    encoded = out->size();
    benchmark::DoNotOptimize(out->data());
  }
  SetThroughput(state, double(image.bits.size()));
  state.counters["out_bytes"] = double(encoded);
  state.counters["in_bytes"] = double(image.bits.size());
}

// The spooler's side of a write: the bytes are copied into its buffer, as
// the spooler copies them into the spool file's.
std::vector<std::uint8_t> gSpooled(1 << 20);

winabi::DWORD CopySpool(winabi::DEVOBJ*, void* buffer, winabi::DWORD size) {
  const std::size_t taken = std::min<std::size_t>(size, gSpooled.size());
  std::memcpy(gSpooled.data(), buffer, taken);
  benchmark::DoNotOptimize(gSpooled.data());
  return size;
}

// The plain writer as the page writer runs it: BITMAP text and the raw bytes,
// handed over in one write, so the figure is the spooler's copy.
void BM_PlainWriter(benchmark::State& state) {
  const auto image = MakeRaster(state.range(0), state.range(1), 3);
  winabi::DRVPROCS procs{};
  procs.DrvWriteSpoolBuf = &CopySpool;
  winabi::DEVOBJ devobj{};
  devobj.pDrvProcs = &procs;
  for (auto _ : state) output::WriteRaster(&devobj, nullptr, 2, image);
  SetThroughput(state, double(image.bits.size()));
}

void BM_ZlibLevel6(benchmark::State& state) {
  const auto image = MakeRaster(state.range(0), state.range(1), 3);
  std::vector<Bytef> out(compressBound(image.bits.size()));
  uLongf encoded = 0;
  for (auto _ : state) {
    encoded = out.size();
    compress2(out.data(), &encoded, image.bits.data(), image.bits.size(), 6);
    benchmark::DoNotOptimize(out.data());
  }
  SetThroughput(state, double(image.bits.size()));
  state.counters["out_bytes"] = double(encoded);
  state.counters["in_bytes"] = double(image.bits.size());
}

// Args: size (0: 203 dpi, 1: 300 dpi), picture (0: label, 1: grey ramp), method.
void HalftoneArgs(benchmark::internal::Benchmark* b) {
  for (int size : {0, 1}) {
    for (int picture : {0, 1}) {
      for (int method : {1, 2, 3}) b->Args({size, picture, method});
    }
  }
}
void PictureArgs(benchmark::internal::Benchmark* b) {
  for (int size : {0, 1}) {
    for (int picture : {0, 1}) b->Args({size, picture});
  }
}

BENCHMARK(BM_Halftone)->Apply(HalftoneArgs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Tone)->Apply(PictureArgs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Turn180)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Lzss)->Apply(PictureArgs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RunLength)->Apply(PictureArgs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainWriter)->Apply(PictureArgs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ZlibLevel6)->Apply(PictureArgs)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
