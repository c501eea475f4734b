// Draws the example crop print sheet: a Letter page at 203 dpi (the printable
// area labeljob renders for Letter) of 3 x 10 address labels, each a Code 128 shipment number
// drawn by zint with its digits, and two address lines under it.
//   example_sheet OUT.png
#include <zint.h>

#include <cstdio>
#include <string>

#include "png_page.h"

namespace {

constexpr std::uint32_t kWidth = 1607, kHeight = 2114;  // Letter at 203 dpi
constexpr int kColumns = 3, kRows = 10;
constexpr int kPitchX = 540, kPitchY = 203;  // 2.66 x 1 inch
constexpr int kLeft = 50, kTop = 50;

void Fill(labeljob::GreyPage* page, int x, int y, int w, int h) {
  for (int yy = y; yy < y + h; ++yy)
    for (int xx = x; xx < x + w; ++xx) page->pixels[static_cast<size_t>(yy) * kWidth + xx] = 0;
}

// A zint Code 128 symbol with its text, top-left at (x, y); its height.
int DrawSymbol(labeljob::GreyPage* page, int x, int y, const std::string& text) {
  zint_symbol* symbol = ZBarcode_Create();
  symbol->symbology = BARCODE_CODE128;
  symbol->height = 40;
  symbol->scale = 1;  // two pixels a module
  int height = 0;
  if (ZBarcode_Encode_and_Buffer(symbol, reinterpret_cast<const unsigned char*>(text.c_str()),
                                 static_cast<int>(text.size()), 0) < ZINT_ERROR) {
    for (int yy = 0; yy < symbol->bitmap_height; ++yy)
      for (int xx = 0; xx < symbol->bitmap_width; ++xx) {
        if (symbol->bitmap[(yy * symbol->bitmap_width + xx) * 3] < 128)
          Fill(page, x + xx, y + yy, 1, 1);
      }
    height = symbol->bitmap_height;
  }
  ZBarcode_Delete(symbol);
  return height;
}

// A line of blocks standing for printed words.
void Words(labeljob::GreyPage* page, int x, int y, const std::string& pattern) {
  for (char c : pattern) {
    if (c != ' ') Fill(page, x, y, 7, 10);
    x += 9;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: example_sheet OUT.png\n");
    return 64;
  }
  labeljob::GreyPage page;
  page.width = kWidth;
  page.height = kHeight;
  page.pixels.assign(static_cast<size_t>(kWidth) * kHeight, 255);
  for (int c = 0; c < kColumns; ++c) {
    for (int r = 0; r < kRows; ++r) {
      const int x = kLeft + c * kPitchX, y = kTop + r * kPitchY;
      const std::string number = "SHP" + std::to_string(40100 + c * kRows + r);
      const int h = DrawSymbol(&page, x, y, number);
      Words(&page, x, y + h + 6, "xxxxx xxxxxxx xxx");
      Words(&page, x, y + h + 22, "xxxx xxxxxxxx xx xxxxx");
    }
  }
  std::string error;
  if (!labeljob::WriteGreyPng(argv[1], page, &error)) {
    std::fprintf(stderr, "example_sheet: %s\n", error.c_str());
    return 2;
  }
  return 0;
}
