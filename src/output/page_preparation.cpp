#include "output/page_preparation.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace output {

namespace {

inline bool GetBit(const std::uint8_t* row, std::uint32_t x) {
  return (row[x >> 3] >> (7 - (x & 7))) & 1;
}
inline void PutBit(std::uint8_t* row, std::uint32_t x, bool dark) {
  const auto mask = static_cast<std::uint8_t>(0x80 >> (x & 7));
  row[x >> 3] = dark ? static_cast<std::uint8_t>(row[x >> 3] | mask)
                     : static_cast<std::uint8_t>(row[x >> 3] & ~mask);
}

// Copies a w x h rectangle of pixels 1:1; the caller keeps it inside both.
void CopyRect(const LabelImage& src, std::uint32_t sx, std::uint32_t sy, LabelImage& dst,
              std::uint32_t dx, std::uint32_t dy, std::uint32_t w, std::uint32_t h) {
  for (std::uint32_t y = 0; y < h; ++y) {
    const std::uint8_t* s = src.Row(sy + y);
    std::uint8_t* d = dst.Row(dy + y);
    std::uint32_t x = 0;
    if (sx % 8 == 0 && dx % 8 == 0) {  // byte-aligned: whole bytes first
      const std::uint32_t bytes = w / 8;
      std::memcpy(d + dx / 8, s + sx / 8, bytes);
      x = bytes * 8;
    }
    for (; x < w; ++x) PutBit(d, dx + x, GetBit(s, sx + x));
  }
}

// Steps 4 and 5 of the placement, shared with the shift: the canvas and the
// rectangle that lands on it.
std::optional<LabelImage> CopyOntoCanvas(const LabelImage& image, std::uint32_t labelWidth,
                                         std::uint32_t labelLength, std::int16_t offsetX,
                                         std::int16_t offsetY) {
  auto canvas = CreateLabelImage(labelWidth, labelLength);
  if (!canvas) return std::nullopt;
  auto span = [](std::int64_t size, std::int16_t offset, std::int64_t& from, std::int64_t& to) {
    if (offset >= 1) {
      from = offset;
      to = 0;
      return size - offset;
    }
    from = 0;
    to = -std::int64_t{offset};
    return size;
  };
  std::int64_t fromX, toX, fromY, toY;
  std::int64_t w = span(image.width, offsetX, fromX, toX);
  std::int64_t h = span(image.height, offsetY, fromY, toY);
  if (toX > labelWidth || toY > labelLength) return canvas;
  w = std::min<std::int64_t>(w, labelWidth - toX);
  h = std::min<std::int64_t>(h, labelLength - toY);
  if (w < 1 || h < 1) return canvas;
  CopyRect(image, static_cast<std::uint32_t>(fromX), static_cast<std::uint32_t>(fromY), *canvas,
           static_cast<std::uint32_t>(toX), static_cast<std::uint32_t>(toY),
           static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h));
  return canvas;
}

std::int32_t RoundedDots(float mm, std::uint32_t resolution) {
  return static_cast<std::int32_t>(mm / 25.4 * resolution + 0.5);
}
std::uint32_t TruncatedDots(float mm, std::uint32_t resolution) {
  const double dots = mm / 25.4 * resolution;
  return dots > 0 ? static_cast<std::uint32_t>(std::min(dots, 4294967295.0)) : 0;
}

}  // namespace

std::optional<LabelImage> ScaleImage(LabelImage&& image, std::uint32_t horizontalScale,
                                     std::uint32_t verticalScale) {
  if (horizontalScale == kUnitScale && verticalScale == kUnitScale) return std::move(image);
  const double w = static_cast<double>(image.width) * horizontalScale / kUnitScale;
  const double h = static_cast<double>(image.height) * verticalScale / kUnitScale;
  if (w < 1 || h < 1 || w > kMaxLabelSide || h > kMaxLabelSide) return std::nullopt;
  auto scaled = CreateLabelImage(static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h));
  if (!scaled) return std::nullopt;
  // Nearest neighbour keeps bars and text edges hard and adds no grey to
  // re-threshold; the source pixel is the one under the new pixel's centre.
  PageVector<std::uint32_t> columns;
  try {
    columns.resize(scaled->width);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  for (std::uint32_t x = 0; x < scaled->width; ++x) {
    columns[x] = static_cast<std::uint32_t>((2ull * x + 1) * image.width / (2ull * scaled->width));
  }
  for (std::uint32_t y = 0; y < scaled->height; ++y) {
    const auto sy =
        static_cast<std::uint32_t>((2ull * y + 1) * image.height / (2ull * scaled->height));
    const std::uint8_t* s = image.Row(sy);
    std::uint8_t* d = scaled->Row(y);
    for (std::uint32_t x = 0; x < scaled->width; ++x) {
      if (GetBit(s, columns[x])) PutBit(d, x, true);
    }
  }
  return scaled;
}

std::optional<LabelImage> PlaceOnLabelCanvas(const LabelImage& image, std::uint32_t resolution,
                                             std::uint32_t labelWidth, std::uint32_t labelLength,
                                             std::int32_t sourceX, std::int32_t sourceY) {
  if (image.bits.empty() || resolution == 0 || labelWidth == 0 || labelLength == 0) {
    return std::nullopt;
  }
  return CopyOntoCanvas(image, labelWidth, labelLength, static_cast<std::int16_t>(sourceX),
                        static_cast<std::int16_t>(sourceY));
}

std::int32_t PlacementOffsetX(const LabelImage& image, std::uint32_t labelWidth,
                              const settings::MediaSettings& media, std::uint32_t resolution) {
  return static_cast<std::int32_t>(static_cast<std::int64_t>(image.width) - labelWidth +
                                   RoundedDots(media.mmLeftMargin, resolution));
}

std::int32_t PlacementOffsetY(const LabelImage& image, std::uint32_t labelLength,
                              const settings::MediaSettings& media, std::uint32_t resolution) {
  const std::int32_t top =
      media.numLabelMediaType == 3 ? RoundedDots(media.mmTopMargin, resolution) : 0;
  return static_cast<std::int32_t>(static_cast<std::int64_t>(image.height) - labelLength + top);
}

std::int16_t ShiftDots(std::uint32_t scale, std::int32_t shift, std::uint32_t resolution) {
  const double dots = scale / 1000.0 * shift / 10.0 / 25.4 * resolution + 0.5;
  // Truncated toward zero, then its low 16 bits (the value is a 16-bit one).
  const double clamped = std::max(-2147483648.0, std::min(dots, 2147483647.0));
  return static_cast<std::int16_t>(static_cast<std::int32_t>(clamped));
}

std::optional<LabelImage> ShiftImage(const LabelImage& image, std::uint32_t resolution,
                                     std::uint32_t labelWidth, std::uint32_t labelLength,
                                     std::uint32_t horizontalScale, std::uint32_t verticalScale,
                                     std::int32_t horizontalShift, std::int32_t verticalShift) {
  if (image.bits.empty() || resolution == 0 || labelWidth == 0 || labelLength == 0) {
    return std::nullopt;
  }
  return CopyOntoCanvas(image, labelWidth, labelLength,
                        ShiftDots(horizontalScale, horizontalShift, resolution),
                        ShiftDots(verticalScale, verticalShift, resolution));
}

std::optional<LabelImage> BlankMargins(LabelImage&& image, const settings::MediaSettings& media,
                                       std::uint32_t resolution) {
  const bool followsImage = media.numLabelMediaType == 3;
  if (media.mmRightMargin == 0 && media.mmLeftMargin == 0 &&
      (!followsImage || (media.mmTopMargin == 0 && media.mmBottomMargin == 0))) {
    return std::move(image);
  }
  const std::int64_t a = TruncatedDots(media.mmRightMargin, resolution);
  const std::int64_t b = TruncatedDots(media.mmLeftMargin, resolution);
  const std::int64_t t = followsImage ? TruncatedDots(media.mmBottomMargin, resolution) : 0;
  const std::int64_t u = followsImage ? TruncatedDots(media.mmTopMargin, resolution) : 0;
  auto blanked = CreateLabelImage(image.width, image.height);
  if (!blanked) return std::nullopt;
  const std::int64_t w = std::int64_t{image.width} - a - b;
  const std::int64_t h = std::int64_t{image.height} - t - u;
  if (w >= 1 && h >= 1) {
    CopyRect(image, static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(t), *blanked,
             static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(t),
             static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h));
  }
  return blanked;
}

std::uint32_t CountBlankRows(const std::uint8_t* pixels, std::uint32_t stride, std::uint32_t rows,
                             bool fromBottom) {
  if (pixels == nullptr) return 0;
  std::uint32_t count = 0;
  for (; count < rows; ++count) {
    const std::uint32_t y = fromBottom ? rows - 1 - count : count;
    const std::uint8_t* row = pixels + std::size_t{y} * stride;
    if (std::any_of(row, row + stride, [](std::uint8_t b) { return b != 0; })) break;
  }
  return count;
}

std::optional<LabelImage> TrimRows(LabelImage&& image, bool fromBottom, std::uint32_t n) {
  if (n == 0) return std::move(image);
  if (n >= image.height) return std::nullopt;
  auto trimmed = CreateLabelImage(image.width, image.height - n);
  if (!trimmed) return std::nullopt;
  const std::uint32_t first = fromBottom ? 0 : n;
  std::memcpy(trimmed->bits.data(), image.Row(first), trimmed->bits.size());
  return trimmed;
}

std::uint32_t RowsToTrim(const LabelImage& image, bool fromBottom, bool blankOnArrival,
                         float minimumLabelLength, std::uint32_t resolution) {
  const std::uint32_t rows = image.height;
  if (rows == 0) return 0;
  const std::uint32_t minimumRows =
      std::max<std::uint32_t>(1, TruncatedDots(minimumLabelLength, resolution));
  const std::uint32_t toMinimum = rows > minimumRows ? rows - minimumRows : 0;
  if (blankOnArrival) return toMinimum;
  const std::uint32_t blank = CountBlankRows(image.bits.data(), image.stride, rows, fromBottom);
  return blank >= rows ? toMinimum : blank;
}

std::optional<LabelImage> TurnImage270(const LabelImage& image) {
  auto turned = CreateLabelImage(image.height, image.width);
  if (!turned) return std::nullopt;
  for (std::uint32_t y = 0; y < image.height; ++y) {
    const std::uint8_t* s = image.Row(y);
    for (std::uint32_t x = 0; x < image.width; ++x) {
      if (GetBit(s, x)) PutBit(turned->Row(image.width - 1 - x), y, true);
    }
  }
  return turned;
}

}  // namespace output
