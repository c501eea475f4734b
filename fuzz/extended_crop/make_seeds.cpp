// Writes the seed pages of the crop fuzz target: two labels side by side
// that must be shrunk, and one narrow label that is centred.
#include <zint.h>

#include <fstream>
#include <string>
#include <vector>

#include "extended_page.h"
#include "support/barcode_fixtures.h"

namespace {

void Write(const std::string& path, const fixtures::Page& page, int printable, int flags) {
  std::vector<char> out{char(page.width & 0xFF), char(page.width >> 8), char(page.height & 0xFF),
                        char(page.height >> 8),  char(printable & 0xFF), char(printable >> 8),
                        char(flags),             0};
  out.insert(out.end(), page.grey.begin(), page.grey.end());
  std::ofstream(path, std::ios::binary).write(out.data(), std::streamsize(out.size()));
}

void Frame(fixtures::Page* page, int left, int top, int width, int height) {
  for (int x = left; x < left + width; ++x) page->at(x, top) = page->at(x, top + height - 1) = 0;
  for (int y = top; y < top + height; ++y) page->at(left, y) = page->at(left + width - 1, y) = 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = std::string(argc > 1 ? argv[1] : "fuzz/extended_crop/corpus") + "/extended_crop_search_fuzz/";
  fixtures::Page pair(560, 220);
  for (int l = 0; l < 2; ++l) {
    Frame(&pair, 10 + l * 280, 10, 260, 200);
    fixtures::DrawLinear(&pair, fixtures::EncodeLinear(BARCODE_CODE128, "AB" + std::to_string(l)),
                         {140.0 + l * 280, 110, 2, 80, 0}, 0);
  }
  Write(dir + "two_labels_shrunk.bin", pair, 200, 1);
  fixtures::Page narrow(300, 200);
  Frame(&narrow, 20, 20, 201, 160);
  fixtures::DrawLinear(&narrow, fixtures::EncodeLinear(BARCODE_CODE39, "N1"), {120, 100, 2, 80, 90}, 0);
  Write(dir + "narrow_turned_label.bin", narrow, 260, 0);
  return 0;
}
