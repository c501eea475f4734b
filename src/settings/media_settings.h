// The media settings record: one media definition of a printer, converted to
// millimetres. It is embedded in the private devmode, so its layout is a
// stored format.
#pragma once

#include <cstddef>
#include <cstdint>

namespace settings {

inline constexpr std::size_t kNameChars = 260;

struct MediaSettings {
  char16_t mediaName[kNameChars];  // the form name
  std::uint8_t numLabelMediaType;
  std::uint8_t numLabelMediaMethod;
  std::uint8_t pad0[2];
  float mmLabelWidth;
  float mmLabelLength;
  float mmRightMargin;
  float mmLeftMargin;
  float mmTopMargin;
  float mmBottomMargin;
  std::uint32_t numMediaSensorSetting;
  float mmGapHeight;
  float mmGapOffset;
  float mmMarkHeight;
  float mmMarkOffset;
};

static_assert(sizeof(MediaSettings) == 568);
static_assert(offsetof(MediaSettings, numLabelMediaType) == 520);
static_assert(offsetof(MediaSettings, numLabelMediaMethod) == 521);
static_assert(offsetof(MediaSettings, mmLabelWidth) == 524);
static_assert(offsetof(MediaSettings, mmLabelLength) == 528);
static_assert(offsetof(MediaSettings, mmRightMargin) == 532);
static_assert(offsetof(MediaSettings, mmLeftMargin) == 536);
static_assert(offsetof(MediaSettings, mmTopMargin) == 540);
static_assert(offsetof(MediaSettings, mmBottomMargin) == 544);
static_assert(offsetof(MediaSettings, numMediaSensorSetting) == 548);
static_assert(offsetof(MediaSettings, mmGapHeight) == 552);
static_assert(offsetof(MediaSettings, mmGapOffset) == 556);
static_assert(offsetof(MediaSettings, mmMarkHeight) == 560);
static_assert(offsetof(MediaSettings, mmMarkOffset) == 564);

}  // namespace settings
