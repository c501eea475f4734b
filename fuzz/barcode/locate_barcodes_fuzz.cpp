// Any bytes as a page image, with every symbol type wanted: the front-end
// answers with a return code and stays inside the image.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "crop/locate_barcodes.h"
#include "fuzz_images.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fuzz_images;
  if (size < kLocateHeader) return 0;
  const LocateHeader h = ReadLocateHeader(data);
  static constexpr std::uint32_t kFormats[] = {crop::kFormatGrey8, crop::kFormatSamples8,
                                               crop::kFormatBilevel};
  const std::uint32_t format = h.format < 3 ? kFormats[h.format] : h.format;
  const std::uint32_t bytesPerPixel = h.bytesPerPixel == 0   ? 1
                                      : h.bytesPerPixel == 1 ? 3
                                                             : h.bytesPerPixel;
  const std::uint64_t rowBytes = format == crop::kFormatBilevel
                                     ? (std::uint64_t{h.width} + 7) / 8
                                     : std::uint64_t{h.width} * bytesPerPixel;
  const std::int64_t stride =
      std::max<std::int64_t>(0, static_cast<std::int64_t>(rowBytes) + h.strideChange);
  // Room for exactly what the record says: height rows of stride bytes.
  const std::uint64_t bytes = static_cast<std::uint64_t>(stride) * h.height;
  if (bytes > kMaxPixels * 3 || std::uint64_t{h.width} * h.height > kMaxPixels) return 0;
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(bytes));
  Tile(data + kLocateHeader, size - kLocateHeader, &pixels);

  const crop::SourceImage image{pixels.empty() ? nullptr : pixels.data(),
                                h.width,
                                static_cast<std::uint32_t>(stride),
                                h.height,
                                format,
                                bytesPerPixel};
  crop::LocateOptions options{};
  if (h.region[0] | h.region[1] | h.region[2] | h.region[3]) {
    options.regionLeft = static_cast<std::int32_t>(h.width * h.region[0] / 255);
    options.regionTop = static_cast<std::int32_t>(h.height * h.region[1] / 255);
    options.regionWidth = static_cast<std::int32_t>(h.width * h.region[2] / 255);
    options.regionHeight = static_cast<std::int32_t>(h.height * h.region[3] / 255);
  } else {
    options.regionWidth = static_cast<std::int32_t>(h.width);
    options.regionHeight = static_cast<std::int32_t>(h.height);
  }
  std::memset(options.types, 1, sizeof options.types);
  options.resolution = h.resolution;
  options.rotationMode = h.rotationMode;
  options.extraPasses = h.extraPasses;
  options.maxResults = h.maxResults;

  barcode::SymbolResultList results{0, nullptr};
  const std::int32_t code = crop::LocateBarcodes(&image, &options, &results);
  if (code == crop::kLocateOk) {
    if (results.count < 0 || results.count > barcode::kMaxResults || results.items == nullptr) {
      std::abort();
    }
  } else if (results.items != nullptr) {
    std::abort();  // a failure leaves nothing allocated
  }
  crop::FreeLocateResults(&results);
  return 0;
}
