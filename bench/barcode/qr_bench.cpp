// QR Code pages through the location front-end with every type wanted, against
// zxing-cpp's ReadBarcodes restricted to QR Code on the same images: a 4x6-inch
// 300-dpi label with two QR Codes among text, and an inventory sheet of
// twenty small QR Codes. And CorrectCodewords on a full 255-codeword block.
#include <ZXing/ReadBarcode.h>
#include <benchmark/benchmark.h>
#include <zint.h>

#include <set>
#include <string>
#include <vector>

#include "barcode/reed_solomon.h"
#include "locate_every_type.h"
#include "support/barcode_fixtures.h"

namespace {

struct Sheet {
  fixtures::Page page{1, 1};
  std::set<std::string> texts;
};

fixtures::Matrix QrSymbol(const std::string& text) {
  return fixtures::EncodeMatrix(BARCODE_QRCODE, text);
}

// 0: the label, 1: the inventory sheet.
Sheet MakeSheet(int kind) {
  Sheet s;
  fixtures::Rng rng(20);
  if (kind == 0) {
    s.page = fixtures::Page(1200, 1800);
    fixtures::DrawClutter(&s.page, &rng, 14, 4);
    const char* texts[2] = {"https://example.com/track/1Z999AA10123456784", "LOT 4711 / 2026-12"};
    const double at[2][2] = {{300, 1350}, {900, 1450}};
    for (int k = 0; k < 2; ++k) {
      fixtures::DrawMatrix(&s.page, QrSymbol(texts[k]), at[k][0], at[k][1], 6, k == 1 ? 90 : 0);
      s.texts.insert(texts[k]);
    }
  } else {
    s.page = fixtures::Page(1200, 1800);
    for (int k = 0; k < 20; ++k) {
      const std::string text = "ITEM-" + std::to_string(1000 + k);
      fixtures::DrawMatrix(&s.page, QrSymbol(text), 200 + (k % 4) * 270, 160 + (k / 4) * 350, 4, 0);
      s.texts.insert(text);
    }
  }
  return s;
}

void Count(benchmark::State& state, const Sheet& s, const std::set<std::string>& read) {
  int found = 0;
  for (const std::string& t : s.texts) found += read.count(t) ? 1 : 0;
  state.counters["found"] = found;
  state.counters["symbols"] = static_cast<double>(s.texts.size());
}

void BM_LocateBarcodesQr(benchmark::State& state) {
  const Sheet s = MakeSheet(static_cast<int>(state.range(0)));
  const std::set<std::string> read = LocateEveryType(state, s.page);
  Count(state, s, read);
}

void BM_ZxingReadBarcodesQr(benchmark::State& state) {
  const Sheet s = MakeSheet(static_cast<int>(state.range(0)));
  ZXing::DecodeHints hints;
  hints.setFormats(ZXing::BarcodeFormat::QRCode);
  hints.setTryRotate(true);
  const ZXing::ImageView view(s.page.grey.data(), s.page.width, s.page.height,
                              ZXing::ImageFormat::Lum);
  std::set<std::string> read;
  for (auto _ : state) {
    read.clear();
    for (const ZXing::Result& r : ZXing::ReadBarcodes(view, hints))
      if (r.isValid()) read.insert(r.text());
  }
  Count(state, s, read);
}

// A 255-codeword QR-field block (223 data, 32 checks) with 16 errors: the
// all-zero codeword plus errors, whose correction is the same work as for
// any other codeword.
void BM_CorrectCodewords(benchmark::State& state) {
  std::vector<uint8_t> damaged(255, 0);
  fixtures::Rng rng(16);
  for (int e = 0; e < 16;) {
    const int at = rng.Uniform(0, 254);
    if (damaged[at] != 0) continue;
    damaged[at] = static_cast<uint8_t>(rng.Uniform(1, 255));
    ++e;
  }
  std::vector<uint8_t> block(255);
  int32_t rc = 0;
  for (auto _ : state) {
    block = damaged;
    rc = barcode::CorrectCodewords(block.data(), 223, 32, 0, barcode::kPolynomialQr);
    benchmark::DoNotOptimize(block.data());
  }
  if (rc != 0 || block != std::vector<uint8_t>(255, 0)) state.SkipWithError("not corrected");
  state.counters["blocks_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_LocateBarcodesQr)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZxingReadBarcodesQr)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CorrectCodewords);

BENCHMARK_MAIN();
