// Any bytes as a binary scan image: the thin-run filter and the scan answer
// with a return code, stay inside the image and the result list.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "barcode/scan.h"
#include "fuzz_images.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fuzz_images;
  if (size < kScanHeader) return 0;
  const std::uint32_t width = Read16(data);
  const std::uint32_t height = Read16(data + 2);
  const std::int64_t stride =
      std::max<std::int64_t>(0, std::int64_t{width} + static_cast<std::int8_t>(data[4]));
  const int step = data[5] % 5;  // 0 is refused
  const std::uint8_t flags = data[6];
  const std::uint64_t bytes = static_cast<std::uint64_t>(stride) * height;
  if (bytes > kMaxPixels || std::uint64_t{width} * height > kMaxPixels) return 0;

  std::vector<std::uint8_t> packed(static_cast<std::size_t>((bytes + 7) / 8));
  Tile(data + kScanHeader, size - kScanHeader, &packed);
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(bytes));
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = (packed[i / 8] >> (7 - i % 8)) & 1;
  barcode::BinaryImage image{width, static_cast<std::uint32_t>(stride),      height, 1,
                             8,     pixels.empty() ? nullptr : pixels.data()};

  if (flags & 1) barcode::ThinRunFilter(&image, 1);
  if (flags & 2) barcode::ThinRunFilter(&image, 0);
  barcode::ScanOptions options{};
  options.linear = (flags >> 2) & 1;
  options.qrCode = (flags >> 3) & 1;
  options.dataMatrix = (flags >> 4) & 1;
  options.hanXin = (flags >> 5) & 1;
  options.pdf417 = (flags >> 6) & 1;
  options.bullseye = (flags >> 7) & 1;
  for (auto& wanted : options.types) wanted = 1;
  std::unique_ptr<barcode::SymbolResult[]> items(new barcode::SymbolResult[barcode::kMaxResults]());
  barcode::SymbolResultList results{0, items.get()};
  barcode::ScanSymbols(&image, step, &results, &options);
  if (results.count < 0 || results.count > barcode::kMaxResults) std::abort();
  return 0;
}
