// The steps from the captured page image to the label command stream.
#include "output/page_pipeline.h"

#include <algorithm>
#include <cstring>
#include <new>

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

std::optional<GreyImage> TurnGreyQuarter(const std::uint8_t* pixels, std::uint32_t width,
                                         std::uint32_t stride, std::uint32_t height,
                                         bool clockwise) {
  if (pixels == nullptr || width == 0 || height == 0) return std::nullopt;
  GreyImage turned;
  turned.width = height;
  turned.height = width;
  turned.stride = GreyStride(turned.width);
  try {
    turned.pixels.assign(static_cast<std::size_t>(turned.stride) * turned.height, 255);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  for (std::uint32_t y = 0; y < height; ++y) {
    const std::uint8_t* row = pixels + static_cast<std::size_t>(y) * stride;
    // Clockwise: source row y becomes column H-1-y; counter-clockwise: column y,
    // read from the bottom.
    const std::uint32_t column = clockwise ? height - 1 - y : y;
    for (std::uint32_t x = 0; x < width; ++x) {
      const std::uint32_t turnedRow = clockwise ? x : width - 1 - x;
      turned.pixels[static_cast<std::size_t>(turnedRow) * turned.stride + column] = row[x];
    }
  }
  return turned;
}

LabelDots LabelSizeInDots(settings::MediaSettings* media, float maximumPrintWidth,
                          std::uint32_t resolution, bool cropPath) {
  // The ordinary writer rounds to the nearest dot, crop labels truncate.
  const double rounding = cropPath ? 0.0 : 0.5;
  const double r = resolution;
  LabelDots dots;
  if (media->mmLabelWidth <= maximumPrintWidth) {
    dots.width = static_cast<std::uint32_t>(cropPath ? media->mmLabelWidth / 25.4 * r
                                                     : r * media->mmLabelWidth / 25.4 + rounding);
  } else {
    // Centred on the head; 1.3 mm is added to the printed width.
    constexpr float kExtraWidth = 1.3f;
    dots.width = static_cast<std::uint32_t>(
        cropPath ? (maximumPrintWidth + kExtraWidth) / 25.4 * r
                 : (maximumPrintWidth + kExtraWidth) * r / 25.4 + rounding);
    const float e = (media->mmLabelWidth - maximumPrintWidth) * 0.5f;
    media->mmLeftMargin = media->mmLeftMargin - e + kExtraWidth;
    media->mmRightMargin = media->mmRightMargin - e;
  }
  dots.length = static_cast<std::uint32_t>(cropPath ? media->mmLabelLength / 25.4 * r
                                                    : r * media->mmLabelLength / 25.4 + rounding);
  return dots;
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
