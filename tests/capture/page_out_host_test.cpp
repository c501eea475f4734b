// Saving a page: which bytes of the page buffer the page image file holds.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "capture/page_out.h"
#include "platform/host/world.h"
#include "support/host_job.h"

namespace {

using testing_support::HostJob;
using SavePageTest = testing_support::FreshProcessTest;

// A buffer longer than the page (a page captured without a StartPage call
// keeps the earlier page's bytes in front) gives its last biSizeImage bytes;
// a pending page start means the page begins at the buffer's start.
TEST_F(SavePageTest, ImageRowsAreTheBufferSliceThePageStartNames) {
  const std::vector<std::uint8_t> buffer = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  const struct {
    std::uint32_t pending, sizeImage;
    std::vector<std::uint8_t> rows;
  } cases[] = {
      {0, 4, {9, 10, 11, 12}}, {1, 4, {1, 2, 3, 4}}, {0, 12, buffer},
      {1, 12, buffer},         {0, 13, buffer},  // an image size beyond the buffer is cut to it
      {1, 13, buffer},
  };
  for (const auto& c : cases) {
    testing_support::ResetProcess();
    HostJob job;
    job.Enable();
    std::vector<std::uint8_t> bytes = buffer;
    capture::PdevState* s = job.state();
    s->pageBuffer = bytes.data();
    s->pageBufferSize = static_cast<std::uint32_t>(bytes.size());
    s->pageStartPending = c.pending;
    s->infoHeader.biSizeImage = c.sizeImage;
    capture::SavePageToSpool(&job.devobj);
    s->pageBuffer = nullptr;  // not the state's to free

    std::ifstream image(host::ToUtf8(std::u16string(job.record.pageImagePath)), std::ios::binary);
    const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(image)), {});
    ASSERT_GE(file.size(), 54u) << c.pending << " " << c.sizeImage;
    EXPECT_EQ(std::vector<std::uint8_t>(file.begin() + 54, file.end()), c.rows)
        << c.pending << " " << c.sizeImage;
  }
}

}  // namespace
