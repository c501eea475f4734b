// The steps from the captured page image to the label command stream.
#include "output/page_pipeline.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "output/cut_list.h"
#include "output/halftone.h"
#include "output/job_header.h"
#include "output/label_image.h"
#include "output/page_preparation.h"
#include "output/print_blocks.h"
#include "output/tone.h"
#include "output/turn180.h"

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
  if (state == nullptr || job == nullptr || state->pageBuffer == nullptr) return;

  // Steps 5 to 7: blank test, headers, tone.
  winabi::BITMAPINFOHEADER& info = state->infoHeader;
  const std::uint32_t imageSize = std::min(info.biSizeImage, state->pageBufferSize);
  const bool blankOnArrival = IsBlankOnArrival(state->pageBuffer, imageSize);
  RefreshPageHeaders(state);
  if (info.biBitCount != 8 || info.biWidth <= 0 || info.biHeight <= 0) return;
  const std::uint32_t width = static_cast<std::uint32_t>(info.biWidth);
  const std::uint32_t height = static_cast<std::uint32_t>(info.biHeight);
  const std::uint32_t stride = GreyStride(width);
  // A page record that claims more rows than its bytes hold is not read past.
  if (static_cast<std::uint64_t>(stride) * height > imageSize) return;
  WriteGreyPage(state, GreyInput{state->pageBuffer, width, height, stride}, blankOnArrival, job);
}

void WriteGreyPage(capture::PdevState* state, GreyInput input, bool blankOnArrival, PageJob* job) {
  frame::PrivateDevmode& record = *job->record;
  settings::MediaSettings& media = *job->media;
  const std::uint32_t resolution = record.printerResolution;
  winabi::BITMAPINFOHEADER& info = state->infoHeader;
  std::uint8_t* grey = input.pixels;
  std::uint32_t width = input.width;
  std::uint32_t height = input.height;
  std::uint32_t stride = input.stride;
  AdjustTone(grey, width, height, stride, record.brightness, record.contrast);

  // Step 8: wide landscape pages are turned before error diffusion, whose
  // error rows follow the page width.
  const bool landscape = job->orientation == 2;
  std::optional<GreyImage> turnedGrey;
  constexpr std::uint32_t kPreTurnSide = 4913;
  if (!job->cropPath && record.halftoneMode == 2 && landscape &&
      std::max(width, height) >= kPreTurnSide) {
    turnedGrey = TurnGreyQuarter(grey, width, stride, height, record.uprightSwitch == 0);
    if (!turnedGrey) return;
    grey = turnedGrey->pixels.data();
    width = turnedGrey->width;
    height = turnedGrey->height;
    stride = turnedGrey->stride;
    info.biWidth = static_cast<winabi::LONG>(width);
    info.biHeight = static_cast<winabi::LONG>(height);
  }
  const bool preTurned = turnedGrey.has_value();

  // Step 9: halftone into a new 1-bit image.
  if (width > kMaxLabelSide || height > kMaxLabelSide) return;
  std::optional<LabelImage> image = CreateLabelImage(width, height);
  if (!image) return;
  GreyPage page;
  page.pixels = grey;
  page.width = static_cast<std::uint16_t>(width);
  page.stride = stride;
  page.height = static_cast<std::uint16_t>(height);
  page.method = record.halftoneMode + 1;
  if (!Halftone(page, image->bits.data())) return;
  turnedGrey.reset();
  info.biBitCount = 1;
  info.biSizeImage = image->stride * height;
  state->fileHeader.bfSize = info.biSizeImage + 8 + state->headerSize;
  state->fileHeader.bfOffBits = state->headerSize + 8;

  // Steps 10 to 12: the upright turn, then the landscape turn.
  if (record.uprightSwitch == 0 && !preTurned) {
    if (!Turn180(image->bits.data(), image->width, image->stride, image->height)) return;
  }
  if (landscape && !preTurned && !job->cropPath) {
    image = TurnImage270(*image);
    if (!image) return;
  }

  // Steps 13 and 14: fit the image to the label.
  const LabelDots dots = LabelSizeInDots(&media, job->maximumPrintWidth, resolution, job->cropPath);
  image = ScaleImage(std::move(*image), record.horizontalScale, record.verticalScale);
  if (!image) return;
  image = PlaceOnLabelCanvas(*image, resolution, dots.width, dots.length,
                             PlacementOffsetX(*image, dots.width, media, resolution),
                             PlacementOffsetY(*image, dots.length, media, resolution));
  if (!image) return;
  image = ShiftImage(*image, resolution, dots.width, dots.length, record.horizontalScale,
                     record.verticalScale, record.horizontalShift, record.verticalShift);
  if (!image) return;
  const settings::MediaSettings mediaCopy = media;
  image = BlankMargins(std::move(*image), mediaCopy, resolution);
  if (!image) return;
  if (record.trimSwitch == 1) {
    const bool fromBottom = landscape != (record.uprightSwitch == 1);
    const std::uint32_t n =
        RowsToTrim(*image, fromBottom, blankOnArrival, record.minimumLabelLength, resolution);
    image = TrimRows(std::move(*image), fromBottom, n);
    if (!image) return;
  }

  // Steps 15 to 18: invert, header, cut list, print blocks.
  InvertImage(*image);
  WriteJobHeader(job->pdevobj, job->copy, record, media, image->height, job->firstPage);
  CutList cuts = BuildCutList(record, job->copies, job->collate, job->firstPage, job->endOfJob);
  if (cuts.empty()) cuts.push_back({kNoCut, job->copies});
  if (record.reversePrintSwitch == 1) FormatReverseCommand(media, resolution, image->height);
  WritePrintBlocks(job->pdevobj, job->copy, record, cuts, *image);
}

}  // namespace output
