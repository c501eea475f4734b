#include "output/raster_block.h"

#include "output/lzss.h"
#include "output/run_length.h"

namespace output {

namespace {
void PutLe16(std::uint8_t* at, std::uint32_t value) {
  at[0] = static_cast<std::uint8_t>(value & 0xFF);
  at[1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}
}  // namespace

std::array<std::uint8_t, kBlockHeaderSize> BlockHeader(char letter, std::uint32_t bytesPerRow,
                                                       std::uint32_t rows) {
  std::array<std::uint8_t, kBlockHeaderSize> header{};
  const bool runLength = letter == 'R';
  header[0] = '!';
  header[1] = static_cast<std::uint8_t>(letter);
  PutLe16(&header[6], bytesPerRow);
  PutLe16(&header[8], rows);
  PutLe16(&header[10], 1);
  header[14] = runLength ? 0x80 : 0x00;
  header[15] = runLength ? 0x03 : 0x00;
  return header;
}

void WriteRaster(winabi::DEVOBJ* devobj, CopyFile copy, std::uint8_t rasterCompression,
                 const LabelImage& image) {
  const std::size_t size = std::size_t{image.stride} * image.height;
  const std::uint8_t* bytes = image.bits.data();
  if (rasterCompression == kCompressionLzss || rasterCompression == kCompressionRunLength) {
    const bool lzss = rasterCompression == kCompressionLzss;
    const auto header = BlockHeader(lzss ? 'S' : 'R', image.stride, image.height);
    WriteRawBlock(devobj, copy, header.data(), header.size());
    // No data (empty image, no memory): the block stays empty and the page goes on.
    const auto encoded = lzss ? LzssEncode(bytes, size) : RunLengthEncode(bytes, size);
    if (encoded) WriteRawBlock(devobj, copy, encoded->data(), encoded->size());
    return;
  }
  CommandBuffer& command = GetCommandBuffers().bitmap;
  command.Format("BITMAP %d,%d,%d,%d,%d,", {0, 0, image.stride, image.height, 1});
  WriteRawBlock(devobj, copy, command.text, command.length);
  WriteRawBlock(devobj, copy, bytes, size);
}

}  // namespace output
