// Building media definitions in the host world for tests.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "platform/host/world.h"

namespace testing_support {

// The 13 registry values of a media definition, lengths in 0.1 mm.
struct MediaValues {
  std::uint32_t type = 0, method = 1;
  std::uint32_t width = 1000, length = 1500;
  std::uint32_t right = 10, left = 10, top = 10, bottom = 10;
  std::uint32_t sensor = 0;
  std::uint32_t gapHeight = 30, gapOffset = 0, markHeight = 30, markOffset = 0;

  std::map<std::u16string, std::uint32_t> Registry() const {
    return {{u"numLabelMediaType", type},
            {u"numLabelMediaMethod", method},
            {u"mmLabelWidth", width},
            {u"mmLabelLength", length},
            {u"mmRightMargin", right},
            {u"mmLeftMargin", left},
            {u"mmTopMargin", top},
            {u"mmBottomMargin", bottom},
            {u"numMediaSensorSetting", sensor},
            {u"mmGapHeight", gapHeight},
            {u"mmGapOffset", gapOffset},
            {u"mmMarkHeight", markHeight},
            {u"mmMarkOffset", markOffset}};
  }
};

inline void AddMedia(const std::u16string& printer, const std::u16string& form,
                     const MediaValues& values) {
  host::AddMediaDefinition(printer, form, values.Registry());
}

}  // namespace testing_support
