// Writes the seed corpus of the crop fuzz target: small sheets of labels,
// Code 128 and EAN-13 drawn by zint, in the layout of crop_page.h.
//   crop_seeds <corpus folder>
#include <zint.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "crop_page.h"
#include "support/barcode_fixtures.h"

namespace {

bool Save(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// columns x rows labels of one symbology, each with a text-like line below.
fixtures::Page Sheet(int columns, int rows, int symbology, const std::string& stem) {
  const int pitchX = 230, pitchY = 110;
  fixtures::Page page(40 + columns * pitchX, 30 + rows * pitchY);
  for (int c = 0; c < columns; ++c) {
    for (int r = 0; r < rows; ++r) {
      const std::string text = stem + std::to_string(c * rows + r);
      const std::vector<std::uint8_t> modules = fixtures::EncodeLinear(symbology, text);
      const int x = 40 + c * pitchX, y = 20 + r * pitchY;
      const int width = static_cast<int>(modules.size());
      fixtures::DrawLinear(&page, modules, {x + width / 2.0, y + 30.0, 1, 60, 0}, 0);
      for (int g = 0; g < 8; ++g) {
        for (int yy = y + 68; yy < y + 78; ++yy)
          for (int xx = x + g * 12; xx < x + g * 12 + 8; ++xx) page.at(xx, yy) = 0;
      }
    }
  }
  return page;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: crop_seeds CORPUS_FOLDER\n");
    return 64;
  }
  const std::filesystem::path root = std::filesystem::path(argv[1]) / "basic_crop_search_fuzz";
  bool ok = true;
  const fixtures::Page grid = Sheet(2, 2, BARCODE_CODE128, "S-");
  ok &= Save(root / "code128_2x2.bin",
             crop_fuzz::Input({static_cast<std::uint32_t>(grid.width),
                               static_cast<std::uint32_t>(grid.height), 0, 0},
                              grid.grey));
  const fixtures::Page ean = Sheet(1, 2, BARCODE_EANX, "95011015300");
  ok &=
      Save(root / "ean13_1x2.bin", crop_fuzz::Input({static_cast<std::uint32_t>(ean.width),
                                                     static_cast<std::uint32_t>(ean.height), 3, 0},
                                                    ean.grey));
  return ok ? 0 : 1;
}
