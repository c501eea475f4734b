#include "support/barcode_fixtures.h"

#include <ZXing/ReadBarcode.h>
#include <zint.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace fixtures {

std::vector<uint8_t> EncodeLinear(int zintSymbology, const std::string& data, bool gs1) {
  zint_symbol* symbol = ZBarcode_Create();
  symbol->symbology = zintSymbology;
  if (gs1) symbol->input_mode = GS1_MODE;
  std::vector<uint8_t> modules;
  int rc = ZBarcode_Encode(symbol, reinterpret_cast<const unsigned char*>(data.data()),
                           static_cast<int>(data.size()));
  if (rc < ZINT_ERROR) {
    // EAN/UPC add-on rows aside, the first row holds the whole symbol.
    for (int col = 0; col < symbol->width; ++col)
      modules.push_back((symbol->encoded_data[0][col / 8] >> (col % 8)) & 1);
  }
  ZBarcode_Delete(symbol);
  return modules;
}

void DrawLinear(Page* page, const std::vector<uint8_t>& modules, const Placement& at,
                int quietModules) {
  const double a = at.angleDegrees * M_PI / 180.0;
  const double ca = std::cos(a), sa = std::sin(a);
  const double halfW = (modules.size() + 2.0 * quietModules) * at.moduleWidth / 2.0;
  const double halfH = at.barHeight / 2.0;
  const double reach = std::sqrt(halfW * halfW + halfH * halfH) + 2;
  const int x0 = std::max(0, static_cast<int>(at.centreX - reach));
  const int x1 = std::min(page->width - 1, static_cast<int>(at.centreX + reach));
  const int y0 = std::max(0, static_cast<int>(at.centreY - reach));
  const int y1 = std::min(page->height - 1, static_cast<int>(at.centreY + reach));
  const double symbolHalf = modules.size() * at.moduleWidth / 2.0;
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      // Pixel centre into symbol coordinates (u across the bars).
      double px = x + 0.5 - at.centreX, py = y + 0.5 - at.centreY;
      double u = px * ca + py * sa, v = -px * sa + py * ca;
      if (std::fabs(v) > halfH || std::fabs(u) > halfW) continue;
      int module = static_cast<int>(std::floor((u + symbolHalf) / at.moduleWidth));
      bool dark = module >= 0 && module < static_cast<int>(modules.size()) && modules[module];
      page->at(x, y) = dark ? 0 : 255;
    }
  }
}

void DrawClutter(Page* page, Rng* rng, int textLines, int boxes) {
  for (int b = 0; b < boxes; ++b) {
    int w = rng->Uniform(40, page->width / 3), h = rng->Uniform(30, page->height / 4);
    int x = rng->Uniform(0, page->width - w - 1), y = rng->Uniform(0, page->height - h - 1);
    for (int k = 0; k < w; ++k) page->at(x + k, y) = page->at(x + k, y + h) = 0;
    for (int k = 0; k <= h; ++k) page->at(x, y + k) = page->at(x + w, y + k) = 0;
  }
  for (int l = 0; l < textLines; ++l) {
    int glyphH = rng->Uniform(8, 20);
    int y = rng->Uniform(0, page->height - glyphH - 1);
    int x = rng->Uniform(0, page->width / 2);
    int glyphs = rng->Uniform(5, 30);
    for (int g = 0; g < glyphs && x + glyphH < page->width; ++g) {
      // A glyph: a stem and a bowl or bar, stroke width of a print font.
      int stroke = std::max(1, glyphH / 7), gw = glyphH * 2 / 3;
      int shape = rng->Uniform(0, 2);
      for (int dy = 0; dy < glyphH; ++dy)
        for (int dx = 0; dx < gw; ++dx) {
          bool stem = dx < stroke;
          bool bar = shape == 0 && (dy < stroke || dy >= glyphH - stroke);
          bool right = shape == 1 && dx >= gw - stroke;
          bool mid = shape == 2 && std::abs(dy - glyphH / 2) < stroke;
          if (stem || bar || right || mid) page->at(x + dx, y + dy) = 0;
        }
      x += gw + stroke + rng->Uniform(1, 4) + (rng->Uniform(0, 5) == 0 ? glyphH / 2 : 0);
    }
  }
}

void AddNoise(Page* page, Rng* rng, int amplitude) {
  for (uint8_t& p : page->grey) {
    int v = p + rng->Uniform(-amplitude, amplitude);
    p = static_cast<uint8_t>(std::clamp(v, 0, 255));
  }
}

void BoxBlur(Page* page) {
  Page out = *page;
  for (int y = 1; y + 1 < page->height; ++y)
    for (int x = 1; x + 1 < page->width; ++x) {
      int sum = 0;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) sum += page->at(x + dx, y + dy);
      out.at(x, y) = static_cast<uint8_t>(sum / 9);
    }
  *page = out;
}

Page Rotate90(const Page& page) {
  Page out(page.height, page.width);
  for (int y = 0; y < page.height; ++y)
    for (int x = 0; x < page.width; ++x)
      out.at(page.height - 1 - y, x) = page.grey[static_cast<size_t>(y) * page.width + x];
  return out;
}

std::vector<ZxingRead> ReadWithZxing(const Page& page) {
  using namespace ZXing;
  static const std::pair<BarcodeFormat, const char*> kOurNames[] = {
      {BarcodeFormat::Code39, "CODE_39"},   {BarcodeFormat::Code93, "CODE_93"},
      {BarcodeFormat::Code128, "CODE_128"}, {BarcodeFormat::Codabar, "CODABAR"},
      {BarcodeFormat::ITF, "ITF"},          {BarcodeFormat::EAN8, "EAN_8"},
      {BarcodeFormat::EAN13, "EAN_13"},     {BarcodeFormat::UPCA, "UPC_A"},
      {BarcodeFormat::UPCE, "UPC_E"}};
  DecodeHints hints;
  hints.setFormats(BarcodeFormat::LinearCodes);
  hints.setTryRotate(true);
  hints.setTryHarder(false);
  // Several linear reads in one call trip an assertion in this zxing-cpp build,
  // so callers hand it one symbol at a time.
  hints.setMaxNumberOfSymbols(1);
  hints.setReturnCodabarStartEnd(false);
  ImageView view(page.grey.data(), page.width, page.height, ImageFormat::Lum);
  std::vector<ZxingRead> reads;
  for (const Result& r : ReadBarcodes(view, hints)) {
    if (!r.isValid()) continue;
    std::string name = "OTHER";
    for (const auto& [format, ours] : kOurNames) {
      if (r.format() == format) name = ours;
    }
    reads.push_back({name, r.text()});
  }
  return reads;
}

Matrix EncodeMatrix(int zintSymbology, const std::string& data, const MatrixOptions& options) {
  zint_symbol* symbol = ZBarcode_Create();
  symbol->symbology = zintSymbology;
  symbol->option_1 = options.option1;
  symbol->option_2 = options.option2;
  symbol->option_3 = options.option3;
  symbol->input_mode = options.gs1 ? GS1_MODE : options.unicode ? UNICODE_MODE : DATA_MODE;
  symbol->eci = options.eci;
  Matrix m;
  if (ZBarcode_Encode(symbol, reinterpret_cast<const unsigned char*>(data.data()),
                      static_cast<int>(data.size())) < ZINT_ERROR) {
    m.rows = symbol->rows;
    m.columns = symbol->width;
    for (int r = 0; r < m.rows; ++r)
      for (int c = 0; c < m.columns; ++c)
        m.dark.push_back((symbol->encoded_data[r][c / 8] >> (c % 8)) & 1);
  }
  ZBarcode_Delete(symbol);
  return m;
}

void DrawMatrix(Page* page, const Matrix& m, double centreX, double centreY, double moduleSize,
                double angleDegrees, int quietModules, double shear) {
  const double a = angleDegrees * M_PI / 180.0;
  // Quarter turns exact, so that module edges fall on the same pixels.
  const double ca = std::round(std::cos(a) * 1e12) / 1e12, sa = std::round(std::sin(a) * 1e12) / 1e12;
  const double halfW = (m.columns / 2.0 + quietModules) * moduleSize;
  const double halfH = (m.rows / 2.0 + quietModules) * moduleSize;
  const double reach = (std::hypot(halfW, halfH) + 2) * (1 + std::fabs(shear));
  const int x0 = std::max(0, static_cast<int>(centreX - reach));
  const int x1 = std::min(page->width - 1, static_cast<int>(centreX + reach));
  const int y0 = std::max(0, static_cast<int>(centreY - reach));
  const int y1 = std::min(page->height - 1, static_cast<int>(centreY + reach));
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      const double px = x + 0.5 - centreX, py = y + 0.5 - centreY;
      const double v = -px * sa + py * ca, u = px * ca + py * sa - shear * v;
      if (std::fabs(u) > halfW || std::fabs(v) > halfH) continue;
      const int c = static_cast<int>(std::floor(u / moduleSize + m.columns / 2.0));
      const int r = static_cast<int>(std::floor(v / moduleSize + m.rows / 2.0));
      const bool dark = r >= 0 && c >= 0 && r < m.rows && c < m.columns && m.Dark(r, c);
      page->at(x, y) = dark ? 0 : 255;
    }
}

std::vector<ZxingMatrixRead> ReadMatrixWithZxing(const Page& page, bool qr) {
  using namespace ZXing;
  DecodeHints hints;
  hints.setFormats(qr ? BarcodeFormat::QRCode : BarcodeFormat::DataMatrix);
  hints.setTryRotate(true);
  ImageView view(page.grey.data(), page.width, page.height, ImageFormat::Lum);
  std::vector<ZxingMatrixRead> reads;
  for (const Result& r : ReadBarcodes(view, hints)) {
    if (!r.isValid()) continue;
    const Position& p = r.position();
    const double cx = (p.topLeft().x + p.topRight().x + p.bottomLeft().x + p.bottomRight().x) / 4.0;
    const double cy = (p.topLeft().y + p.topRight().y + p.bottomLeft().y + p.bottomRight().y) / 4.0;
    reads.push_back({r.text(), cx, cy});
  }
  return reads;
}

std::vector<std::vector<uint8_t>> EncodePdf417(const std::string& data, int columns, int level) {
  zint_symbol* symbol = ZBarcode_Create();
  symbol->symbology = BARCODE_PDF417;
  symbol->input_mode = DATA_MODE;
  symbol->option_1 = level;
  symbol->option_2 = columns;
  std::vector<std::vector<uint8_t>> rows;
  int rc = ZBarcode_Encode(symbol, reinterpret_cast<const unsigned char*>(data.data()),
                           static_cast<int>(data.size()));
  if (rc < ZINT_ERROR) {
    for (int r = 0; r < symbol->rows; ++r) {
      std::vector<uint8_t> row;
      for (int col = 0; col < symbol->width; ++col)
        row.push_back((symbol->encoded_data[r][col / 8] >> (col % 8)) & 1);
      rows.push_back(row);
    }
  }
  ZBarcode_Delete(symbol);
  return rows;
}

void DrawModules(Page* page, const std::vector<std::vector<uint8_t>>& rows, double centreX,
                 double centreY, double moduleWidth, double rowHeight, double angleDegrees,
                 int quietModules) {
  if (rows.empty()) return;
  const double a = angleDegrees * M_PI / 180.0, ca = std::cos(a), sa = std::sin(a);
  const double w = rows[0].size() * moduleWidth, h = rows.size() * rowHeight;
  const double halfW = w / 2 + quietModules * moduleWidth, halfH = h / 2 + quietModules * moduleWidth;
  const double reach = std::sqrt(halfW * halfW + halfH * halfH) + 2;
  const int x0 = std::max(0, static_cast<int>(centreX - reach));
  const int x1 = std::min(page->width - 1, static_cast<int>(centreX + reach));
  const int y0 = std::max(0, static_cast<int>(centreY - reach));
  const int y1 = std::min(page->height - 1, static_cast<int>(centreY + reach));
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      const double px = x + 0.5 - centreX, py = y + 0.5 - centreY;
      const double u = px * ca + py * sa, v = -px * sa + py * ca;
      if (std::fabs(u) > halfW || std::fabs(v) > halfH) continue;
      const int col = static_cast<int>(std::floor((u + w / 2) / moduleWidth));
      const int row = static_cast<int>(std::floor((v + h / 2) / rowHeight));
      const bool dark = row >= 0 && row < static_cast<int>(rows.size()) && col >= 0 &&
                        col < static_cast<int>(rows[0].size()) && rows[row][col];
      page->at(x, y) = dark ? 0 : 255;
    }
}

Page DrawMaxiCode(const std::string& data, int mode, float scale) {
  zint_symbol* symbol = ZBarcode_Create();
  symbol->symbology = BARCODE_MAXICODE;
  symbol->option_1 = mode;
  symbol->scale = scale;
  // Modes 2 and 3 carry a postcode, country and service class beside the data.
  const std::string input = data;
  if (mode == 2) std::strcpy(symbol->primary, "152382802840001");
  if (mode == 3) std::strcpy(symbol->primary, "B1050 056999");
  Page out(0, 0);
  if (ZBarcode_Encode_and_Buffer(symbol, reinterpret_cast<const unsigned char*>(input.data()),
                                 static_cast<int>(input.size()), 0) < ZINT_ERROR) {
    out = Page(symbol->bitmap_width, symbol->bitmap_height);
    for (size_t i = 0; i < out.grey.size(); ++i) out.grey[i] = symbol->bitmap[i * 3];
  }
  ZBarcode_Delete(symbol);
  return out;
}

void Paste(Page* page, const Page& src, double centreX, double centreY, double angleDegrees) {
  const double a = angleDegrees * M_PI / 180.0, ca = std::cos(a), sa = std::sin(a);
  const double reach = std::hypot(src.width, src.height) / 2 + 2;
  for (int y = std::max(0, static_cast<int>(centreY - reach));
       y <= std::min(page->height - 1, static_cast<int>(centreY + reach)); ++y)
    for (int x = std::max(0, static_cast<int>(centreX - reach));
         x <= std::min(page->width - 1, static_cast<int>(centreX + reach)); ++x) {
      const double px = x + 0.5 - centreX, py = y + 0.5 - centreY;
      const int u = static_cast<int>(std::floor(px * ca + py * sa + src.width / 2.0));
      const int v = static_cast<int>(std::floor(-px * sa + py * ca + src.height / 2.0));
      if (u < 0 || v < 0 || u >= src.width || v >= src.height) continue;
      page->at(x, y) = src.grey[static_cast<size_t>(v) * src.width + u];
    }
}

std::vector<ZxingPdf417> ReadPdf417WithZxing(const Page& page) {
  using namespace ZXing;
  DecodeHints hints;
  hints.setFormats(BarcodeFormat::PDF417);
  hints.setTryRotate(true);
  ImageView view(page.grey.data(), page.width, page.height, ImageFormat::Lum);
  std::vector<ZxingPdf417> reads;
  for (const Result& r : ReadBarcodes(view, hints)) {
    if (!r.isValid()) continue;
    ZxingPdf417 read{r.text(), page.width, page.height, 0, 0};
    for (int k = 0; k < 4; ++k) {
      read.left = std::min(read.left, r.position()[k].x);
      read.right = std::max(read.right, r.position()[k].x);
      read.top = std::min(read.top, r.position()[k].y);
      read.bottom = std::max(read.bottom, r.position()[k].y);
    }
    reads.push_back(read);
  }
  return reads;
}

std::vector<uint8_t> Binarize(const Page& page, int threshold) {
  std::vector<uint8_t> out(page.grey.size());
  for (size_t i = 0; i < out.size(); ++i) out[i] = page.grey[i] < threshold ? 1 : 0;
  return out;
}

}  // namespace fixtures
