// Any bytes as a crop with three finder positions and a finder size: ReadQr
// answers with a code, reads inside the crop and writes inside its output.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "barcode/qr.h"
#include "fuzz_images.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fuzz_images;
  constexpr std::size_t kHeader = 4 + 3 * 4 + 2;
  if (size < kHeader) return 0;
  const std::uint32_t width = Read16(data) % 1024, height = Read16(data + 2) % 1024;
  if (std::uint64_t{width} * height > kMaxPixels) return 0;
  double finders[3][2];
  // Positions may fall outside the crop: signed, a little beyond each side.
  for (int k = 0; k < 3; ++k) {
    finders[k][0] = static_cast<std::int16_t>(Read16(data + 4 + 4 * k)) / 16.0;
    finders[k][1] = static_cast<std::int16_t>(Read16(data + 6 + 4 * k)) / 16.0;
  }
  const double finderSize = Read16(data + 16) / 64.0;
  std::vector<std::uint8_t> packed((std::uint64_t{width} * height + 7) / 8 + 1);
  Tile(data + kHeader, size - kHeader, &packed);
  std::vector<std::uint8_t> pixels(std::uint64_t{width} * height * 3 + 1);
  for (std::uint64_t i = 0; i < std::uint64_t{width} * height; ++i)
    std::memset(&pixels[i * 3], (packed[i / 8] >> (7 - i % 8)) & 1 ? 0 : 255, 3);
  const barcode::BinaryImage crop{width, width * 3, height, 3, 8, pixels.data()};
  std::unique_ptr<barcode::ReaderOutput> out(new barcode::ReaderOutput());
  const std::int32_t rc = barcode::ReadQr(crop, finders, finderSize, out.get());
  if (rc > 1 || (rc == 0 && std::memchr(out->text, 0, sizeof(out->text)) == nullptr)) std::abort();
  return 0;
}
