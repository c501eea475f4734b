// Any bytes as a region and three finder corners for the Data Matrix reader:
// it answers with a code, stays inside the region and never returns a text
// it did not read.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "barcode/datamatrix.h"
#include "fuzz_images.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fuzz_images;
  if (size < kMatrixHeader) return 0;
  const std::uint32_t width = Read16(data) % 1024;
  const std::uint32_t height = Read16(data + 2) % 1024;
  const std::uint32_t channels = 1 + data[4] % 3;
  const std::int64_t stride = std::max<std::int64_t>(
      0, std::int64_t{width} * channels + static_cast<std::int8_t>(data[5]));
  const std::uint64_t bytes = static_cast<std::uint64_t>(stride) * height;
  if (bytes > kMaxPixels) return 0;
  barcode::PointD corners[3];
  for (int k = 0; k < 3; ++k) {
    corners[k].x = static_cast<std::int16_t>(Read16(data + 6 + 4 * k));
    corners[k].y = static_cast<std::int16_t>(Read16(data + 8 + 4 * k));
  }
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(bytes));
  Tile(data + kMatrixHeader, size - kMatrixHeader, &pixels);
  const barcode::BinaryImage region{width, static_cast<std::uint32_t>(stride), height, channels,
                                    8, pixels.empty() ? nullptr : pixels.data()};
  std::unique_ptr<barcode::ReaderOutput> output(new barcode::ReaderOutput());
  bool found = false;
  barcode::PointD fitted[3];
  const std::int32_t code = barcode::ReadDataMatrix(region, corners[0], corners[1], corners[2],
                                                    output.get(), &found, fitted);
  if (code != 0 && code != -6 && code != 1) std::abort();
  if (found && (code != 0 || std::memchr(output->text, '\0', sizeof(output->text)) == nullptr))
    std::abort();
  if (!found && output->name[0] != '\0') std::abort();
  return 0;
}
