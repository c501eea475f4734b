// Whole jobs: pages go in as bands through the plug-in's exports, the label
// command stream comes out of the spooler.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "job_runner.h"
#include "job_settings.h"
#include "platform/host/world.h"
#include "platform/os.h"
#include "support/job_folder.h"
#include "support/label_sheet.h"
#include "support/label_stream.h"

namespace {

using labeljob::GreyPage;
using labeljob::JobSettings;
using labeljob::RunOptions;
using testing_support::CountLines;
using testing_support::FirstRaster;
using testing_support::JobFolder;
using testing_support::Set;
using testing_support::StreamLines;

GreyPage WhitePage(std::uint32_t width, std::uint32_t height, std::uint8_t grey = 255) {
  GreyPage page;
  page.width = width;
  page.height = height;
  page.pixels.assign(static_cast<std::size_t>(width) * height, grey);
  return page;
}

// A die-cut 100 x 150 mm definition, gap 3 mm, no margins.
labeljob::MediaDefinition Shelf(const std::string& name = "Shelf", std::uint32_t width = 1000) {
  return testing_support::LabelMedia(name, 0, width, 1500);
}

// A job printing on `media` (the private record's form stays "Shelf").
JobSettings ShelfJob(const labeljob::MediaDefinition& media = Shelf()) {
  JobSettings job = labeljob::DefaultJobSettings();
  job.printer.media = {media};
  Set(&job, "dmFormName=" + media.name);
  Set(&job, "formName=Shelf");
  Set(&job, "rasterCompression=2");
  Set(&job, "postPrintAction=2");
  return job;
}

TEST(WholeJob, WorkedExampleByteForByte) {
  JobSettings job = ShelfJob();
  Set(&job, "dmCopies=2");
  const labeljob::JobResult result = labeljob::RunJob(job, {WhitePage(799, 1198)}, RunOptions{});
  std::string expected =
      "SIZE 100.0 mm, 150.0 mm\r\nGAP 3.0 mm, 0 mm\r\nSPEED 4\r\nDENSITY 8\r\n"
      "SET RIBBON OFF\r\nDIRECTION 0,0\r\nREFERENCE 0,0\r\nOFFSET 0.0 mm\r\n"
      "SET REWIND OFF\r\nSET PEEL OFF\r\nSET PARTIAL_CUTTER OFF\r\nSET CUTTER OFF\r\n"
      "SET TEAR ON\r\nCLS\r\n\x1B!D\r\nBITMAP 0,0,100,1199,1,";
  expected += std::string(100 * 1199, '\xFF');  // a white label: every dot paper
  expected += "\r\n~!E\r\nPRINT 1,2\r\n";
  ASSERT_EQ(result.stream.size(), expected.size());
  const std::vector<std::uint8_t> want(expected.begin(), expected.end());
  const auto mismatch = std::mismatch(want.begin(), want.end(), result.stream.begin());
  EXPECT_EQ(mismatch.first, want.end())
      << "first difference at byte " << (mismatch.first - want.begin());
  EXPECT_EQ(result.labelsPrinted, 2u);
}

TEST(WholeJob, PagesPrintOnePageLateAndTheLastAtEndDoc) {
  JobSettings job = ShelfJob();
  Set(&job, "postPrintAction=4");  // full cutter on the LT family
  Set(&job, "cutMode=2");          // cut at the end of the job
  Set(&job, "dmCopies=2");
  std::vector<int> printsAfterPage;
  std::size_t bytesAfterFirstPage = 1;
  RunOptions options;
  options.afterPage = [&](std::size_t page, const std::vector<std::uint8_t>& stream) {
    printsAfterPage.push_back(CountLines(StreamLines(stream), "PRINT "));
    if (page == 0) bytesAfterFirstPage = stream.size();
  };
  const GreyPage page = WhitePage(799, 1198, 0);
  const labeljob::JobResult result = labeljob::RunJob(job, {page, page, page}, options);
  EXPECT_EQ(bytesAfterFirstPage, 0u);  // not even the header before page 2 arrives
  EXPECT_EQ(printsAfterPage, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(result.labelsPrinted, 6u);
  const std::vector<std::string> lines = StreamLines(result.stream);
  EXPECT_EQ(CountLines(lines, "PRINT "), 3);
  EXPECT_EQ(CountLines(lines, "SIZE "), 1);  // the header on the first page only
  // Page 1 turns the cutter off, page 2 has no cutter command, page 3 (the
  // last) cuts after its two copies.
  std::vector<std::string> cutters;
  for (const std::string& l : lines) {
    if (l.rfind("SET CUTTER", 0) == 0 && l != "SET CUTTER OFF") cutters.push_back(l);
  }
  EXPECT_EQ(cutters, (std::vector<std::string>{"SET CUTTER 2"}));
}

TEST(WholeJob, UnknownPageSizePrintsNothing) {
  JobSettings job = ShelfJob();
  Set(&job, "dmFormName=Not a form");
  const labeljob::JobResult result = labeljob::RunJob(job, {WhitePage(799, 1198, 0)}, RunOptions{});
  EXPECT_TRUE(result.stream.empty());
}

TEST(WholeJob, ShortSpoolRecordIsNeitherPrintedNorDeleted) {
  const JobFolder temp("lr-e2e-short-record");
  RunOptions options;
  options.tempDirectory = temp.string();
  std::filesystem::path record;
  std::size_t bytesAfterSecond = 1;
  bool recordKept = false;
  options.afterPage = [&](std::size_t page, const std::vector<std::uint8_t>& s) {
    for (const auto& e : std::filesystem::directory_iterator(temp.path())) {
      if (e.path().filename().string().rfind("devName_", 0) == 0) record = e.path();
    }
    if (page == 0) {
      ASSERT_FALSE(record.empty());
      std::filesystem::resize_file(record, 6699);
    } else {
      bytesAfterSecond = s.size();
      recordKept = std::filesystem::exists(record);
    }
  };
  const GreyPage page = WhitePage(799, 1198, 0);
  const labeljob::JobResult result = labeljob::RunJob(ShelfJob(), {page, page}, options);
  EXPECT_EQ(bytesAfterSecond, 0u);  // page 1 was not printed
  EXPECT_TRUE(recordKept);
  EXPECT_EQ(result.labelsPrinted, 1u);  // page 2, at EndDoc
}

TEST(WholeJob, LtMediaType258MeansNoPostPrintAction) {
  JobSettings job = ShelfJob();
  Set(&job, "dmMediaType=258");
  const std::vector<std::string> lines =
      StreamLines(labeljob::RunJob(job, {WhitePage(799, 1198, 0)}, RunOptions{}).stream);
  EXPECT_EQ(CountLines(lines, "SET TEAR OFF"), 1);
  EXPECT_EQ(CountLines(lines, "SET TEAR ON"), 0);
}

TEST(WholeJob, FormsUpToATenthOfAMillimetreWiderThanTheMediaPass) {
  for (const auto& [width, prints] : {std::pair{1121u, true}, std::pair{1122u, false}}) {
    JobSettings job = ShelfJob(Shelf("Wide", width));
    Set(&job, "maximumPrintWidth=112");
    const labeljob::JobResult result =
        labeljob::RunJob(job, {WhitePage(100, 100, 0)}, RunOptions{});
    EXPECT_EQ(result.labelsPrinted, prints ? 1u : 0u) << width;
    ASSERT_EQ(result.messages.size(), prints ? 0u : 1u) << width;
    if (!prints) {
      EXPECT_EQ(result.messages[0].title, "Norvale LT-210 (203 dpi)");
      EXPECT_EQ(result.messages[0].text, "Select a media size supported by your printer.");
    }
  }
}

TEST(WholeJob, LabelWiderThanTheHeadIsCentredAtPrintWidthPlus1_3mm) {
  JobSettings job = ShelfJob(Shelf("Wide", 1080));
  const std::vector<std::string> lines =
      StreamLines(labeljob::RunJob(job, {WhitePage(100, 100, 0)}, RunOptions{}).stream);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "SIZE 108.0 mm, 150.0 mm");
  // (104 + 1.3) mm at 203 dpi, rounded: 842 dots, rows of 108 bytes (32-bit padded).
  EXPECT_EQ(CountLines(lines, "BITMAP 0,0,108,"), 1);
}

// Two documents saved within one second: the later name is numbered, and
// no stream copy is left (what a print file holds is tested with print files).
TEST(WholeJob, PrintFilesOfTheSameSecondAreNumbered) {
  const JobFolder scratch("lr-e2e-print-files");
  const std::filesystem::path& folder = scratch.path();
  JobSettings job = ShelfJob();
  Set(&job, "printFileSwitch=1");
  Set(&job, "printFileFolder=" + folder.string());
  const GreyPage page = WhitePage(799, 1198, 0);

  labeljob::PrepareWorld(job, RunOptions{});
  host::TheWorld().fixedTime = os::LocalTime{2026, 12, 6, 9, 5, 7};
  host::TheWorld().tempDirectory = folder.string();
  labeljob::RunDocument(job, {page, page}, RunOptions{});
  labeljob::RunDocument(job, {page}, RunOptions{});  // same second: a numbered name

  const auto plain = folder / "labeljob document_20261206090507.prn";
  const auto numbered = folder / "labeljob document_20261206090507_1.prn";
  EXPECT_TRUE(std::filesystem::exists(plain));
  EXPECT_TRUE(std::filesystem::exists(numbered));
  EXPECT_FALSE(std::filesystem::exists(folder / "Label Printer.temp"));
}

TEST(WholeJob, WideLandscapeUnderErrorDiffusionIsTurnedFirstToTheSamePlace) {
  // A 100 x 640 mm label printed landscape: the page is 5118 pixels wide, so
  // error diffusion turns the grey page before halftoning. With only black
  // and white on the page every method gives the same dots, so the turned
  // page must land exactly where the threshold path puts it.
  std::vector<std::vector<std::uint8_t>> rasters;
  for (const char* mode : {"halftoneMode=0", "halftoneMode=2"}) {
    labeljob::MediaDefinition longLabel = Shelf("Long");
    longLabel.values["mmLabelLength"] = 6400;
    JobSettings job = ShelfJob(longLabel);
    Set(&job, "dmOrientation=2");
    Set(&job, mode);
    GreyPage page = WhitePage(5118, 799);
    for (std::uint32_t y = 50; y < 300; ++y) {
      for (std::uint32_t x = 100; x < 1500; ++x) page.pixels[y * page.width + x] = 0;
    }
    const labeljob::JobResult result = labeljob::RunJob(job, {page}, RunOptions{});
    rasters.push_back(FirstRaster(result.stream));
    ASSERT_FALSE(rasters.back().empty()) << mode;
  }
  EXPECT_EQ(rasters[0], rasters[1]);
  const auto dark = std::count(rasters[1].begin(), rasters[1].end(), 0);
  EXPECT_GT(dark, 1000);  // the block is there
}

}  // namespace
