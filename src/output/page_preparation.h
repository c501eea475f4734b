// Fitting the 1-bit page to the label: scale, place on the label canvas,
// shift, blank the margins, trim blank rows, and the landscape turn. Each step
// yields the image to continue with, or nothing when no image can be made
// (the page writer then abandons the page). All are plain 1-bit pixel copies
// at 1:1 except the scale.
#pragma once

#include <cstdint>
#include <optional>

#include "output/label_image.h"
#include "settings/media_settings.h"

namespace output {

// Thousandths: 1000 = 100 %.
inline constexpr std::uint32_t kUnitScale = 1000;

// Both scales 1000: the image itself comes back. Otherwise (W x h) div 1000 by
// (H x v) div 1000, sampled nearest-neighbour at pixel centres; nothing when a
// side comes out 0 or too large.
std::optional<LabelImage> ScaleImage(LabelImage&& image, std::uint32_t horizontalScale,
                                     std::uint32_t verticalScale);

// A Wd x Ld canvas with the image copied in from source column sx (sx >= 1) or
// to canvas column -sx (sx < 1), rows likewise; sx and sy are taken as 16-bit
// signed values. Nothing for a zero resolution or label size.
std::optional<LabelImage> PlaceOnLabelCanvas(const LabelImage& image, std::uint32_t resolution,
                                             std::uint32_t labelWidth, std::uint32_t labelLength,
                                             std::int32_t sourceX, std::int32_t sourceY);

// The placement offsets the page writer passes: the label is taken from the
// right and bottom of the page, moved right by the left margin and, on media
// type 3, down by the top margin.
std::int32_t PlacementOffsetX(const LabelImage& image, std::uint32_t labelWidth,
                              const settings::MediaSettings& media, std::uint32_t resolution);
std::int32_t PlacementOffsetY(const LabelImage& image, std::uint32_t labelLength,
                              const settings::MediaSettings& media, std::uint32_t resolution);

// The user's shifts (0.1 mm, scaled like the image): a positive shift moves the
// content left (up), a negative one right (down).
std::optional<LabelImage> ShiftImage(const LabelImage& image, std::uint32_t resolution,
                                     std::uint32_t labelWidth, std::uint32_t labelLength,
                                     std::uint32_t horizontalScale, std::uint32_t verticalScale,
                                     std::int32_t horizontalShift, std::int32_t verticalShift);

// Shift in dots: truncate(scale / 1000 x shift / 10 / 25.4 x resolution + 0.5), 16-bit.
std::int16_t ShiftDots(std::uint32_t scale, std::int32_t shift, std::uint32_t resolution);

// Paper outside the margins. The margins are named after the page, which is
// turned when the upright switch is 0: the right margin is blanked at the
// image's left edge and, on media type 3, the bottom margin at its top.
std::optional<LabelImage> BlankMargins(LabelImage&& image, const settings::MediaSettings& media,
                                       std::uint32_t resolution);

// Consecutive all-zero rows (full stride) from the top, or from the bottom.
std::uint32_t CountBlankRows(const std::uint8_t* pixels, std::uint32_t stride, std::uint32_t rows,
                             bool fromBottom);

// Removes n rows at the bottom (fromBottom) or the top. n = 0 returns the image
// itself; nothing when n leaves no row.
std::optional<LabelImage> TrimRows(LabelImage&& image, bool fromBottom, std::uint32_t n);

// How many rows the trim removes. A page blank on arrival is cut to the
// minimum label length; an image that became blank only through the steps
// above is treated the same way, and at least one row always stays.
std::uint32_t RowsToTrim(const LabelImage& image, bool fromBottom, bool blankOnArrival,
                         float minimumLabelLength, std::uint32_t resolution);

// The landscape turn (270 degrees clockwise, as Rotate270FlipNone): width
// and height swap; pixel (x, y) of the result is (W - 1 - y, x) of the source.
std::optional<LabelImage> TurnImage270(const LabelImage& image);

}  // namespace output
