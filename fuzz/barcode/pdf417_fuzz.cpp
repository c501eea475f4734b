// Any bytes as a PDF417 read: a start and a stop segment over a binary image
// for the reader, and the same bytes as a codeword stream for the correction
// and the compaction decoder. Each answers with a code, never past its data.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "barcode/pdf417.h"
#include "fuzz_images.h"

namespace {

float Coordinate(const std::uint8_t* p, std::uint32_t limit) {
  return static_cast<float>(fuzz_images::Read16(p) % (limit + 40)) - 20.0f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fuzz_images;
  constexpr std::size_t kHeader = 22;
  if (size < kHeader) return 0;
  // Codewords: pairs of bytes, 0-1023, the first few as the level.
  {
    std::vector<std::int32_t> cw;
    for (std::size_t i = 0; i + 1 < size && cw.size() < 928; i += 2)
      cw.push_back(static_cast<std::int32_t>(Read16(data + i) % 1024));
    const std::int32_t ecc = 2 << (data[0] % 9);
    std::vector<std::int32_t> copy = cw;
    barcode::CorrectPdf417(copy.data(), static_cast<std::int32_t>(copy.size()), ecc);
    char text[300];
    barcode::DecodePdf417Stream(cw.data(), static_cast<std::int32_t>(cw.size()), text, sizeof text);
    if (std::memchr(text, 0, sizeof text) == nullptr) std::abort();
  }
  const std::uint32_t width = Read16(data) % 512 + 1, height = Read16(data + 2) % 512 + 1;
  barcode::Pdf417Segment start{}, stop{};
  start.x1 = Coordinate(data + 4, width);
  start.y1 = Coordinate(data + 6, height);
  start.x2 = Coordinate(data + 8, width);
  start.y2 = Coordinate(data + 10, height);
  stop.x1 = Coordinate(data + 12, width);
  stop.y1 = Coordinate(data + 14, height);
  stop.x2 = Coordinate(data + 16, width);
  stop.y2 = Coordinate(data + 18, height);
  start.kind = barcode::kPdfStartKind;
  stop.kind = barcode::kPdfStopKind;
  const int flag = data[20] & 1;
  const double yScale = (data[20] & 2) ? 2 : 1;
  std::vector<std::uint8_t> packed((static_cast<std::size_t>(width) * height + 7) / 8);
  Tile(data + kHeader, size - kHeader, &packed);
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = (packed[i / 8] >> (7 - i % 8)) & 1;
  const barcode::BinaryImage image{width, width, height, 1, 8, pixels.data()};
  std::vector<barcode::ReaderOutput> output(1);
  const std::int32_t code = barcode::ReadPdf417(image, start, stop, output.data(), flag, yScale);
  if (code > 1 || code < -7) std::abort();
  if (std::memchr(output[0].text, 0, sizeof output[0].text) == nullptr) std::abort();
  return 0;
}
