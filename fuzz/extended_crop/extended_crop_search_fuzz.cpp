// Any bytes as a page for the extended crop search: it answers with a code,
// and the labels it gives are whole (every row there, every box inside).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "crop/region_analysis.h"
#include "extended_page.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace extended_fuzz;
  if (size < kHeader) return 0;
  const PageHeader h = ReadHeader(data);
  const std::uint32_t bpp = (h.flags & 2) ? 3 : 1;
  const std::int64_t stride =
      std::max<std::int64_t>(0, std::int64_t{h.width} * bpp + h.strideChange);
  const std::uint64_t bytes = static_cast<std::uint64_t>(stride) * h.height;
  if (bytes > kMaxBytes) return 0;
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(bytes), 0xFF);
  const std::uint8_t* payload = data + kHeader;
  const std::size_t payloadSize = size - kHeader;
  for (std::size_t at = 0; payloadSize > 0 && at < pixels.size(); at += payloadSize)
    std::memcpy(pixels.data() + at, payload, std::min(payloadSize, pixels.size() - at));

  const crop::SourceImage page{pixels.empty() ? nullptr : pixels.data(), h.width,
                               static_cast<std::uint32_t>(stride), h.height, 6, bpp};
  const std::uint32_t is203 = (h.flags & 4) ? 2 : (h.flags & 1);
  crop::LabelImageList labels;
  const std::int32_t code = crop::ExtendedCropSearch(&page, h.printableWidth, is203, &labels);
  if (code != 0 && !labels.empty()) std::abort();
  if (labels.size() > static_cast<std::size_t>(crop::kMaxLabels)) std::abort();
  for (const crop::LabelImage& l : labels) {
    if (l.stride < std::uint64_t{l.width} * l.bytesPerPixel || l.stride % 4 != 0 ||
        l.pixels.size() != std::size_t{l.stride} * l.height || l.height == 0)
      std::abort();
    if (l.width < h.printableWidth) std::abort();  // narrow labels are centred on the media
    for (const crop::BarcodeBox& b : l.barcodes) {
      if (b.x < 0 || b.y < 0 || b.width < 0 || b.height < 0 ||
          std::int64_t{b.x} + b.width > l.width || std::int64_t{b.y} + b.height > l.height)
        std::abort();
    }
  }
  return 0;
}
