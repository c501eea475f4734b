// Writes the seed corpora of the barcode fuzz targets: small pages with one
// zint-drawn linear symbol each, in the layouts of fuzz_images.h.
//   barcode_seeds <corpus folder>
#include <zint.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz_images.h"
#include "support/barcode_fixtures.h"

namespace {

bool Save(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

fixtures::Page DrawPage(int width, int height, int symbology, const std::string& text, int module,
                        double angle, std::uint64_t seed) {
  fixtures::Page page(width, height);
  fixtures::Rng rng(seed);
  fixtures::DrawClutter(&page, &rng, 2, 0);  // text only: boxes need a larger page
  const std::vector<std::uint8_t> modules = fixtures::EncodeLinear(symbology, text);
  fixtures::DrawLinear(&page, modules, {width / 2.0, height / 2.0, module, height / 3, angle});
  return page;
}

// Packs 0/1 bytes into bits, most significant first.
std::vector<std::uint8_t> PackBits(const std::vector<std::uint8_t>& bits) {
  std::vector<std::uint8_t> packed((bits.size() + 7) / 8, 0);
  for (std::size_t i = 0; i < bits.size(); ++i) {
    if (bits[i]) packed[i / 8] |= static_cast<std::uint8_t>(0x80 >> (i % 8));
  }
  return packed;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: barcode_seeds CORPUS_FOLDER\n");
    return 64;
  }
  using namespace fuzz_images;
  const std::filesystem::path root = argv[1];
  bool ok = true;

  // The front-end: grey, colour and one-bit pages.
  const fixtures::Page code128 = DrawPage(320, 110, BARCODE_CODE128, "SEED-128", 2, 0, 1);
  LocateHeader grey{320, 110, 0, 0, 0, 0, 0, 300, 100, {0, 0, 0, 0}};
  ok &= Save(root / "locate_barcodes_fuzz/code128_grey.bin", LocateInput(grey, code128.grey));

  const fixtures::Page ean = DrawPage(130, 260, BARCODE_EANX, "950110153000", 1, 90, 2);
  std::vector<std::uint8_t> colour;
  for (const std::uint8_t v : ean.grey) colour.insert(colour.end(), {v, v, v});
  LocateHeader rgb{130, 260, 0, 0, 1, 1, 1, 203, 100, {0, 0, 0, 0}};
  ok &= Save(root / "locate_barcodes_fuzz/ean13_turned_colour.bin", LocateInput(rgb, colour));

  const fixtures::Page code39 = DrawPage(400, 100, BARCODE_CODE39, "SEED39", 2, 3, 3);
  std::vector<std::uint8_t> light;  // one-bit pages have set bits for white
  for (const std::uint8_t v : code39.grey) light.push_back(v >= 128 ? 1 : 0);
  std::vector<std::uint8_t> bilevel;
  for (int y = 0; y < code39.height; ++y) {
    const auto row = PackBits(std::vector<std::uint8_t>(light.begin() + y * code39.width,
                                                        light.begin() + (y + 1) * code39.width));
    bilevel.insert(bilevel.end(), row.begin(), row.end());
  }
  LocateHeader bits{400, 100, 0, 2, 0, 0, 2, 300, 100, {0, 0, 0, 0}};
  ok &= Save(root / "locate_barcodes_fuzz/code39_bilevel.bin", LocateInput(bits, bilevel));

  // The engine: binary scan images.
  struct ScanSeed {
    const char* name;
    int symbology;
    const char* text;
    int module;
    double angle;
  };
  for (const ScanSeed& s : {ScanSeed{"itf", BARCODE_C25INTER, "12345678", 2, 0},
                            ScanSeed{"codabar_skewed", BARCODE_CODABAR, "A40156B", 2, 8},
                            ScanSeed{"code93", BARCODE_CODE93, "SEED93", 2, 180}}) {
    const fixtures::Page page = DrawPage(300, 100, s.symbology, s.text, s.module, s.angle, 4);
    std::vector<std::uint8_t> seed;
    Write16(&seed, 300);
    Write16(&seed, 100);
    seed.insert(seed.end(), {0, 1, 0xFF, 0});  // no stride change, every row, all groups
    const auto packed = PackBits(fixtures::Binarize(page));
    seed.insert(seed.end(), packed.begin(), packed.end());
    ok &= Save(root / "scan_symbols_fuzz" / (std::string(s.name) + ".bin"), seed);
  }
  // The Data Matrix reader: a region around one symbol with its L's corners.
  {
    const fixtures::Matrix grid = fixtures::EncodeMatrix(BARCODE_DATAMATRIX, "SEED-DM", {-1, 3});
    fixtures::Page page(96, 96);
    fixtures::DrawMatrix(&page, grid, 48, 48, 4, 0);
    std::vector<std::uint8_t> seed;
    Write16(&seed, 96);
    Write16(&seed, 96);
    seed.insert(seed.end(), {0, 0});
    for (const std::uint32_t v : {20u, 20u, 20u, 75u, 75u, 75u}) Write16(&seed, v);
    seed.insert(seed.end(), page.grey.begin(), page.grey.end());
    ok &= Save(root / "datamatrix_reader_fuzz/symbol_14x14.bin", seed);
  }
  if (!ok) std::fprintf(stderr, "barcode_seeds: could not write under %s\n", argv[1]);
  return ok ? 0 : 1;
}
