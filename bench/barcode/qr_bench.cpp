// Two-dimensional pages through the location front-end with every type
// wanted, against zxing-cpp's ReadBarcodes restricted to QR Code and Data
// Matrix on the same images: a 4x6-inch 300-dpi label with two QR Codes among
// text, an inventory sheet of twenty small QR Codes, and a 4x6-inch label with
// two QR Codes and two Data Matrix symbols among text. And CorrectCodewords on
// a full 255-codeword block.
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

// Clears a square of the clutter, where a symbol and its quiet zone go.
void ClearSquare(fixtures::Page* page, int centreX, int centreY, int half) {
  for (int y = centreY - half; y < centreY + half; ++y)
    for (int x = centreX - half; x < centreX + half; ++x) page->at(x, y) = 255;
}

// 0: the QR label, 1: the inventory sheet, 2: the label with both kinds.
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
  } else if (kind == 2) {
    s.page = fixtures::Page(1200, 1800);
    fixtures::DrawClutter(&s.page, &rng, 16, 4);
    struct Placed {
      int symbology;
      const char* text;
      int x, y, angle;
    };
    const Placed placed[4] = {
        {BARCODE_QRCODE, "https://example.com/track/1Z999AA10123456784", 300, 330, 0},
        {BARCODE_QRCODE, "LOT 4711 / 2026-12", 880, 700, 90},
        {BARCODE_DATAMATRIX, "SHIP-TO 4711 OSLO NO-0150 PKG 1/2", 320, 1150, 0},
        {BARCODE_DATAMATRIX, "LOT 2026-12-07 QTY 0040", 860, 1500, 90},
    };
    for (const Placed& p : placed) {
      ClearSquare(&s.page, p.x, p.y, 150);
      fixtures::DrawMatrix(&s.page, fixtures::EncodeMatrix(p.symbology, p.text), p.x, p.y, 6,
                           p.angle);
      s.texts.insert(p.text);
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
  hints.setFormats(ZXing::BarcodeFormat::QRCode | ZXing::BarcodeFormat::DataMatrix);
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

BENCHMARK(BM_LocateBarcodesQr)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZxingReadBarcodesQr)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CorrectCodewords);

BENCHMARK_MAIN();
