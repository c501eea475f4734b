// Any bytes as a binary image scanned for bullseyes only, on a few bullseye
// rings drawn where the bytes say so that confirmation and the square search
// both run: results stay inside the list, each is a located MaxiCode.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "barcode/scan.h"
#include "fuzz_images.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fuzz_images;
  constexpr std::size_t kHeader = 8;
  if (size < kHeader) return 0;
  const std::uint32_t width = Read16(data) % 600 + 1, height = Read16(data + 2) % 600 + 1;
  std::vector<std::uint8_t> packed((static_cast<std::size_t>(width) * height + 7) / 8);
  Tile(data + kHeader, size - kHeader, &packed);
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = (packed[i / 8] >> (7 - i % 8)) & 1;
  // Rings at a place and size from the header, possibly cut by the border.
  const double cx = Read16(data + 4) % (width + 1), cy = data[6] * height / 255.0;
  const int ring = data[7] % 16 + 4;
  for (std::uint32_t y = 0; y < height; ++y)
    for (std::uint32_t x = 0; x < width; ++x) {
      const int band = static_cast<int>((std::hypot(x + 0.5 - cx, y + 0.5 - cy) + ring / 2.0) / ring);
      if (band <= 5) pixels[static_cast<std::size_t>(y) * width + x] = band % 2;
    }
  barcode::BinaryImage image{width, width, height, 1, 8, pixels.data()};
  barcode::ScanOptions options{};
  options.bullseye = 1;
  options.types[15] = 1;
  std::unique_ptr<barcode::SymbolResult[]> items(new barcode::SymbolResult[barcode::kMaxResults]());
  barcode::SymbolResultList results{0, items.get()};
  barcode::ScanSymbols(&image, 1 + data[7] / 128, &results, &options);
  if (results.count < 0 || results.count > barcode::kMaxResults) std::abort();
  for (int i = 0; i < results.count; ++i) {
    const auto& r = items[i];
    if (r.type != barcode::kMaxiCodeLocated || std::strcmp(r.text, "1234567890") != 0 ||
        r.centreX - r.width / 2 < 0 || r.centreX + (r.width + 1) / 2 > static_cast<int>(width) + 1)
      std::abort();
  }
  return 0;
}
