// A 4x6-inch 300-dpi label carrying a PDF417, a Han Xin and a MaxiCode
// symbol among text: the location front-end with every type wanted, against
// zxing-cpp's ReadBarcodes restricted to PDF417 and MaxiCode on the same
// image. Compare medians: --benchmark_repetitions=9
// --benchmark_report_aggregates_only=true.
#include <ZXing/ReadBarcode.h>
#include <benchmark/benchmark.h>
#include <zint.h>

#include <set>
#include <string>

#include "locate_every_type.h"
#include "support/barcode_fixtures.h"

namespace {

const char kPdf417Text[] = "SHIP TO: 4711 LABEL STREET, SPRINGFIELD";
const char kHanXinText[] = "\xE6\xB1\x89\xE4\xBF\xA1\xE7\xA0\x81 LOT 2026-12";

fixtures::Page MakeLabel() {
  fixtures::Page page(1200, 1800);
  fixtures::Rng rng(22);
  fixtures::DrawClutter(&page, &rng, 14, 4);
  fixtures::DrawModules(&page, fixtures::EncodePdf417(kPdf417Text, 4, 3), 600, 1150, 3, 9, 0, 4);
  fixtures::MatrixOptions hx;
  hx.unicode = true;
  hx.option1 = 2;
  fixtures::DrawMatrix(&page, fixtures::EncodeMatrix(BARCODE_HANXIN, kHanXinText, hx), 300, 1520,
                       5, 0);
  fixtures::Paste(&page, fixtures::DrawMaxiCode("MAXICODE 1Z", 4, 1.0f), 880, 1520, 0);
  return page;
}

void BM_LocateBarcodesPdf417HanXinMaxiCode(benchmark::State& state) {
  const std::set<std::string> read = LocateEveryType(state, MakeLabel());
  state.counters["pdf417"] = static_cast<double>(read.count(kPdf417Text));
  state.counters["hanxin"] = static_cast<double>(read.count(kHanXinText));
  state.counters["maxicode"] = static_cast<double>(read.count("1234567890"));
}

void BM_ZxingReadBarcodesPdf417MaxiCode(benchmark::State& state) {
  const fixtures::Page page = MakeLabel();
  ZXing::DecodeHints hints;
  hints.setFormats(ZXing::BarcodeFormat::PDF417 | ZXing::BarcodeFormat::MaxiCode);
  hints.setTryRotate(true);
  const ZXing::ImageView view(page.grey.data(), page.width, page.height, ZXing::ImageFormat::Lum);
  int pdf417 = 0, maxicode = 0;
  for (auto _ : state) {
    pdf417 = maxicode = 0;
    for (const ZXing::Result& r : ZXing::ReadBarcodes(view, hints)) {
      if (!r.isValid()) continue;
      pdf417 += r.format() == ZXing::BarcodeFormat::PDF417 && r.text() == kPdf417Text;
      maxicode += r.format() == ZXing::BarcodeFormat::MaxiCode;
    }
  }
  state.counters["pdf417"] = pdf417;
  state.counters["maxicode"] = maxicode;
}

}  // namespace

BENCHMARK(BM_LocateBarcodesPdf417HanXinMaxiCode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZxingReadBarcodesPdf417MaxiCode)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
