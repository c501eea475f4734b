// The steps from the captured page image to the label command stream.
#include "output/page_pipeline.h"

#include <algorithm>
#include <cstring>

namespace output {

bool IsBlankOnArrival(const std::uint8_t* pixels, std::uint32_t imageSize) {
  if (pixels == nullptr) return true;
  return std::all_of(pixels, pixels + imageSize, [](std::uint8_t b) { return b == 255; });
}

void RefreshPageHeaders(capture::PdevState* state) {
  winabi::BITMAPINFOHEADER& info = state->infoHeader;
  const std::uint32_t paletteBytes = state->palette != nullptr ? state->paletteEntryCount * 4 : 0;
  state->fileHeader.bfType = 0x4D42;  // "BM"
  state->fileHeader.bfSize = state->headerSize + info.biSizeImage;
  state->fileHeader.bfOffBits = state->headerSize + paletteBytes;
  info.biXPelsPerMeter = 0;
  info.biYPelsPerMeter = 0;
  if (info.biHeight < 0) info.biHeight = -info.biHeight;
}

void WritePageFromState(capture::PdevState* state, PageJob* job) {
  if (state == nullptr || job == nullptr) return;
  IsBlankOnArrival(state->pageBuffer,
                   std::min(state->infoHeader.biSizeImage, state->pageBufferSize));
  RefreshPageHeaders(state);
  // The raster steps join here once the halftoning, preparation and encoding
  // modules are in.
}

}  // namespace output
