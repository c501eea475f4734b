// Band capture: page assembly, palettes, the expected page height and the
// page-end decision, observed through the PdevState and the spool files.
#include <gtest/gtest.h>

#include <climits>
#include <fstream>

#include "capture/band_capture.h"
#include "capture/job_state.h"
#include "platform/host/world.h"
#include "settings/form_manager.h"
#include "support/host_job.h"

namespace {

using testing_support::HostJob;

using CaptureTest = testing_support::FreshProcessTest;

// The job's first page started on a 100 x 10 mm form (no margins): 79 lines
// at 203 dpi.
void StartSmallPage(HostJob& job) {
  settings::MediaSettings m{};
  m.mmLabelWidth = 100.0f;
  m.mmLabelLength = 10.0f;
  settings::AddOrUpdateForm(host::PrinterHandleOf(u"Desk"), u"Small", m);
  job.SetForm(u"Small");
  job.Enable();
  job.StartPage();
}

TEST(ExpectedPageHeight, FixedFormsAndComputedExtents) {
  const settings::FormMargins none;
  struct Case {
    int orientation, formIndex;
    std::uint32_t resolution;
    std::uint32_t expected;
  } fixed[] = {{1, 1, 203, 2114}, {2, 1, 203, 1607}, {1, 1, 300, 3125}, {2, 1, 300, 2375},
               {1, 1, 600, 6250}, {2, 1, 600, 4750}, {1, 9, 203, 2233}, {2, 9, 203, 1539},
               {1, 9, 300, 3300}, {2, 9, 300, 2275}, {1, 9, 0, 6600},   {3, 9, 0, 4550}};
  for (const Case& c : fixed) {
    EXPECT_EQ(capture::ExpectedPageHeight(c.orientation, c.formIndex, c.resolution, none, 1, 1),
              c.expected);
  }
  // Landscape on a 100 mm wide form with 1.4 mm side margins: trunc(97.2 / 25.4 * 203).
  settings::FormMargins sides;
  sides.left = sides.right = 1400;
  EXPECT_EQ(capture::ExpectedPageHeight(2, 0, 203, sides, 100000, 150000), 776u);
  settings::FormMargins topBottom;
  topBottom.top = 1000;
  topBottom.bottom = 2000;
  // Portrait, 1 and 2 mm off a 150 mm form: 147 mm at 300 dpi is 1736.2 lines.
  EXPECT_EQ(capture::ExpectedPageHeight(1, 0, 300, topBottom, 100000, 150000), 1736u);
  EXPECT_EQ(capture::ExpectedPageHeight(1, 1, 203, none, 100000, 0), 0u);
  // Margins far beyond the form do not wrap around 32 bits.
  const settings::FormMargins huge{INT32_MIN, 0, INT32_MIN, 0};
  EXPECT_EQ(capture::ExpectedPageHeight(2, 0, 203, huge, 100000, 150000), 34326718u);
}

TEST_F(CaptureTest, BandsGrowThePageUntilTheExpectedHeight) {
  HostJob job;
  StartSmallPage(job);
  ASSERT_EQ(job.Band(801, 40, 0x11), winabi::S_OK);
  capture::PdevState* s = job.state();
  EXPECT_EQ(s->infoHeader.biWidth, 801);
  EXPECT_EQ(s->infoHeader.biHeight, 40);
  EXPECT_EQ(s->pageBufferSize, 804u * 40);
  EXPECT_EQ(s->expectedPageHeight, 79u);
  EXPECT_EQ(s->pageStartPending, 0u);
  ASSERT_EQ(job.Band(801, 30, 0x22), winabi::S_OK);
  EXPECT_EQ(s->infoHeader.biHeight, 70);
  EXPECT_EQ(s->pageBuffer[0], 0x11);
  EXPECT_EQ(s->pageBuffer[804 * 40], 0x22);
  EXPECT_TRUE(job.TempFiles().empty());

  // The band that reaches 79 lines ends the page: it is saved for page-out.
  ASSERT_EQ(job.Band(801, 30, 0x33), winabi::S_OK);
  EXPECT_EQ(s->infoHeader.biHeight, 0);
  EXPECT_EQ(s->bandHeaderCaptured, 0u);
  EXPECT_EQ(s->linesAtPreviousBand, 0u);
  EXPECT_EQ(job.TempFiles().size(), 2u);  // page image and spool record
  EXPECT_EQ(capture::TheJobState().jobCount, 1u);

  // The page image file holds both headers and the 100 rows.
  const std::u16string imagePath(job.record.pageImagePath);
  std::ifstream image(host::ToUtf8(imagePath), std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(image)), {});
  ASSERT_EQ(bytes.size(), 54u + 804 * 100);
  winabi::BITMAPINFOHEADER info;
  std::memcpy(&info, bytes.data() + 14, 40);
  EXPECT_EQ(info.biHeight, 100);
  EXPECT_EQ(info.biSizeImage, 804u * 100);
  EXPECT_EQ(bytes[54], 0x11);
  EXPECT_EQ(bytes[54 + 804 * 99], 0x33);
}

TEST_F(CaptureTest, AnEmptyBandEndsThePageAndAPendingStartRestartsTheBuffer) {
  HostJob job;
  StartSmallPage(job);
  job.Band(64, 10, 0x44);
  ASSERT_EQ(job.Band(64, 0, 0x00), winabi::S_OK);  // adds no lines: page end
  EXPECT_EQ(job.state()->infoHeader.biHeight, 0);
  EXPECT_EQ(job.TempFiles().size(), 2u);

  job.StartPage();
  job.Band(64, 5, 0x55);
  EXPECT_EQ(job.state()->pageBufferSize, 64u * 5);  // only the new band
  EXPECT_EQ(job.state()->pageBuffer[0], 0x55);
}

TEST_F(CaptureTest, FirstSpoolerFormEndsAtItsFixedLineCount) {
  HostJob job;
  job.SetForm(u"Letter");  // position 1 of the spooler's list
  job.Enable();
  job.StartPage();
  for (int i = 0; i < 21; ++i) job.Band(16, 100, 0xFF);
  EXPECT_EQ(job.state()->infoHeader.biHeight, 2100);
  EXPECT_TRUE(job.TempFiles().empty());
  job.Band(16, 14, 0xFF);
  EXPECT_EQ(job.state()->infoHeader.biHeight, 0);
  EXPECT_EQ(job.TempFiles().size(), 2u);
}

TEST_F(CaptureTest, PageWithoutAKnownSizeIsKeptButNeverEnds) {
  HostJob job;
  job.SetForm(u"No such form");
  job.Enable();
  job.StartPage();
  ASSERT_EQ(job.Band(16, 10, 0x10), winabi::S_OK);
  ASSERT_EQ(job.Band(16, 0, 0x10), winabi::S_OK);
  EXPECT_EQ(job.state()->infoHeader.biHeight, 10);
  EXPECT_TRUE(job.TempFiles().empty());
  job.EndDoc();  // the buffer is freed, nothing printed
  EXPECT_EQ(job.state()->pageBuffer, nullptr);
  EXPECT_TRUE(job.driverInterface.spooled.empty());
}

TEST_F(CaptureTest, PalettesByColourMode) {
  HostJob job;
  StartSmallPage(job);
  job.Band(16, 4, 0, capture::kBandsNoPalette);
  EXPECT_EQ(job.state()->palettized, 0u);
  EXPECT_EQ(job.state()->palette, nullptr);
  job.Band(16, 0, 0);  // end the page

  job.StartPage();
  job.Band(16, 4, 0, capture::kBands1Bit);
  ASSERT_NE(job.state()->palette, nullptr);
  EXPECT_EQ(job.state()->paletteEntryCount, 2u);
  const std::uint8_t oneBit[8] = {0, 0, 0, 0, 255, 255, 255, 0};
  EXPECT_EQ(std::memcmp(job.state()->palette, oneBit, 8), 0);
  job.Band(16, 0, 0);

  // 256 colours come from the device palette, stored blue-green-red, the last
  // entry forced to white.
  host::TheWorld().paletteEntries.assign(256, winabi::PALETTEENTRY{10, 20, 30, 0});
  job.state()->paletteHandle = host::HostPaletteHandle();
  job.StartPage();
  ASSERT_EQ(job.Band(16, 4, 0, capture::kBands256Colours), winabi::S_OK);
  EXPECT_EQ(job.state()->paletteEntryCount, 256u);
  EXPECT_EQ(std::vector<std::uint8_t>(job.state()->palette, job.state()->palette + 3),
            (std::vector<std::uint8_t>{30, 20, 10}));
  EXPECT_EQ(job.state()->palette[255 * 4], 255);
  job.Band(16, 0, 0);

  // Without a readable device palette the first band fails.
  host::TheWorld().paletteEntries.clear();
  job.StartPage();
  EXPECT_EQ(job.Band(16, 4, 0, capture::kBands16Colours), winabi::E_FAIL);
}

TEST_F(CaptureTest, OutOfMemoryDropsThePageSoFar) {
  HostJob job;
  StartSmallPage(job);
  job.Band(16, 4, 0x10, capture::kBandsNoPalette);
  host::TheWorld().localAllocFailAfter = 0;
  EXPECT_EQ(job.Band(16, 4, 0x10, capture::kBandsNoPalette), winabi::E_FAIL);
  EXPECT_EQ(job.state()->pageBuffer, nullptr);
  EXPECT_EQ(job.state()->pageBufferSize, 0u);
  host::TheWorld().localAllocFailAfter = -1;
}

TEST_F(CaptureTest, MergedMediaTypeIsWrittenIntoEveryBand) {
  HostJob job;
  StartSmallPage(job);
  job.publicDm.dmMediaType = 7;
  job.Band(16, 4, 0);
  EXPECT_EQ(job.publicDm.dmMediaType, 7u);  // no merge yet: left alone

  winabi::DEVMODEW mergedIn{};
  mergedIn.dmMediaType = 260;
  frame::PrivateDevmode in{};
  frame::WriteDevmodeHeader(&in);
  frame::PrivateDevmode out{};
  winabi::OEMDMPARAM param{};
  param.pPublicDMIn = &mergedIn;
  param.pOEMDMIn = &in;
  param.pOEMDMOut = &out;
  ASSERT_EQ(job.plugin->DevMode(frame::OEMDM_MERGE, &param), winabi::S_OK);
  job.Band(16, 4, 0);
  EXPECT_EQ(job.publicDm.dmMediaType, 260u);
}

}  // namespace
