// Messages, resource strings and job names against the host world.
#include <gtest/gtest.h>

#include <string>

#include "diag/print_jobs.h"
#include "diag/user_message.h"
#include "frame/module.h"
#include "platform/host/world.h"
#include "support/resource_module.h"

namespace {

using DiagTest = DetachedModuleTest;

TEST_F(DiagTest, MessagesGoToTheConsoleSessionUnlessSomethingIsMissing) {
  diag::ShowUserMessage(u"Norvale LT-210 (203 dpi)", u"Select a media size.");
  diag::ShowUserMessage(nullptr, u"x");
  diag::ShowUserMessage(u"x", nullptr);
  ASSERT_EQ(host::TheWorld().messages.size(), 1u);
  EXPECT_EQ(host::TheWorld().messages[0].title, u"Norvale LT-210 (203 dpi)");
  EXPECT_EQ(host::TheWorld().messages[0].text, u"Select a media size.");
  host::TheWorld().consoleMessagesUnavailable = true;
  diag::ShowUserMessage(u"t", u"dropped");
  EXPECT_EQ(host::TheWorld().messages.size(), 1u);
}

TEST_F(DiagTest, ResourceStringsComeFromTheResourceModuleOrThePlugin) {
  EXPECT_EQ(diag::LoadResourceString(82), nullptr);  // no resource module handle yet

  host::TheWorld().loadableLibraries = {HostResourceModulePath()};
  host::TheWorld().resourceModuleStrings[82] = u"Localised text";
  frame::OnProcessAttach();
  diag::ResourceString text(diag::LoadResourceString(82));
  ASSERT_TRUE(text);
  EXPECT_EQ(std::u16string(text.get()), u"Localised text");
  EXPECT_EQ(diag::LoadResourceString(83), nullptr);
  frame::OnProcessDetach();

  // Without the resource module the plug-in's own table answers.
  host::TheWorld().loadableLibraries.clear();
  frame::OnProcessAttach();
  diag::ResourceString fallback(diag::LoadResourceString(diag::kMsgSelectSupportedMedia));
  ASSERT_TRUE(fallback);
  EXPECT_EQ(std::u16string(fallback.get()), u"Select a media size supported by your printer.");
  diag::ResourceString page(diag::LoadResourceString(diag::kMsgJobCancelledFromPage));
  ASSERT_TRUE(page);
  EXPECT_EQ(std::u16string(page.get()), u"Page %d and later of print job was cancelled.");

  host::TheWorld().heapFails = true;
  EXPECT_EQ(diag::LoadResourceString(82), nullptr);
}

TEST_F(DiagTest, DocumentNameOfThePrintingJobIsCutAndSanitised) {
  const std::u16string longName = u"Order 12/07: ship?" + std::u16string(200, u'x');
  os::PrinterHandle printer = host::AddPrinter(
      {u"P",
       u"D",
       std::nullopt,
       0,
       {{u"queued.txt", 0x8}, {longName, diag::kJobStatusPrinting}, {u"later", 0x10}}});
  char16_t name[200] = {};
  ASSERT_TRUE(diag::GetJobDocumentName(printer, name));
  const std::u16string got(name);
  ASSERT_EQ(got.size(), 130u);
  EXPECT_EQ(got.substr(0, 18), u"Order 12_07_ ship_");
  EXPECT_EQ(got.substr(18), std::u16string(112, u'x'));

  os::PrinterHandle idle = host::AddPrinter({u"Idle", u"D", std::nullopt, 0, {{u"a", 0x8}}});
  char16_t none[131] = {};
  EXPECT_FALSE(diag::GetJobDocumentName(idle, none));
  os::PrinterHandle empty = host::AddPrinter({u"Empty", u"D", std::nullopt, 0, {}});
  EXPECT_FALSE(diag::GetJobDocumentName(empty, none));
  EXPECT_FALSE(diag::GetJobDocumentName(nullptr, none));
}

TEST_F(DiagTest, EnumPrinterJobsReportsStatusAndCount) {
  os::PrinterHandle printer =
      host::AddPrinter({u"P", u"D", std::nullopt, 0x400, {{u"a", 0}, {u"b", 0x10}}});
  std::vector<os::JobInfo> jobs;
  std::uint32_t count = 0, status = 0;
  ASSERT_TRUE(diag::EnumPrinterJobs(printer, &jobs, &count, &status));
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(status, 0x400u);
  EXPECT_EQ(jobs[1].document, u"b");
  EXPECT_FALSE(diag::EnumPrinterJobs(nullptr, &jobs, &count, &status));
}

}  // namespace
