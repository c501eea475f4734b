// A job with print files on, through whatever file layer the program links:
// the host world's, or in the Windows build's e2e_win32_files_tests the real
// Windows file calls (CreateFileW, WriteFile, CopyFileW, DeleteFileW,
// FindFirstFileW, GetLocalTime) under the in-process spooler and registry.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "job_runner.h"
#include "job_settings.h"
#include "platform/os.h"
#include "support/job_folder.h"
#include "support/label_stream.h"

namespace {

#ifdef LR_WINDOWS_FILES
constexpr bool kWindowsFiles = true;
#else
constexpr bool kWindowsFiles = false;
#endif

using testing_support::CountLines;
using testing_support::StreamLines;

// A 4 x 6 inch page at 203 dpi with a dark band whose place tells the pages apart.
labeljob::GreyPage Page(std::uint32_t bandTop) {
  labeljob::GreyPage page{812, 1218, std::vector<std::uint8_t>(812u * 1218u, 255)};
  for (std::uint32_t y = bandTop; y < bandTop + 100; ++y) {
    for (std::uint32_t x = 100; x < 700; ++x) page.pixels[y * page.width + x] = 0;
  }
  return page;
}

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string Stamp(std::time_t t) {
  char text[16] = {};
  std::strftime(text, sizeof text, "%Y%m%d%H%M%S", std::localtime(&t));
  return text;
}

class PrintFileJob : public ::testing::Test {
 protected:
  void SetUp() override {
    job_ = labeljob::DefaultJobSettings();
    testing_support::Set(&job_, "printFileSwitch=1");
    testing_support::Set(&job_, "printFileFolder=" + folder_.string());
  }
  std::vector<std::filesystem::path> Saved() const {
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(folder_.path()))
      files.push_back(e.path());
    return files;
  }
  const testing_support::JobFolder folder_{"lr print files"};
  labeljob::JobSettings job_;
};

TEST_F(PrintFileJob, TwoPagesSavedWholeUnderTheTimeOfTheJob) {
  // The file layer is the one this program means to test: Windows lets one
  // writer at a time hold a file, the host lets any number.
  const std::u16string probe = (folder_.path() / "probe").u16string();
  {
    std::optional<os::File> first = os::File::Open(probe, os::File::Mode::kAppend);
    ASSERT_TRUE(first);
    EXPECT_EQ(os::File::Open(probe, os::File::Mode::kAppend).has_value(), !kWindowsFiles);
  }
  os::DeleteFile(probe);

  const std::string before = Stamp(std::time(nullptr));
  const labeljob::JobResult result = labeljob::RunJob(job_, {Page(100), Page(900)}, {});
  const std::string after = Stamp(std::time(nullptr));

  const std::vector<std::filesystem::path> saved = Saved();
  ASSERT_EQ(saved.size(), 1u);  // the .prn only: the job stream copy is gone
  const std::string name = saved[0].filename().string();
  const std::string prefix = "labeljob document_";
  ASSERT_EQ(name.size(), prefix.size() + 14 + 4) << name;
  EXPECT_EQ(name.substr(0, prefix.size()), prefix);
  EXPECT_EQ(name.substr(name.size() - 4), ".prn");
  const std::string stamp = name.substr(prefix.size(), 14);
  EXPECT_GE(stamp, before);
  EXPECT_LE(stamp, after);

  const std::vector<std::uint8_t> bytes = ReadBytes(saved[0]);
  EXPECT_EQ(bytes, result.stream);  // exactly what the spooler got
  const std::vector<std::string> lines = StreamLines(bytes);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "SIZE 101.6 mm, 152.4 mm");  // the job header first
  EXPECT_EQ(CountLines(lines, "SIZE "), 1);
  EXPECT_EQ(CountLines(lines, "CLS"), 2);
  // Both pages, each its own raster.
  const labelview::Stream read = labelview::ReadStream(bytes.data(), bytes.size());
  ASSERT_EQ(read.rasters.size(), 2u);
  EXPECT_NE(read.rasters[0].data, read.rasters[1].data);
  EXPECT_EQ(CountLines(lines, "PRINT "), 2);
  EXPECT_EQ(result.labelsPrinted, 2u);
}

TEST_F(PrintFileJob, FixedNameIsReplacedByTheNextJob) {
  testing_support::Set(&job_, "fixedPrintFileNameSwitch=1");
  const labeljob::JobResult first = labeljob::RunJob(job_, {Page(100), Page(900)}, {});
  const labeljob::JobResult second = labeljob::RunJob(job_, {Page(500)}, {});
  ASSERT_NE(first.stream, second.stream);
  const std::vector<std::filesystem::path> saved = Saved();
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].filename().string(), "labeljob document.prn");
  EXPECT_EQ(ReadBytes(saved[0]), second.stream);
}

}  // namespace
