// Any raster: both encoders' output decodes back to it, using all of the data.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "block_decoders.h"
#include "output/lzss.h"
#include "output/run_length.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::vector<std::uint8_t> decoded;
  const auto lzss = output::LzssEncode(data, size);
  if (!lzss) std::abort();
  auto result = labelview::DecodeLzss(lzss->data(), lzss->size(), size, decoded);
  if (!result.ok || result.consumed != lzss->size() ||
      decoded != std::vector<std::uint8_t>(data, data + size)) {
    std::abort();
  }
  const auto runLength = output::RunLengthEncode(data, size);
  if (!runLength) std::abort();
  result = labelview::DecodeRunLength(runLength->data(), runLength->size(), size, decoded);
  if (!result.ok || result.consumed != runLength->size() ||
      decoded != std::vector<std::uint8_t>(data, data + size)) {
    std::abort();
  }
  return 0;
}
