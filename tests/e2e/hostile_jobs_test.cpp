// Hostile whole jobs through the exported entry points: bands of absurd
// sizes, pages taller than 32 bits can count, page spool records cut at
// every length, document names a file system refuses, print-file folders
// that are not folders. Nothing may crash or write outside the temporary
// and print-file folders.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "capture/page_out.h"
#include "capture/page_spool.h"
#include "job_runner.h"
#include "job_settings.h"
#include "stream_reader.h"
#include "support/host_job.h"
#include "support/job_folder.h"
#include "support/tag_job.h"

namespace {

namespace fs = std::filesystem;
using testing_support::HostJob;
using testing_support::StartTagJob;

std::vector<std::uint8_t> Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct HostileJob : testing_support::FreshProcessTest {
  // One band whose header says anything; its bytes are biSizeImage long.
  static winabi::HRESULT RawBand(HostJob& job, std::int32_t width, std::int32_t height,
                                 std::uint32_t bytes, std::uint16_t bits = 8) {
    std::vector<std::uint8_t> pixels(bytes, 0x40);
    winabi::BITMAPINFOHEADER info{};
    info.biSize = 40;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = bits;
    info.biSizeImage = bytes;
    winabi::IPPARAMS params{};
    params.dwSize = sizeof params;
    winabi::BYTE* taken = nullptr;
    return job.plugin->ImageProcessing(&job.devobj, pixels.data(), &info, nullptr, 5, &params,
                                       &taken);
  }
};

TEST_F(HostileJob, BandsOfAbsurdSizesEndInAWholeStream) {
  const struct {
    std::int32_t width, height;
    std::uint32_t bytes;
    std::uint16_t bits;
  } bands[] = {
      {0, 0, 0, 8},           {-1, -1, 4, 8},          {INT32_MAX, 1, 16, 8},
      {1, INT32_MAX, 16, 8},  {INT32_MIN, INT32_MIN, 16, 8}, {320, -64, 320 * 64, 8},
      {320, 64, 0, 8},        {1 << 20, 1 << 20, 1024, 8},   {320, 80, 320 * 80, 0},
      {320, 80, 320 * 80, 64}, {321, 80, 7, 24},
  };
  for (const auto& b : bands) {
    SCOPED_TRACE(::testing::Message() << b.width << " x " << b.height << ", " << b.bytes
                                      << " bytes, " << b.bits << " bits");
    testing_support::ResetProcess();
    HostJob job;
    StartTagJob(job);
    RawBand(job, b.width, b.height, b.bytes, b.bits);
    job.StartPage();
    RawBand(job, 320, 80, 320 * 80);  // an ordinary page after it
    job.EndDoc();
    const labelview::Stream read = labelview::ReadStream(job.stream.data(), job.stream.size());
    EXPECT_FALSE(read.error) << "stream breaks at " << read.error->offset;
  }
}

TEST_F(HostileJob, PageHeightBeyond32BitsDoesNotWrap) {
  HostJob job;
  StartTagJob(job);
  // Bottom-up counts (negative heights) add up past -2^31; wrapped round they
  // would read as a page far taller than the form and end it.
  ASSERT_EQ(RawBand(job, 8, INT32_MIN + 10, 8), winabi::S_OK);
  ASSERT_EQ(RawBand(job, 8, -20, 8), winabi::S_OK);
  EXPECT_EQ(job.state()->infoHeader.biHeight, INT32_MIN);
  job.EndDoc();
  EXPECT_TRUE(job.stream.empty());
}

TEST_F(HostileJob, SpoolRecordsCutAtEveryLength) {
  HostJob job;
  StartTagJob(job);
  ASSERT_EQ(RawBand(job, 320, 80, 320 * 80), winabi::S_OK);  // page 1 saved
  const fs::path spool = host::ToUtf8(capture::PageSpoolRecordPath(job.state()->spoolId));
  const std::vector<std::uint8_t> whole = Slurp(spool);
  ASSERT_EQ(whole.size(), capture::kPageSpoolRecordSize);
  const fs::path image = host::ToUtf8(frame::FieldText(job.record.pageImagePath, frame::kPathChars));
  const std::vector<std::uint8_t> imageBytes = Slurp(image);
  ASSERT_FALSE(imageBytes.empty());
  // The image file stays in place until the whole record is read.
  for (std::size_t length = 0; length <= whole.size(); ++length) {
    std::ofstream(spool, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(whole.data()), static_cast<std::streamsize>(length));
    const std::size_t before = job.stream.size();
    capture::WriteImage_PageOut_Spooler_FromTmp(&job.devobj, false);
    if (length < whole.size()) {
      // Not a record: nothing printed, its files left in place.
      ASSERT_EQ(job.stream.size(), before) << length;
      ASSERT_TRUE(fs::exists(spool) && fs::exists(image)) << length;
    } else {
      EXPECT_GT(job.stream.size(), before);
      EXPECT_FALSE(fs::exists(spool) || fs::exists(image));
    }
  }
  job.EndDoc();
}

struct HostilePrintFileJob : ::testing::Test {
  const testing_support::JobFolder folder{"hostile_jobs"};
  const fs::path root = folder.path();
  labeljob::JobSettings job = labeljob::DefaultJobSettings();
  std::vector<labeljob::GreyPage> pages{{200, 100, std::vector<std::uint8_t>(200 * 100, 0x30)}};

  void SetUp() override { fs::create_directories(root / "temp"); }
  void TearDown() override { host::ResetWorld(); }
  void Set(const std::string& assignment) { testing_support::Set(&job, assignment); }
  labeljob::JobResult Run(const std::u16string& document) {
    labeljob::RunOptions options;
    options.tempDirectory = (root / "temp").string();
    labeljob::PrepareWorld(job, options);
    host::TheWorld().printers[0].jobs[0].document = document;
    return labeljob::RunDocument(job, pages, options);
  }
  // Every file below root, as paths relative to it.
  std::vector<std::string> Tree() const {
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root))
      files.push_back(fs::relative(e.path(), root).generic_string());
    std::sort(files.begin(), files.end());
    return files;
  }
};

TEST_F(HostilePrintFileJob, DocumentNamesAFileSystemRefusesStayInTheFolder) {
  fs::create_directories(root / "prints");
  Set("printFileSwitch=1");
  Set("fixedPrintFileNameSwitch=1");
  Set("printFileFolder=" + (root / "prints").string());
  std::u16string forbidden = u"a\\b/c:d*e?f\"g<h>i|j";
  for (char16_t c = 1; c < 32; ++c) forbidden += c;
  forbidden += u"..";
  const std::u16string names[] = {forbidden, std::u16string(300, u'x'), u"..", u"/", u""};
  for (const std::u16string& name : names) {
    SCOPED_TRACE(host::ToUtf8(name));
    fs::remove_all(root / "prints");
    fs::create_directories(root / "prints");
    const labeljob::JobResult result = Run(name);
    EXPECT_EQ(result.labelsPrinted, 1u);
    const std::vector<std::string> tree = Tree();
    ASSERT_EQ(tree.size(), 3u) << "prints/, temp/ and one print file";
    EXPECT_EQ(tree[0], "prints");
    EXPECT_EQ(tree[1].rfind("prints/", 0), 0u) << tree[1];
    EXPECT_EQ(tree[1].find_first_of(":*?\"<>|\\", 7), std::string::npos) << tree[1];
    EXPECT_EQ(tree[1].find('/', 7), std::string::npos) << tree[1];
    EXPECT_TRUE(std::none_of(tree[1].begin(), tree[1].end(), [](char c) { return c > 0 && c < ' '; }))
        << tree[1];
    EXPECT_EQ(Slurp(root / tree[1]), result.stream);
  }
}

TEST_F(HostilePrintFileJob, PrintFileFoldersThatAreNotFoldersGetNothing) {
  std::ofstream(root / "afile") << "kept";
  Set("printFileSwitch=1");
  for (const std::string folder : {"afile", "afile/sub", "missing/deeper"}) {
    SCOPED_TRACE(folder);
    Set("printFileFolder=" + (root / folder).string());
    const labeljob::JobResult result = Run(u"doc");
    EXPECT_EQ(result.labelsPrinted, 1u);
    EXPECT_EQ(Tree(), (std::vector<std::string>{"afile", "temp"}));
    const std::vector<std::uint8_t> kept = Slurp(root / "afile");
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "kept");
  }
}

}  // namespace
