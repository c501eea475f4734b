// Two printers of one driver printing at the same time in one process: each
// job prints its own pages, one page late, and nothing of the other's.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/host/world.h"
#include "settings/form_manager.h"
#include "support/host_job.h"
#include "support/host_media.h"
#include "support/label_stream.h"

namespace {

using testing_support::HostJob;

int CountPrints(const std::vector<std::uint8_t>& stream) {
  return testing_support::CountLines(testing_support::StreamLines(stream), "PRINT ");
}

TEST(Interleaved, TwoPrintersKeepTheirOwnPages) {
  testing_support::ResetProcess();
  HostJob a(u"Left", u"Norvale LT-210 (203 dpi)");
  HostJob b(u"Right", u"Norvale LT-210 (203 dpi)");
  testing_support::MediaValues tiny;
  tiny.width = 160;   // 127 dots
  tiny.length = 100;  // 79 lines
  tiny.left = tiny.right = tiny.top = tiny.bottom = 0;
  testing_support::AddMedia(u"Left", u"Tiny", tiny);
  testing_support::AddMedia(u"Right", u"Tiny", tiny);
  settings::MediaSettings m{};
  m.mmLabelWidth = 16.0f;
  m.mmLabelLength = 10.0f;
  settings::AddOrUpdateForm(host::PrinterHandleOf(u"Left"), u"Tiny", m);
  for (HostJob* job : {&a, &b}) {
    job->SetForm(u"Tiny");
    job->record.rasterCompression = 2;
    job->record.uprightSwitch = 1;
    job->record.horizontalScale = job->record.verticalScale = 1000;
    job->record.maximumPrintWidth = 104.0f;
    job->Enable();
  }
  // Job a prints black pages, job b white ones, page by page in turn.
  for (int page = 0; page < 2; ++page) {
    a.StartPage();
    b.StartPage();
    a.Band(127, 79, 0);
    b.Band(127, 79, 255);
  }
  EXPECT_EQ(CountPrints(a.stream), 1);  // page 1 of each, one page late
  EXPECT_EQ(CountPrints(b.stream), 1);
  a.EndDoc();
  b.EndDoc();
  EXPECT_EQ(CountPrints(a.stream), 2);
  EXPECT_EQ(CountPrints(b.stream), 2);
  // Inverted rasters: a dark dot is a 0 bit. Job a's label is dark but for its
  // edges (it is one dot taller and wider than the page); job b's is all paper.
  const auto rasterA = testing_support::FirstRaster(a.stream);
  const auto rasterB = testing_support::FirstRaster(b.stream);
  ASSERT_FALSE(rasterA.empty() || rasterB.empty());
  EXPECT_GT(std::count(rasterA.begin(), rasterA.end(), 0x00), long(rasterA.size() / 2));
  EXPECT_EQ(std::count(rasterB.begin(), rasterB.end(), 0xFF), long(rasterB.size()));
}

}  // namespace
