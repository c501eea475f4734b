// The page messages of crop print: resource pieces formatted with the page
// number, bounded like the buffers they are built in.
#include <gtest/gtest.h>

#include <string>

#include "crop/crop_controller.h"

namespace {

TEST(CropMessages, PageNumbersFillEveryPlaceAndTheTextStaysBounded) {
  const std::u16string long259(259, u'x');
  struct Case {
    std::u16string format;
    uint32_t page;
    std::u16string text;
  } cases[] = {
      {u"Check page %d. Page %d and later", 3, u"Check page 3. Page 3 and later"},
      {u"no number", 12, u"no number"},
      {u"100%% on page %d", 4294967295u, u"100% on page 4294967295"},
      {u"ends in %", 1, u"ends in %"},
      {u"%s stays", 1, u"%s stays"},
      {long259, 7, long259},
      {long259 + u"y", 7, long259},
      {std::u16string(257, u'x') + u"%d", 12345, std::u16string(257, u'x') + u"12"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(crop::FormatPageMessage(c.format, c.page), c.text) << c.page;
  }
}

}  // namespace
