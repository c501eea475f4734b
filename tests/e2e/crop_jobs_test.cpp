// Crop print jobs: sheets of shipping labels go in as pages through the
// plug-in's exports; every printed label is read back from the stream and its
// barcode decoded (zxing-cpp natively; under Wine, which has no zxing build,
// the plug-in's own front-end).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "job_runner.h"
#include "job_settings.h"
#include "platform/host/world.h"
#include "platform/os.h"
#include "stream_reader.h"
#include "support/job_folder.h"
#include "support/label_sheet.h"
#include "support/label_stream.h"

#ifdef LR_HAVE_ZXING
#include "support/barcode_fixtures.h"
#else
#include "barcode/alloc.h"
#include "crop/locate_barcodes.h"
#endif

namespace {

using labeljob::GreyPage;
using labeljob::JobResult;
using labeljob::JobSettings;
using labeljob::RunOptions;
using testing_support::CountLines;
using testing_support::JobFolder;
using testing_support::LabelSheet;
using testing_support::Set;
using testing_support::StreamLines;

constexpr char kModel[] = "Norvale LT-210 (203 dpi)";
// The Letter page at 203 dpi as labeljob renders it (the driver's printable area).
constexpr std::uint32_t kPageWidth = 1607, kPageHeight = 2114;
constexpr std::uint32_t kPrintableWidth = 812;  // 4 inches
constexpr std::uint32_t kFixedRows = 1217;      // 6 inches, truncated

// A crop print job from Letter sheets onto `widthTenths` x 150 mm media of
// the given type (2: one label per surface; 0: fixed-size die-cut labels).
JobSettings CropJob(std::uint32_t mediaType, std::uint32_t widthTenths = 1016,
                    std::uint32_t lengthTenths = 1524) {
  JobSettings job = labeljob::DefaultJobSettings();
  job.printer.media = {
      testing_support::LabelMedia("Crop media", mediaType, widthTenths, lengthTenths)};
  Set(&job, "cropPrintSwitch=1");
  Set(&job, "formName=Crop media");
  Set(&job, "dmFormName=Letter");
  return job;
}

struct Label {
  int x, y;
  std::string text;
  int module = 2;
};

GreyPage Sheet(const std::vector<Label>& labels) {
  LabelSheet sheet(kPageWidth, kPageHeight);
  for (const Label& l : labels) sheet.ShippingLabel(l.x, l.y, l.text, l.module);
  return sheet.page();
}

// The text of the one barcode on a printed label ("" when none reads). The
// rows that carry dots are read, with a white margin, as a reader scans a
// label and not the empty media below it.
std::string ReadLabel(const labelview::Raster& raster) {
  const std::uint32_t width = raster.bytesPerRow * 8 + 40;
  std::vector<std::uint8_t> grey;
  for (std::uint32_t y = 0; y < raster.rows; ++y) {
    const std::uint8_t* row = raster.data.data() + static_cast<size_t>(y) * raster.bytesPerRow;
    if (std::all_of(row, row + raster.bytesPerRow, [](std::uint8_t b) { return b == 0xFF; })) {
      continue;
    }
    grey.insert(grey.end(), 20, 255);
    for (std::uint32_t x = 0; x < raster.bytesPerRow * 8; ++x) {
      grey.push_back((row[x / 8] >> (7 - x % 8)) & 1 ? 255 : 0);  // a 0 bit is a dark dot
    }
    grey.insert(grey.end(), 20, 255);
  }
  grey.insert(grey.begin(), 20 * width, 255);
  grey.insert(grey.end(), 20 * width, 255);
  const std::uint32_t rows = static_cast<std::uint32_t>(grey.size() / width);
#ifdef LR_HAVE_ZXING
  fixtures::Page page(static_cast<int>(width), static_cast<int>(rows));
  page.grey = grey;
  const std::vector<fixtures::ZxingRead> reads = fixtures::ReadWithZxing(page);
  return reads.size() == 1 ? reads[0].text : "";
#else
  const crop::SourceImage image{grey.data(), width, width, rows, 6, 1};
  crop::LocateOptions options{};
  options.regionWidth = static_cast<std::int32_t>(width);
  options.regionHeight = static_cast<std::int32_t>(rows);
  options.types[2] = 1;
  options.resolution = 300;
  options.maxResults = 100;
  barcode::SymbolResultList results{0, nullptr};
  if (crop::LocateBarcodes(&image, &options, &results) != 0) return "";
  const std::string text = results.count == 1 ? results.items[0].text : "";
  crop::FreeLocateResults(&results);
  return text;
#endif
}

struct Printed {
  std::vector<std::string> texts;
  std::vector<labelview::Raster> rasters;
};

Printed ReadBack(const JobResult& result) {
  const labelview::Stream stream =
      labelview::ReadStream(result.stream.data(), result.stream.size());
  EXPECT_FALSE(stream.error.has_value());
  Printed printed;
  for (const labelview::PrintedLabel& label : stream.labels) {
    if (!label.raster) continue;
    printed.rasters.push_back(stream.rasters[*label.raster]);
    printed.texts.push_back(ReadLabel(printed.rasters.back()));
  }
  return printed;
}

std::vector<std::uint32_t> Results(const JobResult& result) {
  std::vector<std::uint32_t> codes;
  for (const auto& c : result.cropPages) codes.push_back(c.result);
  return codes;
}

// Options that count the labels printed by the time each page is captured.
RunOptions CountingPrints(std::vector<int>* printsAfterPage) {
  RunOptions options;
  options.afterPage = [printsAfterPage](std::size_t, const std::vector<std::uint8_t>& stream) {
    printsAfterPage->push_back(CountLines(StreamLines(stream), "PRINT "));
  };
  return options;
}

// Runs the job in a temporary folder of its own, which must be empty after.
JobResult RunCropJob(const JobSettings& job, const std::vector<GreyPage>& pages,
                     RunOptions options = {}) {
  const JobFolder temp("lr-e2e-crop");
  options.tempDirectory = temp.string();
  JobResult result = labeljob::RunJob(job, pages, options);
  EXPECT_TRUE(std::filesystem::is_empty(temp.path())) << "files left in the temporary folder";
  return result;
}

// Two shipping labels a page on fixed-size media: each page's second label is
// held until the next page's first label or the end of the job, and every
// label lies at the top of a full-length white label.
TEST(CropJob, WorkedExampleHoldsEachPagesLastLabel) {
  std::vector<int> printsAfterPage;
  const RunOptions options = CountingPrints(&printsAfterPage);
  const JobResult result =
      RunCropJob(CropJob(0),
                 {Sheet({{100, 100, "1Z-SHIP-0001"}, {100, 1100, "1Z-SHIP-0002"}}),
                  Sheet({{100, 100, "1Z-SHIP-0003"}, {100, 1100, "1Z-SHIP-0004"}})},
                 options);
  EXPECT_EQ(printsAfterPage, (std::vector<int>{0, 1}));  // page 1 out, its label 2 held
  EXPECT_TRUE(result.messages.empty());
  EXPECT_EQ(Results(result), (std::vector<std::uint32_t>{0, 0}));
  EXPECT_EQ(result.cropPages.back().cropPageCount, 2u);
  const Printed printed = ReadBack(result);
  EXPECT_EQ(printed.texts, (std::vector<std::string>{"1Z-SHIP-0001", "1Z-SHIP-0002", "1Z-SHIP-0003",
                                                     "1Z-SHIP-0004"}));
  for (const labelview::Raster& r : printed.rasters) {
    ASSERT_EQ(r.rows, kFixedRows);
    EXPECT_EQ(r.bytesPerRow, (kPrintableWidth + 31) / 32 * 4);
    // The label (bars and two text lines, 192 rows) at the top; white below.
    const auto below = r.data.begin() + 200 * r.bytesPerRow;
    EXPECT_TRUE(std::all_of(below, r.data.end(), [](std::uint8_t b) { return b == 0xFF; }));
    EXPECT_FALSE(std::all_of(r.data.begin(), below, [](std::uint8_t b) { return b == 0xFF; }));
  }
}

TEST(CropJob, SheetOfTwoByThreeGivesSixLabelsColumnByColumn) {
  std::vector<Label> labels;
  std::vector<std::string> order;
  for (int column = 0; column < 2; ++column) {
    for (int row = 0; row < 3; ++row) {
      const std::string text = "COL" + std::to_string(column) + "-ROW" + std::to_string(row);
      labels.push_back({80 + column * 860, 90 + row * 720, text});
      order.push_back(text);
    }
  }
  std::reverse(labels.begin(), labels.end());  // drawing order does not matter
  const JobResult result = RunCropJob(CropJob(2), {Sheet(labels)});
  EXPECT_EQ(ReadBack(result).texts, order);
  EXPECT_EQ(Results(result), (std::vector<std::uint32_t>{0}));
}

TEST(CropJob, OneLabelPageIsHeldUntilTheNextPageOrTheEnd) {
  std::vector<int> printsAfterPage;
  const RunOptions options = CountingPrints(&printsAfterPage);
  const JobResult result = RunCropJob(
      CropJob(2), {Sheet({{300, 300, "ONLY-ONE-A"}}), Sheet({{300, 300, "ONLY-ONE-B"}})}, options);
  EXPECT_EQ(printsAfterPage, (std::vector<int>{0, 0}));
  EXPECT_EQ(ReadBack(result).texts, (std::vector<std::string>{"ONLY-ONE-A", "ONLY-ONE-B"}));
}

TEST(CropJob, JobWithoutBarcodesShowsMessage74OnceAndPrintsNothing) {
  LabelSheet text(kPageWidth, kPageHeight);
  text.TextLine(100, 100, 40);
  text.TextLine(100, 140, 30);
  const JobResult result = RunCropJob(CropJob(0), {text.page(), text.page(), text.page()});
  EXPECT_TRUE(result.stream.empty());
  ASSERT_EQ(result.messages.size(), 1u);
  EXPECT_EQ(result.messages[0].title, kModel);
  EXPECT_EQ(result.messages[0].text, "No barcodes were detected.");
  EXPECT_EQ(Results(result), (std::vector<std::uint32_t>{4, 4, 4}));
}

// Page 3's label is wider than the media: its message once, pages 1 and 2
// printed (page 2's label at the end of the job), page 4 skipped.
TEST(CropJob, ResultOneOnPageThreeCancelsTheRestOfTheJob) {
  const GreyPage wide = Sheet({{100, 100, "TOO-WIDE-FOR-4IN", 4}});
  const JobResult result =
      RunCropJob(CropJob(0), {Sheet({{100, 100, "PAGE-1"}}), Sheet({{100, 100, "PAGE-2"}}), wide,
                              Sheet({{100, 100, "PAGE-4"}})});
  ASSERT_EQ(result.messages.size(), 1u);
  EXPECT_EQ(result.messages[0].text,
            "A barcode larger than the paper size was detected on page 3. Page 3 and later of "
            "print job was cancelled.Adjust the barcode size and/or paper size.");
  EXPECT_EQ(Results(result), (std::vector<std::uint32_t>{0, 0, 1, 1}));
  EXPECT_EQ(ReadBack(result).texts, (std::vector<std::string>{"PAGE-1", "PAGE-2"}));
}

// A surface the engine refuses ends the page with result 11: nothing of it
// printed, no message, no surface left behind.
TEST(CropJob, RefusedSurfacesGiveResultElevenAndLeaveNothing) {
  for (const bool lockFails : {false, true}) {
    const JobSettings job = CropJob(0);
    labeljob::PrepareWorld(job, RunOptions{});
    host::TheWorld().surfaceCreationFails = !lockFails;
    host::TheWorld().surfaceLockFails = lockFails;
    const JobResult result =
        labeljob::RunDocument(job, {Sheet({{100, 100, "NO-SURFACE"}})}, RunOptions{});
    EXPECT_EQ(Results(result), (std::vector<std::uint32_t>{11})) << lockFails;
    EXPECT_TRUE(result.stream.empty()) << lockFails;
    EXPECT_TRUE(result.messages.empty()) << lockFails;
    EXPECT_EQ(host::TheWorld().surfacesLive, 0) << lockFails;
    EXPECT_EQ(host::TheWorld().surfacesLocked, 0) << lockFails;
  }
}

// Media the printer cannot take: message 82 on the first page when the form
// has no media definition, on every page when it is too wide (a tenth of a
// millimetre over the widest media still passes).
TEST(CropJob, MediaProblemsShowMessage82AndPrintNothing) {
  struct Case {
    const char* what;
    std::string form;
    std::uint32_t widthTenths;
    size_t messages;
  } cases[] = {{"no media definition", "Not a form", 1016, 1},
               {"0.2 mm wider than the media", "Crop media", 1122, 2},
               {"0.1 mm wider than the media", "Crop media", 1121, 0}};
  for (const Case& c : cases) {
    JobSettings job = CropJob(0, c.widthTenths);
    Set(&job, "formName=" + c.form);
    const GreyPage page = Sheet({{100, 100, "MEDIA-TEST"}});
    const JobResult result = RunCropJob(job, {page, page});
    ASSERT_EQ(result.messages.size(), c.messages) << c.what;
    for (const auto& m : result.messages) {
      EXPECT_EQ(m.text, "Select a media size supported by your printer.") << c.what;
    }
    EXPECT_EQ(ReadBack(result).texts.size(), c.messages == 0 ? 2u : 0u) << c.what;
  }
}

// Out of memory for the output context of the last page: that page is
// dropped, the label held from the page before still prints.
TEST(CropJob, OutputContextThatCannotBeHadDropsOnlyItsPage) {
  RunOptions options;
  options.afterPage = [](std::size_t page, const std::vector<std::uint8_t>&) {
    if (page == 1) host::TheWorld().heapFails = true;
  };
  const JobResult result = RunCropJob(
      CropJob(0), {Sheet({{100, 100, "KEPT-LABEL"}}), Sheet({{100, 100, "LOST-PAGE"}})}, options);
  EXPECT_EQ(ReadBack(result).texts, (std::vector<std::string>{"KEPT-LABEL"}));
}

// A rectangle is the bars plus 27 dots of quiet zone each side, from the
// bars' top to the foot of the second text line (192 rows): it prints on
// fixed-size media exactly that wide and long, and stops the job on media
// one dot narrower or shorter.
TEST(CropJob, RectangleAsLargeAsThePrintableAreaFitsOneDotMoreDoesNot) {
  const std::string text = "EDGE-01";
  const int wide = testing_support::Code128Modules(text) * 2 + 2 * 27, tall = 192;
  const auto tenthsOf = [](int dots) {
    std::uint32_t tenths = 100;
    while (static_cast<int>(tenths / 10.0f / 25.4 * 203 + 0.5) != dots) ++tenths;
    return tenths;
  };
  const struct {
    int width, length;
    bool fits;
  } cases[] = {{wide, tall, true}, {wide - 1, tall, false}, {wide, tall - 1, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.width << " x " << c.length << " dots");
    const JobResult result =
        RunCropJob(CropJob(0, tenthsOf(c.width), tenthsOf(c.length)), {Sheet({{200, 200, text}})});
    EXPECT_EQ(Results(result), (std::vector<std::uint32_t>{c.fits ? 0u : 1u}));
    EXPECT_EQ(ReadBack(result).texts.size(), c.fits ? 1u : 0u);
  }
}

// A sheet with one label framed 1200 dots wide, wider than 4-inch media.
LabelSheet WideLabelSheet(int height) {
  LabelSheet sheet(kPageWidth, kPageHeight);
  for (int k = 0; k < 2; ++k) {
    sheet.Fill(100, 100 + k * (height - 2), 1200, 2);
    sheet.Fill(100 + k * 1198, 100, 2, height);
  }
  return sheet;
}

// An extended crop job whose upright label's Code 128 of 1-dot modules spans
// more than the media and cannot be shrunk: the page gives result 2, the
// image size error, and nothing prints.
TEST(CropJob, ExtendedLabelThatCannotShrinkGivesResultTwo) {
  LabelSheet sheet = WideLabelSheet(1400);
  sheet.Code128(130, 300, std::string(100, 'W'), 1, 160);  // 1135 dots wide
  sheet.TextLine(250, 560, 30);
  JobSettings job = CropJob(2);
  Set(&job, "extendedCropSwitch=1");
  const JobResult result = RunCropJob(job, {sheet.page()});
  EXPECT_EQ(Results(result), (std::vector<std::uint32_t>{2}));
  EXPECT_TRUE(ReadBack(result).texts.empty());
}

// An extended crop job of one label 1200 dots wide onto 4-inch media: its
// Code 128 of 3-dot modules is redrawn at 2, and grey columns beside its bars
// make it anti-aliased. With the registry value the label prints; without
// it, or with another value, the page gives result 3 and the message.
TEST(CropJob, ExtendedAntiAliasedRedrawPrintsOnlyWhenTheRegistryAcceptsIt) {
  const std::string text = "ANTI-ALIASED-LABEL-00001";
  LabelSheet sheet = WideLabelSheet(700);
  const int x = 250, y = 300, height = 160;
  int at = x;
  bool bar = true;
  for (int w : testing_support::Code128Elements(text)) {
    if (bar) {
      sheet.Fill(at - 1, y, 1, height, 230);
      sheet.Fill(at, y, w * 3, height);
      sheet.Fill(at + w * 3, y, 1, height, 230);
    }
    at += w * 3;
    bar = !bar;
  }
  sheet.TextLine(250, 560, 30);
  const struct {
    const char* registry;  // value to write, or null for none
    std::uint32_t result;
    std::size_t messages;
  } kCases[] = {{"1", 0, 0}, {nullptr, 3, 1}, {"2", 3, 1}};
  for (const auto& c : kCases) {
    JobSettings job = CropJob(2);
    Set(&job, "extendedCropSwitch=1");
    const JobFolder temp("lr-e2e-extended");
    RunOptions options;
    options.tempDirectory = temp.string();
    labeljob::PrepareWorld(job, options);
    if (c.registry != nullptr) {
      host::SetRegistryDword(
          std::u16string(u"SOFTWARE\\Norvale Industries, Ltd.\\Quillmark\\Driver\\3.0\\") +
              host::FromUtf8(kModel),
          u"Accept_CropPrint_AntiAliasingBarcode",
          static_cast<std::uint32_t>(std::stoul(c.registry)));
    }
    const JobResult result = labeljob::RunDocument(job, {sheet.page()}, options);
    const std::string name = c.registry ? c.registry : "absent";
    EXPECT_EQ(Results(result), (std::vector<std::uint32_t>{c.result})) << name;
    ASSERT_EQ(result.cropPages.size(), 1u);
    ASSERT_EQ(result.cropPages[0].labels.size(), 1u) << name;
    EXPECT_TRUE(result.cropPages[0].labels[0].reRendered);
    EXPECT_TRUE(result.cropPages[0].labels[0].antiAliased);
    ASSERT_EQ(result.messages.size(), c.messages) << name;
    const Printed printed = ReadBack(result);
    if (c.result == 3) {
      EXPECT_NE(result.messages[0].text.find("Cannot crop and print the barcode on page 1."),
                std::string::npos)
          << result.messages[0].text;
      EXPECT_TRUE(printed.texts.empty());
      continue;
    }
    ASSERT_EQ(printed.texts.size(), 1u);
    EXPECT_EQ(printed.texts[0], text);
    EXPECT_EQ(printed.rasters[0].bytesPerRow, (kPrintableWidth + 31) / 32 * 4);
  }
}

}  // namespace

#ifdef LR_EXAMPLES_DIR
namespace {

// The example sheet and printer profile of the README: 30 labels on each of
// the profile's media, column by column.
TEST(CropJob, ExampleSheetCropsToThirtyLabelsOnEveryExampleMedia) {
  const std::string dir = LR_EXAMPLES_DIR;
  std::string error;
  GreyPage sheet;
  ASSERT_TRUE(labeljob::ReadGreyPng(dir + "/letter-sheet-3x10.png", &sheet, &error)) << error;
  std::vector<std::string> order;
  for (int n = 0; n < 30; ++n) order.push_back("SHP" + std::to_string(40100 + n));
  for (const char* media : {"2x1in", "3x2in", "4in-continuous"}) {
    JobSettings job = labeljob::DefaultJobSettings();
    std::ifstream profile(dir + "/crop-printer.json"), settings(dir + "/crop-job.json");
    ASSERT_TRUE(labeljob::ApplyPrinterProfile(nlohmann::json::parse(profile), &job, &error));
    ASSERT_TRUE(labeljob::ApplyJobSettings(nlohmann::json::parse(settings), &job, &error));
    Set(&job, std::string("formName=") + media);
    const JobResult result = RunCropJob(job, {sheet});
    EXPECT_EQ(ReadBack(result).texts, order) << media;
    EXPECT_TRUE(result.messages.empty()) << media;
  }
}

#ifdef LR_HAVE_ZXING
// The README's extended crop print of the example 4x6 shipping label onto
// 3-inch media: one label, redrawn, and every barcode on it reads. The
// label's ruled lines split it into the fields zxing reads one by one.
TEST(CropJob, Example4x6LabelPrintsOn3InchMediaWithEveryBarcodeReading) {
  const std::string dir = LR_EXAMPLES_DIR;
  std::string error;
  GreyPage label;
  ASSERT_TRUE(labeljob::ReadGreyPng(dir + "/shipping-4x6.png", &label, &error)) << error;
  JobSettings job = labeljob::DefaultJobSettings();
  std::ifstream profile(dir + "/crop-printer.json"), settings(dir + "/crop-4x6-job.json");
  ASSERT_TRUE(labeljob::ApplyPrinterProfile(nlohmann::json::parse(profile), &job, &error));
  ASSERT_TRUE(labeljob::ApplyJobSettings(nlohmann::json::parse(settings), &job, &error));
  const JobResult result = RunCropJob(job, {label});
  EXPECT_EQ(Results(result), (std::vector<std::uint32_t>{0}));
  ASSERT_EQ(result.cropPages[0].labels.size(), 1u);
  EXPECT_TRUE(result.cropPages[0].labels[0].reRendered);
  const Printed printed = ReadBack(result);
  ASSERT_EQ(printed.rasters.size(), 1u);
  const labelview::Raster& r = printed.rasters[0];
  const int width = static_cast<int>(r.bytesPerRow * 8);
  auto dark = [&](int x, int y) {
    return !((r.data[size_t(y) * r.bytesPerRow + size_t(x / 8)] >> (7 - x % 8)) & 1);
  };
  std::vector<std::string> texts;
  int start = 0;
  for (int y = 0; y <= static_cast<int>(r.rows); ++y) {
    int count = 0;
    for (int x = 0; y < static_cast<int>(r.rows) && x < width; ++x) count += dark(x, y);
    if (y < static_cast<int>(r.rows) && count < width * 9 / 10) continue;
    if (y - start > 20) {
      fixtures::Page field(width, y - start);
      for (int yy = start; yy < y; ++yy)
        for (int x = 0; x < width; ++x) field.at(x, yy - start) = dark(x, yy) ? 0 : 255;
      for (const auto& read : fixtures::ReadWithZxing(field)) texts.push_back(read.text);
    }
    start = y + 1;
  }
  EXPECT_EQ(texts,
            (std::vector<std::string>{"ROUTE-42", "1Z-NORVALE-0001234567", "9501101530003"}));
}
#endif

}  // namespace
#endif
