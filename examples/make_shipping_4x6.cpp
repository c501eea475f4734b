// Draws the example 4x6-inch shipping label at 203 dpi (812 x 1218 dots) for
// extended crop print onto 3-inch media: a tracking number in Code 128, a
// route in Code 39 and a product number in EAN-13, all with 3-dot modules
// from zint, among address lines, inside a ruled frame.
//   example_shipping_4x6 OUT.png
#include <zint.h>

#include <cstdio>
#include <string>
#include <vector>

#include "png_page.h"

namespace {

constexpr std::uint32_t kWidth = 812, kHeight = 1218;
constexpr int kModule = 3;

void Fill(labeljob::GreyPage* page, int x, int y, int w, int h) {
  for (int yy = y; yy < y + h; ++yy)
    for (int xx = x; xx < x + w; ++xx) page->pixels[static_cast<size_t>(yy) * kWidth + xx] = 0;
}

// The bars of a one-row zint symbol, centred on the label at row y.
void Bars(labeljob::GreyPage* page, int symbology, const std::string& data, int y, int height) {
  zint_symbol* symbol = ZBarcode_Create();
  symbol->symbology = symbology;
  std::vector<int> modules;
  if (ZBarcode_Encode(symbol, reinterpret_cast<const unsigned char*>(data.c_str()),
                      static_cast<int>(data.size())) < ZINT_ERROR) {
    for (int col = 0; col < symbol->width; ++col)
      modules.push_back((symbol->encoded_data[0][col / 8] >> (col % 8)) & 1);
  }
  ZBarcode_Delete(symbol);
  const int left = (static_cast<int>(kWidth) - static_cast<int>(modules.size()) * kModule) / 2;
  for (size_t m = 0; m < modules.size(); ++m)
    if (modules[m]) Fill(page, left + static_cast<int>(m) * kModule, y, kModule, height);
}

// A line of blocks standing for printed words.
void Words(labeljob::GreyPage* page, int x, int y, const std::string& pattern, int size = 14) {
  for (char c : pattern) {
    if (c != ' ') Fill(page, x, y, size * 2 / 3, size);
    x += size * 2 / 3 + 3;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: example_shipping_4x6 OUT.png\n");
    return 64;
  }
  labeljob::GreyPage page;
  page.width = kWidth;
  page.height = kHeight;
  page.pixels.assign(static_cast<size_t>(kWidth) * kHeight, 255);
  Fill(&page, 10, 10, kWidth - 20, 3);
  Fill(&page, 10, kHeight - 13, kWidth - 20, 3);
  Fill(&page, 10, 10, 3, kHeight - 20);
  Fill(&page, kWidth - 13, 10, 3, kHeight - 20);
  Words(&page, 40, 40, "xxxx xxxxxxx");
  Words(&page, 40, 62, "xxxxx xxxxxxxx xx");
  Words(&page, 40, 84, "xxxxxxxx xx xxxxx");
  Fill(&page, 10, 140, kWidth - 20, 3);
  Words(&page, 60, 180, "xx xxxxxx xxxxxxx", 24);
  Words(&page, 60, 216, "xxxx xxxxxxxxx xxxxx", 24);
  Words(&page, 60, 252, "xxxxxxxxx xx xxxxx", 24);
  Fill(&page, 10, 320, kWidth - 20, 3);
  Bars(&page, BARCODE_CODE39, "ROUTE-42", 360, 120);
  Words(&page, 300, 490, "xxxxx xx");
  Fill(&page, 10, 540, kWidth - 20, 3);
  Bars(&page, BARCODE_CODE128, "1Z-NORVALE-0001234567", 600, 240);
  Words(&page, 220, 856, "xx xxxxxxx xxxxxxxxxx");
  Fill(&page, 10, 910, kWidth - 20, 3);
  Bars(&page, BARCODE_EANX, "950110153000", 960, 160);
  Words(&page, 260, 1140, "x xxxxxx xxxxxx");
  std::string error;
  if (!labeljob::WriteGreyPng(argv[1], page, &error)) {
    std::fprintf(stderr, "example_shipping_4x6: %s\n", error.c_str());
    return 2;
  }
  return 0;
}
