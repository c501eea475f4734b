// The job header, cut list and print blocks against the worked example and the
// cut-list table.
#include "output/job_header.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/command_buffers.h"
#include "output/cut_list.h"
#include "output/number_format.h"
#include "output/page_counters.h"
#include "output/print_blocks.h"
#include "spool_capture.h"

namespace {

using output_test::ExampleRecord;
using output_test::SpoolCapture;

winabi::DEVMODEW PublicDevmode(std::int16_t copies, std::int16_t collate = 0) {
  winabi::DEVMODEW dm{};
  dm.dmCopies = copies;
  dm.dmCollate = collate;
  return dm;
}

class JobHeader : public ::testing::Test {
 protected:
  void SetUp() override {
    output::ResetPageCounters();
    output::ResetCommandBuffers();
  }
  // One page of the ordinary writer: count, header, cut list, blocks.
  void WritePage(frame::PrivateDevmode& record, const winabi::DEVMODEW& dm, bool last,
                 const output::LabelImage& image) {
    const bool first = ++output::ThePageCounters().jobPage == 1;
    output::WriteJobHeader(&spool.devobj, nullptr, record, record.mediaSettings, image.height,
                           first);
    auto cuts = output::BuildCutList(record, dm.dmCopies, dm.dmCollate, first, last);
    if (cuts.empty()) cuts.push_back({output::kNoCut, dm.dmCopies});
    output::FormatReverseCommand(record.mediaSettings, record.printerResolution, image.height);
    output::WritePrintBlocks(&spool.devobj, nullptr, record, cuts, image);
  }
  SpoolCapture spool;
};

TEST_F(JobHeader, WorkedExampleFirstAndSecondPage) {
  auto record = ExampleRecord();
  auto image = output::CreateLabelImage(799, 1199);
  ASSERT_TRUE(image);
  ASSERT_EQ(image->stride, 100u);
  for (std::size_t i = 0; i < image->bits.size(); ++i)
    image->bits[i] = static_cast<std::uint8_t>(i * 7);
  const auto dm = PublicDevmode(2);

  WritePage(record, dm, false, *image);
  const std::string blockText = std::string("CLS\r\n\x1B!D\r\nBITMAP 0,0,100,1199,1,") +
                                std::string(image->bits.begin(), image->bits.end()) +
                                "\r\n~!E\r\nPRINT 1,2\r\n";
  const std::string expected =
      "SIZE 100.0 mm, 150.0 mm\r\nGAP 3.0 mm, 0 mm\r\nSPEED 4\r\nDENSITY 8\r\n"
      "SET RIBBON OFF\r\nDIRECTION 0,0\r\nREFERENCE 0,0\r\nOFFSET 0.0 mm\r\n"
      "SET REWIND OFF\r\nSET PEEL OFF\r\nSET PARTIAL_CUTTER OFF\r\nSET CUTTER OFF\r\n"
      "SET TEAR ON\r\n" +
      blockText;
  EXPECT_EQ(spool.Text(), expected);
  EXPECT_STREQ(record.lastSizeCommand, "SIZE 100.0 mm, 150.0 mm");

  spool.Clear();
  WritePage(record, dm, true, *image);
  EXPECT_EQ(spool.Text(), blockText);
}

TEST_F(JobHeader, MediaCommands) {
  struct Case {
    std::uint8_t type;
    std::uint32_t sensor;
    float gap, gapOffset, mark, markOffset;
    const char* expected;
  };
  const Case cases[] = {
      {0, 0, 0.0f, 2.5f, 0, 0, "GAP 0 mm, 2.5 mm\r\n"},
      {0, 0, 3.0f, 0.0f, 0, 0, "GAP 3.0 mm, 0 mm\r\n"},
      {0, 0, 0.0f, 0.0f, 0, 0, "GAP 0 mm, 0 mm\r\n"},
      {0, 0, 2.25f, 1.05f, 0, 0, "GAP 2.2 mm, 1.0 mm\r\n"},  // 1.05f is just below 1.05
      {0, 1, 3.0f, 1.0f, 0, 0, ""},
      {1, 0, 0, 0, 4.0f, 0.0f, "BLINE 4.0 mm, 0.0 mm\r\n"},
      {1, 2, 0, 0, 4.0f, 0.0f, ""},
      {2, 1, 3.0f, 1.0f, 0, 0, "GAP 0 mm, 0 mm\r\n"},
      {3, 5, 3.0f, 1.0f, 0, 0, "GAP 0 mm, 0 mm\r\n"},
      {4, 0, 3.0f, 1.0f, 0, 0, ""},
  };
  for (const Case& c : cases) {
    settings::MediaSettings media{};
    media.numLabelMediaType = c.type;
    media.numMediaSensorSetting = c.sensor;
    media.mmGapHeight = c.gap;
    media.mmGapOffset = c.gapOffset;
    media.mmMarkHeight = c.mark;
    media.mmMarkOffset = c.markOffset;
    spool.Clear();
    output::WriteMediaCommand(&spool.devobj, nullptr, media);
    EXPECT_EQ(spool.Text(), c.expected) << "type " << int(c.type);
  }
}

TEST_F(JobHeader, PostPrintByFamily) {
  struct Case {
    const char16_t* model;
    std::uint8_t action;
    const char* expected;
  };
  const Case cases[] = {
      {u"Norvale LT-331 (300 dpi)", 3,
       "SET TEAR OFF\r\nSET REWIND OFF\r\nSET CUTTER OFF\r\nSET PARTIAL_CUTTER OFF\r\nSET PEEL "
       "ON\r\n"},
      {u"Norvale LT-231 (203 dpi)", 4,
       "SET TEAR OFF\r\nSET REWIND OFF\r\nSET PEEL OFF\r\nSET PARTIAL_CUTTER OFF\r\n"},
      {u"Norvale LT-210 (203 dpi)", 5,
       "SET TEAR OFF\r\nSET REWIND OFF\r\nSET PEEL OFF\r\nSET CUTTER OFF\r\n"},
      {u"Norvale MP-740 (203 dpi)", 1,
       "SET TEAR OFF\r\nSET REWIND OFF\r\nSET PEEL OFF\r\nSET PARTIAL_CUTTER OFF\r\nSET CUTTER "
       "OFF\r\n"},
      {u"Norvale MP-520 (203 dpi)", 3, ""},
      {u"Norvale MP-520 (203 dpi)", 5, ""},
      {u"Other printer", 3,
       "SET PEEL OFF\r\nSET PARTIAL_CUTTER OFF\r\nSET CUTTER OFF\r\nSET TEAR ON\r\nSET REWIND "
       "ON\r\n"},
      {u"Norvale LT-210 (203 dpi) ", 5,  // not the listed name: unlisted model
       "SET TEAR OFF\r\nSET REWIND OFF\r\nSET PEEL OFF\r\nSET PARTIAL_CUTTER OFF\r\n"},
      {u"Norvale LT-210 (203 dpi)", 6, ""},
  };
  for (const Case& c : cases) {
    auto record = ExampleRecord();
    output_test::SetModel(record, c.model);
    record.postPrintAction = c.action;
    spool.Clear();
    output::WritePostPrintCommands(&spool.devobj, nullptr, record);
    EXPECT_EQ(spool.Text(), c.expected) << int(c.action);
  }
}

TEST_F(JobHeader, FirstPageSettingsAndContinuousLength) {
  auto record = ExampleRecord();
  record.printerSettingsSwitch = 1;
  record.mediaSettings.numLabelMediaMethod = 2;
  record.mirrorSwitch = 1;
  record.feedOffset = -15;
  record.postPrintAction = 0;
  record.mediaSettings.numLabelMediaType = 3;
  output::WriteJobHeader(&spool.devobj, nullptr, record, record.mediaSettings, 812, true);
  // 812 rows at 203 dpi: 101.6 mm + 1.0.
  EXPECT_EQ(spool.Text(),
            "SIZE 100.0 mm, 102.6 mm\r\nGAP 0 mm, 0 mm\r\nSET RIBBON ON\r\nDIRECTION 0,1\r\n"
            "REFERENCE 0,0\r\nOFFSET -1.5 mm\r\n");

  // Later pages repeat SIZE and the media command only when the length changes.
  spool.Clear();
  output::WriteJobHeader(&spool.devobj, nullptr, record, record.mediaSettings, 812, false);
  EXPECT_EQ(spool.Text(), "");
  output::WriteJobHeader(&spool.devobj, nullptr, record, record.mediaSettings, 1218, false);
  EXPECT_EQ(spool.Text(), "SIZE 100.0 mm, 153.4 mm\r\nGAP 0 mm, 0 mm\r\n");
  EXPECT_STREQ(record.lastSizeCommand, "SIZE 100.0 mm, 153.4 mm");
}

TEST_F(JobHeader, CutListTable) {
  struct Case {
    const char16_t* model;
    std::uint8_t action, cutMode;
    std::uint32_t interval;
    std::int16_t copies, collate;
    std::uint32_t page;
    bool last;
    output::CutList expected;
  };
  const char16_t* lt = u"Norvale LT-210 (203 dpi)";
  const char16_t* mp = u"Norvale MP-520 (203 dpi)";
  const Case cases[] = {
      {lt, 2, 0, 1, 3, 0, 1, false, {}},  // tear: no cutter
      {lt, 4, 0, 1, 3, 0, 1, false, {{1, 3}}},
      {lt, 4, 0, 1, 3, 0, 2, false, {}},
      {mp, 4, 0, 1, 3, 0, 1, false, {}},  // MP cuts only with action 5
      {mp, 5, 0, 1, 3, 0, 1, false, {{1, 3}}},
      {u"x", 5, 1, 1, 4, 1, 1, false, {{1, 1}}},
      {lt, 5, 1, 1, 4, 0, 1, false, {{4, 4}}},
      {lt, 5, 1, 1, 4, 0, 3, true, {}},
      {lt, 4, 2, 1, 2, 0, 1, true, {{2, 2}}},
      {lt, 4, 2, 1, 2, 0, 1, false, {{0, 2}}},
      {lt, 4, 2, 1, 2, 0, 2, false, {}},
      {lt, 4, 2, 1, 2, 0, 3, true, {{2, 2}}},
      {lt, 4, 3, 3, 7, 0, 1, true, {{3, 6}, {1, 1}}},
      {lt, 4, 3, 3, 6, 0, 1, true, {{3, 6}}},
      {lt, 4, 3, 8, 7, 0, 1, true, {{7, 7}}},
      {lt, 4, 3, 3, 7, 0, 1, false, {{3, 7}}},
      {lt, 4, 3, 0, 7, 0, 1, true, {}},  // interval 0 cuts nothing
      {lt, 4, 9, 3, 7, 0, 1, true, {}},
  };
  for (const Case& c : cases) {
    output::ResetPageCounters();
    auto record = ExampleRecord();
    output_test::SetModel(record, c.model);
    record.postPrintAction = c.action;
    record.cutMode = c.cutMode;
    record.cutInterval = c.interval;
    EXPECT_EQ(output::BuildCutList(record, c.copies, c.collate, c.page == 1, c.last), c.expected)
        << "mode " << int(c.cutMode) << " page " << c.page;
  }
}

TEST_F(JobHeader, CutEveryNAcrossPages) {
  auto record = ExampleRecord();
  record.postPrintAction = 4;
  record.cutMode = 3;
  record.cutInterval = 4;
  EXPECT_EQ(output::BuildCutList(record, 3, 0, true, false), (output::CutList{{4, 3}}));
  EXPECT_EQ(output::BuildCutList(record, 3, 0, false, false), output::CutList{});
  // 9 labels: 9 mod 4 = 1 left over, fewer than the copies.
  EXPECT_EQ(output::BuildCutList(record, 3, 0, false, true), (output::CutList{{-1, 2}, {1, 1}}));
  EXPECT_EQ(output::ThePageCounters().labelCount, 9u);
  output::BuildCutList(record, 5, 0, true, false);
  // 8 labels: a multiple of 4, no cut pair.
  EXPECT_EQ(output::BuildCutList(record, 3, 0, false, true), output::CutList{});
  // 4 + 1 labels, 1 copy on the last page: at most r copies cut at once.
  output::BuildCutList(record, 4, 0, true, false);
  EXPECT_EQ(output::BuildCutList(record, 1, 0, false, true), (output::CutList{{1, 1}}));
}

TEST_F(JobHeader, CutterCommandsInBlocks) {
  // Cut mode 3, 7 copies, interval 3 on one page: cut 3 print 6, cut 1 print 1.
  auto record = ExampleRecord();
  record.postPrintAction = 4;
  record.cutMode = 3;
  record.cutInterval = 3;
  record.reversePrintSwitch = 1;
  auto image = output::CreateLabelImage(8, 1);
  WritePage(record, PublicDevmode(7), true, *image);
  const std::string text = spool.Text();
  const std::string block = "CLS\r\n\x1B!D\r\nBITMAP 0,0,4,1,1,";
  const std::string tail = std::string(4, '\0') + "\r\n~!E\r\nREVERSE 0,0,799,1198\r\n";
  const std::string blocks = "SET CUTTER 3\r\n" + block + tail + "PRINT 1,6\r\nSET CUTTER 1\r\n" +
                             block + tail + "PRINT 1,1\r\n";
  ASSERT_GE(text.size(), blocks.size());
  EXPECT_EQ(text.substr(text.size() - blocks.size()), blocks);

  // The partial cutter on the LT family with action 5.
  output::ResetPageCounters();
  record.postPrintAction = 5;
  record.reversePrintSwitch = 0;
  spool.Clear();
  WritePage(record, PublicDevmode(2), true, *image);
  EXPECT_NE(spool.Text().find("SET PARTIAL_CUTTER 2\r\nCLS"), std::string::npos);
}

TEST(NumberFormat, MillimetresAndBounds) {
  struct Case {
    double value;
    const char* expected;
  };
  const Case cases[] = {{0.0, "0.0"},
                        {2.5, "2.5"},
                        {-1.5, "-1.5"},
                        {0.05, "0.1"},
                        {0.04, "0.0"},
                        {99.96, "100.0"},
                        {1e20, "100000000000000000000.0"},
                        {static_cast<double>(101.6f + 1.0f), "102.6"}};
  for (const Case& c : cases) {
    char text[output::kMaxNumberChars];
    EXPECT_EQ(std::string(text, output::FormatMm1(c.value, text)), c.expected) << c.value;
  }
  char small[8];
  EXPECT_EQ(output::FormatBounded(small, sizeof small, "SPEED %d", {123456}), 7u);
  EXPECT_STREQ(small, "SPEED 1");
  output::CommandBuffer command;
  const std::string longText(300, 'A');
  command.Format("%s", {longText.c_str()});
  EXPECT_EQ(command.length, 255u);
  EXPECT_EQ(command.text[255], '\0');
  command.Format("%d|%d|%s|%%", {-7, 4294967295u, "ON"});
  EXPECT_STREQ(command.text, "-7|4294967295|ON|%");
}

TEST(OutputChannel, CutterOffAndNoSpoolService) {
  SpoolCapture spool;
  output::WriteCutterCommand(&spool.devobj, nullptr, false, 0);
  output::WriteCutterCommand(&spool.devobj, nullptr, true, 0);
  output::WriteCutterCommand(&spool.devobj, nullptr, false, -3);
  EXPECT_EQ(spool.Text(), "SET CUTTER OFF\r\nSET PARTIAL_CUTTER OFF\r\nSET CUTTER -3\r\n");
  winabi::DEVOBJ bare{};
  EXPECT_EQ(output::WriteCommandLine(&bare, nullptr, "CLS", 3), 0u);
  EXPECT_EQ(output::WriteCommandLine(nullptr, nullptr, "CLS", 3), 0u);
  EXPECT_EQ(output::WriteCommandLine(&spool.devobj, nullptr, "CLS", 3), 2u);
}

}  // namespace
