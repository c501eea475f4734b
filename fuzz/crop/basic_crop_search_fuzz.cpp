// Any bytes as a page for the basic crop search: it answers with one of its
// codes, and every rectangle it gives lies on the page.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "crop/basic_crop_search.h"
#include "crop_page.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace crop_fuzz;
  if (size < kHeader) return 0;
  const Header h = ReadHeader(data);
  const std::int64_t stride =
      std::max<std::int64_t>(0, static_cast<std::int64_t>(h.width) + h.strideChange);
  const std::uint64_t bytes = static_cast<std::uint64_t>(stride) * h.height;
  if (bytes > kMaxPixels * 2 || std::uint64_t{h.width} * h.height > kMaxPixels) return 0;
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(bytes), 0xFF);
  const std::size_t payload = size - kHeader;
  for (std::size_t at = 0; payload != 0 && at < pixels.size(); at += payload) {
    std::memcpy(pixels.data() + at, data + kHeader, std::min(payload, pixels.size() - at));
  }
  const std::uint32_t format = h.format == 0 ? 6 : h.format == 1 ? 1 : h.format;
  const crop::SourceImage image{pixels.empty() ? nullptr : pixels.data(),
                                h.width,
                                static_cast<std::uint32_t>(stride),
                                h.height,
                                format,
                                1};
  std::vector<crop::CropRectangle> rectangles;
  const std::int32_t code = crop::BasicCropSearch(&image, &rectangles);
  if (code != 0 && code != 3 && code != 4 && code != 5 && code != 7) std::abort();
  if (code != 0 && !rectangles.empty()) std::abort();
  if (code == 0 && rectangles.empty()) std::abort();
  for (const crop::CropRectangle& r : rectangles) {
    const std::uint64_t left = r.offset % static_cast<std::uint64_t>(stride);
    const std::uint64_t top = r.offset / static_cast<std::uint64_t>(stride);
    if (r.width <= 0 || r.height <= 0 || left + static_cast<std::uint64_t>(r.width) > h.width ||
        top + static_cast<std::uint64_t>(r.height) > h.height) {
      std::abort();
    }
  }
  return 0;
}
