// Any bytes: the reader either reads them or names an offset inside them.
#include <cstdint>
#include <cstdlib>

#include "stream_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const labelview::Stream stream = labelview::ReadStream(data, size);
  if (stream.error && stream.error->offset > size) std::abort();
  for (const auto& raster : stream.rasters) {
    if (raster.data.size() != std::size_t{raster.bytesPerRow} * raster.rows) std::abort();
  }
  return 0;
}
